#!/usr/bin/env bash
# The main job: builds the 32-bit Windows bootstrap with the generated sample
# installation set, runs it under Wine without a screen, then shows what it
# left in %TEMP%\Inst-Setup_Fennimor and what the demo second stage logged.
#
#   scripts/run-sample.sh [ARGUMENTS FOR THE BOOTSTRAP...]
#
# Environment (all optional):
#   HZL_WINDOWS_BUILD_DIR   build tree to use instead of the windows preset's
#   HZL_SAMPLE_WINEPREFIX   Wine prefix (default: build/wine-sample)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# Second half: everything that talks to Wine, run by xvfb-run inside one X
# server; the wineserver is ended before the X server goes away.
if [ "${1:-}" = "--under-x" ]; then
  shift
  exe=$1; shift
  trap 'wineserver -k 2>/dev/null || true' EXIT
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating Wine prefix $WINEPREFIX (takes a while the first time)"
    wineboot -i
    wineserver -w
  fi

  temp_win=$(wine cmd /c 'echo %TEMP%' | tr -d '\r')
  temp_unix=$(realpath -m "$(winepath -u "$temp_win" | tr -d '\r')")
  staging=${temp_unix%/}/Inst-Setup_Fennimor
  log=$staging/SecondStage.log
  # Start from nothing, so the listing shows this run's work only.
  rm -rf "$staging"

  echo "== running $(basename "$exe")${*:+ $*} under Wine"
  rc=0
  timeout 300 wine "$exe" "$@" || rc=$?
  if [ $rc -eq 124 ]; then
    if xdotool search --name '^Anwendungsfehler$' >/dev/null 2>&1; then
      echo "the bootstrap shows an error box and was stopped"
    else
      echo "the bootstrap did not end within 300 s and was stopped"
    fi
  else
    echo "exit code: $rc"
  fi

  # The second stage runs on its own; give it a little time to write its log.
  waited=0
  while [ ! -f "$log" ] && [ $waited -lt 60 ]; do sleep 1; waited=$((waited + 1)); done
  timeout 60 wineserver -w || true

  echo
  echo "== staging folder $temp_win\\Inst-Setup_Fennimor ($staging)"
  if [ -d "$staging" ]; then
    find "$staging" -maxdepth 1 -type f -printf '%10s  %f\n' | sort -k2
  else
    echo "(missing)"
  fi
  echo
  echo "== second stage log ($log)"
  if [ -f "$log" ]; then
    tr -d '\r' < "$log"
  else
    echo "(not written: the second stage did not run)"
    [ $rc -ne 0 ] || rc=1
  fi
  exit $rc
fi

scripts/install-deps.sh

jobs=$(nproc)
if [ -n "${HZL_WINDOWS_BUILD_DIR:-}" ]; then
  build_dir=$(realpath -m "$HZL_WINDOWS_BUILD_DIR")
  cmake --preset windows -B "$build_dir"
  cmake --build "$build_dir" -j "$jobs"
else
  build_dir=$root/build/windows
  cmake --preset windows
  cmake --build --preset windows -j "$jobs"
fi

exe=$build_dir/bootstrap/bootstrap.exe
if [ ! -f "$exe" ]; then
  echo "run-sample: $exe was not built" >&2
  exit 1
fi

export WINEPREFIX=$(realpath -m "${HZL_SAMPLE_WINEPREFIX:-$root/build/wine-sample}")
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"

xvfb-run -a "$root/scripts/run-sample.sh" --under-x "$exe" "$@"

"""From a product folder to a bootstrap executable.

The executable is made by the project's own CMake build, the mingw cross
build of the `windows` preset, in a private build folder whose PAYLOAD_DIR is
a staging folder holding the sixteen staged files. Nothing is written to the
output path until the executable is built, signed when asked and verified:
it is made under a temporary name beside the output and renamed at the end.
"""

import hashlib
import json
import os
import shutil
import subprocess
import tempfile

from . import checks, sign as signmod
from . import hzl as hzlmod
from .errors import Failure
from .product import RAW, resolve
from .table import (INSTALLER_LIST, SECOND_STAGE, SECOND_STAGE_EXPANDED, TEXT_FILES,
                    listed_rows, name_key)
from .verify import verify

TARGET = "bootstrap"
TARGET_OUTPUT = os.path.join("bootstrap", "bootstrap.exe")
PRESET = "windows"


class Options:
    product = None
    output = None
    hzl = None
    build_dir = None
    jobs = 2
    cert = None
    password_file = None
    signing_time = None
    verbose = False


def _size(n):
    return f"{n:,}"


def _saved(raw, packed):
    return 100.0 * (raw - packed) / raw if raw else 0.0


class Reporter:
    def __init__(self, out, err):
        self.out = out
        self.err = err

    def say(self, text):
        print(text, file=self.out, flush=True)

    def warn(self, text):
        print(f"mkbootstrap: warning: {text}", file=self.err, flush=True)

    def note(self, text):
        print(f"note: {text}", file=self.out, flush=True)


def prepare(rows, product, hzl, rep):
    """Finds the row files and checks them. Returns the sources in row
    order; raises Failure, naming every problem, when the set is unusable."""
    res = resolve(rows, product)
    for n in res.notes:
        rep.note(n)
    if not res.ok:
        raise Failure("the product folder does not make a set:\n  "
                      + "\n  ".join(str(p) for p in res.problems))
    by_name = {name_key(s.row.staged): s for s in res.sources}

    found = checks.Findings()
    lst = by_name[name_key(INSTALLER_LIST)]
    found.extend(checks.check_installer_list(lst.data, listed_rows(rows), lst.name))
    for text_name in TEXT_FILES:
        src = by_name[name_key(text_name)]
        found.extend(checks.check_line_ends(src.data, src.name))
    second = by_name[name_key(SECOND_STAGE)]
    if second.kind == RAW:
        found.extend(checks.check_second_stage(second.data, second.name))
    elif hzlmod.parse_head(second.data) is None:
        found.errors.append(f"{second.name} is no \"!HZL\" file, so the bootstrap cannot "
                            f"expand it into {SECOND_STAGE_EXPANDED}")
    else:
        expanded = hzl.expand_bytes(second.data, second.path)
        found.extend(checks.check_second_stage(
            expanded, f"{SECOND_STAGE_EXPANDED} (expanded from {second.name})"))
    for src in res.sources:
        if src.row.compressed and src.kind != RAW and src.row is not second.row \
                and hzlmod.parse_head(src.data) is None:
            found.errors.append(f"{src.row.label()}: {src.name} is no \"!HZL\" file; put the "
                                f"raw file {src.row.raw_pattern} there instead")
    for n in found.notes:
        rep.note(n)
    for w in found.warnings:
        rep.warn(w)
    if found.errors:
        raise Failure("the set fails its checks:\n  " + "\n  ".join(found.errors))
    return res.sources


def stage(sources, stage_dir, hzl, rep):
    """Writes the sixteen staged files into stage_dir, compressing the raw
    ones. Returns (bytes read from the product folder, bytes staged)."""
    total_in = total_out = 0
    width = len(str(len(sources)))
    for src in sources:
        row = src.row
        target = os.path.join(stage_dir, row.staged)
        head = f"[{row.number:>{width}}/{len(sources)}] {row.stored_name:<7} {row.staged:<24}"
        if src.kind == RAW:
            hzl.compress(src.path, target)
            with open(target, "rb") as f:
                packed = f.read()
            declared = hzlmod.parse_head(packed)
            if declared != len(src.data):
                raise Failure(f"{row.label()}: hzl wrote a file declaring {declared} bytes "
                              f"for {src.name} of {len(src.data)} bytes")
            rep.say(f"{head} <- {src.name:<24} {_size(len(src.data)):>12} -> "
                    f"{_size(len(packed)):>12} bytes, {_saved(len(src.data), len(packed)):5.1f}% "
                    f"saved (hzl -{hzlmod.BEST_LEVEL})")
            size = len(packed)
        else:
            with open(target, "wb") as f:
                f.write(src.data)
            size = len(src.data)
            declared = hzlmod.parse_head(src.data) if row.compressed else None
            extra = f", declares {_size(declared)}" if declared is not None else ""
            rep.say(f"{head} <- {src.name:<24} {_size(size):>12} bytes as is{extra}")
        total_in += len(src.data)
        total_out += size
    return total_in, total_out


def preset_settings(root):
    """Toolchain file and cache variables of the `windows` configure preset,
    so the set is built as the project builds its Windows tree."""
    path = os.path.join(root, "CMakePresets.json")
    try:
        with open(path, encoding="utf-8") as f:
            presets = json.load(f)
    except (OSError, ValueError) as e:
        raise Failure(f"cannot read {path}: {e}") from None
    for p in presets.get("configurePresets", []):
        if p.get("name") == PRESET:
            break
    else:
        raise Failure(f"{path} has no configure preset {PRESET!r}")
    toolchain = p.get("toolchainFile")
    if not toolchain:
        raise Failure(f"the {PRESET!r} preset in {path} names no toolchain file")
    toolchain = toolchain.replace("${sourceDir}", root)
    cache = {}
    for key, value in p.get("cacheVariables", {}).items():
        if isinstance(value, dict):
            value = value.get("value")
        if isinstance(value, bool):
            value = "ON" if value else "OFF"
        cache[key] = str(value)
    return toolchain, cache


def cmake_build(root, build_dir, stage_dir, jobs, verbose, rep):
    cmake = shutil.which("cmake")
    if not cmake:
        raise Failure("cmake not found; install the build tools (scripts/install-deps.sh)")
    toolchain, cache = preset_settings(root)
    cache["PAYLOAD_DIR"] = stage_dir
    configure = [cmake, "-S", root, "-B", build_dir, f"-DCMAKE_TOOLCHAIN_FILE={toolchain}"]
    configure += [f"-D{k}={v}" for k, v in sorted(cache.items())]
    build = [cmake, "--build", build_dir, "--target", TARGET, "-j", str(jobs)]
    env = dict(os.environ)
    env.pop("CMAKE_TOOLCHAIN_FILE", None)
    log_path = os.path.join(build_dir, "mkbootstrap-build.log")
    os.makedirs(build_dir, exist_ok=True)
    rep.say(f"building {TARGET} in {build_dir}")
    with open(log_path, "wb") as log:
        for cmd in (configure, build):
            log.write(("$ " + " ".join(cmd) + "\n").encode())
            log.flush()
            if verbose:
                r = subprocess.run(cmd, env=env)
            else:
                r = subprocess.run(cmd, env=env, stdout=log, stderr=subprocess.STDOUT)
            if r.returncode != 0:
                tail = ""
                if not verbose:
                    with open(log_path, "rb") as f:
                        lines = f.read().decode(errors="replace").splitlines()
                    tail = "\n" + "\n".join(lines[-40:])
                raise Failure(f"the build failed (log: {log_path}):{tail}")
    exe = os.path.join(build_dir, TARGET_OUTPUT)
    if not os.path.isfile(exe):
        raise Failure(f"the build left no {exe}")
    return exe


def _new_file_mode():
    mask = os.umask(0)
    os.umask(mask)
    return 0o666 & ~mask


def _temp_beside(path, suffix):
    fd, tmp = tempfile.mkstemp(dir=os.path.dirname(path) or ".",
                               prefix=f".{os.path.basename(path)}.", suffix=suffix)
    os.close(fd)
    return tmp


def check_output_path(out):
    folder = os.path.dirname(os.path.abspath(out))
    if not os.path.isdir(folder):
        raise Failure(f"the folder of {out} does not exist")
    if os.path.isdir(out):
        raise Failure(f"{out} is a folder")
    if not os.access(folder, os.W_OK | os.X_OK):
        raise Failure(f"cannot write into {folder}")


def run_build(opts, rows, root, hzl_locator, rep):
    check_output_path(opts.output)
    signer = None
    if opts.cert:
        signer = signmod.Signer(opts.cert, opts.password_file, opts.signing_time)
        signer.check()

    hzl = hzl_locator()
    sources = prepare(rows, opts.product, hzl, rep)

    cleanup = []
    try:
        if opts.build_dir:
            build_dir = os.path.abspath(opts.build_dir)
            stage_dir = os.path.join(build_dir, "mkbootstrap-payload")
            shutil.rmtree(stage_dir, ignore_errors=True)
            os.makedirs(stage_dir)
        else:
            work = tempfile.mkdtemp(prefix="mkbootstrap-")
            cleanup.append(work)
            build_dir = os.path.join(work, "build")
            stage_dir = os.path.join(work, "payload")
            os.makedirs(stage_dir)
        total_in, total_out = stage(sources, stage_dir, hzl, rep)
        compressed_here = sum(1 for s in sources if s.kind == RAW)
        rep.say(f"{len(sources)} rows: {compressed_here} compressed here, "
                f"{len(sources) - compressed_here} taken as is; {_size(total_out)} bytes of "
                f"payload from {_size(total_in)} bytes in {opts.product}")

        exe = cmake_build(root, build_dir, stage_dir, opts.jobs, opts.verbose, rep)

        tmp = _temp_beside(opts.output, ".tmp")
        cleanup.append(tmp)
        shutil.copyfile(exe, tmp)
        if signer:
            signed = _temp_beside(opts.output, ".signed")
            cleanup.append(signed)
            os.remove(signed)  # osslsigncode writes a file of its own
            signer.sign(tmp, signed)
            os.replace(signed, tmp)
            rep.say(f"signed with {signer.describe()}")

        matched, warnings = verify(tmp, opts.product, rows, hzl, lambda text: None)
        for w in warnings:
            rep.warn(w)
        if matched != len(rows):
            raise Failure(f"the built executable does not verify ({matched} of {len(rows)} "
                          f"rows match); run mkbootstrap --verify for details")

        os.chmod(tmp, _new_file_mode())
        os.replace(tmp, opts.output)
        cleanup.remove(tmp)
        with open(opts.output, "rb") as f:
            data = f.read()
        rep.say(f"wrote {opts.output}: {_size(len(data))} bytes, sha256 "
                f"{hashlib.sha256(data).hexdigest()}; all {len(rows)} rows verified")
    finally:
        for path in cleanup:
            if os.path.isdir(path):
                shutil.rmtree(path, ignore_errors=True)
            elif os.path.lexists(path):
                os.remove(path)

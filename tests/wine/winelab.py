"""Running the Windows build under 32-bit Wine, headless.

One WineSession is one X server (Xvfb, on a display it picks itself) and one
wineserver on the shared test prefix. Everything the tests start goes through
it, and leaving the session ends every Wine process and the X server.

Settings come from the environment that CTest sets:
  HZL_WINE_PREFIX        the Wine prefix shared by the tests
  HZL_WINDOWS_BUILD_DIR  the mingw build tree holding bootstrap.exe
  HZL_WINE_HELPER        wine_helper.exe (box text, resource stripping)
  HZL_WINE_ARTIFACTS     where screenshots and copies of executables go
"""

import json
import os
import shutil
import subprocess
import time

PREFIX_INFO = "hzl-prefix.json"

WINE_ENV = {
    "WINEARCH": "win32",
    "WINEDEBUG": "-all",
    # No prompts for the .NET and HTML runtimes.
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
}


def setting(name):
    value = os.environ.get(name)
    if not value:
        raise RuntimeError(f"{name} is not set; run the Wine tests through ctest")
    return value


def cache_value(build_dir, name):
    """A variable's value from a build tree's CMakeCache.txt, or None."""
    try:
        with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as f:
            for line in f:
                key, sep, value = line.rstrip("\n").partition("=")
                if sep and key.split(":", 1)[0] == name:
                    return value
    except FileNotFoundError:
        pass
    return None


class WindowsBuild:
    """The parts of the mingw build tree that the tests use."""

    def __init__(self, build_dir):
        self.dir = build_dir
        self.bootstrap = os.path.join(build_dir, "bootstrap", "bootstrap.exe")
        self.second_stage = os.path.join(build_dir, "demo_second_stage", "Setup.exe")
        self.payload_dir = (cache_value(build_dir, "PAYLOAD_DIR")
                            or os.path.join(build_dir, "sample_set", "payload"))

    def missing(self):
        return [p for p in (self.bootstrap, self.second_stage, self.payload_dir)
                if not os.path.exists(p)]

    def payload(self, name):
        with open(os.path.join(self.payload_dir, name), "rb") as f:
            return f.read()


def wait_for(predicate, timeout, interval=0.25):
    """Polls predicate until it returns something true or timeout seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(interval)


class WineSession:
    def __init__(self, prefix):
        self.prefix = prefix
        self.xvfb = None
        self.env = None

    # -- lifetime -------------------------------------------------------
    def __enter__(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            display = f.readline().strip()
        if not display:
            self.xvfb.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + display
        self.env = dict(os.environ)
        self.env.update(WINE_ENV)
        self.env["WINEPREFIX"] = self.prefix
        self.env["DISPLAY"] = self.display
        self.env.pop("WAYLAND_DISPLAY", None)
        # A wineserver left from an earlier session would hold the old display.
        self.kill_wine()
        return self

    def __exit__(self, *exc):
        self.kill_wine()
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        return False

    def kill_wine(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)

    def wait_idle(self, timeout=60):
        """Waits until every Wine process of the prefix has ended."""
        try:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill_wine()
            raise AssertionError(f"Wine processes still running after {timeout} s")

    # -- programs -------------------------------------------------------
    def run(self, args, timeout=120, check=True):
        return subprocess.run(args, env=self.env, timeout=timeout, check=check,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def wine(self, exe, *args, timeout=120, check=True):
        return self.run(["wine", exe, *args], timeout=timeout, check=check)

    def start(self, exe, *args):
        return subprocess.Popen(["wine", exe, *args], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def temp_dir(self):
        """%TEMP% of the prefix, as (Windows path, Unix path)."""
        out = self.wine("cmd", "/c", "echo %TEMP%").stdout.decode("ascii").strip()
        unix = self.run(["winepath", "-u", out]).stdout.decode().strip()
        return out, unix.rstrip("/")

    # -- X side ---------------------------------------------------------
    def find_window(self, title, timeout):
        """X window id of the top-level window titled exactly title, or None."""
        def search():
            r = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], env=self.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            ids = r.stdout.split()
            return ids[0].decode() if ids else None
        return wait_for(search, timeout)

    def window_exists(self, wid):
        return subprocess.run(["xdotool", "getwindowname", wid], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    def screenshot(self, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        self.run(["import", "-window", "root", path], timeout=60)

    def press_return(self, wid):
        subprocess.run(["xdotool", "key", "--window", wid, "Return"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close_box(self, wid, proc, tries=3):
        """Presses Return on the box until the process showing it ends.
        Synthetic key events reach Wine a little late now and then, so a
        press may need repeating. False (with the process killed) when the
        box would not close."""
        for _ in range(tries):
            self.press_return(wid)
            if wait_for(lambda: proc.poll() is not None, 10):
                return True
        proc.kill()
        return False


def load_prefix_info(prefix):
    path = os.path.join(prefix, PREFIX_INFO)
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except FileNotFoundError:
        raise RuntimeError(f"{path} missing: the prefix setup test has not run") from None


def save_prefix_info(prefix, info):
    with open(os.path.join(prefix, PREFIX_INFO), "w", encoding="utf-8") as f:
        json.dump(info, f, indent=2)


def remove_path(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.remove(path)

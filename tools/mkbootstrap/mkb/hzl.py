"""The hzl tool: finding or building it, and running it."""

import fcntl
import os
import shutil
import struct
import subprocess
import tempfile

from .errors import Failure

SIGNATURE = b"!HZL"
HEAD_SIZE = 8
# The compressor's best level: the smallest output, whatever it costs.
BEST_LEVEL = 9


def parse_head(data):
    """(declared size, signed as the expander reads it), or None when the
    data does not start with a "!HZL" head."""
    if len(data) < HEAD_SIZE or data[:4] != SIGNATURE:
        return None
    return struct.unpack_from("<i", data, 4)[0]


class Hzl:
    def __init__(self, path):
        self.path = path

    def _run(self, args, what):
        try:
            r = subprocess.run([self.path, *args], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
        except OSError as e:
            raise Failure(f"cannot run {self.path}: {e.strerror}") from None
        if r.returncode != 0:
            detail = r.stderr.decode(errors="replace").strip() or f"exit code {r.returncode}"
            raise Failure(f"{what}: {detail}")

    def compress(self, source, target):
        """Compresses the file source into target at the best level."""
        self._run([f"-{BEST_LEVEL}", "-f", source, "-o", target],
                  f"hzl could not compress {source}")

    def expand_bytes(self, data, what):
        """The expanded bytes of a "!HZL" file held in memory."""
        with tempfile.TemporaryDirectory(prefix="mkbootstrap-x-") as tmp:
            src = os.path.join(tmp, "in.hz_")
            dst = os.path.join(tmp, "out")
            with open(src, "wb") as f:
                f.write(data)
            self._run(["-d", "-f", src, "-o", dst], f"hzl could not expand {what}")
            with open(dst, "rb") as f:
                return f.read()


def _executable(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def locate(explicit, root, log):
    """The hzl to use: --hzl, else $HZL, else one built from this source tree
    into build/mkbootstrap/host (kept, so later runs only rebuild what
    changed)."""
    for origin, path in (("--hzl", explicit), ("HZL", os.environ.get("HZL"))):
        if path:
            if not _executable(path):
                raise Failure(f"{origin} names {path}, which is not an executable file")
            return Hzl(os.path.abspath(path))
    return Hzl(build_native(root, log))


def build_native(root, log):
    host = os.path.join(root, "build", "mkbootstrap", "host")
    os.makedirs(host, exist_ok=True)
    cmake = shutil.which("cmake")
    if not cmake:
        raise Failure("cmake not found; install the build tools (scripts/install-deps.sh) "
                      "or name an hzl with --hzl")
    env = dict(os.environ)
    for var in ("CMAKE_TOOLCHAIN_FILE", "CC", "CXX", "CFLAGS", "CXXFLAGS", "LDFLAGS"):
        env.pop(var, None)
    log(f"building hzl in {host}")
    # Two runs at once share the folder: one builds, the other waits.
    with open(os.path.join(host, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        steps = [
            [cmake, "-S", root, "-B", host, "-DCMAKE_BUILD_TYPE=Release",
             "-DHZL_TESTS=OFF", "-DHZL_BENCH=OFF", "-DHZL_FUZZ=OFF", "-DHZL_SANITIZE=OFF"],
            [cmake, "--build", host, "--target", "hzl", "-j", "2"],
        ]
        for cmd in steps:
            r = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if r.returncode != 0:
                tail = "\n".join(r.stdout.decode(errors="replace").splitlines()[-30:])
                raise Failure(f"building hzl failed ({' '.join(cmd)}):\n{tail}")
    path = os.path.join(host, "tools", "hzl", "hzl")
    if not _executable(path):
        raise Failure(f"the hzl build left no {path}")
    return path

"""Shared pieces of the mkbootstrap tests: settings from CTest, a product
folder made from scratch, and running the tool.

Settings (environment, set by CMakeLists.txt):
  MKB_HZL            the native hzl tool
  MKB_WORK           a folder of the test's own, emptied by the test
  MKB_WINDOWS_BUILD  the mingw build tree (its demo second stage)
A missing setting or prerequisite fails the test.
"""

import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TOOL_DIR = os.path.join(SOURCE_DIR, "tools", "mkbootstrap")
TOOL = os.path.join(TOOL_DIR, "mkbootstrap")

sys.dont_write_bytecode = True
sys.path.insert(0, TOOL_DIR)

from mkb import table  # noqa: E402

ROWS = table.load_rows(SOURCE_DIR)
ROW_BY_NAME = {r.staged: r for r in ROWS}


def setting(name):
    value = os.environ.get(name)
    if not value:
        raise AssertionError(f"{name} is not set; run the tests through ctest")
    return value


def fresh_dir(path):
    if os.path.lexists(path):
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        else:
            os.remove(path)
    os.makedirs(path)
    return path


def work_dir(name):
    return fresh_dir(os.path.join(setting("MKB_WORK"), name))


def hzl_path():
    path = setting("MKB_HZL")
    if not os.access(path, os.X_OK):
        raise AssertionError(f"hzl not built: {path}")
    return path


def second_stage_path():
    """The demo second stage of the mingw build; the test fails without it."""
    path = os.path.join(setting("MKB_WINDOWS_BUILD"), "demo_second_stage", "Setup.exe")
    if not os.path.isfile(path):
        raise AssertionError(f"{path} missing: build the windows preset first")
    return path


# -- contents ---------------------------------------------------------------

def tiny_pe(machine=0x014C, subsystem=2):
    """The headers of a PE file, enough for a check that looks for one: a DOS
    header pointing at "PE\\0\\0", a file header and an optional header."""
    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x40)
    coff = struct.pack("<4sHHIIIHH", b"PE\0\0", machine, 0, 0, 0, 0, 224, 0x0102)
    opt = bytearray(224)
    struct.pack_into("<H", opt, 0, 0x10B)
    struct.pack_into("<H", opt, 68, subsystem)
    return bytes(dos) + coff + bytes(opt)


def binary(seed, size):
    """Code-like bytes: runs, repeats and noise, so they compress somewhat."""
    rng = random.Random(seed)
    out = bytearray(b"MZ" + bytes(62))
    while len(out) < size:
        kind = rng.randrange(3)
        if kind == 0:
            out += rng.randbytes(rng.randrange(8, 64))
        elif kind == 1:
            out += bytes([rng.randrange(256)]) * rng.randrange(4, 40)
        else:
            start = rng.randrange(len(out))
            out += out[start:start + rng.randrange(3, 60)]
    return bytes(out[:size])


def crlf_text(seed, lines, words=("Änderung", "Prüfung", "Größe", "Straße", "Vertrag",
                                  "Programm", "Hinweis", "Übersicht")):
    rng = random.Random(seed)
    body = [" ".join(rng.choice(words) for _ in range(rng.randrange(3, 12)))
            for _ in range(lines)]
    return ("\r\n".join(body) + "\r\n").encode("cp1252")


def style(seed):
    rng = random.Random(seed)
    text = "\n".join(f"Element{i}.Farbe={rng.randrange(1 << 24):06X}" for i in range(200))
    return b"VCL_STYLE 2.0" + zlib.compress(text.encode("ascii"), 9)


def installer_list(names=None, first_section="General"):
    names = names if names is not None else [r.staged for r in table.listed_rows(ROWS)]
    lines = [f"[{first_section}]", "Product=Fennimor", "Version=1.0", "", "[Files]",
             f"Count={len(names)}"]
    lines += [f"File{i}={n}" for i, n in enumerate(names, start=1)]
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def raw_contents(second_stage):
    """The uncompressed content of every row, by staged name."""
    return {
        "Fennimor.ex_": binary(1, 90_000),
        "Fennimor.ch_": crlf_text(2, 700),
        "Liesmich.txt": crlf_text(3, 60),
        "Vertrag.txt": crlf_text(4, 80),
        "eztw32.DL_": binary(5, 30_000),
        "openthesaurus.tx_": crlf_text(6, 900).replace(b" ", b";"),
        "KV-Standard.w_": crlf_text(7, 1200),
        "Ubuntu2.vsf": style(8),
        "GainsboroSkyLight2.vsf": style(9),
        "WedgewoodLight2.vsf": style(10),
        "SlateClassico.vsf": style(11),
        "SapphireKamri.vsf": style(12),
        "AmethystKamri.vsf": style(13),
        "Beispiel.dbfnm": crlf_text(14, 40, words=("1", "Objekt", "Garage", "42,50")),
        "Setup.ex_": second_stage,
        "Setup.lst": installer_list(),
    }


# How the compressed rows come in the usual test folder: a raw file (by the
# name given, which need not have the table's case) or, for None, the staged
# "!HZL" file made beforehand.
RAW_NAMES = {
    "Fennimor.ex_": "Fennimor.exe",
    "Fennimor.ch_": None,
    "eztw32.DL_": "EZTW32.DLL",
    "openthesaurus.tx_": "openthesaurus.txt",
    "KV-Standard.w_": "KV-Standard.wk",
    "Setup.ex_": "Setup.exe",
}


def compress(data, target, hzl=None):
    src = target + ".src"
    with open(src, "wb") as f:
        f.write(data)
    subprocess.run([hzl or hzl_path(), "-9", "-f", src, "-o", target], check=True)
    os.remove(src)


def make_product(folder, second_stage, raw_names=None, hzl=None):
    """Fills folder with a product folder and returns {file name: bytes} of
    what it holds."""
    raw_names = RAW_NAMES if raw_names is None else raw_names
    fresh_dir(folder)
    files = {}
    for staged, data in raw_contents(second_stage).items():
        if staged in raw_names and raw_names[staged] is None:
            path = os.path.join(folder, staged)
            compress(data, path, hzl)
            with open(path, "rb") as f:
                files[staged] = f.read()
            continue
        name = raw_names.get(staged, staged)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        files[name] = data
    return files


def run_tool(*args, cwd=None):
    env = dict(os.environ, PYTHONDONTWRITEBYTECODE="1")
    return subprocess.run([sys.executable, TOOL, *args], cwd=cwd, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def listing(folder):
    return sorted(os.listdir(folder))

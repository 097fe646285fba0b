"""Checks of the set's contents before anything is built.

Errors stop the build: an installer list the second stage cannot read, a
second stage that is no Windows program. Warnings are told and the build goes
on: a name in the list that the set does not stage, text files without CRLF
line ends.
"""

import re
import struct

from .table import name_key

_FILE_NAME = re.compile(r"[\w\-~$+()!&#.]+", re.ASCII)
_TOKEN_SPLIT = re.compile(r"[\s,;|\"']+")

PE_MACHINES = {0x014C: "x86", 0x8664: "x64", 0x01C4: "ARM", 0xAA64: "ARM64"}


class Findings:
    def __init__(self):
        self.errors = []
        self.warnings = []
        self.notes = []

    def extend(self, other):
        self.errors += other.errors
        self.warnings += other.warnings
        self.notes += other.notes


def _lines(text):
    return re.split(r"\r\n|\n|\r", text)


def looks_like_file_name(token):
    """A value that names a file: a name and an extension, each holding a
    letter ("Fennimor.ex_", "KV-Standard.w_"; not "1.0" or "v2.5")."""
    if not _FILE_NAME.fullmatch(token):
        return False
    base, dot, ext = token.rpartition(".")
    if not dot or not base or not ext:
        return False
    return any(c.isalpha() for c in base) and any(c.isalpha() or c == "_" for c in ext)


def mentioned_file_names(value):
    """The file names in one value of the list: a value may hold several,
    separated by blanks, commas or semicolons, each perhaps with a path."""
    names = []
    for token in _TOKEN_SPLIT.split(value):
        token = re.split(r"[\\/]", token)[-1]
        if token and looks_like_file_name(token):
            names.append(token)
    return names


def check_installer_list(data, listed_rows, label="Setup.lst"):
    """The installer list: an INI file whose first section is [General], and
    whose file names are the staged names of rows 1 to 14."""
    f = Findings()
    # Windows-1252 text; latin-1 reads every byte, and the structure is ASCII.
    text = data.decode("latin-1")
    first_section = None
    mentions = []  # (line number, name)
    for lineno, line in enumerate(_lines(text), start=1):
        s = line.strip()
        if not s or s.startswith(";"):
            continue
        if s.startswith("[") and "]" in s:
            # What follows the closing bracket ("[General] ; main") is ignored.
            if first_section is None:
                first_section = (lineno, s[1:s.index("]")].strip())
            continue
        if first_section is None:
            hint = ""
            if line.startswith("\xef\xbb\xbf"):
                hint = " (the file starts with a UTF-8 byte-order mark; save it without one)"
            f.errors.append(f"{label} line {lineno}: expected the section [General] "
                            f"first, found {s[:60]!r}{hint}")
            return f
        key, eq, value = s.partition("=")
        if not eq:
            f.warnings.append(f"{label} line {lineno}: neither a section, a key=value "
                              f"line nor a comment: {s[:60]!r}")
            continue
        for name in mentioned_file_names(value):
            mentions.append((lineno, name))
    if first_section is None:
        f.errors.append(f"{label} has no section; its first section must be [General]")
        return f
    lineno, section = first_section
    if section.lower() != "general":
        f.errors.append(f"{label} line {lineno}: the first section is [{section}], "
                        f"not [General]")
        return f

    allowed = {name_key(r.staged): r for r in listed_rows}
    named = set()
    for lineno, name in mentions:
        if name_key(name) in allowed:
            named.add(name_key(name))
        else:
            f.warnings.append(f"{label} line {lineno}: names {name}, which is not the staged "
                              f"file of rows {listed_rows[0].number} to "
                              f"{listed_rows[-1].number}")
    for r in listed_rows:
        if name_key(r.staged) not in named:
            f.warnings.append(f"{label} does not name {r.staged} ({r.label()})")
    return f


def describe_pe(data):
    """A short description of a PE file ("PE32 x86 GUI program"), or None
    when the data is not one: "MZ", then at the offset the DOS header gives,
    "PE" and two zero bytes."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    (offset,) = struct.unpack_from("<I", data, 0x3C)
    if offset + 24 > len(data) or data[offset:offset + 4] != b"PE\0\0":
        return None
    (machine,) = struct.unpack_from("<H", data, offset + 4)
    opt = offset + 24
    kind, subsystem = "PE", None
    if opt + 70 <= len(data):
        (magic,) = struct.unpack_from("<H", data, opt)
        kind = {0x10B: "PE32", 0x20B: "PE32+"}.get(magic, "PE")
        (subsystem,) = struct.unpack_from("<H", data, opt + 68)
    sub = {2: "GUI program", 3: "console program"}.get(subsystem, "program")
    return f"{kind} {PE_MACHINES.get(machine, hex(machine))} {sub}"


def check_second_stage(data, label):
    f = Findings()
    desc = describe_pe(data)
    if desc is None:
        f.errors.append(f"{label} is not a Windows program (no \"MZ\" header leading "
                        f"to a PE header)")
    else:
        f.notes.append(f"{label}: {desc}")
    return f


def check_line_ends(data, label):
    """A warning when a text file has line ends other than CRLF."""
    f = Findings()
    bare_lf = bare_cr = 0
    first = None
    line = 1
    n = len(data)
    for i, b in enumerate(data):
        if b == 0x0A:
            if i == 0 or data[i - 1] != 0x0D:
                bare_lf += 1
                first = first or line
            line += 1
        elif b == 0x0D and (i + 1 >= n or data[i + 1] != 0x0A):
            bare_cr += 1
            first = first or line
            line += 1
    if bare_lf or bare_cr:
        parts = []
        if bare_lf:
            parts.append(f"{bare_lf} line(s) end in LF alone")
        if bare_cr:
            parts.append(f"{bare_cr} in CR alone")
        f.warnings.append(f"{label}: {' and '.join(parts)} (first: line {first}); "
                          f"the set's text files use CRLF")
    return f

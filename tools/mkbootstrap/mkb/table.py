"""The payload rows, read from the bootstrap's own list of them.

bootstrap/payload_rows.def is the one place the rows are written down: the
bootstrap's C++ table includes it and the resource script is generated from
it. mkbootstrap reads the same file, so the rows it fills are the rows the
bootstrap writes, in the same order and under the same names.
"""

import os
import re

from .errors import Failure

ROWS_FILE = os.path.join("bootstrap", "payload_rows.def")

# One row: PAYLOAD_ROW("Test1", "FILE", "Fennimor.ex_"). The resource script's
# generator reads the rows with the same pattern.
_ROW = re.compile(r'^PAYLOAD_ROW\("([^"]+)", *"([^"]+)", *"([^"]+)"\)')

# The staged files that the build looks into, by name.
SECOND_STAGE = "Setup.ex_"
SECOND_STAGE_EXPANDED = "Setup.exe"
INSTALLER_LIST = "Setup.lst"
TEXT_FILES = ("Liesmich.txt", "Vertrag.txt", INSTALLER_LIST)


def name_key(name):
    """File names compare as Windows compares them: without regard to case."""
    return name.lower()


class Row:
    def __init__(self, number, resource, rtype, staged):
        self.number = number      # 1..16, the order of writing
        self.resource = resource  # as the bootstrap's lookup passes it
        self.rtype = rtype        # resource type
        self.staged = staged      # file name in the staging folder

    @property
    def compressed(self):
        """A staged name ending in "_" marks a "!HZL" compressed file."""
        return self.staged.endswith("_")

    @property
    def stored_name(self):
        """The name under which the resource directory holds the entry."""
        return self.resource.upper()

    @property
    def stored_type(self):
        return self.rtype.upper()

    @property
    def raw_pattern(self):
        """How the uncompressed file of a compressed row is named: the staged
        name with any last character (Setup.ex_ <- Setup.exe)."""
        return self.staged[:-1] + "?"

    def label(self):
        return f"row {self.number} ({self.resource}, {self.staged})"

    def __repr__(self):
        return f"Row({self.number}, {self.resource!r}, {self.rtype!r}, {self.staged!r})"


def source_root():
    """The source tree this tool belongs to (tools/mkbootstrap/mkb/..)."""
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.normpath(os.path.join(here, "..", "..", ".."))


def parse_rows(text, origin):
    rows = []
    for lineno, line in enumerate(text.splitlines(), start=1):
        stripped = line.strip()
        if not stripped.startswith("PAYLOAD_ROW"):
            continue
        m = _ROW.match(stripped)
        if not m:
            raise Failure(f"{origin}:{lineno}: unreadable payload row: {stripped}")
        rows.append(Row(len(rows) + 1, m.group(1), m.group(2), m.group(3)))
    if not rows:
        raise Failure(f"{origin}: holds no payload row")
    seen = {}
    for row in rows:
        for key in (("resource", name_key(row.resource)), ("staged", name_key(row.staged))):
            if key in seen:
                raise Failure(f"{origin}: {row.label()} repeats the {key[0]} name of "
                              f"{seen[key].label()}")
            seen[key] = row
    return rows


def load_rows(root=None):
    path = os.path.join(root or source_root(), ROWS_FILE)
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except OSError as e:
        raise Failure(f"cannot read the payload rows from {path}: {e.strerror}") from None
    rows = parse_rows(text, path)
    names = {name_key(r.staged) for r in rows}
    for needed in (SECOND_STAGE, INSTALLER_LIST) + TEXT_FILES:
        if name_key(needed) not in names:
            raise Failure(f"{path}: no row stages {needed}, which mkbootstrap checks")
    return rows


def listed_rows(rows):
    """The rows the installer list is to name: all but the list itself and
    the second stage."""
    skip = {name_key(SECOND_STAGE), name_key(INSTALLER_LIST)}
    return [r for r in rows if name_key(r.staged) not in skip]


def render_markdown(rows):
    """The product folder's expected names, as docs/release-engineering.md
    shows them."""
    out = [
        "| Row | Resource | Staged file | The product folder holds |",
        "|---:|---|---|---|",
    ]
    for r in rows:
        if r.compressed:
            holds = (f"`{r.staged}` (a \"!HZL\" file, taken as is) or `{r.raw_pattern}` "
                     f"(the raw file, compressed by mkbootstrap)")
        else:
            holds = f"`{r.staged}`, taken as is"
        out.append(f"| {r.number} | {r.stored_name} | `{r.staged}` | {holds} |")
    return "\n".join(out) + "\n"


def render_tsv(rows):
    """number, resource name, type, staged name: one row a line."""
    return "".join(f"{r.number}\t{r.resource}\t{r.rtype}\t{r.staged}\n" for r in rows)

"""Which file of the product folder fills which row.

For each row the folder holds either the staged file itself (taken byte for
byte) or, for a compressed row, the raw file it is made from: the staged name
with any last character, Fennimor.ex_ <- Fennimor.exe. Names are matched
without regard to case, as Windows matches them, so EZTW32.DLL fills the row
of eztw32.DL_; the staged name in the executable is always the table's.
"""

import os
import stat

from .errors import RowProblem
from .table import name_key

STAGED = "staged"  # the file is taken as is
RAW = "raw"        # the file is compressed into the staged form


class Source:
    """The file that fills one row."""

    def __init__(self, row, kind, path, data):
        self.row = row
        self.kind = kind
        self.path = path
        self.data = data

    @property
    def name(self):
        return os.path.basename(self.path)


class Resolution:
    def __init__(self):
        self.sources = []   # one Source per row that could be filled, in row order
        self.problems = []  # RowProblem: rows that cannot be filled
        self.notes = []     # plain texts worth telling

    @property
    def ok(self):
        return not self.problems


def raw_candidates(row, names):
    """The names that match a compressed row's staged name with any last
    character, the staged name itself excepted."""
    stem = name_key(row.staged[:-1])
    return sorted(n for n in names
                  if len(n) == len(row.staged) and name_key(n[:-1]) == stem
                  and n[-1] != "_")


def read_source(row, folder, name, problems):
    """The file's bytes, or None after adding a problem that names the row
    and the file. A folder, a device or a file that cannot be opened or read
    is refused here, whoever runs the tool."""
    path = os.path.join(folder, name)
    try:
        st = os.stat(path)
    except OSError as e:
        problems.append(RowProblem(row, f"cannot read {path}: {e.strerror}"))
        return None
    if stat.S_ISDIR(st.st_mode):
        problems.append(RowProblem(row, f"{path} is a folder, not a file"))
        return None
    if not stat.S_ISREG(st.st_mode):
        problems.append(RowProblem(row, f"{path} is not a regular file"))
        return None
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        problems.append(RowProblem(row, f"cannot read {path}: {e.strerror}"))
        return None
    if len(data) != st.st_size:
        problems.append(RowProblem(row, f"{path} changed while it was read"))
        return None
    return data


def resolve(rows, folder):
    """Finds and reads the file of every row. Every row is looked at, so one
    run reports all the problems of a folder."""
    res = Resolution()
    try:
        names = sorted(os.listdir(folder))
    except OSError as e:
        res.problems.append(RowProblem(None, f"cannot list the product folder {folder}: "
                                             f"{e.strerror}"))
        return res

    used = set()
    for row in rows:
        staged = [n for n in names if name_key(n) == name_key(row.staged)]
        if len(staged) > 1:
            res.problems.append(RowProblem(
                row, f"{len(staged)} files in {folder} differ only in case: "
                     f"{', '.join(staged)}; keep one"))
            used.update(staged)
            continue
        if staged:
            name = staged[0]
            used.add(name)
            if row.compressed:
                ignored = raw_candidates(row, names)
                if ignored:
                    res.notes.append(f"{row.label()}: {name} taken as is; "
                                     f"{', '.join(ignored)} not used")
                    used.update(ignored)
            data = read_source(row, folder, name, res.problems)
            if data is not None:
                res.sources.append(Source(row, STAGED, os.path.join(folder, name), data))
            continue
        if not row.compressed:
            res.problems.append(RowProblem(row, f"{folder} holds no file {row.staged}"))
            continue
        candidates = raw_candidates(row, names)
        if not candidates:
            res.problems.append(RowProblem(
                row, f"{folder} holds neither {row.staged} nor a raw file {row.raw_pattern}"))
            continue
        used.update(candidates)
        if len(candidates) > 1:
            res.problems.append(RowProblem(
                row, f"{len(candidates)} raw files match {row.raw_pattern}: "
                     f"{', '.join(candidates)}; keep one (or put {row.staged} there)"))
            continue
        data = read_source(row, folder, candidates[0], res.problems)
        if data is not None:
            res.sources.append(Source(row, RAW, os.path.join(folder, candidates[0]), data))

    unused = [n for n in names if n not in used]
    if unused:
        res.notes.append(f"not part of the set, left out: {', '.join(unused)}")
    return res

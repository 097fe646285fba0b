"""Checking a built executable against the product folder it was made from."""

from . import hzl as hzlmod
from .errors import Failure
from .peres import file_resources
from .product import RAW, resolve


def first_difference(a, b):
    n = min(len(a), len(b))
    for i in range(n):
        if a[i] != b[i]:
            return i
    return n if len(a) != len(b) else None


def _compare(got, want, got_what, want_what):
    """None when equal, else a text that says where they part."""
    if got == want:
        return None
    at = first_difference(got, want)
    sizes = ""
    if len(got) != len(want):
        sizes = f"; {got_what} has {len(got):,} bytes, {want_what} {len(want):,}"
    return f"{got_what} differs from {want_what} at byte {at:,}{sizes}"


class RowResult:
    def __init__(self, row):
        self.row = row
        self.ok = False
        self.text = ""


def verify(exe, folder, rows, hzl, say):
    """Compares the executable's sixteen resources with the product folder.
    Returns (number of rows that match, list of warning texts)."""
    resources = file_resources(exe, rows[0].rtype)
    resolution = resolve(rows, folder)
    sources = {s.row.number: s for s in resolution.sources}
    problems = {p.row.number: p.text for p in resolution.problems if p.row is not None}
    folder_problems = [p.text for p in resolution.problems if p.row is None]
    if folder_problems:
        raise Failure("; ".join(folder_problems))

    warnings = []
    known = {r.stored_name for r in rows}
    for name in sorted(set(resources) - known):
        warnings.append(f"{exe} holds a {rows[0].stored_type} resource {name} that no row uses")

    width = len(str(len(rows)))
    matched = 0
    for row in rows:
        result = _verify_row(row, resources.get(row.stored_name, []), sources.get(row.number),
                             problems.get(row.number), hzl, warnings)
        if result.ok:
            matched += 1
        mark = "ok" if result.ok else "MISMATCH"
        say(f"[{row.number:>{width}}/{len(rows)}] {row.stored_name:<7} {row.staged:<24} "
            f"{mark}: {result.text}")
    return matched, warnings


def _verify_row(row, entries, source, problem, hzl, warnings):
    r = RowResult(row)
    if not entries:
        r.text = f"the executable holds no resource {row.stored_type}/{row.stored_name}"
        return r
    if len(entries) > 1:
        langs = ", ".join(f"{e.lang}/{e.sublang}" for e in entries)
        r.text = (f"{len(entries)} resources {row.stored_name} (languages {langs}); "
                  f"the lookup may find any of them")
        return r
    entry = entries[0]
    if entry.lang != 0 or entry.sublang != 0:
        warnings.append(f"{row.label()}: resource {row.stored_name} has language "
                        f"{entry.lang}/{entry.sublang}, not neutral")
    if source is None:
        r.text = f"nothing to compare with: {problem}"
        return r
    data = entry.data
    if source.kind != RAW:
        diff = _compare(data, source.data, "the resource", source.name)
        r.ok = diff is None
        r.text = diff or f"{len(data):,} bytes, equal to {source.name}"
        if r.ok and row.compressed:
            declared = hzlmod.parse_head(data)
            if declared is not None:
                r.text += f" (declared expanded size {declared:,})"
        return r

    declared = hzlmod.parse_head(data)
    if declared is None:
        r.text = (f"the resource is no \"!HZL\" file, so it cannot have been made "
                  f"from {source.name}")
        return r
    size_note = (f"declared {declared:,}, {source.name} has {len(source.data):,} bytes"
                 + ("" if declared == len(source.data) else " (DIFFERENT)"))
    try:
        expanded = hzl.expand_bytes(data, f"resource {row.stored_name}")
    except Failure as e:
        r.text = f"{e}; {size_note}"
        return r
    diff = _compare(expanded, source.data, "the expanded resource", source.name)
    if diff is None and declared != len(source.data):
        diff = "the declared size is not the raw file's"
    r.ok = diff is None
    saved = 100.0 * (len(source.data) - len(data)) / len(source.data) if source.data else 0.0
    if r.ok:
        r.text = (f"{len(data):,} bytes expand to {source.name} ({size_note}; "
                  f"{saved:.1f}% saved)")
    else:
        r.text = f"{diff}; {size_note}"
    return r

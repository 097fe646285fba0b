"""Which file of a product folder fills which row."""

import os
import unittest

import mkbtest
from mkb import product

PE = mkbtest.tiny_pe()
DIR = object()            # a folder in place of the file
DANGLING = object()       # a symbolic link to nothing


def complete_folder():
    """A folder that fills every row: staged names for the stored rows, raw
    names for the compressed ones."""
    files = {}
    for row in mkbtest.ROWS:
        if row.compressed:
            files[row.staged[:-1] + "x"] = b"raw " + row.staged.encode()
        else:
            files[row.staged] = b"stored " + row.staged.encode()
    return files


def with_changes(**changes):
    """complete_folder() with entries replaced (value) or removed (None)."""
    files = complete_folder()
    for name, value in changes.items():
        if value is None:
            files.pop(name, None)
        else:
            files[name] = value
    return files


# name: (folder contents, {staged name: expected}) where expected is
#   ("staged"|"raw", file name)  the row is filled from that file, or
#   ("problem", text)            the row cannot be filled; text names the file(s)
CASES = {
    "raw files for every compressed row": (complete_folder(), {
        "Fennimor.ex_": ("raw", "Fennimor.ex" + "x"),
        "Setup.ex_": ("raw", "Setup.exx"),
        "Liesmich.txt": ("staged", "Liesmich.txt"),
    }),
    "staged file taken as is": (with_changes(**{"Setup.exx": None, "Setup.ex_": b"!HZL...."}), {
        "Setup.ex_": ("staged", "Setup.ex_"),
    }),
    "staged file wins over the raw one": (with_changes(**{"Setup.ex_": b"!HZL...."}), {
        "Setup.ex_": ("staged", "Setup.ex_"),
    }),
    "raw file in other case": (with_changes(**{"eztw32.DLx": None, "EZTW32.DLL": b"dll"}), {
        "eztw32.DL_": ("raw", "EZTW32.DLL"),
    }),
    "staged file in other case": (with_changes(**{"Liesmich.txt": None, "LIESMICH.TXT": b"t"}), {
        "Liesmich.txt": ("staged", "LIESMICH.TXT"),
    }),
    "stored row missing": (with_changes(**{"Vertrag.txt": None}), {
        "Vertrag.txt": ("problem", "no file Vertrag.txt"),
    }),
    "compressed row missing": (with_changes(**{"KV-Standard.wx": None}), {
        "KV-Standard.w_": ("problem", "neither KV-Standard.w_ nor a raw file KV-Standard.w?"),
    }),
    "longer or shorter names are no candidates": (
        with_changes(**{"Setup.exx": None, "Setup.exe.bak": b"x", "Setup.ex": b"x",
                        "Setup.e_": b"x", "XSetup.exe": b"x"}), {
            "Setup.ex_": ("problem", "neither Setup.ex_ nor a raw file Setup.ex?"),
        }),
    "two raw candidates": (with_changes(**{"Fennimor.exe": b"a", "Fennimor.exx": b"b"}), {
        "Fennimor.ex_": ("problem", "Fennimor.exe, Fennimor.exx"),
        "Liesmich.txt": ("staged", "Liesmich.txt"),
    }),
    "raw candidates differing in case": (with_changes(**{"Setup.exx": None, "Setup.exe": b"a",
                                                          "SETUP.EXE": b"b"}), {
        "Setup.ex_": ("problem", "SETUP.EXE, Setup.exe"),
    }),
    "staged names differing in case": (with_changes(**{"SETUP.LST": b"a", "Setup.lst": b"b"}), {
        "Setup.lst": ("problem", "differ only in case: SETUP.LST, Setup.lst"),
    }),
    "folder in place of a stored file": (with_changes(**{"Beispiel.dbfnm": DIR}), {
        "Beispiel.dbfnm": ("problem", "Beispiel.dbfnm is a folder, not a file"),
    }),
    "folder in place of a raw file": (with_changes(**{"Setup.exx": DIR}), {
        "Setup.ex_": ("problem", "Setup.exx is a folder, not a file"),
    }),
    "dangling link in place of a file": (with_changes(**{"Ubuntu2.vsf": DANGLING}), {
        "Ubuntu2.vsf": ("problem", "cannot read"),
    }),
    "empty file is a file": (with_changes(**{"Setup.lst": b""}), {
        "Setup.lst": ("staged", "Setup.lst"),
    }),
}


class Matching(unittest.TestCase):
    def setUp(self):
        self.base = mkbtest.work_dir("matching")

    def make(self, name, files):
        folder = mkbtest.fresh_dir(os.path.join(self.base, name.replace(" ", "_")))
        for fname, data in files.items():
            path = os.path.join(folder, fname)
            if data is DIR:
                os.mkdir(path)
            elif data is DANGLING:
                os.symlink(os.path.join(folder, "nowhere"), path)
            else:
                with open(path, "wb") as f:
                    f.write(data)
        return folder

    def test_cases(self):
        for name, (files, expected) in CASES.items():
            with self.subTest(name):
                folder = self.make(name, files)
                res = product.resolve(mkbtest.ROWS, folder)
                sources = {s.row.staged: s for s in res.sources}
                problems = {p.row.staged: str(p) for p in res.problems}
                for staged, (kind, text) in expected.items():
                    row = mkbtest.ROW_BY_NAME[staged]
                    if kind == "problem":
                        self.assertNotIn(staged, sources)
                        self.assertIn(staged, problems)
                        self.assertIn(text, problems[staged])
                        self.assertIn(f"row {row.number} ({row.resource}, {staged})",
                                      problems[staged])
                    else:
                        self.assertNotIn(staged, problems, problems.get(staged))
                        self.assertEqual(sources[staged].kind, kind)
                        self.assertEqual(sources[staged].name, text)
                        with open(os.path.join(folder, text), "rb") as f:
                            self.assertEqual(sources[staged].data, f.read())
                # Rows the case does not touch are filled.
                untouched = set(mkbtest.ROW_BY_NAME) - set(expected)
                for staged in untouched:
                    self.assertIn(staged, sources, f"{staged}: {problems.get(staged)}")
                self.assertEqual(len(res.sources) + len(res.problems), len(mkbtest.ROWS))

    def test_every_problem_reported_at_once(self):
        folder = self.make("many", with_changes(**{"Vertrag.txt": None, "Setup.exx": None,
                                                   "Beispiel.dbfnm": DIR}))
        res = product.resolve(mkbtest.ROWS, folder)
        self.assertEqual(sorted(p.row.staged for p in res.problems),
                         ["Beispiel.dbfnm", "Setup.ex_", "Vertrag.txt"])

    def test_missing_folder(self):
        res = product.resolve(mkbtest.ROWS, os.path.join(self.base, "absent"))
        self.assertEqual(len(res.problems), 1)
        self.assertIsNone(res.problems[0].row)
        self.assertIn("absent", str(res.problems[0]))

    def test_staged_wins_is_noted_and_extra_files_are_named(self):
        folder = self.make("notes", with_changes(**{"Setup.ex_": b"!HZL....", "README": b"x"}))
        res = product.resolve(mkbtest.ROWS, folder)
        notes = "\n".join(res.notes)
        self.assertIn("Setup.ex_ taken as is; Setup.exx not used", notes)
        self.assertIn("left out: README", notes)

    def test_raw_pattern(self):
        cases = {"Fennimor.ex_": "Fennimor.ex?", "KV-Standard.w_": "KV-Standard.w?"}
        for staged, pattern in cases.items():
            self.assertEqual(mkbtest.ROW_BY_NAME[staged].raw_pattern, pattern)


if __name__ == "__main__":
    unittest.main()

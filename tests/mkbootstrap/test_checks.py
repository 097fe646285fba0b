"""The checks of a set's contents before a build."""

import unittest

import mkbtest
from mkb import checks, table

LISTED = table.listed_rows(mkbtest.ROWS)
ALL_LISTED = [r.staged for r in LISTED]


def lst(*lines):
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def files_section(names):
    return ["[Files]", f"Count={len(names)}"] + [f"File{i}={n}" for i, n in enumerate(names, 1)]


# name: (Setup.lst bytes, expected error text or None, expected warning texts)
INSTALLER_LIST_CASES = {
    "names rows 1 to 14": (lst("[General]", "Product=Fennimor", *files_section(ALL_LISTED)),
                           None, []),
    "comments and blanks before [General]": (
        lst("; list of the set", "", "[General]", *files_section(ALL_LISTED)), None, []),
    "section name in other case": (lst("[general]", *files_section(ALL_LISTED)), None, []),
    "comment after the section": (lst("[General] ; main", *files_section(ALL_LISTED)), None, []),
    "unclosed section": (lst("[General", *files_section(ALL_LISTED)),
                         "expected the section [General] first", []),
    "names in other case": (
        lst("[General]", *files_section([n.upper() for n in ALL_LISTED])), None, []),
    "names with paths and several to a value": (
        lst("[General]", "Files=" + ", ".join("{app}\\" + n for n in ALL_LISTED)), None, []),
    "version numbers and titles are no file names": (
        lst("[General]", "Version=1.0.3", "Title=Setup_Fennimor 2.5", "Mail=info@example.de",
            *files_section(ALL_LISTED)), None, []),
    "first section is another": (lst("[Files]", "File1=Liesmich.txt", "[General]"),
                                 "the first section is [Files], not [General]", []),
    "key before any section": (lst("Product=Fennimor", "[General]"),
                               "expected the section [General] first", []),
    "byte-order mark": (b"\xef\xbb\xbf" + lst("[General]", *files_section(ALL_LISTED)),
                        "byte-order mark", []),
    "no section at all": (lst("; nothing", ""), "has no section", []),
    "empty file": (b"", "has no section", []),
    "names a file the set does not stage": (
        lst("[General]", *files_section(ALL_LISTED + ["Fennimor.exe"])), None,
        ["names Fennimor.exe, which is not the staged file of rows 1 to 14"]),
    "names the second stage": (
        lst("[General]", *files_section(ALL_LISTED + ["Setup.ex_"])), None,
        ["names Setup.ex_"]),
    "leaves a row out": (
        lst("[General]", *files_section([n for n in ALL_LISTED if n != "Beispiel.dbfnm"])),
        None, ["does not name Beispiel.dbfnm (row 14 (Test14, Beispiel.dbfnm))"]),
    "a line that is nothing": (lst("[General]", "just words", *files_section(ALL_LISTED)),
                               None, ["line 2: neither a section"]),
}

# name: (bytes, number of warnings, text in the warning)
LINE_END_CASES = {
    "CRLF throughout": (b"a\r\nb\r\n", 0, None),
    "no line end at all": (b"one line", 0, None),
    "last line without end": (b"a\r\nb", 0, None),
    "LF alone": (b"a\r\nb\nc\n", 1, "2 line(s) end in LF alone (first: line 2)"),
    "CR alone": (b"a\rb\r\n", 1, "1 in CR alone (first: line 1)"),
    "LF CR is not CRLF": (b"a\n\rb", 1, "1 line(s) end in LF alone and 1 in CR alone"),
    "empty": (b"", 0, None),
}

PE = mkbtest.tiny_pe()


def broken(data, at, value):
    b = bytearray(data)
    b[at:at + len(value)] = value
    return bytes(b)


# name: (bytes, expected description or None for "not a PE file")
PE_CASES = {
    "32-bit GUI program": (PE, "PE32 x86 GUI program"),
    "64-bit console program": (mkbtest.tiny_pe(machine=0x8664, subsystem=3),
                               "PE32 x64 console program"),
    "no MZ": (broken(PE, 0, b"ZM"), None),
    "PE signature missing": (broken(PE, 0x40, b"PX"), None),
    "header offset past the end": (broken(PE, 0x3C, b"\xff\xff\x00\x00"), None),
    "too short": (b"MZ", None),
    "text file": (b"[General]\r\n" * 20, None),
    "compressed file": (b"!HZL" + bytes(100), None),
}

FILE_NAME_CASES = {
    "Fennimor.ex_": True, "KV-Standard.w_": True, "openthesaurus.tx_": True,
    "Beispiel.dbfnm": True, "eztw32.DL_": True, "1.0": False, "v2.5": False,
    "Fennimor": False, ".profile": False, "name.": False, "info@example.de": False,
    "1.0.3a": False,
}


class InstallerList(unittest.TestCase):
    def test_cases(self):
        for name, (data, error, warnings) in INSTALLER_LIST_CASES.items():
            with self.subTest(name):
                f = checks.check_installer_list(data, LISTED)
                if error is None:
                    self.assertEqual(f.errors, [])
                else:
                    self.assertEqual(len(f.errors), 1, f.errors)
                    self.assertIn(error, f.errors[0])
                    self.assertIn("Setup.lst", f.errors[0])
                self.assertEqual(len(f.warnings), len(warnings), f.warnings)
                for w, text in zip(f.warnings, warnings):
                    self.assertIn(text, w)


class LineEnds(unittest.TestCase):
    def test_cases(self):
        for name, (data, count, text) in LINE_END_CASES.items():
            with self.subTest(name):
                f = checks.check_line_ends(data, "Liesmich.txt")
                self.assertEqual(f.errors, [])
                self.assertEqual(len(f.warnings), count, f.warnings)
                if text:
                    self.assertIn(text, f.warnings[0])
                    self.assertTrue(f.warnings[0].startswith("Liesmich.txt: "))


class SecondStage(unittest.TestCase):
    def test_cases(self):
        for name, (data, desc) in PE_CASES.items():
            with self.subTest(name):
                self.assertEqual(checks.describe_pe(data), desc)
                f = checks.check_second_stage(data, "Setup.exe")
                if desc is None:
                    self.assertEqual(len(f.errors), 1)
                    self.assertIn("Setup.exe is not a Windows program", f.errors[0])
                else:
                    self.assertEqual(f.errors, [])


class FileNames(unittest.TestCase):
    def test_cases(self):
        for token, expected in FILE_NAME_CASES.items():
            with self.subTest(token):
                self.assertEqual(checks.looks_like_file_name(token), expected)


if __name__ == "__main__":
    unittest.main()

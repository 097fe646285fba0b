"""mkbootstrap's rows are the bootstrap's rows, and the release engineers'
document shows them as they are."""

import os
import re
import subprocess
import unittest

import mkbtest
from mkb import table
from mkb.errors import Failure

DOC = os.path.join(mkbtest.SOURCE_DIR, "docs", "release-engineering.md")
BEGIN = re.compile(r"^<!-- payload-table:(?! end).*-->\n", re.M)
END = "<!-- payload-table: end -->"


class SameRows(unittest.TestCase):
    def test_tool_reads_the_rows_the_bootstrap_compiles(self):
        printer = mkbtest.setting("MKB_TABLE_PRINTER")
        compiled = subprocess.run([printer], stdout=subprocess.PIPE, text=True, check=True).stdout
        tool = mkbtest.run_tool("--print-table", "--format", "tsv")
        self.assertEqual(tool.returncode, 0, tool.stderr)
        self.assertEqual(tool.stdout, compiled)
        self.assertEqual(len(compiled.splitlines()), 16)

    def test_document_shows_the_table(self):
        with open(DOC, encoding="utf-8") as f:
            doc = f.read()
        begin = BEGIN.search(doc)
        self.assertIsNotNone(begin, f"{DOC} has no payload-table marker")
        end = doc.find(END, begin.end())
        self.assertGreater(end, 0, f"{DOC} has no end marker")
        tool = mkbtest.run_tool("--print-table")
        self.assertEqual(tool.returncode, 0, tool.stderr)
        self.assertEqual(doc[begin.end():end], tool.stdout,
                         "docs/release-engineering.md is out of date: paste the output of "
                         "tools/mkbootstrap/mkbootstrap --print-table between the markers")


# name: (payload_rows.def text, error text or None, rows expected)
PARSE_CASES = {
    "comments and blank lines around rows": (
        '// rows\n\nPAYLOAD_ROW("Test1", "FILE", "a.ex_")\n  PAYLOAD_ROW("Test2", "FILE", "b.txt")\n',
        None, [(1, "Test1", "FILE", "a.ex_"), (2, "Test2", "FILE", "b.txt")]),
    "unreadable row": ('PAYLOAD_ROW("Test1", FILE, "a.ex_")\n', "unreadable payload row", None),
    "no row": ("// nothing\n", "holds no payload row", None),
    "repeated resource name": (
        'PAYLOAD_ROW("Test1", "FILE", "a.txt")\nPAYLOAD_ROW("TEST1", "FILE", "b.txt")\n',
        "repeats the resource name", None),
    "repeated staged name": (
        'PAYLOAD_ROW("Test1", "FILE", "a.txt")\nPAYLOAD_ROW("Test2", "FILE", "A.TXT")\n',
        "repeats the staged name", None),
}


class Parsing(unittest.TestCase):
    def test_cases(self):
        for name, (text, error, rows) in PARSE_CASES.items():
            with self.subTest(name):
                if error:
                    with self.assertRaises(Failure) as cm:
                        table.parse_rows(text, "rows.def")
                    self.assertIn(error, str(cm.exception))
                    self.assertIn("rows.def", str(cm.exception))
                else:
                    got = [(r.number, r.resource, r.rtype, r.staged)
                           for r in table.parse_rows(text, "rows.def")]
                    self.assertEqual(got, rows)

    def test_compressed_rows_are_the_ones_ending_in_underscore(self):
        got = [r.staged for r in mkbtest.ROWS if r.compressed]
        self.assertEqual(got, ["Fennimor.ex_", "Fennimor.ch_", "eztw32.DL_", "openthesaurus.tx_",
                               "KV-Standard.w_", "Setup.ex_"])

    def test_installer_list_rows(self):
        self.assertEqual([r.number for r in table.listed_rows(mkbtest.ROWS)], list(range(1, 15)))


if __name__ == "__main__":
    unittest.main()

"""--verify against executables made here with windres and a trivial
program, so every way an executable can miss its product folder is at hand."""

import os
import re
import shutil
import subprocess
import unittest

import mkbtest

WINDRES = "i686-w64-mingw32-windres"
CC = "i686-w64-mingw32-gcc"
# "[ 4/16] TEST4   Vertrag.txt   MISMATCH: ..." or "... ok: ..."
ROW_LINE = re.compile(r"^\[\s*(\d+)/16\] (\S+)\s+(\S+)\s+(ok|MISMATCH): ")


def tool(name):
    path = shutil.which(name)
    if not path:
        raise AssertionError(f"{name} not found: install binutils-mingw-w64-i686 and "
                             f"gcc-mingw-w64-i686 (scripts/install-deps.sh)")
    return path


def rc_path(path):
    return path.replace("\\", "\\\\").replace('"', '\\"')


class Variant:
    """What to change in the executable or the folder, from the correct one."""

    def __init__(self, resources=None, languages=None, extra=None, folder=None):
        self.resources = resources or {}   # stored name -> bytes, or None to leave it out
        self.languages = languages or {}   # stored name -> [(primary, sub), ...]
        self.extra = extra or {}           # further FILE resources
        self.folder = folder               # change to a copy of the product folder


def remove_file(name):
    def change(folder):
        os.remove(os.path.join(folder, name))
    return change


def append_byte(name):
    def change(folder):
        with open(os.path.join(folder, name), "ab") as f:
            f.write(b"x")
    return change


# name: (variant, rows that do not match, texts in the output, warnings expected)
CASES = {
    "every row as built": (Variant(), [], ["16 of 16 rows match"], []),
    "stored resource altered": (
        Variant(resources={"TEST4": "Vertrag.txt+1"}), ["TEST4"],
        ["differs from Vertrag.txt at byte 0", "15 of 16 rows match"], []),
    "stored resource cut short": (
        Variant(resources={"TEST16": "Setup.lst[:-2]"}), ["TEST16"],
        ["differs from Setup.lst at byte", "the resource has", "15 of 16"], []),
    "compressed resource of other content": (
        Variant(resources={"TEST1": "compress(other)"}), ["TEST1"],
        ["the expanded resource differs from Fennimor.exe"], []),
    "stored where compressed is due": (
        Variant(resources={"TEST15": "raw Setup.exe"}), ["TEST15"],
        ["no \"!HZL\" file, so it cannot have been made from Setup.exe"], []),
    "staged compressed row altered": (
        Variant(resources={"TEST2": "Fennimor.ch_ altered"}), ["TEST2"],
        ["differs from Fennimor.ch_"], []),
    "resource missing": (Variant(resources={"TEST9": None}), ["TEST9"],
                         ["holds no resource FILE/TEST9", "15 of 16"], []),
    "resource in two languages": (
        Variant(languages={"TEST3": [(0, 0), (7, 1)]}), ["TEST3"],
        ["2 resources TEST3", "languages 0/0, 7/1"], []),
    "resource with a language": (
        Variant(languages={"TEST5": [(7, 1)]}), [], ["16 of 16 rows match"],
        ["resource TEST5 has language 7/1, not neutral"]),
    "resource no row uses": (
        Variant(extra={"TEST17": b"spare"}), [], ["16 of 16 rows match"],
        ["FILE resource TEST17 that no row uses"]),
    "folder lacks a file": (
        Variant(folder=remove_file("Vertrag.txt")), ["TEST4"],
        ["nothing to compare with", "no file Vertrag.txt"], []),
    "folder holds another raw file": (
        Variant(folder=append_byte("KV-Standard.wk")), ["TEST7"],
        ["(DIFFERENT)", "the expanded resource differs from KV-Standard.wk"], []),
}


class VerifyFixture(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.base = mkbtest.work_dir("verify_fixture")
        cls.hzl = mkbtest.hzl_path()
        cls.windres = tool(WINDRES)
        cc = tool(CC)
        cls.product = os.path.join(cls.base, "product")
        cls.files = mkbtest.make_product(cls.product, mkbtest.tiny_pe())
        main = os.path.join(cls.base, "main.c")
        with open(main, "w") as f:
            f.write("int main(void) { return 0; }\n")
        cls.main_obj = os.path.join(cls.base, "main.o")
        subprocess.run([cc, "-c", main, "-o", cls.main_obj], check=True)
        cls.cc = cc
        # The resources an executable built from the folder carries.
        cls.staged = {}
        for row in mkbtest.ROWS:
            if row.staged in cls.files:
                cls.staged[row.stored_name] = cls.files[row.staged]
            else:
                raw_name = mkbtest.RAW_NAMES[row.staged]
                packed = os.path.join(cls.base, row.staged)
                mkbtest.compress(cls.files[raw_name], packed, cls.hzl)
                with open(packed, "rb") as f:
                    cls.staged[row.stored_name] = f.read()

    def resource_bytes(self, how, name):
        """The bytes a variant puts in place of resource name."""
        files = self.files
        if how == "Vertrag.txt+1":
            data = bytearray(files["Vertrag.txt"])
            data[0] ^= 1
            return bytes(data)
        if how == "Setup.lst[:-2]":
            return files["Setup.lst"][:-2]
        if how == "compress(other)":
            target = os.path.join(self.base, "other.hz_")
            mkbtest.compress(files["Fennimor.exe"][:-1] + b"!", target, self.hzl)
            with open(target, "rb") as f:
                return f.read()
        if how == "raw Setup.exe":
            return files["Setup.exe"]
        if how == "Fennimor.ch_ altered":
            return self.staged[name][:-1] + bytes([self.staged[name][-1] ^ 0x40])
        raise AssertionError(how)

    def build(self, name, variant):
        folder = mkbtest.fresh_dir(os.path.join(self.base, name.replace(" ", "_")))
        lines = []
        entries = dict(self.staged)
        for res, how in variant.resources.items():
            entries[res] = None if how is None else self.resource_bytes(how, res)
        entries.update(variant.extra)
        for res, data in entries.items():
            if data is None:
                continue
            path = os.path.join(folder, res + ".bin")
            with open(path, "wb") as f:
                f.write(data)
            for primary, sub in variant.languages.get(res, [(0, 0)]):
                lines.append(f"LANGUAGE {primary}, {sub}")
                lines.append(f'{res} FILE "{rc_path(path)}"')
        rc = os.path.join(folder, "payload.rc")
        with open(rc, "w") as f:
            f.write("\n".join(lines) + "\n")
        obj = os.path.join(folder, "payload.o")
        subprocess.run([self.windres, "-O", "coff", "-i", rc, "-o", obj], check=True)
        exe = os.path.join(folder, "fixture.exe")
        subprocess.run([self.cc, self.main_obj, obj, "-o", exe], check=True)
        product = self.product
        if variant.folder:
            product = os.path.join(folder, "product")
            shutil.copytree(self.product, product)
            variant.folder(product)
        return exe, product

    def test_cases(self):
        for name, (variant, mismatched, texts, warnings) in CASES.items():
            with self.subTest(name):
                exe, product = self.build(name, variant)
                r = mkbtest.run_tool("--verify", exe, product, "--hzl", self.hzl)
                self.assertEqual(r.returncode, 1 if mismatched else 0, r.stdout + r.stderr)
                for text in texts:
                    self.assertIn(text, r.stdout)
                got = [line for line in r.stderr.splitlines() if "warning:" in line]
                self.assertEqual(len(got), len(warnings), r.stderr)
                for line, text in zip(got, warnings):
                    self.assertIn(text, line)
                lines = [ROW_LINE.match(line) for line in r.stdout.splitlines()
                         if line.startswith("[")]
                self.assertEqual(len(lines), 16, r.stdout)
                self.assertTrue(all(lines), r.stdout)
                bad = [m.group(2) for m in lines if m.group(4) == "MISMATCH"]
                self.assertEqual(bad, mismatched, r.stdout)
                self.assertEqual([int(m.group(1)) for m in lines], list(range(1, 17)))

    def test_not_an_executable(self):
        path = os.path.join(self.base, "not.exe")
        with open(path, "wb") as f:
            f.write(b"MZ but nothing else")
        r = mkbtest.run_tool("--verify", path, self.product, "--hzl", self.hzl)
        self.assertEqual(r.returncode, 1)
        self.assertIn("cannot read", r.stderr)
        self.assertIn("as a Windows executable", r.stderr)


if __name__ == "__main__":
    unittest.main()

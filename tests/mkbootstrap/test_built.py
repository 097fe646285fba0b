"""mkbootstrap from end to end: a product folder made here, with the demo
second stage of the Windows build, built into a real bootstrap executable by
the project's cross build.

BuildSet.test_build makes the set (a CTest fixture); the other classes use
what it left in MKB_WORK/set and each run as a CTest test of their own.
"""

import os
import re
import shutil
import subprocess
import unittest

import mkbtest
from mkb import peres
from mkb import sign as signmod

SIGNING_TIME = "1700000000"
SIGNING_TIME_TEXT = "Nov 14 22:13:20 2023 GMT"  # as osslsigncode shows it
ROW_LINE = re.compile(r"^\[\s*(\d+)/16\] (\S+)\s+(\S+)\s+<- (\S+)\s+")


def set_dir():
    return os.path.join(mkbtest.setting("MKB_WORK"), "set")


def built():
    """(product folder, the executable BuildSet made)."""
    folder = set_dir()
    exe = os.path.join(folder, "out", "Setup_Fennimor.exe")
    if not os.path.isfile(exe):
        raise AssertionError(f"{exe} missing: the mkbootstrap.build_set test has not passed")
    return os.path.join(folder, "product"), exe


def read(path):
    with open(path, "rb") as f:
        return f.read()


class BuildSet(unittest.TestCase):
    def test_build(self):
        folder = mkbtest.fresh_dir(set_dir())
        product = os.path.join(folder, "product")
        files = mkbtest.make_product(product, read(mkbtest.second_stage_path()))
        out = mkbtest.fresh_dir(os.path.join(folder, "out"))
        exe = os.path.join(out, "Setup_Fennimor.exe")
        r = mkbtest.run_tool(product, "-o", exe, "--hzl", mkbtest.hzl_path(),
                             "--build-dir", os.path.join(folder, "build-a"))
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(mkbtest.listing(out), ["Setup_Fennimor.exe"])

        # One progress line per row, naming the file it came from.
        rows = [ROW_LINE.match(line) for line in r.stdout.splitlines() if line.startswith("[")]
        self.assertTrue(all(rows), r.stdout)
        self.assertEqual([m.group(3) for m in rows], [row.staged for row in mkbtest.ROWS])
        sources = {m.group(3): m.group(4) for m in rows}
        for staged, raw in mkbtest.RAW_NAMES.items():
            self.assertEqual(sources[staged], raw or staged)
        compressed_here = [line for line in r.stdout.splitlines() if "saved (hzl -9)" in line]
        self.assertEqual(len(compressed_here),
                         sum(1 for raw in mkbtest.RAW_NAMES.values() if raw), r.stdout)
        self.assertIn("16 rows: 5 compressed here, 11 taken as is", r.stdout)
        self.assertIn("all 16 rows verified", r.stdout)
        self.assertEqual(r.stderr, "")

        # The resources are the staged files: checked here without the tool.
        resources = peres.file_resources(exe)
        self.assertEqual(sorted(resources), sorted(row.stored_name for row in mkbtest.ROWS))
        for row in mkbtest.ROWS:
            (entry,) = resources[row.stored_name]
            self.assertEqual((entry.lang, entry.sublang), (0, 0))
            raw = mkbtest.RAW_NAMES.get(row.staged)
            if raw:
                self.assertEqual(entry.data[:4], b"!HZL")
                self.assertEqual(int.from_bytes(entry.data[4:8], "little"), len(files[raw]))
            else:
                self.assertEqual(entry.data, files[row.staged], row.staged)


class Reproducible(unittest.TestCase):
    def test_same_bytes_from_another_build_and_product_folder(self):
        product, exe = built()
        work = mkbtest.work_dir("reproducible")
        moved = os.path.join(work, "elsewhere", "product")
        shutil.copytree(product, moved)
        again = os.path.join(work, "again.exe")
        r = mkbtest.run_tool(moved, "-o", again, "--hzl", mkbtest.hzl_path(),
                             "--build-dir", os.path.join(work, "build-b"))
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        a, b = read(exe), read(again)
        self.assertEqual(len(a), len(b))
        if a != b:
            at = next(i for i in range(len(a)) if a[i] != b[i])
            self.fail(f"two builds of the same set differ at byte {at:#x}")

    def test_no_time_stamps(self):
        _, exe = built()
        pefile = peres._import_pefile()
        pe = pefile.PE(exe)
        self.assertEqual(pe.FILE_HEADER.TimeDateStamp, 0)
        stamps = []

        def walk(directory):
            stamps.append(directory.struct.TimeDateStamp)
            for entry in directory.entries:
                if hasattr(entry, "directory"):
                    walk(entry.directory)
        walk(pe.DIRECTORY_ENTRY_RESOURCE)
        self.assertGreater(len(stamps), 16)
        self.assertEqual(set(stamps), {0})
        for d in getattr(pe, "DIRECTORY_ENTRY_DEBUG", []):
            self.assertEqual(d.struct.TimeDateStamp, 0)


class VerifyBuilt(unittest.TestCase):
    def setUp(self):
        self.product, self.exe = built()
        self.work = mkbtest.work_dir("verify_built")
        self.hzl = mkbtest.hzl_path()

    def verify(self, exe, product=None):
        return mkbtest.run_tool("--verify", exe, product or self.product, "--hzl", self.hzl)

    def test_built_set_verifies(self):
        r = self.verify(self.exe)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn("16 of 16 rows match", r.stdout)

    def test_altered_resources(self):
        resources = peres.file_resources(self.exe)
        # name: (resource, byte to flip counted from the resource's start)
        cases = {"stored text": ("TEST4", 10), "compressed second stage": ("TEST15", 200),
                 "last byte of the list": ("TEST16", -1)}
        for name, (res, at) in cases.items():
            with self.subTest(name):
                entry = resources[res][0]
                data = bytearray(read(self.exe))
                pos = entry.offset + (at if at >= 0 else len(entry.data) + at)
                data[pos] ^= 0x20
                path = os.path.join(self.work, name.replace(" ", "_") + ".exe")
                with open(path, "wb") as f:
                    f.write(data)
                r = self.verify(path)
                self.assertEqual(r.returncode, 1, r.stdout)
                mismatched = [line for line in r.stdout.splitlines() if "MISMATCH" in line]
                self.assertEqual(len(mismatched), 1, r.stdout)
                self.assertIn(f" {res} ", mismatched[0])

    def test_other_product_folder(self):
        other = os.path.join(self.work, "product")
        shutil.copytree(self.product, other)
        with open(os.path.join(other, "Fennimor.exe"), "r+b") as f:
            f.seek(1000)
            byte = f.read(1)
            f.seek(1000)
            f.write(bytes([byte[0] ^ 1]))
        r = self.verify(self.exe, other)
        self.assertEqual(r.returncode, 1)
        self.assertIn("differs from Fennimor.exe at byte 1,000", r.stdout)


class Signed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.product, cls.exe = built()
        cls.work = mkbtest.work_dir("signed")
        cls.cert = os.path.join(cls.work, "cert.pem")
        key = os.path.join(cls.work, "key.pem")
        cls.password = os.path.join(cls.work, "password")
        cls.p12 = os.path.join(cls.work, "release.p12")
        with open(cls.password, "w") as f:
            f.write("geheim\n")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                        "-keyout", key, "-out", cls.cert, "-days", "30",
                        "-subj", "/CN=mkbootstrap test signing",
                        "-addext", "extendedKeyUsage=codeSigning"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cls.cert,
                        "-out", cls.p12, "-passout", f"file:{cls.password}"], check=True)
        cls.signed = os.path.join(cls.work, "signed.exe")
        # The build folder of the fixture again: a rebuild in a used folder.
        cls.result = mkbtest.run_tool(cls.product, "-o", cls.signed, "--hzl", mkbtest.hzl_path(),
                                   "--build-dir", os.path.join(set_dir(), "build-a"),
                                   "--sign", cls.p12, "--password-file", cls.password,
                                   "--signing-time", SIGNING_TIME)

    def osslsigncode_verify(self, path):
        return subprocess.run(["osslsigncode", "verify", "-CAfile", self.cert, "-in", path],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def test_signature_verifies(self):
        self.assertEqual(self.result.returncode, 0, self.result.stdout + self.result.stderr)
        self.assertIn("signed with", self.result.stdout)
        r = self.osslsigncode_verify(self.signed)
        self.assertEqual(r.returncode, 0, r.stdout)
        self.assertIn("Signature verification: ok", r.stdout)
        self.assertIn("mkbootstrap test signing", r.stdout)
        self.assertIn(f"Signing time: {SIGNING_TIME_TEXT}", r.stdout)
        # The same check refuses the unsigned build.
        self.assertNotEqual(self.osslsigncode_verify(self.exe).returncode, 0)

    def test_resources_still_verify(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        r = mkbtest.run_tool("--verify", self.signed, self.product, "--hzl", mkbtest.hzl_path())
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_only_the_signature_is_added(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        unsigned, signed = read(self.exe), read(self.signed)
        self.assertIsNone(signmod.differs_beyond_signature(unsigned, signed))
        self.assertGreater(len(signed), len(unsigned))

    def test_signing_with_a_fixed_time_is_reproducible(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        again = os.path.join(self.work, "again.exe")
        signer = signmod.Signer(self.p12, self.password, SIGNING_TIME)
        signer.sign(self.exe, again)
        self.assertEqual(read(again), read(self.signed))

    def test_wrong_password_writes_nothing(self):
        wrong = os.path.join(self.work, "wrong")
        with open(wrong, "w") as f:
            f.write("falsch\n")
        out = mkbtest.fresh_dir(os.path.join(self.work, "wrong-out"))
        r = mkbtest.run_tool(self.product, "-o", os.path.join(out, "x.exe"),
                             "--hzl", mkbtest.hzl_path(),
                             "--build-dir", os.path.join(set_dir(), "build-a"),
                             "--sign", self.p12, "--password-file", wrong)
        self.assertEqual(r.returncode, 1, r.stdout)
        self.assertIn("signing with", r.stderr)
        self.assertEqual(mkbtest.listing(out), [])


if __name__ == "__main__":
    unittest.main()

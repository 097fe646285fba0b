"""mkbootstrap's command line: folders it refuses, and that a refused build
leaves nothing behind. None of these cases gets as far as the cross build."""

import os
import shutil
import unittest

import mkbtest


def remove(name):
    def change(folder):
        os.remove(os.path.join(folder, name))
    return change


def write(name, data):
    def change(folder):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return change


def folder_instead(name):
    """A folder in place of a file: unreadable as a file for root too."""
    def change(folder):
        os.remove(os.path.join(folder, name))
        os.mkdir(os.path.join(folder, name))
    return change


def dangling_link(name):
    def change(folder):
        os.remove(os.path.join(folder, name))
        os.symlink(os.path.join(folder, "gone"), os.path.join(folder, name))
    return change


def compressed(name, data):
    def change(folder):
        mkbtest.compress(data, os.path.join(folder, name))
    return change


def both(*changes):
    def change(folder):
        for c in changes:
            c(folder)
    return change


# name: (change to the product folder, texts the error must hold)
REFUSED = {
    "missing stored row": (remove("Vertrag.txt"),
                           ["row 4 (Test4, Vertrag.txt)", "no file Vertrag.txt"]),
    "missing compressed row": (remove("KV-Standard.wk"),
                               ["row 7 (Test7, KV-Standard.w_)", "KV-Standard.w?"]),
    "two candidates": (write("Setup.exf", mkbtest.tiny_pe()),
                       ["row 15 (Test15, Setup.ex_)", "Setup.exe, Setup.exf"]),
    "folder in place of a stored file": (folder_instead("Beispiel.dbfnm"),
                                         ["row 14 (Test14, Beispiel.dbfnm)",
                                          "Beispiel.dbfnm is a folder"]),
    "dangling link for a raw file": (dangling_link("Fennimor.exe"),
                                     ["row 1 (Test1, Fennimor.ex_)", "Fennimor.exe",
                                      "cannot read"]),
    "second stage is no program": (write("Setup.exe", b"echo setup\r\n" * 20),
                                   ["Setup.exe is not a Windows program"]),
    "compressed second stage is no program": (
        both(remove("Setup.exe"), compressed("Setup.ex_", b"no program here\r\n" * 50)),
        ["Setup.exe (expanded from Setup.ex_) is not a Windows program"]),
    "staged second stage without head": (both(remove("Setup.exe"), write("Setup.ex_", b"MZ" * 40)),
                                         ["Setup.ex_ is no \"!HZL\" file"]),
    "staged compressed row without head": (write("Fennimor.ch_", b"<html>" * 40),
                                           ["row 2 (Test2, Fennimor.ch_)", "no \"!HZL\" file"]),
    "installer list without [General]": (write("Setup.lst", b"[Files]\r\nFile1=Liesmich.txt\r\n"),
                                         ["Setup.lst line 1", "first section is [Files]"]),
}


class Refused(unittest.TestCase):
    def setUp(self):
        self.base = mkbtest.work_dir("cli")
        self.hzl = mkbtest.hzl_path()
        self.template = os.path.join(self.base, "template")
        mkbtest.make_product(self.template, mkbtest.tiny_pe())

    def product(self, name, change=None):
        folder = os.path.join(self.base, name.replace(" ", "_"))
        shutil.copytree(self.template, folder, symlinks=True)
        if change:
            change(folder)
        return folder

    def out_dir(self, name):
        return mkbtest.fresh_dir(os.path.join(self.base, "out-" + name.replace(" ", "_")))

    def test_usable_folder_passes_the_checks(self):
        # The template itself is fine: the refusals below come from the changes.
        r = mkbtest.run_tool("--check", self.product("fine"), "--hzl", self.hzl)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, "")
        self.assertIn("makes a set of 16 rows", r.stdout)

    def test_refused_folders(self):
        for name, (change, texts) in REFUSED.items():
            with self.subTest(name):
                folder = self.product(name, change)
                check = mkbtest.run_tool("--check", folder, "--hzl", self.hzl)
                self.assertEqual(check.returncode, 1, check.stdout + check.stderr)
                out = self.out_dir(name)
                target = os.path.join(out, "Setup_Fennimor.exe")
                r = mkbtest.run_tool(folder, "-o", target, "--hzl", self.hzl)
                self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
                for text in texts:
                    self.assertIn(text, r.stderr)
                    self.assertIn(text, check.stderr)
                self.assertEqual(mkbtest.listing(out), [], "a refused build wrote something")

    def test_refused_build_keeps_an_earlier_output(self):
        folder = self.product("earlier", remove("Setup.lst"))
        out = self.out_dir("earlier")
        target = os.path.join(out, "Setup_Fennimor.exe")
        with open(target, "wb") as f:
            f.write(b"earlier build")
        r = mkbtest.run_tool(folder, "-o", target, "--hzl", self.hzl)
        self.assertEqual(r.returncode, 1)
        self.assertIn("row 16 (Test16, Setup.lst)", r.stderr)
        self.assertEqual(mkbtest.listing(out), ["Setup_Fennimor.exe"])
        with open(target, "rb") as f:
            self.assertEqual(f.read(), b"earlier build")

    def test_every_problem_in_one_run(self):
        folder = self.product("several", both(remove("Vertrag.txt"), folder_instead("Ubuntu2.vsf"),
                                              write("Setup.exf", b"x")))
        r = mkbtest.run_tool("--check", folder, "--hzl", self.hzl)
        self.assertEqual(r.returncode, 1)
        for text in ("row 4 (Test4", "row 8 (Test8", "row 15 (Test15"):
            self.assertIn(text, r.stderr)

    def test_setup_refused_before_building(self):
        folder = self.product("signing")
        out = self.out_dir("signing")
        target = os.path.join(out, "x.exe")
        password = os.path.join(self.base, "password")
        with open(password, "w") as f:
            f.write("secret\n")
        cases = {
            "output folder missing": ([folder, "-o", os.path.join(out, "no", "x.exe")],
                                      "does not exist"),
            "output is a folder": ([folder, "-o", out], "is a folder"),
            "product folder missing": ([os.path.join(self.base, "absent"), "-o", target],
                                       "cannot list the product folder"),
            "certificate missing": ([folder, "-o", target, "--sign", os.path.join(out, "no.p12"),
                                     "--password-file", password], "no.p12 is not a file"),
            "password file missing": ([folder, "-o", target, "--sign", password,
                                       "--password-file", os.path.join(out, "nopw")],
                                      "nopw is not a file"),
            "signing without password": ([folder, "-o", target, "--sign", password],
                                         "--sign needs --password-file"),
            "signing time not a number": ([folder, "-o", target, "--sign", password,
                                           "--password-file", password, "--signing-time",
                                           "today"], "seconds since 1970"),
            "hzl missing": ([folder, "-o", target, "--hzl", os.path.join(out, "nohzl")],
                            "nohzl, which is not an executable file"),
        }
        for name, (args, text) in cases.items():
            with self.subTest(name):
                if "--hzl" not in args:
                    args = args + ["--hzl", self.hzl]
                r = mkbtest.run_tool(*args)
                self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
                self.assertIn(text, r.stderr)
                self.assertEqual(mkbtest.listing(out), [])

    def test_warnings_do_not_stop(self):
        folder = self.product("warnings", both(
            write("Liesmich.txt", b"erste Zeile\nzweite Zeile\n"),
            write("Setup.lst", mkbtest.installer_list(
                [r.staged for r in mkbtest.ROWS[:13]] + ["Fennimor.exe"]))))
        r = mkbtest.run_tool("--check", folder, "--hzl", self.hzl)
        self.assertEqual(r.returncode, 0, r.stderr)
        warnings = [line for line in r.stderr.splitlines() if "warning:" in line]
        self.assertEqual(len(warnings), 3, r.stderr)
        self.assertIn("Liesmich.txt: 2 line(s) end in LF alone", r.stderr)
        self.assertIn("names Fennimor.exe", r.stderr)
        self.assertIn("does not name Beispiel.dbfnm", r.stderr)

    def test_hzl_from_the_environment(self):
        folder = self.product("env")
        os.environ["HZL"] = os.path.join(self.base, "nohzl")
        try:
            r = mkbtest.run_tool("--check", folder)
        finally:
            del os.environ["HZL"]
        self.assertEqual(r.returncode, 1)
        self.assertIn("HZL names", r.stderr)


USAGE = {
    "nothing": [],
    "no output": ["folder"],
    "two folders": ["a", "b", "-o", "x.exe"],
    "verify with one path": ["--verify", "x.exe"],
    "verify with an output": ["--verify", "x.exe", "folder", "-o", "y.exe"],
    "check with signing": ["--check", "folder", "--sign", "c.p12"],
    "table with a path": ["--print-table", "folder"],
    "two modes": ["--verify", "--check", "a", "b"],
    "password without signing": ["folder", "-o", "x.exe", "--password-file", "pw"],
    "no jobs": ["folder", "-o", "x.exe", "--jobs", "0"],
}


class Usage(unittest.TestCase):
    def test_cases(self):
        for name, args in USAGE.items():
            with self.subTest(name):
                r = mkbtest.run_tool(*args)
                self.assertEqual(r.returncode, 2, r.stdout + r.stderr)
                self.assertIn("usage:", r.stderr)


if __name__ == "__main__":
    unittest.main()

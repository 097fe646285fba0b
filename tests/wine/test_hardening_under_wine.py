"""The real bootstrap.exe under 32-bit Wine against a staging folder that a
process of the same user, without administrator rights, prepared before the
run: a DLL and more left in it, staged names that are second names of files
elsewhere, the folder itself a link to somewhere else.

What Wine 8 can show of this, and what not:
  - A Unix symbolic link to a folder shows as a reparse point to
    GetFileAttributesA and FindFirstFileA, so the refused folder link is
    shown here. Wine creates no junctions or symbolic links of its own
    (CreateSymbolicLinkA does nothing, FSCTL_SET_REPARSE_POINT fails), and
    removing a Unix symbolic link through Win32 removes what it points to:
    links inside the folder are therefore left to the native tests.
  - Hard links are real: GetFileInformationByHandle counts them, and
    removing one name leaves the other.
  - Wine keeps no DACL here: it turns one into Unix mode bits and builds a
    DACL from those when asked, and nothing is enforced for root. The
    folder's rights are shown by the native tests only.

Each test method is one CTest test (see CMakeLists.txt); they share the Wine
prefix of the other Wine tests and run one at a time.
"""

import os
import re
import stat
import unittest

import test_bootstrap_under_wine as base
import winelab

STAGED_NAMES = base.PAYLOAD_NAMES + [base.SECOND_STAGE]


class HardeningUnderWine(base.BootstrapUnderWine):
    """Reuses the harness of the normal runs; only the tests below belong
    to this class (see load_tests)."""

    def outside_folder(self, name):
        """A fresh folder beside the staging folder, removed after the test."""
        path = os.path.join(self.temp_unix, name)
        winelab.remove_path(path)
        os.makedirs(path)
        self.addCleanup(winelab.remove_path, path)
        return path

    def run_to_second_stage(self):
        """Runs bootstrap.exe to its normal end; the second stage's log."""
        proc = self.wine.start(self.build.bootstrap)
        self.assertEqual(self.wait_exit(proc, base.RUN_TIMEOUT), 0, "exit code of a normal run")
        log_path = os.path.join(self.staging, base.SECOND_STAGE_LOG)

        def complete_log():
            try:
                with open(log_path, "rb") as f:
                    log = base.parse_log(f.read())
            except FileNotFoundError:
                return None
            return log if log.get("end") else None
        log = winelab.wait_for(complete_log, base.LAUNCH_TIMEOUT)
        self.assertIsNotNone(log, f"second stage did not write {base.SECOND_STAGE_LOG}")
        self.wine.wait_idle()
        return log

    @staticmethod
    def entries(log):
        return sorted(line[len("entry "):] for line in log["lines"] if line.startswith("entry "))

    def test_planted_dll_removed(self):
        """An earlier run's folder with a DLL planted beside Setup.exe, a
        read-only one, a folder of more, an old log: when Setup.exe starts, its
        folder holds exactly what the bootstrap wrote."""
        os.makedirs(os.path.join(self.staging, "plugins", "tief"))
        planted = {
            "version.dll": b"MZ untergeschoben",
            "dbghelp.dll": b"MZ schreibgeschuetzt",
            "Notiz.txt": b"Eigene Notiz\r\n",
            base.SECOND_STAGE_LOG: b"cwd=von einem alten Lauf\r\n",
            os.path.join("plugins", "evil.dll"): b"MZ",
            os.path.join("plugins", "tief", "more.dll"): b"MZ",
            "Setup.lst": b"[General]\r\nalte Liste\r\n",
            base.SECOND_STAGE: b"MZ altes Setup " * 64,
        }
        for name, data in planted.items():
            with open(os.path.join(self.staging, name), "wb") as f:
                f.write(data)
        os.chmod(os.path.join(self.staging, "dbghelp.dll"), stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)

        log = self.run_to_second_stage()

        self.assertEqual(self.entries(log), sorted(STAGED_NAMES),
                         "the second stage's folder when it started")
        self.assertEqual(sorted(os.listdir(self.staging)),
                         sorted(STAGED_NAMES + [base.SECOND_STAGE_LOG]))
        self.assert_payload_staged(base.PAYLOAD_NAMES)
        with open(self.build.second_stage, "rb") as f:
            self.assertEqual(self.staged(base.SECOND_STAGE), f.read())
        self.assertEqual(log["files"], {name: "present" for name in base.LISTED_NAMES})

    def test_hard_links_not_written_through(self):
        """Staged names that are second names of files elsewhere: those files
        keep their bytes, and the staged files are files of their own."""
        outside = self.outside_folder("Fremde-Dateien")
        targets = {"Setup.lst": "Brief.txt", "Liesmich.txt": "Tagebuch.txt",
                   base.SECOND_STAGE: "Programm.exe"}
        os.makedirs(self.staging)
        before = {}
        for staged, target in targets.items():
            path = os.path.join(outside, target)
            before[target] = f"{target}: wichtiger Inhalt\r\n".encode("ascii") * 100
            with open(path, "wb") as f:
                f.write(before[target])
            os.link(path, os.path.join(self.staging, staged))

        self.run_to_second_stage()

        for staged, target in targets.items():
            path = os.path.join(outside, target)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), before[target], f"{target} was written through {staged}")
            self.assertEqual(os.stat(path).st_nlink, 1, f"{target} still linked")
            self.assertEqual(os.stat(os.path.join(self.staging, staged)).st_nlink, 1, staged)
        self.assert_payload_staged(base.PAYLOAD_NAMES)
        with open(self.build.second_stage, "rb") as f:
            self.assertEqual(self.staged(base.SECOND_STAGE), f.read())

    def test_staging_folder_link_refused(self):
        """The staging folder a link to a folder elsewhere: the error box
        names it, nothing is written there, the link stays, exit code 1."""
        target = self.outside_folder("Link-Ziel")
        with open(os.path.join(target, "Notiz.txt"), "wb") as f:
            f.write(b"Eigene Notiz\r\n")
        os.symlink(target, self.staging)

        proc = self.wine.start(self.build.bootstrap)
        wid = self.wine.find_window(base.BOX_TITLE, base.BOX_TIMEOUT)
        if wid is None:
            rc = proc.poll()
            proc.kill()
            self.fail(f"no '{base.BOX_TITLE}' box within {base.BOX_TIMEOUT} s (exit code {rc})")
        children = self.box_children()
        self.wine.screenshot(os.path.join(self.artifacts, "staging_folder_link_refused.png"))
        texts = [text for cls, _, text in children if cls == "Static" and text]
        self.assertEqual(len(texts), 1, f"box children: {children}")
        module = os.path.basename(self.build.bootstrap)
        self.assertRegex(texts[0], "^" + rf"Exception EStagingFolderLink im Modul {re.escape(module)} "
                         rf"bei [0-9A-F]{{8}}\.\n" + re.escape(
                             f"Ordner {self.staging_win} ist eine Verzeichnisverbindung oder "
                             "symbolische Verkn\u00fcpfung und wird nicht verwendet.") + "$")
        self.assertTrue(self.wine.close_box(wid, proc), "the error box did not close on Return")
        self.assertEqual(proc.returncode, 1, "exit code after the error box")
        self.wine.wait_idle()

        self.assertTrue(os.path.islink(self.staging), "the link itself was changed")
        self.assertEqual(os.readlink(self.staging), target)
        self.assertEqual(os.listdir(target), ["Notiz.txt"])
        with open(os.path.join(target, "Notiz.txt"), "rb") as f:
            self.assertEqual(f.read(), b"Eigene Notiz\r\n")


def load_tests(loader, tests, pattern):
    """Only this file's own tests, not the inherited ones of the harness."""
    own = [name for name in loader.getTestCaseNames(HardeningUnderWine)
           if name in HardeningUnderWine.__dict__]
    return unittest.TestSuite(HardeningUnderWine(name) for name in own)


if __name__ == "__main__":
    unittest.main()

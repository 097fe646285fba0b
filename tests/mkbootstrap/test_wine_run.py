"""The set mkbootstrap built, run under Wine: the staging folder must hold
the product folder's files, and the second stage must have started there.

Uses the Wine harness of tests/wine (its shared prefix, one session at a
time) and the set of the mkbootstrap.build_set test.
"""

import os
import subprocess
import sys
import unittest

import mkbtest
import test_built

sys.path.insert(0, os.path.join(mkbtest.SOURCE_DIR, "tests", "wine"))
import winelab  # noqa: E402

STAGING_NAME = "Inst-Setup_Fennimor"
LOG = "SecondStage.log"
RUN_TIMEOUT = 120     # the bootstrap, and the second stage after it


def parse_log(data):
    """The demo second stage's log: key=value lines, "file NAME STATE" lines."""
    log = {"files": {}}
    for line in data.decode("cp1252").splitlines():
        if line.startswith("file "):
            name, _, state = line[5:].rpartition(" ")
            log["files"][name] = state
        else:
            key, _, value = line.partition("=")
            log[key] = value
    return log


class WineRun(unittest.TestCase):
    def test_staged_files_are_the_product_folder(self):
        product, exe = test_built.built()
        hzl = mkbtest.hzl_path()
        prefix = winelab.setting("HZL_WINE_PREFIX")
        info = winelab.load_prefix_info(prefix)
        staging = os.path.join(info["temp_unix"], STAGING_NAME)
        staging_win = info["temp"] + "\\" + STAGING_NAME
        work = mkbtest.work_dir("wine_run")

        with winelab.WineSession(prefix) as wine:
            winelab.remove_path(staging)
            proc = wine.start(exe)
            self.assertEqual(proc.wait(timeout=RUN_TIMEOUT), 0, "exit code of the bootstrap")

            def complete_log():
                try:
                    with open(os.path.join(staging, LOG), "rb") as f:
                        log = parse_log(f.read())
                except FileNotFoundError:
                    return None
                return log if "end" in log else None
            log = winelab.wait_for(complete_log, RUN_TIMEOUT)
            self.assertIsNotNone(log, f"the second stage wrote no {LOG}")
            wine.wait_idle()

        expected = sorted([r.staged for r in mkbtest.ROWS] + ["Setup.exe", LOG])
        self.assertEqual(sorted(os.listdir(staging)), expected)

        names = {n.lower(): n for n in os.listdir(product)}
        for row in mkbtest.ROWS:
            with self.subTest(row.staged):
                staged = test_built.read(os.path.join(staging, row.staged))
                if row.staged.lower() in names:
                    source = os.path.join(product, names[row.staged.lower()])
                    self.assertEqual(staged, test_built.read(source))
                    continue
                raw = mkbtest.RAW_NAMES[row.staged]
                expanded = os.path.join(work, raw)
                winelab.remove_path(expanded)
                subprocess.run([hzl, "-d", os.path.join(staging, row.staged), "-o", expanded],
                               check=True)
                self.assertEqual(test_built.read(expanded),
                                 test_built.read(os.path.join(product, raw)))
        # The bootstrap's own expansion of the second stage.
        self.assertEqual(test_built.read(os.path.join(staging, "Setup.exe")),
                         test_built.read(os.path.join(product, "Setup.exe")))

        self.assertEqual(log["cwd"], staging_win)
        self.assertEqual(log["list"], "present")
        listed = [r.staged for r in mkbtest.table.listed_rows(mkbtest.ROWS)]
        self.assertEqual(log["files"], {name: "present" for name in listed})
        winelab.remove_path(staging)


if __name__ == "__main__":
    unittest.main()

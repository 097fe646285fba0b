"""The real bootstrap.exe under 32-bit Wine: what it leaves in the staging
folder, what it starts, the error box it shows and its exit code.

Each test method is one CTest test (see CMakeLists.txt); they share one Wine
prefix and run one at a time. A missing executable is a failure.
"""

import os
import re
import shutil
import subprocess
import sys
import unittest

import winelab

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "mkbootstrap"))
from mkb.table import load_rows  # noqa: E402

# The staged names in writing order, from the bootstrap's own list of rows.
PAYLOAD_NAMES = [row.staged for row in load_rows()]
LISTED_NAMES = PAYLOAD_NAMES[:14]
STAGING_NAME = "Inst-Setup_Fennimor"
SECOND_STAGE = "Setup.exe"
SECOND_STAGE_LOG = "SecondStage.log"
BOX_TITLE = "Anwendungsfehler"

RUN_TIMEOUT = 120      # the bootstrap itself
LAUNCH_TIMEOUT = 60    # the second stage's log after the bootstrap has ended
BOX_TIMEOUT = 60       # the error box to show up


def parse_log(data):
    """The demo second stage's log as a dict; listed files under "files"."""
    log = {"files": {}, "lines": []}
    for line in data.decode("cp1252").splitlines():
        log["lines"].append(line)
        if line.startswith("file "):
            name, _, state = line[5:].rpartition(" ")
            log["files"][name] = state
        elif "=" in line:
            key, _, value = line.partition("=")
            log[key] = value
        else:
            log[line] = True
    return log


def unescape(text):
    """Undoes wine_helper's escaping of \\n, \\r, \\t and the backslash."""
    plain = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}
    return re.sub(r"\\(.)", lambda m: plain[m.group(1)], text)


# -- preparations of the temporary folder before a run -----------------------

def leave_earlier_run(staging, build):
    """A staging folder as an earlier run of another set would leave it:
    longer old versions of every staged file, an old Setup.exe, an old log and
    a file of the user's. Returns the files that must survive unchanged: none,
    since the bootstrap removes whatever it does not write itself."""
    os.makedirs(staging)
    for name in PAYLOAD_NAMES:
        with open(os.path.join(staging, name), "wb") as f:
            f.write(b"alter Inhalt\r\n" * (len(build.payload(name)) // 14 + 64))
    with open(os.path.join(staging, SECOND_STAGE), "wb") as f:
        f.write(b"MZ altes Setup " * 4096)
    with open(os.path.join(staging, SECOND_STAGE_LOG), "wb") as f:
        f.write(b"cwd=von einem alten Lauf\r\n")
    with open(os.path.join(staging, "Notiz.txt"), "wb") as f:
        f.write(b"Eigene Notiz\r\n")
    return {}


def file_in_place_of_folder(staging, build):
    with open(staging, "wb") as f:
        f.write(b"kein Ordner\r\n")
    return {}


def leave_old_second_stage(staging, build):
    """Only a Setup.exe from an earlier run."""
    os.makedirs(staging)
    with open(os.path.join(staging, SECOND_STAGE), "wb") as f:
        f.write(b"MZ altes Setup " * 4096)
    return {}


# -- variants of the executable ---------------------------------------------
# A variant makes a copy of bootstrap.exe with one payload resource changed
# and returns its path and the bytes now expected for the affected staged
# files (a missing row is simply not expected at all).

def file_resources(exe):
    import pefile
    pe = pefile.PE(exe)
    for typ in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if typ.name is not None and str(typ.name) == "FILE":
            return {str(e.name): pe.get_data(e.directory.entries[0].data.struct.OffsetToData,
                                             e.directory.entries[0].data.struct.Size)
                    for e in typ.directory.entries}
    return {}


def without_resource(name):
    def make(case, build, wine, workdir):
        exe = os.path.join(workdir, f"bootstrap_ohne_{name.lower()}.exe")
        r = wine.wine(winelab.setting("HZL_WINE_HELPER"), "strip-resource",
                      build.bootstrap, exe, "FILE", name, check=False)
        case.assertEqual(r.returncode, 0, r.stderr.decode(errors="replace"))
        case.assertEqual(set(file_resources(exe)),
                         {f"TEST{i}" for i in range(1, 17)} - {name},
                         "the copy does not lack exactly that resource")
        return exe, {}
    return make


def with_resource(name, content):
    """content(build) gives the resource's new bytes."""
    def make(case, build, wine, workdir):
        exe = os.path.join(workdir, f"bootstrap_anders_{name.lower()}.exe")
        data_path = os.path.join(workdir, f"{name.lower()}.bin")
        data = content(build)
        with open(data_path, "wb") as f:
            f.write(data)
        r = wine.wine(winelab.setting("HZL_WINE_HELPER"), "replace-resource",
                      build.bootstrap, exe, "FILE", name, data_path, check=False)
        case.assertEqual(r.returncode, 0, r.stderr.decode(errors="replace"))
        case.assertEqual(file_resources(exe)[name], data, "the copy does not carry the new bytes")
        row = int(name[4:])
        return exe, {PAYLOAD_NAMES[row - 1]: data}
    return make


def uncompressed_second_stage(build):
    with open(build.second_stage, "rb") as f:
        return f.read()


# Runs that end normally, the second stage started:
# (variant, bootstrap arguments, preparation).
SUCCESS_CASES = {
    "normal_run": (None, [], None),
    "arguments_ignored": (None, ["/S", "-silent", "Pfad mit Leerzeichen", r"C:\Temp\x.txt"], None),
    "earlier_run": (None, [], leave_earlier_run),
}

# Runs that end in the error box: (variant, preparation, exception class,
# message as a function of the staging folder's Windows path, files left in
# the staging folder).
FAILURE_CASES = {
    "missing_test7": (without_resource("TEST7"), None, "EResNotFound",
                      lambda staging: "Ressource Test7 nicht gefunden.", PAYLOAD_NAMES[:6]),
    "staging_is_file": (None, file_in_place_of_folder, "EFCreateError",
                        lambda staging: f"Kann Datei {staging}\\Fennimor.ex_ nicht erstellen.", []),
    # Setup.ex_ without the "!HZL" head: every row is written, the expansion
    # fails and removes its output (here over an old Setup.exe), nothing is
    # started.
    "second_stage_not_compressed": (
        with_resource("TEST15", uncompressed_second_stage), leave_old_second_stage,
        "ELzrw1Exception",
        lambda staging: f"Lzrw1 : {staging}\\Setup.ex_ : NOT A COMPRESSED FILE !.",
        PAYLOAD_NAMES),
}


class BootstrapUnderWine(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        self.build = winelab.WindowsBuild(winelab.setting("HZL_WINDOWS_BUILD_DIR"))
        missing = self.build.missing()
        if missing:
            self.fail("Windows build incomplete, missing: " + ", ".join(missing)
                      + " (build the windows preset first)")
        self.prefix = winelab.setting("HZL_WINE_PREFIX")
        info = winelab.load_prefix_info(self.prefix)
        self.temp_win, self.temp_unix = info["temp"], info["temp_unix"]
        self.staging_win = self.temp_win + "\\" + STAGING_NAME
        self.staging = os.path.join(self.temp_unix, STAGING_NAME)
        self.artifacts = winelab.setting("HZL_WINE_ARTIFACTS")
        self.workdir = os.path.join(self.artifacts, self.id().rpartition(".")[2])
        winelab.remove_path(self.workdir)
        os.makedirs(self.workdir)
        self.wine = winelab.WineSession(self.prefix).__enter__()
        self.addCleanup(self.wine.__exit__, None, None, None)
        winelab.remove_path(self.staging)

    # -- helpers ----------------------------------------------------------
    def box_children(self):
        """Child windows of the error box as (class, id, text) tuples."""
        r = self.wine.wine(winelab.setting("HZL_WINE_HELPER"), "box-text", BOX_TITLE,
                           check=False, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr.decode(errors="replace"))
        children = []
        for line in r.stdout.decode("cp1252").splitlines():
            cls, ident, text = line.split("\t", 2)
            children.append((cls, int(ident), unescape(text)))
        return children

    def wait_exit(self, proc, timeout):
        """Exit code of the bootstrap; fails at once if an error box shows up
        instead, and after timeout seconds if it just hangs."""
        def ended_or_box():
            if proc.poll() is not None:
                return "ended"
            return "box" if self.wine.find_window(BOX_TITLE, 0) else None
        state = winelab.wait_for(ended_or_box, timeout, interval=0.5)
        if state == "ended":
            return proc.returncode
        shot = os.path.join(self.workdir, "unexpected.png")
        self.wine.screenshot(shot)
        box = self.box_children() if state == "box" else []
        proc.kill()
        what = "showed an error box" if state == "box" else f"did not end within {timeout} s"
        self.fail(f"bootstrap {what}; screen in {shot}; box: {box}")

    def staged(self, name):
        with open(os.path.join(self.staging, name), "rb") as f:
            return f.read()

    def assert_payload_staged(self, names, overrides=None):
        overrides = overrides or {}
        for name in names:
            expected = overrides[name] if name in overrides else self.build.payload(name)
            self.assertEqual(self.staged(name), expected, f"{name} differs from the payload")

    def make_variant(self, variant):
        if variant is None:
            return self.build.bootstrap, {}
        return variant(self, self.build, self.wine, self.workdir)

    # -- the two shapes of a run -----------------------------------------
    def check_success(self, variant, args, prepare):
        exe, overrides = self.make_variant(variant)
        keep = prepare(self.staging, self.build) if prepare else {}

        proc = self.wine.start(exe, *args)
        self.assertEqual(self.wait_exit(proc, RUN_TIMEOUT), 0, "exit code of a normal run")

        log_path = os.path.join(self.staging, SECOND_STAGE_LOG)

        def fresh_log():
            try:
                with open(log_path, "rb") as f:
                    log = parse_log(f.read())
            except FileNotFoundError:
                return None
            return log if log.get("end") and "exe" in log else None
        log = winelab.wait_for(fresh_log, LAUNCH_TIMEOUT)
        self.assertIsNotNone(log, f"second stage did not write {SECOND_STAGE_LOG} "
                                  f"within {LAUNCH_TIMEOUT} s")
        self.wine.wait_idle()

        self.assertEqual(sorted(os.listdir(self.staging)),
                         sorted(PAYLOAD_NAMES + [SECOND_STAGE, SECOND_STAGE_LOG] + list(keep)))
        self.assert_payload_staged(PAYLOAD_NAMES, overrides)
        for name, data in keep.items():
            self.assertEqual(self.staged(name), data, f"{name} was changed")
        with open(self.build.second_stage, "rb") as f:
            self.assertEqual(self.staged(SECOND_STAGE), f.read(),
                             "Setup.exe is not the expanded second stage")
        self.assertEqual(log["exe"], self.staging_win + "\\" + SECOND_STAGE)
        self.assertEqual(log["cwd"], self.staging_win, "working folder of the second stage")
        self.assertEqual(log["args"], "none", "arguments of the second stage")
        self.assertEqual(log["list"], "present")
        self.assertEqual(log["files"], {name: "present" for name in LISTED_NAMES})

    def check_failure(self, variant, prepare, exception, message, written):
        case = self.id().rpartition(".")[2]
        exe, overrides = self.make_variant(variant)
        keep_file = None
        if prepare:
            prepare(self.staging, self.build)
            if os.path.isfile(self.staging):
                with open(self.staging, "rb") as f:
                    keep_file = f.read()

        proc = self.wine.start(exe)
        wid = self.wine.find_window(BOX_TITLE, BOX_TIMEOUT)
        if wid is None:
            rc = proc.poll()
            proc.kill()
            self.fail(f"no '{BOX_TITLE}' box within {BOX_TIMEOUT} s (exit code {rc})")
        children = self.box_children()
        # By now the box has had the time to paint itself.
        self.wine.screenshot(os.path.join(self.artifacts, f"{case}.png"))
        self.assertIsNone(proc.poll(), "the box must hold the process until it is closed")

        module = os.path.basename(exe)
        pattern = (rf"Exception {exception} im Modul {re.escape(module)} bei [0-9A-F]{{8}}\.\n"
                   + re.escape(message(self.staging_win)))
        texts = [text for cls, _, text in children if cls == "Static" and text]
        self.assertEqual(len(texts), 1, f"box children: {children}")
        self.assertRegex(texts[0], "^" + pattern + "$")
        buttons = [text for cls, _, text in children if cls == "Button"]
        self.assertEqual(buttons, ["OK"])

        self.assertTrue(self.wine.close_box(wid, proc), "the error box did not close on Return")
        self.assertEqual(proc.returncode, 1, "exit code after the error box")
        self.wine.wait_idle()

        if keep_file is not None:
            self.assertTrue(os.path.isfile(self.staging))
            with open(self.staging, "rb") as f:
                self.assertEqual(f.read(), keep_file, "the file in the folder's place was changed")
        else:
            self.assertEqual(sorted(os.listdir(self.staging)), sorted(written))
            self.assert_payload_staged(written, overrides)

    # -- the demo second stage itself ------------------------------------
    def test_demo_second_stage_reports(self):
        """The second stage's log tells present from missing files and passes
        arguments on as given, so the checks above can fail."""
        folder = os.path.join(self.temp_unix, "demo-check")
        winelab.remove_path(folder)
        os.makedirs(folder)
        exe = os.path.join(folder, SECOND_STAGE)
        shutil.copyfile(self.build.second_stage, exe)
        with open(os.path.join(folder, "Setup.lst"), "wb") as f:
            f.write(b"[General]\r\nProduct=Probe\r\n\r\n[Files]\r\nCount=3\r\n"
                    b"File1=a.txt\r\nFile2=fehlt.dat\r\nFile3=c.txt\r\n")
        for name in ("a.txt", "c.txt"):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(b"x")
        r = subprocess.run(["wine", SECOND_STAGE, "eins", "zwei drei"], cwd=folder,
                           env=self.wine.env, timeout=RUN_TIMEOUT)
        self.assertEqual(r.returncode, 0)
        with open(os.path.join(folder, SECOND_STAGE_LOG), "rb") as f:
            log = parse_log(f.read())
        self.assertEqual(log["cwd"], self.temp_win + "\\demo-check")
        self.assertEqual(log["args"], 'eins "zwei drei"')
        self.assertEqual(log["files"], {"a.txt": "present", "fehlt.dat": "missing",
                                        "c.txt": "present"})
        self.assertNotIn(SECOND_STAGE_LOG + ".tmp", os.listdir(folder))
        winelab.remove_path(folder)


def _add_cases():
    for name, case in SUCCESS_CASES.items():
        setattr(BootstrapUnderWine, f"test_{name}",
                lambda self, c=case: self.check_success(*c))
    for name, case in FAILURE_CASES.items():
        setattr(BootstrapUnderWine, f"test_{name}",
                lambda self, c=case: self.check_failure(*c))


_add_cases()

if __name__ == "__main__":
    unittest.main()

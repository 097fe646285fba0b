"""What the built bootstrap.exe carries: a 32-bit GUI image with the manifest,
the sixteen payload resources and nothing else of note, importing only
Windows' own DLLs."""

import os
import unittest
import xml.etree.ElementTree as ET

import pefile

import winelab
from test_bootstrap_under_wine import PAYLOAD_NAMES

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
LANG_GERMAN_GERMANY = 1031

SUPPORTED_OS = [
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
]

# DLLs that every Windows installation has; anything else would have to be
# shipped beside the executable.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll",
    "comctl32.dll", "comdlg32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll",
    "version.dll", "shlwapi.dll", "ws2_32.dll", "winmm.dll", "imm32.dll",
}

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"


class PeLayout(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.build = winelab.WindowsBuild(winelab.setting("HZL_WINDOWS_BUILD_DIR"))
        if not os.path.isfile(cls.build.bootstrap):
            raise AssertionError(f"{cls.build.bootstrap} missing: build the windows preset first")
        cls.pe = pefile.PE(cls.build.bootstrap)
        cls.types = {}
        for entry in cls.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            key = str(entry.name) if entry.name is not None else entry.id
            cls.types[key] = entry

    def resource_data(self, lang_entry):
        return self.pe.get_data(lang_entry.data.struct.OffsetToData, lang_entry.data.struct.Size)

    def test_i386_gui_image(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, IMAGE_FILE_MACHINE_I386)
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI)

    def test_manifest(self):
        self.assertIn(RT_MANIFEST, self.types, "no manifest resource")
        ids = self.types[RT_MANIFEST].directory.entries
        self.assertEqual([e.id for e in ids], [1])
        langs = ids[0].directory.entries
        self.assertEqual([l.id for l in langs], [LANG_GERMAN_GERMANY])
        text = self.resource_data(langs[0])
        self.assertIn(b"requireAdministrator", text)
        for guid in SUPPORTED_OS:
            self.assertIn(guid.encode("ascii"), text)

        root = ET.fromstring(text)
        level = root.find(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                          f"{ASM_V3}requestedExecutionLevel")
        self.assertIsNotNone(level)
        self.assertEqual((level.get("level"), level.get("uiAccess")),
                         ("requireAdministrator", "false"))
        app = root.find(f"{COMPAT}compatibility/{COMPAT}application")
        self.assertIsNotNone(app)
        self.assertEqual([os_.get("Id") for os_ in app.findall(f"{COMPAT}supportedOS")],
                         SUPPORTED_OS)
        controls = root.find(f"{ASM_V1}dependency/{ASM_V1}dependentAssembly/"
                             f"{ASM_V1}assemblyIdentity")
        self.assertIsNotNone(controls)
        self.assertEqual((controls.get("name"), controls.get("version")),
                         ("Microsoft.Windows.Common-Controls", "6.0.0.0"))

    def test_payload_resources(self):
        self.assertIn("FILE", self.types, "no resources of type FILE")
        entries = self.types["FILE"].directory.entries
        self.assertEqual(sorted(str(e.name) for e in entries),
                         sorted(f"TEST{i}" for i in range(1, 17)))
        by_name = {str(e.name): e for e in entries}
        for row, staged in enumerate(PAYLOAD_NAMES, start=1):
            langs = by_name[f"TEST{row}"].directory.entries
            self.assertEqual([(l.data.lang, l.data.sublang) for l in langs], [(0, 0)],
                             f"TEST{row} must be stored once, language neutral")
            self.assertEqual(langs[0].data.struct.CodePage, 0)
            self.assertEqual(self.resource_data(langs[0]), self.build.payload(staged),
                             f"TEST{row} does not hold {staged}")

    def test_no_icon_or_version(self):
        for rtype in (RT_ICON, RT_GROUP_ICON, RT_VERSION):
            self.assertNotIn(rtype, self.types)

    def test_imports_only_system_dlls(self):
        imported = sorted(e.dll.decode("ascii").lower() for e in self.pe.DIRECTORY_ENTRY_IMPORT)
        print("imports:", ", ".join(imported))
        self.assertTrue(imported, "no imports at all")
        self.assertEqual([d for d in imported if d not in SYSTEM_DLLS], [])
        for needed in ("kernel32.dll", "user32.dll", "shell32.dll"):
            self.assertIn(needed, imported)


if __name__ == "__main__":
    unittest.main()

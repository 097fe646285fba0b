"""What the built bootstrap.exe asks of the loader, since it runs with
administrator rights from wherever it was downloaded to: a random base and
non-executable data, relocations to move it with, and static imports only of
DLLs that Windows always loads from its own folder (KnownDLLs), never from
the executable's."""

import os
import unittest

import pefile

import winelab

IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_DIRECTORY_ENTRY_BASERELOC = 5

# The DLLs named in the KnownDLLs key (HKLM\SYSTEM\CurrentControlSet\Control\
# Session Manager\KnownDLLs) of every Windows from 7 to 11. The loader maps
# these from the system's own sections; any other DLL is searched for, and
# the executable's folder comes first in that search.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll", "gdi32.dll", "imagehlp.dll",
    "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll",
    "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll",
    "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}

# kernel32 calls the bootstrap looks up at run time, so that it still starts
# on a system that lacks them; importing them would stop it from loading.
LOOKED_UP = [b"SetDefaultDllDirectories", b"SetSearchPathMode"]


class PeHardening(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build = winelab.WindowsBuild(winelab.setting("HZL_WINDOWS_BUILD_DIR"))
        if not os.path.isfile(build.bootstrap):
            raise AssertionError(f"{build.bootstrap} missing: build the windows preset first")
        cls.pe = pefile.PE(build.bootstrap)
        with open(build.bootstrap, "rb") as f:
            cls.image = f.read()

    def imports(self):
        return {e.dll.decode("ascii").lower(): [i.name for i in e.imports if i.name]
                for e in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])}

    def test_random_base_and_no_executable_data(self):
        flags = self.pe.OPTIONAL_HEADER.DllCharacteristics
        print(f"DllCharacteristics: {flags:#06x}")
        self.assertTrue(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "not marked for a random base")
        self.assertTrue(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "not marked NX compatible")

    def test_relocations_kept(self):
        self.assertFalse(self.pe.FILE_HEADER.Characteristics & IMAGE_FILE_RELOCS_STRIPPED,
                         "relocations stripped: the image cannot be moved")
        directory = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[IMAGE_DIRECTORY_ENTRY_BASERELOC]
        self.assertGreater(directory.VirtualAddress, 0, "no relocation directory")
        self.assertGreater(directory.Size, 0, "empty relocation directory")
        self.assertIn(b".reloc", [s.Name.rstrip(b"\0") for s in self.pe.sections])

    def test_imports_only_known_dlls(self):
        imported = sorted(self.imports())
        print("imports:", ", ".join(imported))
        self.assertTrue(imported, "no imports at all")
        self.assertEqual([d for d in imported if d not in KNOWN_DLLS], [])
        delayed = [e.dll.decode("ascii").lower()
                   for e in getattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
        self.assertEqual([d for d in delayed if d not in KNOWN_DLLS], [])

    def test_dll_search_calls_present_the_newer_ones_looked_up(self):
        kernel32 = self.imports().get("kernel32.dll", [])
        self.assertIn(b"SetDllDirectoryA", kernel32)
        for name in LOOKED_UP:
            self.assertNotIn(name, kernel32, f"{name.decode()} imported: no start where it is missing")
            self.assertIn(name + b"\0", self.image, f"{name.decode()} not looked up")


if __name__ == "__main__":
    unittest.main()

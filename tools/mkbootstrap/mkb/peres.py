"""Reading the payload resources back from a built executable."""

import os
import sys

from .errors import Failure


def _import_pefile():
    try:
        import pefile
    except ImportError:
        # A Python of its own (a virtual environment, a version manager) does
        # not see Debian's packages; python3-pefile is pure Python.
        for path in ("/usr/lib/python3/dist-packages", "/usr/share/python3/dist-packages"):
            if os.path.isdir(path) and path not in sys.path:
                sys.path.append(path)
        try:
            import pefile
        except ImportError:
            raise Failure("the Python module pefile is missing: install python3-pefile "
                          "(scripts/install-deps.sh)") from None
    return pefile


class Entry:
    def __init__(self, name, lang, sublang, codepage, data, offset):
        self.name = name
        self.lang = lang
        self.sublang = sublang
        self.codepage = codepage
        self.data = data
        self.offset = offset  # file offset of the first byte


def file_resources(path, rtype="FILE"):
    """{stored name: [Entry per language]} of every named resource of the
    named type rtype. Names compare in capitals, as the directory stores them."""
    pefile = _import_pefile()
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except (OSError, pefile.PEFormatError) as e:
        raise Failure(f"cannot read {path} as a Windows executable: {e}") from None
    try:
        found = {}
        root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
        if root is None:
            return found
        for t in root.entries:
            if t.name is None or str(t.name).upper() != rtype.upper():
                continue
            for e in t.directory.entries:
                if e.name is None:
                    key = f"#{e.id}"
                else:
                    key = str(e.name).upper()
                for lang in e.directory.entries:
                    d = lang.data.struct
                    offset = pe.get_offset_from_rva(d.OffsetToData)
                    data = pe.get_data(d.OffsetToData, d.Size)
                    if len(data) != d.Size:
                        raise Failure(f"{path}: resource {key} runs past the end of the file")
                    found.setdefault(key, []).append(
                        Entry(key, lang.data.lang, lang.data.sublang, d.CodePage, data, offset))
        return found
    finally:
        pe.close()

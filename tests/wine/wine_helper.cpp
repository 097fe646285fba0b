// Windows-side helper for the Wine tests, run under Wine by the harness.
//
//   wine_helper strip-resource IN OUT TYPE NAME
//       writes OUT as a copy of IN that lacks the resource TYPE/NAME (all its
//       languages), the way a broken installation set would lack it.
//   wine_helper replace-resource IN OUT TYPE NAME DATAFILE
//       writes OUT as a copy of IN whose resource TYPE/NAME (all its
//       languages) holds the bytes of DATAFILE instead.
//   wine_helper box-text TITLE
//       finds the top-level window titled TITLE and prints one line per child
//       window: "<class>\t<id>\t<text>", the text with \n and \r escaped.
//
// Exit code 0 on success, 1 with a message on stderr otherwise.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

void Put(HANDLE h, const std::string& s) {
  DWORD written = 0;
  WriteFile(h, s.data(), static_cast<DWORD>(s.size()), &written, nullptr);
}

int Fail(const std::string& what) {
  Put(GetStdHandle(STD_ERROR_HANDLE),
      "wine_helper: " + what + " (error " + std::to_string(GetLastError()) + ")\n");
  return 1;
}

// One resource of the source module, as EnumResourceLanguages reports it.
struct Entry {
  std::string type;  // "#<id>" for a numbered type
  std::string name;  // "#<id>" for a numbered name
  WORD language;
};

std::string Key(LPCSTR s) {
  if (IS_INTRESOURCE(s)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(s));
  return s;
}

LPCSTR Param(const std::string& key) {
  if (!key.empty() && key[0] == '#')
    return MAKEINTRESOURCEA(static_cast<WORD>(std::stoul(key.substr(1))));
  return key.c_str();
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR out) {
  reinterpret_cast<std::vector<Entry>*>(out)->push_back({Key(type), Key(name), language});
  return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR out) {
  EnumResourceLanguagesA(module, type, name, AddLanguage, out);
  return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR out) {
  EnumResourceNamesA(module, type, AddName, out);
  return TRUE;
}

bool SameName(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

bool ReadWholeFile(const char* path, std::string& data) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(h, nullptr);
  data.assign(size, '\0');
  DWORD got = 0;
  BOOL ok = size == 0 || ReadFile(h, &data[0], size, &got, nullptr);
  CloseHandle(h);
  return ok && got == size;
}

// Rebuilds the resource section of a copy from the source's resources, with
// the one named entry left out (replacement null) or given other bytes.
// Deleting or resizing a single entry in place is not something every
// UpdateResource implementation does, so the copy starts empty.
int RewriteResources(const char* in, const char* out, const char* type, const char* name,
                     const std::string* replacement) {
  HMODULE source = LoadLibraryExA(in, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (source == nullptr) return Fail(std::string("cannot load ") + in);
  std::vector<Entry> entries;
  EnumResourceTypesA(source, AddType, reinterpret_cast<LONG_PTR>(&entries));

  if (!CopyFileA(in, out, FALSE)) return Fail(std::string("cannot copy ") + in + " to " + out);
  HANDLE update = BeginUpdateResourceA(out, TRUE);
  if (update == nullptr) return Fail(std::string("cannot open resources of ") + out);
  bool matched = false;
  for (const Entry& e : entries) {
    const void* data = nullptr;
    DWORD size = 0;
    if (SameName(e.type, type) && SameName(e.name, name)) {
      matched = true;
      if (replacement == nullptr) continue;
      data = replacement->data();
      size = static_cast<DWORD>(replacement->size());
    } else {
      HRSRC found = FindResourceExA(source, Param(e.type), Param(e.name), e.language);
      HGLOBAL loaded = found ? LoadResource(source, found) : nullptr;
      data = loaded ? LockResource(loaded) : nullptr;
      if (data == nullptr) {
        EndUpdateResourceA(update, TRUE);
        return Fail("cannot read resource " + e.type + "/" + e.name);
      }
      size = SizeofResource(source, found);
    }
    if (!UpdateResourceA(update, Param(e.type), Param(e.name), e.language,
                         const_cast<void*>(data), size)) {
      EndUpdateResourceA(update, TRUE);
      return Fail("cannot copy resource " + e.type + "/" + e.name);
    }
  }
  if (!matched) {
    EndUpdateResourceA(update, TRUE);
    return Fail(std::string("no resource ") + type + "/" + name + " in " + in);
  }
  if (!EndUpdateResourceA(update, FALSE)) return Fail(std::string("cannot rewrite ") + out);
  FreeLibrary(source);
  return 0;
}

int ReplaceResource(const char* in, const char* out, const char* type, const char* name,
                    const char* dataFile) {
  std::string data;
  if (!ReadWholeFile(dataFile, data)) return Fail(std::string("cannot read ") + dataFile);
  return RewriteResources(in, out, type, name, &data);
}

std::string Escaped(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '\n') r += "\\n";
    else if (c == '\r') r += "\\r";
    else if (c == '\t') r += "\\t";
    else if (c == '\\') r += "\\\\";
    else r += c;
  }
  return r;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM out) {
  char cls[256] = {};
  GetClassNameA(child, cls, sizeof cls);
  int len = GetWindowTextLengthA(child);
  std::string text(static_cast<size_t>(len) + 1, '\0');
  int got = GetWindowTextA(child, &text[0], len + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  const long id = GetDlgCtrlID(child);
  reinterpret_cast<std::string*>(out)->append(std::string(cls) + "\t" + std::to_string(id) +
                                              "\t" + Escaped(text) + "\n");
  return TRUE;
}

int BoxText(const char* title) {
  HWND box = FindWindowA(nullptr, title);
  if (box == nullptr) return Fail(std::string("no window titled ") + title);
  std::string lines;
  EnumChildWindows(box, PrintChild, reinterpret_cast<LPARAM>(&lines));
  Put(GetStdHandle(STD_OUTPUT_HANDLE), lines);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "strip-resource") == 0)
    return RewriteResources(argv[2], argv[3], argv[4], argv[5], nullptr);
  if (argc == 7 && std::strcmp(argv[1], "replace-resource") == 0)
    return ReplaceResource(argv[2], argv[3], argv[4], argv[5], argv[6]);
  if (argc == 3 && std::strcmp(argv[1], "box-text") == 0) return BoxText(argv[2]);
  Put(GetStdHandle(STD_ERROR_HANDLE),
      "usage: wine_helper strip-resource IN OUT TYPE NAME\n"
      "       wine_helper replace-resource IN OUT TYPE NAME DATAFILE\n"
      "       wine_helper box-text TITLE\n");
  return 2;
}

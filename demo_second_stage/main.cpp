// Stand-in second stage. Shows nothing; writes SecondStage.log into its
// working folder and exits 0. The log is line-oriented:
//
//   exe=<full path of this program>
//   cwd=<working folder>
//   args=<command line after the program name, or "none">
//   list=<present|missing>            (Setup.lst in the working folder)
//   file <name> <present|missing>     (one line per File<n> entry of Setup.lst)
//   entry <name>                      (one line per entry of the working folder
//                                      as the program found it on start, a
//                                      folder's name ending in a backslash)
//   end
//
// The log is written under a temporary name and then renamed, so a reader
// that sees SecondStage.log sees it complete.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kLogName[] = "SecondStage.log";
constexpr char kLogTempName[] = "SecondStage.log.tmp";
constexpr char kListName[] = "Setup.lst";
constexpr char kListSection[] = "Files";
constexpr char kListCountKey[] = "Count";

std::string CurrentFolder() {
  std::vector<char> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0) return std::string();
    if (n < buf.size()) return std::string(buf.data(), n);
    buf.resize(n + 1);
  }
}

std::string ModulePath() {
  std::vector<char> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return std::string(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

// The command line after the program name, by the rules the C runtime uses to
// find argv[0]: a quoted name runs to the closing quote, an unquoted one to
// the first blank or tab.
std::string ArgumentsAfterProgramName() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  std::string rest(p);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
  return rest;
}

bool FileExists(const std::string& path) {
  DWORD attrs = GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string WithBackslash(const std::string& folder) {
  if (folder.empty() || folder.back() == '\\') return folder;
  return folder + '\\';
}

// File1..FileN of the [Files] section, N from its Count key.
std::vector<std::string> ListedFiles(const std::string& listPath) {
  std::vector<std::string> names;
  UINT count = GetPrivateProfileIntA(kListSection, kListCountKey, 0, listPath.c_str());
  for (UINT i = 1; i <= count; ++i) {
    std::string key = "File" + std::to_string(i);
    char value[MAX_PATH];
    DWORD n = GetPrivateProfileStringA(kListSection, key.c_str(), "", value,
                                       sizeof value, listPath.c_str());
    names.emplace_back(value, n);
  }
  return names;
}

// The working folder's entries, "." and ".." left out; a folder's name ends
// in a backslash.
std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE first = FindFirstFileA((WithBackslash(folder) + "*").c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return names;
  const std::unique_ptr<void, decltype(&FindClose)> find(first, &FindClose);
  do {
    std::string name(found.cFileName);
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) name += '\\';
    names.push_back(name);
  } while (FindNextFileA(find.get(), &found));
  return names;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == text.size();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string folder = CurrentFolder();
  const std::string args = ArgumentsAfterProgramName();
  const std::string listPath = WithBackslash(folder) + kListName;
  // Before anything of ours is written there.
  const std::vector<std::string> entries = FolderEntries(folder);

  std::string log;
  log += "exe=" + ModulePath() + "\r\n";
  log += "cwd=" + folder + "\r\n";
  log += "args=" + (args.empty() ? std::string("none") : args) + "\r\n";
  const bool haveList = FileExists(listPath);
  log += std::string("list=") + (haveList ? "present" : "missing") + "\r\n";
  if (haveList) {
    for (const std::string& name : ListedFiles(listPath)) {
      const bool present = !name.empty() && FileExists(WithBackslash(folder) + name);
      log += "file " + name + (present ? " present" : " missing") + "\r\n";
    }
  }
  for (const std::string& name : entries) log += "entry " + name + "\r\n";
  log += "end\r\n";

  const std::string tempPath = WithBackslash(folder) + kLogTempName;
  const std::string logPath = WithBackslash(folder) + kLogName;
  if (!WriteWholeFile(tempPath, log)) return 2;
  if (!MoveFileExA(tempPath.c_str(), logPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return 3;
  return 0;
}

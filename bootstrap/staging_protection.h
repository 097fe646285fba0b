#pragma once
// Making the staging folder ours before anything is written into it. The
// bootstrap runs with administrator rights and the folder's name never
// changes, so a process of the same user without those rights can prepare
// it before a run: make it a link to somewhere else, or leave a DLL in it
// that the elevated second stage would load. So the folder
//   - is refused when it is a junction or a symbolic link;
//   - is held open, without delete sharing, from the first check until the
//     second stage has been started, so it cannot be renamed or swapped;
//   - gets a protected DACL (Administrators and SYSTEM full control, the
//     user read and execute, nothing inherited) before anything is written;
//   - is emptied of every entry the bootstrap does not write, links removed
//     as links, folders with all they hold.

#include <string>
#include <vector>

#include "exception.h"
#include "system_services.h"

// The staging folder is a junction or a symbolic link.
DECLARE_EXCEPTION_CLASS(EStagingFolderLink, Exception);
// The staging folder could not be made ours: its rights, its contents.
DECLARE_EXCEPTION_CLASS(EStagingFolderError, Exception);

// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE: what the user may do in the folder.
inline constexpr char kUserFolderRights[] = "0x1200a9";

// The folder's security in SDDL: a protected DACL, inherited by every file
// and folder in it, granting Administrators and SYSTEM full control and the
// user read and execute. The folder of a run before may belong to the user,
// and an owner may always rewrite a DACL unless an OWNER RIGHTS entry says
// otherwise: the last entry keeps the owner to read and execute too.
std::string StagingFolderSddl(const std::string& userSid);

// The staging folder as this run holds it: open, so nobody renames or
// removes it, until the hold ends. An empty hold stands for a path that
// could not be opened.
class StagingFolderHold {
 public:
  // Holds nothing.
  explicit StagingFolderHold(SystemServices& system);
  // Opens the folder with OpenFolderInPlace.
  StagingFolderHold(SystemServices& system, const std::string& folder);
  ~StagingFolderHold();
  StagingFolderHold(StagingFolderHold&& other) noexcept;
  StagingFolderHold(const StagingFolderHold&) = delete;
  StagingFolderHold& operator=(const StagingFolderHold&) = delete;
  StagingFolderHold& operator=(StagingFolderHold&&) = delete;

  bool IsOpen() const { return handle_ != kInvalidFileRef; }
  FileRef Handle() const { return handle_; }
  // True once the path is known to be a folder, protected and emptied of
  // foreign entries: files may be written into it.
  bool IsReady() const { return ready_; }
  void MarkReady() { ready_ = true; }

 private:
  SystemServices* system_;
  FileRef handle_;
  bool ready_ = false;
};

// Takes the staging folder for this run, in this order:
//   1. A folder that is a junction or a symbolic link raises
//      EStagingFolderLink; nothing has been written or created.
//   2. A file of that name gives a hold that is not ready: there is no
//      folder, nothing must be written, and the caller reports the first
//      file it cannot create.
//   3. A missing folder is created with the protected DACL, after the
//      folders above it (CreateFolderChain, which says nothing when it
//      fails).
//   4. The path is held open as itself. If a folder that was there cannot
//      be opened, EStagingFolderError; if one that was to be created cannot,
//      or the path is no folder by now, the hold is not ready, as in 2.
//   5. A link found now raises EStagingFolderLink as in 1.
//   6. The folder gets the protected DACL, created or not.
//   7. Every entry whose name is not one of keptNames (compared without
//      regard to case, as Windows does) is removed: files, links as links,
//      folders with everything in them.
// Steps 6 and 7 raise EStagingFolderError when they cannot be done.
StagingFolderHold TakeStagingFolder(SystemServices& system, const std::string& folder,
                                    const std::vector<std::string>& keptNames);

// Removes whatever entry stands at path before a file is created there, so
// that every staged file is new: a link is never written through and a file
// of an earlier run, which its owner could still change, is not reused.
// Raises EFCreateError, naming path, when the entry stays.
void ClearPathForNewFile(SystemServices& system, const std::string& path);

// True if the two names are the same to Windows: equal but for the case of
// ASCII letters.
bool SameFileName(const std::string& a, const std::string& b);

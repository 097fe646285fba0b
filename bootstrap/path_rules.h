#pragma once
// The byte-wise path rules of the staging folder. Paths are 8-bit strings in
// the ANSI code page; the tests look at single bytes (backslash 92, colon 58),
// as no path here is formed from double-byte characters.

#include <string>

inline constexpr char kBackslash = '\\';
inline constexpr char kDriveColon = ':';

// The path with one backslash at its end: unchanged if it already ends in
// one, and an empty string for an empty path.
std::string WithTrailingBackslash(const std::string& path);

// The path up to and including its last backslash or colon; an empty string
// if it holds neither. C:\Temp\Inst gives C:\Temp\, C:\Temp gives C:\, C:x gives C:.
std::string ParentFolderOf(const std::string& path);

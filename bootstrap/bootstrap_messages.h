#pragma once
// The bootstrap's own message texts, German like the platform's, shown by
// the failure report.

// The temporary directory could not be obtained.
inline constexpr char kNoTempDirectoryMessage[] = "Kann TEMP-Verzeichnis nicht ermitteln";
// The temporary directory's path needs more room than the query was given:
// the size it asked for, then the room there is (both with the zero byte).
inline constexpr char kTempDirectoryTooLongFormat[] =
    "Pfad des TEMP-Verzeichnisses zu lang (%u Zeichen, erlaubt sind %u)";

// The shell could not start the second stage: its path, the system's reason.
inline constexpr char kLaunchErrorFormat[] = "Kann Datei %s nicht starten: %s";
// The reason when the system has no text for its error code.
inline constexpr char kUnknownSystemErrorFormat[] = "Systemfehler %u";

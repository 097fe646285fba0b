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

// The staging folder is a junction or a symbolic link: nothing is written
// through it. Its path.
inline constexpr char kStagingFolderLinkFormat[] =
    "Ordner %s ist eine Verzeichnisverbindung oder symbolische Verkn\xFCpfung und wird nicht verwendet";
// The process token's user could not be read, so the folder's rights cannot
// be written down.
inline constexpr char kNoUserSidMessage[] = "Kann Benutzerkennung des Prozesses nicht ermitteln";
// The staging folder could not be examined, given its rights, or listed.
inline constexpr char kFolderUnexaminedFormat[] = "Kann Ordner %s nicht pr\xFC" "fen";
inline constexpr char kFolderSecurityFormat[] = "Kann Zugriffsrechte f\xFCr Ordner %s nicht setzen";
inline constexpr char kFolderUnreadableFormat[] = "Kann Ordner %s nicht lesen";
// An entry that the bootstrap does not write could not be removed from the
// staging folder: its path.
inline constexpr char kForeignEntryStaysFormat[] = "Kann %s nicht entfernen";

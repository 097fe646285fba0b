#pragma once
// The platform's own message texts, in one place. They are shown to the user
// through MessageBoxA, so they are 8-bit texts in the ANSI code page; the few
// non-ASCII letters are written as their Windows-1252 bytes.

// Placeholders: %s text, %p address, %X hexadecimal (see message_format.h).
inline constexpr char kResNotFoundFormat[] = "Ressource %s nicht gefunden";
inline constexpr char kFCreateErrorFormat[] = "Kann Datei %s nicht erstellen";
inline constexpr char kWriteErrorMessage[] = "Stream-Write-Fehler ";
inline constexpr char kOutOfMemoryMessage[] = "Speicher reicht nicht aus";

// The application object's window.
inline constexpr char kWindowClassErrorMessage[] = "Kann Fensterklasse nicht registrieren";
inline constexpr char kWindowCreateErrorMessage[] = "Kann Anwendungsfenster nicht erstellen";

// Processor faults that reach the failure report.
inline constexpr char kAccessViolationReadFormat[] = "Zugriffsverletzung bei Adresse %p. Lesen von Adresse %p";
inline constexpr char kAccessViolationWriteFormat[] = "Zugriffsverletzung bei Adresse %p. Schreiben auf Adresse %p";
inline constexpr char kAccessViolationFetchFormat[] = "Zugriffsverletzung bei Adresse %p. Befehlsabruf von Adresse %p";
inline constexpr char kAccessViolationFormat[] = "Zugriffsverletzung bei Adresse %p";
inline constexpr char kIntDivByZeroMessage[] = "Division durch Null";
inline constexpr char kIntOverflowMessage[] = "Integer-\xDC" "berlauf";
inline constexpr char kZeroDivideMessage[] = "Gleitkommadivision durch Null";
inline constexpr char kFloatOverflowMessage[] = "Gleitkomma-\xDC" "berlauf";
inline constexpr char kFloatUnderflowMessage[] = "Gleitkomma-Unterlauf";
inline constexpr char kInvalidFloatOpMessage[] = "Ung\xFC" "ltige Gleitkommaoperation";
inline constexpr char kPrivilegeMessage[] = "Privilegierte Anweisung";
inline constexpr char kIllegalInstructionMessage[] = "Ung\xFC" "ltige Anweisung";
inline constexpr char kStackOverflowMessage[] = "Stack-\xDC" "berlauf";
inline constexpr char kExternalExceptionFormat[] = "Externe Exception %X";

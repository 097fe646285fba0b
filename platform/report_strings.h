/* The two texts of the default failure report, shared by the C++ code (the
   string ids it loads, and the texts it falls back on should a table lack
   them) and the resource script (the string table that carries them). Plain
   preprocessor definitions only, so the resource compiler can read them. */
#ifndef HZL_PLATFORM_REPORT_STRINGS_H
#define HZL_PLATFORM_REPORT_STRINGS_H

/* Fields in order: class name, module name, code address, message, end mark. */
#define HZL_REPORT_FORMAT_ID 65438
#define HZL_REPORT_FORMAT_TEXT "Exception %s im Modul %s bei %p.\n%s%s"

#define HZL_REPORT_TITLE_ID 65439
#define HZL_REPORT_TITLE_TEXT "Anwendungsfehler"

#endif

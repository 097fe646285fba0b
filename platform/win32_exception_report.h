#pragma once
// The default failure report on Windows: one task-modal error box, with the
// format and title from our own string table, for every exception that
// escapes the program, processor faults included. After it the process ends
// with kExitCodeAfterReport.

#include "exception_report.h"

// Shows the box for the subject and returns when the user has closed it.
void ShowExceptionReport(const ReportSubject& subject);

// Makes processor faults (access violations and the like) that nothing
// handles end in the same box, then ends the process with exit code 1.
void InstallProcessorFaultReport();

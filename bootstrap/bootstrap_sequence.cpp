#include "bootstrap_sequence.h"

#include <exception>

#include "dll_search.h"
#include "exception_report.h"
#include "payload_table.h"
#include "resource_extraction.h"
#include "second_stage.h"
#include "staging_folder.h"
#include "staging_protection.h"
#include "stream_errors.h"

std::vector<std::string> StagedFileNames() {
  std::vector<std::string> names;
  for (const PayloadRow& row : PayloadTable) names.emplace_back(row.stagedFileName);
  names.emplace_back(kSecondStage);
  return names;
}

void RunBootstrap(SystemServices& system) {
  system.InitializeApplication();
  system.SetApplicationTitle(kApplicationTitle);

  StagingFolder = GetTempDirectory(system) + kStagingFolderPrefix + kApplicationTitle;
  // Held until the second stage has been started.
  const StagingFolderHold folder = TakeStagingFolder(system, StagingFolder, StagedFileNames());
  // Nothing is written where there is no folder of ours; the report is the
  // one the first file would have given.
  if (!folder.IsReady()) throw FileCreateError(StagedPath(PayloadTable[0].stagedFileName));

  for (const PayloadRow& row : PayloadTable) {
    (void)ExtractResourceToFile(system, row.resourceType, row.resourceName, StagedPath(row.stagedFileName));
  }

  RunSecondStage(system);
  system.RunApplication();
}

int RunBootstrapProcess(SystemServices& system) {
  RestrictDllSearch(system);
  try {
    system.StartPlatform();
    RunBootstrap(system);
  } catch (...) {
    system.ReportFailure(std::current_exception());
    return kExitCodeAfterReport;
  }
  return kExitCodeNormal;
}

#include "bootstrap_sequence.h"

#include "payload_table.h"
#include "resource_extraction.h"
#include "second_stage.h"
#include "staging_folder.h"

void RunBootstrap(SystemServices& system) {
  system.InitializeApplication();
  system.SetApplicationTitle(kApplicationTitle);

  StagingFolder = GetTempDirectory(system) + kStagingFolderPrefix + kApplicationTitle;
  CreateFolderChain(system, StagingFolder);

  for (const PayloadRow& row : PayloadTable) {
    (void)ExtractResourceToFile(system, row.resourceType, row.resourceName, StagedPath(row.stagedFileName));
  }

  RunSecondStage(system);
  system.RunApplication();
}

#include "app/AppData.h"

#include "album/ConfigFile.h"
#include "app/TempFiles.h"
#include "platform/Folder.h"
#include "platform/ProgramPath.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "platform/UserFolders.h"
#include "platform/Utf16.h"

bool InitAppData() {
  const std::filesystem::path roaming = GetConfigHome();
  if (!CreateFolders(roaming)) return false;
  const std::filesystem::path data = roaming / "Tessera";
  // An existing folder is fine; only a path that cannot be reached fails here.
  // Any other failure shows up when config.dat cannot be written.
  if (MakeFolder(data) == MakeFolderResult::NoParent) return false;
  g_DataFolder = data;
  g_ConfigFilePath = data / "config.dat";

  if (!LoadConfigFile()) return false;
  PurgeOldTempFiles();

  const std::filesystem::path program = GetProgramPath();
  g_ProgramFolder = program.parent_path();
  // The recorded path is only read by other programs; an unwritable settings
  // file does not stop this one.
  if (!program.empty()) {
    static_cast<void>(SetRegString(RegistryProfile::kProgramPath.section, RegistryProfile::kProgramPath.name,
                                   PathToUtf16(program)));
  }
  g_PublisherEdition = GetRegDword(RegistryProfile::kPublisherEdition, false);
  // Without a stored skin the default name stands.
  static_cast<void>(GetRegString(RegistryProfile::kSkin, g_SkinName, true));
  return true;
}

#include "launcher/startup.h"

#include "common/app_error.h"
#include "common/error_message.h"
#include "common/path_routines.h"
#include "common/product.h"
#include "common/text.h"
#include "config/config_sources.h"
#include "launcher/product_launch.h"

namespace hanamizu {

bool CommandCheck(Platform& platform, const std::string& arguments) {
  return WithTrap(
      [&] {
        if (arguments == kCommandWord) return true;
        platform.ui.ShowMessage(kWrongCommandMessage, kApplicationTitle, MessageButtons::kOk,
                                MessageIcon::kNone);
        return false;
      },
      [&](const AppError& error) {
        ShowStandardError(platform.ui, error, "CommandCheck");
        return false;
      });
}

void ChDir_AppPath(Platform& platform) {
  const std::string path = platform.files.LauncherDirectory();
  const std::string drive = TrimBlanks(Get_Token(Split_Path(path).directory, ":", 1));
  // Only a drive letter can be made current; a network path or a drive root is left alone.
  const bool is_drive_letter = drive.size() == 1 && ((drive[0] >= 'A' && drive[0] <= 'Z') ||
                                                     (drive[0] >= 'a' && drive[0] <= 'z'));
  if (!is_drive_letter) return;
  platform.files.ChangeDrive(drive[0]);
  platform.files.ChangeDirectory(path);
}

namespace {

std::vector<std::string> EnumerateModules(Platform& platform, const std::string& dir) {
  std::vector<std::string> modules{""};
  for (auto& name : platform.files.ListFiles(dir + "\\PRT*.EXE")) {
    if (name.empty()) break;
    modules.push_back(std::move(name));
  }
  return modules;
}

}  // namespace

void Main(Platform& platform) {
  LauncherState state;
  ChDir_AppPath(platform);
  std::string launcher_dir = platform.files.LauncherDirectory();
  const std::string dir = path_no_en(platform, launcher_dir);
  OemValues oem = ReadOemFile(platform.ini, dir);
  state.OemTitle = std::move(oem.OemTitle);
  state.RegistryPrefix = std::move(oem.RegistryPrefix);
  SyncFromDefaultProfile(platform.settings, state.RegistryPrefix, kKeyProgramNo);

  if (!CommandCheck(platform, platform.system.CommandLineArguments())) {
    platform.system.EndProcess();
  }
  state.LauncherMode = 2;
  state.ModuleFiles = EnumerateModules(platform, dir);

  if (state.ModuleFiles.size() - 1 >= 1) {
    SeihinKidou(platform, state, kLedgerKinds, "");
  } else {
    platform.ui.ShowMessage(kNoModuleMessage, kApplicationTitle, MessageButtons::kOk,
                            MessageIcon::kNone);
  }
  platform.system.EndProcess();
}

void RunLauncher(Platform& platform) {
  try {
    Main(platform);
  } catch (const std::exception& e) {
    // The last word; if even the message box fails, the launcher still ends in order.
    WithTrap(
        [&] {
          platform.ui.ShowMessage(UnhandledErrorMessage(ToAppError(e)), kApplicationTitle,
                                  MessageButtons::kOk, MessageIcon::kNone);
        },
        [](const AppError&) {});
  }
  platform.system.EndProcess();
}

}  // namespace hanamizu

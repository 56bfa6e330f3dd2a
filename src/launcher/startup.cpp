#include "launcher/startup.h"

#include "common/app_error.h"
#include "common/error_message.h"
#include "common/launch_log.h"
#include "common/launcher_version.h"
#include "common/path_routines.h"
#include "common/product.h"
#include "common/text.h"
#include "config/config_sources.h"
#include "launcher/product_launch.h"

namespace hanamizu {

bool CommandCheck(Platform& platform, const std::string& arguments) {
  return WithTrap(
      [&] {
        if (arguments == kCommandWord) {
          platform.log.Write("command line \"" + arguments + "\" accepted");
          return true;
        }
        platform.log.Write("command line \"" + arguments + "\" refused: the host suite starts " +
                           "the launcher with \"" + kCommandWord + "\"");
        platform.ui.ShowMessage(kWrongCommandMessage, kApplicationTitle, MessageButtons::kOk,
                                MessageIcon::kNone);
        return false;
      },
      [&](const AppError& error) {
        platform.log.Write("CommandCheck failed: " + ErrorWords(error));
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

// The log of this user and installation, begun with what names the run; without it (no local
// application data folder, say) the launch goes on unlogged.
void OpenLaunchLog(Platform& platform, const std::string& dir, const std::string& registry_prefix) {
  WithTrap(
      [&] {
        const std::string app = SettingsAppName(registry_prefix);
        platform.log.Open(
            platform.files.OpenLog(LaunchLogPath(platform.system.LocalAppDataFolder(), app)));
        platform.log.Write(std::string("launcher ") + kLauncherVersion + " in " + dir +
                           ", process " + std::to_string(platform.system.ProcessId()) +
                           ", settings " + app);
      },
      [](const AppError&) {});
}

std::string ModuleWords(const std::vector<std::string>& modules, const std::string& dir) {
  if (modules.size() < 2) return "modules: no PRT*.EXE in " + dir;
  std::string words = "modules:";
  for (size_t i = 1; i < modules.size(); ++i) words += (i == 1 ? " " : ", ") + modules[i];
  return words;
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
  OpenLaunchLog(platform, dir, state.RegistryPrefix);
  SyncFromDefaultProfile(platform.settings, state.RegistryPrefix, kKeyProgramNo);

  if (!CommandCheck(platform, platform.system.CommandLineArguments())) {
    platform.system.EndProcess();
  }
  state.LauncherMode = 2;
  state.ModuleFiles = EnumerateModules(platform, dir);
  platform.log.Write(ModuleWords(state.ModuleFiles, dir));

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
    platform.log.Write("unhandled " + ErrorWords(ToAppError(e)));
    WithTrap(
        [&] {
          platform.ui.ShowMessage(UnhandledErrorMessage(ToAppError(e)), kApplicationTitle,
                                  MessageButtons::kOk, MessageIcon::kNone);
        },
        [&](const AppError& error) {
          platform.log.Write("the last message could not be shown: " + ErrorWords(error));
        });
  }
  platform.system.EndProcess();
}

}  // namespace hanamizu

#include "launcher/product_launch.h"

#include <cmath>

#include "common/launch_log.h"
#include "common/path_routines.h"
#include "common/process_runner.h"
#include "common/product.h"
#include "common/text.h"
#include "config/config_sources.h"
#include "launcher/launch_rules.h"
#include "launcher/splash.h"
#include "update/update_check.h"
#include "update/update_rules.h"
#include "update/vendor_update_url.h"

namespace hanamizu {
namespace {

constexpr double kMinimumSplashSeconds = 3.0;
constexpr int kShowNormal = 1;

// Blocks without handling window messages until the clock is at least seconds past start.
void WaitUntilElapsed(Platform& platform, double start, double seconds) {
  for (;;) {
    const double remaining = seconds - (platform.system.MonotonicSeconds() - start);
    if (remaining <= 0) return;
    platform.processes.Sleep(static_cast<int>(std::ceil(remaining * 1000)));
  }
}

// The main program, started during the download when the user would rather go to work: the
// splash goes, and the launcher ends once the program has.
class MainProgramMeanwhile : public WorkMeanwhile {
 public:
  MainProgramMeanwhile(Platform& platform, SplashWindow& splash, std::string command_line)
      : platform_(platform), splash_(splash), command_line_(std::move(command_line)) {}
  void Begin() override {
    splash_.Unload();
    run_.emplace(platform_, command_line_, kShowNormal);
  }
  bool Begun() const override { return run_.has_value(); }
  bool Over() override { return run_->Ended(); }
  void Wait() { run_->Wait(); }

 private:
  Platform& platform_;
  SplashWindow& splash_;
  std::string command_line_;
  std::optional<WatchedRun> run_;
};

}  // namespace

std::string ChooseUpdateDir(Platform& platform) {
  for (const char* name : {"TEMP", "TMP"}) {
    std::string value = platform.system.EnvironmentVariable(name).value_or("");
    const std::string dir = path_no_en(platform, value) + "\\";
    if (TrimBlanks(dir) != "\\") return dir;
  }
  std::string launcher_dir = platform.files.LauncherDirectory();
  return path_no_en(platform, launcher_dir) + "\\";
}

void SeihinKidou(Platform& platform, const LauncherState& state, const std::string& kinds,
                 const std::string& extra) {
  std::string launcher_dir = platform.files.LauncherDirectory();
  const std::string main_program = path_no_en(platform, launcher_dir) + "\\" + kMainProgramName;
  if (!platform.files.NormalFileExists(main_program)) {
    platform.log.Write("main program missing: " + main_program);
    platform.ui.ShowMessage(std::string(kApplicationTitle) + "メインプログラムが存在しません",
                            kApplicationTitle, MessageButtons::kOk, MessageIcon::kNone);
    platform.system.EndProcess();
  }
  const InstalledVersion version = SplitFileVersion(platform.files.FileVersion(main_program));
  const std::string command_line = BuildMainCommandLine(main_program, kinds, extra);
  platform.log.Write("main program " + main_program + ", version " +
                     VersionText(version.major, version.minor, version.build));

  std::unique_ptr<SplashWindow> splash = fSprash_Load(platform.ui, state.OemTitle);
  splash->ShowModeless();
  splash->Repaint();
  const double start = platform.system.MonotonicSeconds();

  platform.settings.WriteSetting(SettingsAppName(state.RegistryPrefix), kSettingsSection,
                                 kKeyLauncher, std::to_string(state.LauncherMode));
  const std::string url =
      FillFromDefaultProfile(platform.settings, state.RegistryPrefix, kKeyAutoUpdateUrl);
  const std::string update_switch =
      FillFromDefaultProfile(platform.settings, state.RegistryPrefix, kKeyAutoUpdate);

  platform.log.Write(std::string("auto-update ") +
                     (AutoUpdateSwitchOn(update_switch) ? "on" : "off") + " (setting \"" +
                     update_switch + "\"), update address " +
                     (url.empty() ? std::string(kVendorUpdateUrl) + " (the vendor's)" : url));
  if (AutoUpdateSwitchOn(update_switch)) {
    std::string update_dir = ChooseUpdateDir(platform);
    std::string package_name;
    std::unique_ptr<HeldFile> package;  // what was checked is what starts
    MainProgramMeanwhile work(platform, *splash, command_line);
    const int16_t result = UpdateCheck(platform, *splash, version.major, version.minor,
                                       version.build, url, kUpdateListName, update_dir,
                                       package_name, state.RegistryPrefix, &package, &work);
    if (work.Begun()) {
      work.Wait();
      platform.system.EndProcess();
    }
    if (result == 1) {
      // The package runs from its own folder, where it was stored, with "1" as its parameters;
      // the launcher makes way for it at once. One that does not start is said (unless the
      // user declined to let it run), and the main program runs as after a failed download.
      try {
        const std::string path = package->Path();
        platform.processes.ShellOpen(splash->Handle(), path, "1",
                                     path.substr(0, path.rfind('\\') + 1), kShowNormal);
        platform.log.Write("package started: " + path + "; the launcher ends");
        platform.system.EndProcess();
      } catch (const AppError& error) {
        platform.log.Write("package not started: " + ErrorWords(error));
        package.reset();
        if (error.condition() != Condition::kCancelled) ShowUnexpectedError(platform.ui, error);
      }
    }
  }

  WaitUntilElapsed(platform, start, kMinimumSplashSeconds);
  splash->Unload();
  Shell_WT(platform, command_line, kShowNormal);
}

}  // namespace hanamizu

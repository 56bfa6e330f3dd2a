// The normal run: splash window for at least three seconds, "ﾗﾝﾁｬｰ" set to 2, then the main program
// with its fixed command line in the launcher's directory, and the launcher ends after it.

#include <gtest/gtest.h>

#include <filesystem>

#include "installation.h"
#include "main_program_run.h"
#include "probe_text.h"
#include "product_setup.h"
#include "scoped_environment.h"
#include "splash_watch.h"

namespace hanamizu::e2e {
namespace {

constexpr char kArguments[] = "LanternfieldOn,水門,ポンプ,トンネル";
constexpr ULONGLONG kMinimumSplashMs = 3000;
constexpr DWORD kMainRunsMs = 1500;

// The process runner quotes the unquoted path that the launcher builds, so the main program
// sees it quoted, then one blank and the rest unchanged.
std::string ExpectedCommandLine(const std::string& main_program) {
  return "\"" + main_program + "\" " + kArguments;
}

class ProductLaunchRun : public ProductLaunchTest {
 protected:
  // Starts the launcher as the host suite does and waits for its splash window.
  void StartAndSeeTheSplash(const Installation& installation) {
    launcher_.emplace(installation.Start("launcher.exe boot"));
    splash_.emplace(*launcher_);
    ASSERT_TRUE(WaitUntil([&] {
      splash_->Look();
      return splash_->seen() || !launcher_->Running();
    })) << "no splash window within the bound";
    ASSERT_TRUE(splash_->seen()) << "the launcher ended without a splash window";
  }

  std::optional<LauncherProcess> launcher_;
  std::optional<SplashWatch> splash_;
};

TEST_F(ProductLaunchRun, ShowsTheSplashThenRunsTheMainProgramAndWaitsForIt) {
  Installation installation;
  const std::string main_program = InstallProduct(installation, kMainRunsMs);
  ASSERT_NO_FATAL_FAILURE(StartAndSeeTheSplash(installation));

  EXPECT_EQ(WindowText(splash_->handle()), kSplashCaption);
  EXPECT_EQ(splash_->first_labels(),
            (std::vector<std::string>{std::string(kTitle) + " V4", "起動中"}));

  const std::optional<MainProgramRun> run =
      FollowMainProgramRun(*launcher_, *splash_, main_program);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->record.command_line, ExpectedCommandLine(main_program));
  // The launcher was started elsewhere; it made its own directory current for the main program.
  EXPECT_EQ(run->record.current_directory, installation.directory());
  EXPECT_EQ(run->record.show_window, "1");
  EXPECT_EQ(kSettings.User(kLauncherKey), "2");

  // Three seconds at least from the splash window's appearance, on screen all the while.
  EXPECT_GE(run->record.start_tick_ms - splash_->appeared_after(), kMinimumSplashMs);
  ASSERT_NE(splash_->gone_by(), 0u);
  EXPECT_GE(splash_->gone_by() - splash_->appeared_after(), kMinimumSplashMs);
  EXPECT_TRUE(run->splash_gone_at_start) << "the splash window was still there";

  EXPECT_TRUE(run->launcher_running_at_start);
  EXPECT_TRUE(run->main_ended_before_launcher) << "the launcher did not wait for the main program";
  EXPECT_EQ(launcher_->ExitCode(), 0u);
}

// The path goes into the command line unquoted; the runner still starts the right file, and the
// main program's own exit code is not passed on.
TEST_F(ProductLaunchRun, RunsFromAnInstallationPathWithBlanks) {
  const ScopedEnvironment root("HANAMIZU_E2E_ROOT", "D:\\e2e\\Ledger Tool");
  Installation installation;
  ASSERT_NE(installation.directory().find("Ledger Tool\\"), std::string::npos);
  const std::string main_program = InstallProduct(installation, 0, 3);
  ASSERT_NO_FATAL_FAILURE(StartAndSeeTheSplash(installation));

  const std::optional<MainProgramRun> run =
      FollowMainProgramRun(*launcher_, *splash_, main_program);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->record.command_line, ExpectedCommandLine(main_program));
  EXPECT_EQ(run->record.current_directory, installation.directory());
  EXPECT_EQ(kSettings.User(kLauncherKey), "2");
  EXPECT_GE(run->record.start_tick_ms - splash_->appeared_after(), kMinimumSplashMs);
  EXPECT_TRUE(run->splash_gone_at_start);
  EXPECT_TRUE(run->main_ended_before_launcher);
  EXPECT_EQ(launcher_->ExitCode(), 0u);
}

}  // namespace
}  // namespace hanamizu::e2e

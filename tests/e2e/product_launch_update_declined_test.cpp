// A newer package on the server, declined: the list stays in the update directory, nothing else
// is downloaded, and the launch goes on to the main program. Time spent on the question counts
// towards the splash window's three seconds.

#include <gtest/gtest.h>

#include "main_program_run.h"
#include "standin_record.h"
#include "update_setup.h"

namespace hanamizu::e2e {
namespace {

constexpr ULONGLONG kMinimumSplashMs = 3000;
constexpr DWORD kMainRunsMs = 1500;
// Longer than the three seconds, so that nothing of them is left to wait after the answer.
constexpr auto kSlowAnswer = 4s;
// After such an answer the main program starts within this: Wine starts processes slowly, but far
// below another three seconds.
constexpr ULONGLONG kPromptStartMs = 2500;

class UpdateDeclined : public ProductLaunchUpdateTest {
 protected:
  UpdateDeclined() : ProductLaunchUpdateTest(kMainRunsMs) {}

  void SetUp() override {
    ProductLaunchUpdateTest::SetUp();
    if (HasFatalFailure()) return;
    PublishUpdate(kNewerVersion);
    SwitchAutoUpdate("1", server.url());
    UseUpdateFolderAsTemp();
  }

  // Waits for the offer and checks that it is the offer.
  std::optional<MessageBoxSnapshot> Offer() {
    std::optional<MessageBoxSnapshot> offer = NextBox();
    if (!offer) {
      ADD_FAILURE() << "the launcher ended without an offer";
    } else {
      EXPECT_EQ(offer->caption, kOfferCaption);
      EXPECT_EQ(offer->text, kOfferText);
    }
    return offer;
  }

  // After the launch: the list as served in the update directory, no package anywhere.
  void ExpectOnlyTheListDownloaded() const {
    const std::string list = update_dir + "\\" + kListName;
    ASSERT_TRUE(PathExists(list)) << "the list did not stay in the update directory";
    EXPECT_EQ(ReadFileBytes(list), server.Served(kListName));
    EXPECT_FALSE(PathExists(update_dir + "\\" + kPackage)) << "the package was downloaded";
    EXPECT_FALSE(PathExists(installation.PathOf(kPackage)));
  }
};

TEST_F(UpdateDeclined, CancelGoesOnToTheMainProgram) {
  Start();
  const auto offer = Offer();
  ASSERT_TRUE(offer);
  ASSERT_TRUE(Dismiss(*offer, "キャンセル"));

  const std::optional<MainProgramRun> run = FollowMainProgramRun(*launcher, *splash, main_program);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->record.command_line,
            "\"" + main_program + "\" LanternfieldOn,水門,ポンプ,トンネル");
  EXPECT_EQ(run->record.current_directory, installation.directory());
  EXPECT_EQ(splash->first_labels(),
            (std::vector<std::string>{std::string(kTitle) + " V4", "起動中"}));
  EXPECT_GE(run->record.start_tick_ms - splash->appeared_after(), kMinimumSplashMs);
  EXPECT_TRUE(run->splash_gone_at_start);
  EXPECT_TRUE(run->main_ended_before_launcher);
  EXPECT_EQ(launcher->ExitCode(), 0u);
  EXPECT_EQ(kSettings.User(kLauncherKey), "2");
  ExpectOnlyTheListDownloaded();
}

TEST_F(UpdateDeclined, AQuestionLongerThanTheMinimumLeavesNothingToWait) {
  Start();
  const auto offer = Offer();
  ASSERT_TRUE(offer);
  // The question holds the launcher: nothing moves on by itself while it is up.
  EXPECT_FALSE(WaitUntil(
      [&] {
        splash->Look();
        return !IsWindow(offer->handle) || !launcher->Running();
      },
      kSlowAnswer))
      << "the offer went away unanswered";
  ASSERT_TRUE(splash->visible());
  const ULONGLONG answered_at = GetTickCount64();
  ASSERT_TRUE(Dismiss(*offer, "キャンセル"));

  const std::optional<MainProgramRun> run = FollowMainProgramRun(*launcher, *splash, main_program);
  ASSERT_TRUE(run);
  EXPECT_LT(run->record.start_tick_ms - answered_at, kPromptStartMs)
      << "the launcher waited again after the update step";
  EXPECT_GE(run->record.start_tick_ms - splash->appeared_after(), kMinimumSplashMs);
  EXPECT_TRUE(run->splash_gone_at_start);
  EXPECT_TRUE(run->main_ended_before_launcher);
  EXPECT_EQ(launcher->ExitCode(), 0u);
  ExpectOnlyTheListDownloaded();
}

}  // namespace
}  // namespace hanamizu::e2e

#include "launcher/splash.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace hanamizu {
namespace {

using fakes::FakeSplashWindow;
using fakes::FakeUserInterface;

TEST(CenterForm, HalfTwipsSurviveTheSinglePrecisionArithmetic) {
  FakeSplashWindow window;
  window.outer_size = {5715, 2010};
  Center_Form(window, {5715 + 601, 2010 + 300});
  EXPECT_EQ(window.left, 300.5f);
  EXPECT_EQ(window.top, 150.0f);
}

TEST(CenterForm, LeftIsMovedBeforeTop) {
  FakeSplashWindow window;
  Center_Form(window, {19200, 15360});
  EXPECT_EQ(window.events, (std::vector<std::string>{"MoveLeft", "MoveTop"}));
  EXPECT_EQ(window.left, (19200.0f - 5715.0f) / 2);
  EXPECT_EQ(window.top, (15360.0f - 2010.0f) / 2);
}

TEST(CenterForm, AScreenSmallerThanTheWindowGivesNegativePositions) {
  FakeSplashWindow window;
  window.outer_size = {5715, 2010};
  Center_Form(window, {4000, 1000});
  EXPECT_EQ(window.left, -857.5f);
  EXPECT_EQ(window.top, -505.0f);
}

TEST(CenterForm, AWindowAsLargeAsTheScreenStaysAtTheOrigin) {
  FakeSplashWindow window;
  window.outer_size = {19200, 15360};
  Center_Form(window, {19200, 15360});
  EXPECT_EQ(window.left, 0.0f);
  EXPECT_EQ(window.top, 0.0f);
}

TEST(SplashLoad, CentresThenPutsTheTitleBeforeTheDesignText) {
  FakeUserInterface ui;
  ui.screen = {14400, 10800};
  const auto window = fSprash_Load(ui, "ハナミズ台帳ツール");
  ASSERT_EQ(ui.splash_windows_created, 1);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ui.splash->title_label, "ハナミズ台帳ツール V4");
  EXPECT_EQ(ui.splash->status_label, "起動中");
  EXPECT_EQ(ui.splash->left, (14400.0f - 5715.0f) / 2);
  EXPECT_EQ(ui.splash->top, (10800.0f - 2010.0f) / 2);
  EXPECT_EQ(ui.splash->events,
            (std::vector<std::string>{"MoveLeft", "MoveTop", "Label1=ハナミズ台帳ツール V4"}));
}

TEST(SplashLoad, EmptyTitleLeavesTheLeadingBlank) {
  FakeUserInterface ui;
  const auto window = fSprash_Load(ui, "");
  EXPECT_EQ(window->TitleLabelText(), " V4");
}

TEST(SplashLoad, LeavesShowingToTheCaller) {
  FakeUserInterface ui;
  const auto window = fSprash_Load(ui, "ハナミズ台帳ツール");
  EXPECT_FALSE(ui.splash->shown);
  EXPECT_FALSE(ui.splash->unloaded);
}

}  // namespace
}  // namespace hanamizu

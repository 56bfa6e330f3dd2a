// Without a main program beside it the launcher says so in a plain box and ends: no splash
// window, no setting written. Only a normal file counts as the main program.

#include <gtest/gtest.h>

#include "installation.h"
#include "product_setup.h"
#include "splash_watch.h"
#include "standin_record.h"
#include "ui_probe.h"

namespace hanamizu::e2e {
namespace {

enum class Stand { kAbsent, kHidden, kSystem, kDirectory };

struct Case {
  const char* name;
  Stand stand;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class MainProgramMissing : public ProductLaunchTest, public ::testing::WithParamInterface<Case> {
 protected:
  void Place(const Installation& installation) const {
    switch (GetParam().stand) {
      case Stand::kAbsent:
        break;
      case Stand::kHidden:
        installation.AddFile(kMainProgram, FILE_ATTRIBUTE_HIDDEN);
        break;
      case Stand::kSystem:
        installation.AddFile(kMainProgram, FILE_ATTRIBUTE_SYSTEM);
        break;
      case Stand::kDirectory:
        installation.AddDirectory(kMainProgram);
        break;
    }
  }
};

TEST_P(MainProgramMissing, SaysSoWritesNothingAndEnds) {
  Installation installation;
  CopyStandIn("PRT1.EXE", installation.directory());
  Place(installation);

  LauncherProcess launcher = installation.Start("launcher.exe boot");
  SplashWatch splash(launcher);
  std::optional<MessageBoxSnapshot> box;
  ASSERT_TRUE(WaitUntil([&] {
    splash.Look();
    box = FindMessageBox(launcher.id());
    return box || !launcher.Running();
  }));
  ASSERT_TRUE(box) << "the launcher ended without a message";
  EXPECT_EQ(box->text, std::string(kTitle) + "メインプログラムが存在しません");
  EXPECT_EQ(box->caption, kTitle);
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(box->has_icon);
  EXPECT_EQ(VisibleWindows(launcher.id()).size(), 1u) << "more than the box is on screen";
  // The setting is written only after the splash window is up, so never before this box.
  EXPECT_FALSE(kSettings.User(kLauncherKey)) << "ﾗﾝﾁｬｰ was written";

  ASSERT_TRUE(Dismiss(*box, "OK"));
  std::optional<MessageBoxSnapshot> next;
  ASSERT_TRUE(WaitUntil([&] {
    splash.Look();
    next = FindMessageBox(launcher.id());
    return next || !launcher.Running();
  })) << "the launcher did not end after OK";
  EXPECT_FALSE(next) << "a further box appeared: " << next->text;
  EXPECT_EQ(launcher.ExitCode(), 0u);
  EXPECT_FALSE(splash.seen()) << "the splash window was shown";
  EXPECT_FALSE(kSettings.User(kLauncherKey)) << "ﾗﾝﾁｬｰ was written";
}

INSTANTIATE_TEST_SUITE_P(
    ProductLaunch, MainProgramMissing,
    ::testing::Values(Case{"Absent", Stand::kAbsent}, Case{"HiddenFile", Stand::kHidden},
                      Case{"SystemFile", Stand::kSystem}, Case{"Directory", Stand::kDirectory}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace hanamizu::e2e

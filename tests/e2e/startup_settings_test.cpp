// At start-up the user's program number follows the machine's default profile: a non-empty
// profile value that differs is copied, under the application that oem.ini selects, even when
// the launcher then refuses its command line.

#include <gtest/gtest.h>

#include "installation.h"
#include "settings_registry.h"
#include "ui_probe.h"

namespace hanamizu::e2e {
namespace {

constexpr char kAbsent[] = "(absent)";

const SettingsSection kPlain{"di04"};
const SettingsSection kA1{"di04A1"};
const SettingsSection kKanji{"di04台帳"};

class StartupSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), kShiftJis) << "the tests need the Japanese ANSI code page";
    Clear();
  }
  void TearDown() override { Clear(); }
  static void Clear() {
    for (const SettingsSection* section : {&kPlain, &kA1, &kKanji}) section->Clear();
  }

  // Runs the launcher to its end through the one message it shows, and returns that text.
  static std::string RunToEnd(const Installation& installation, const std::string& command_line) {
    LauncherProcess launcher = installation.Start(command_line);
    const auto box = WaitForMessageBox(launcher.id());
    if (!box) {
      ADD_FAILURE() << "no message box within the bound";
      return {};
    }
    EXPECT_TRUE(Dismiss(*box, "OK"));
    EXPECT_TRUE(launcher.WaitForExit());
    return box->text;
  }

  Installation installation;
};

TEST_F(StartupSettings, RefusedLaunchStillCopiesTheProfileValue) {
  kPlain.SetProfile(kProgramNumber, "3");
  kPlain.SetUser(kProgramNumber, "2");
  LauncherProcess launcher = installation.Start("launcher.exe BOOT");
  const auto box = WaitForMessageBox(launcher.id());
  ASSERT_TRUE(box);
  EXPECT_NE(box->text.find("Meridex"), std::string::npos);
  // Copied before the command line was looked at: already done while the refusal shows.
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), "3");
  ASSERT_TRUE(Dismiss(*box, "OK"));
  ASSERT_TRUE(launcher.WaitForExit());
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), "3");
}

TEST_F(StartupSettings, MissingUserValueIsCreatedFromTheProfile) {
  kPlain.SetProfile(kProgramNumber, "3");
  RunToEnd(installation, "launcher.exe boot");  // no module: the not-installed message
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), "3");
}

TEST_F(StartupSettings, JapaneseProfileValueArrivesUnchanged) {
  kPlain.SetProfile(kProgramNumber, "水門３号");
  kPlain.SetUser(kProgramNumber, "2");
  RunToEnd(installation, "launcher.exe BOOT");
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), "水門３号");
}

TEST_F(StartupSettings, WithoutAProfileValueTheUsersValueStays) {
  kPlain.SetProfile("ﾗﾝﾁｬｰ", "9");  // the profile key exists, the value does not
  kPlain.SetUser(kProgramNumber, "2");
  RunToEnd(installation, "launcher.exe BOOT");
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), "2");
}

TEST_F(StartupSettings, WithoutAnyProfileKeyTheUsersValueStays) {
  kPlain.SetUser(kProgramNumber, "2");
  RunToEnd(installation, "launcher.exe boot");
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), "2");
}

TEST_F(StartupSettings, AnEmptyProfileValueNeverEmptiesTheUsersValue) {
  kPlain.SetProfile(kProgramNumber, "");
  kPlain.SetUser(kProgramNumber, "2");
  RunToEnd(installation, "launcher.exe BOOT");
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), "2");
}

TEST_F(StartupSettings, NeitherSourceHoldingAValueCreatesNothing) {
  RunToEnd(installation, "launcher.exe BOOT");
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), kAbsent);
}

struct Prefixed {
  const char* name;
  const char* registry;
  const SettingsSection* section;
};

void PrintTo(const Prefixed& prefixed, std::ostream* out) {
  *out << prefixed.registry;
}

class PrefixedStartupSettings : public StartupSettings,
                                public ::testing::WithParamInterface<Prefixed> {};

// REGISTRY in oem.ini selects "di04" followed by it, for both sources; plain "di04" is left alone.
TEST_P(PrefixedStartupSettings, CopyUsesTheApplicationNamedInOemIni) {
  const SettingsSection& prefixed = *GetParam().section;
  installation.WriteOemIni(std::string("[OEM]\r\nTITLE=ハナミズ台帳ツール 試験版\r\n") +
                           "[SETTING]\r\nREGISTRY=" + GetParam().registry + "\r\n");
  prefixed.SetProfile(kProgramNumber, "3");
  prefixed.SetUser(kProgramNumber, "2");
  kPlain.SetProfile(kProgramNumber, "5");
  kPlain.SetUser(kProgramNumber, "4");

  RunToEnd(installation, "launcher.exe BOOT");

  EXPECT_EQ(prefixed.User(kProgramNumber).value_or(kAbsent), "3");
  EXPECT_EQ(kPlain.User(kProgramNumber).value_or(kAbsent), "4");
}

INSTANTIATE_TEST_SUITE_P(Startup, PrefixedStartupSettings,
                         ::testing::Values(Prefixed{"Latin", "A1", &kA1},
                                           Prefixed{"Kanji", "台帳", &kKanji}),
                         [](const ::testing::TestParamInfo<Prefixed>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace hanamizu::e2e

// A newer package on the server, accepted: the launcher downloads it into the update directory,
// starts it from there and ends without running the main program.

#include <gtest/gtest.h>

#include "message_icon.h"
#include "process_watch.h"
#include "standin_record.h"
#include "update_setup.h"

namespace hanamizu::e2e {
namespace {

// What the launcher finds in TEMP and TMP; folders are relative to the installation.
struct Variable {
  enum Kind { kUnset, kBlank, kFolder } kind;
  const char* folder = "";
};

struct Case {
  const char* name;
  Variable temp;
  Variable tmp;
  const char* update_folder;  // where the list and the package must land; "" for the installation
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class UpdatePackage : public ProductLaunchUpdateTest, public ::testing::WithParamInterface<Case> {
 protected:
  std::optional<std::string> Value(const Variable& variable) const {
    switch (variable.kind) {
      case Variable::kUnset:
        return std::nullopt;
      case Variable::kBlank:
        return "  ";
      case Variable::kFolder:
        break;
    }
    return installation.PathOf(variable.folder);
  }

  std::string ExpectedUpdateDir() const {
    const std::string folder = GetParam().update_folder;
    return folder.empty() ? installation.directory() : installation.PathOf(folder);
  }
};

TEST_P(UpdatePackage, AcceptedOfferStartsThePackageInsteadOfTheMainProgram) {
  installation.AddDirectory("other");
  PublishUpdate(kNewerVersion);
  SwitchAutoUpdate("1", server.url());
  temp.emplace("TEMP", Value(GetParam().temp));
  tmp.emplace("TMP", Value(GetParam().tmp));
  const std::string expected_dir = ExpectedUpdateDir();
  Start();

  const auto offer = NextBox();
  ASSERT_TRUE(offer) << "the launcher ended without an offer";
  EXPECT_EQ(offer->caption, kOfferCaption);
  EXPECT_EQ(offer->text, kOfferText);
  EXPECT_FALSE(offer->has_icon);
  EXPECT_EQ(ShownIcon(offer->handle), StandardIcon::kNone);
  const std::vector<Button> buttons = Buttons(offer->handle);
  ASSERT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons[0].id, IDOK);  // reading order: OK first
  EXPECT_EQ(buttons[0].text, "OK");
  EXPECT_EQ(buttons[1].id, IDCANCEL);
  EXPECT_EQ(buttons[1].text, "キャンセル");
  // By now the splash window is up, the setting written and the list stored in the update
  // directory, byte for byte as served.
  ASSERT_TRUE(splash->visible()) << "no splash window behind the offer";
  EXPECT_EQ(splash->Labels(), (std::vector<std::string>{std::string(kTitle) + " V4", "起動中"}));
  EXPECT_EQ(kSettings.User(kLauncherKey), "2");
  ASSERT_TRUE(PathExists(expected_dir + "\\" + kListName)) << "no list in " << expected_dir;
  EXPECT_EQ(ReadFileBytes(expected_dir + "\\" + kListName), server.Served(kListName));
  EXPECT_FALSE(PathExists(expected_dir + "\\" + kPackage)) << "downloaded before the answer";

  ASSERT_TRUE(Dismiss(*offer, "OK"));
  const auto ready = NextBox();
  ASSERT_TRUE(ready) << "the launcher ended without saying that the package is ready";
  EXPECT_EQ(ready->caption, kConfirmCaption);
  EXPECT_EQ(ready->text, kPackageReadyText);
  EXPECT_EQ(ShownIcon(ready->handle), StandardIcon::kInformation);
  EXPECT_EQ(ready->buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(splash->Labels(),
            (std::vector<std::string>{std::string(kTitle) + " V4",
                                      std::string(kPackage) + kDownloadingSuffix}));
  ASSERT_TRUE(PathExists(expected_dir + "\\" + kPackage));
  EXPECT_EQ(ReadFileBytes(expected_dir + "\\" + kPackage), server.Served(kPackage));
  const std::string package = expected_dir + "\\" + kPackage;
  EXPECT_FALSE(ReadStandInRecord(package)) << "the package started before OK";

  ASSERT_TRUE(Dismiss(*ready, "OK"));
  const auto after = NextBox();
  EXPECT_FALSE(after) << "a further box appeared: " << after->text;
  ASSERT_FALSE(launcher->Running()) << "the launcher did not end";
  EXPECT_EQ(launcher->ExitCode(), 0u);

  const std::optional<StandInRecord> record = WaitForStandInRecord(package);
  ASSERT_TRUE(record) << "the package did not start";
  EXPECT_EQ(record->command_line, "\"" + package + "\" 1");
  EXPECT_EQ(record->current_directory, expected_dir);
  EXPECT_EQ(record->show_window, "1");
  EXPECT_FALSE(ReadStandInRecord(main_program)) << "the main program ran as well";
  // The package's files go with the installation: it must have ended by then.
  try {
    EXPECT_TRUE(ProcessWatch(record->process_id).WaitForEnd());
  } catch (const std::runtime_error&) {
    // Already gone.
  }
}

INSTANTIATE_TEST_SUITE_P(
    ProductLaunch, UpdatePackage,
    ::testing::Values(
        Case{"IntoTemp", {Variable::kFolder, "update"}, {Variable::kFolder, "other"}, "update"},
        Case{"IntoTempEndingInBackslash",
             {Variable::kFolder, "update\\"},
             {Variable::kUnset},
             "update"},
        Case{"IntoTmpWhenTempIsBlank", {Variable::kBlank}, {Variable::kFolder, "update"}, "update"},
        Case{"IntoTheInstallationWithoutTempOrTmp", {Variable::kUnset}, {Variable::kUnset}, ""}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace hanamizu::e2e

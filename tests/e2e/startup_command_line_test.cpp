// The launcher accepts only the exact argument "boot": any other command line ends it after one
// message that names the host suite it needs, before any module check.

#include <gtest/gtest.h>

#include "installation.h"
#include "ui_probe.h"

namespace hanamizu::e2e {
namespace {

constexpr char kNeedsHostSuite[] =
    "ハナミズ台帳ツールVer4を利用するためには\r\nMeridex V8以降のバージョンが必要です。";

struct RefusedLine {
  const char* name;
  const char* command_line;
};

void PrintTo(const RefusedLine& line, std::ostream* out) {
  *out << '"' << line.command_line << '"';
}

class RefusedCommandLine : public ::testing::TestWithParam<RefusedLine> {};

TEST_P(RefusedCommandLine, ShowsOneHostSuiteMessageAndEnds) {
  Installation installation;
  // A module is installed, so a module check would pass silently: only the refusal can show.
  installation.AddFile("PRT1.EXE");
  LauncherProcess launcher = installation.Start(GetParam().command_line);

  const auto box = WaitForMessageBox(launcher.id());
  ASSERT_TRUE(box) << "no message box within the bound";
  // With CR LF between the lines; no second box and no splash window.
  ExpectPlainMessage(*box, launcher.id(), kNeedsHostSuite);
  ExpectEndAfterOk(*box, launcher);
}

INSTANTIATE_TEST_SUITE_P(Startup, RefusedCommandLine,
                         ::testing::Values(RefusedLine{"Capitals", "launcher.exe BOOT"},
                                           RefusedLine{"TrailingBlank", "launcher.exe boot "},
                                           RefusedLine{"SecondArgument", "launcher.exe boot x"},
                                           RefusedLine{"NoArgument", "launcher.exe"},
                                           RefusedLine{"MixedCase", "launcher.exe Boot"}),
                         [](const ::testing::TestParamInfo<RefusedLine>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace hanamizu::e2e

// Started correctly, the launcher goes on only when at least one tool module PRT*.EXE is
// installed beside it: plain files count whatever their case; directories and hidden or system
// files do not.

#include <gtest/gtest.h>

#include <vector>

#include "installation.h"
#include "ui_probe.h"

namespace hanamizu::e2e {
namespace {

constexpr char kTitle[] = "ハナミズ台帳ツール";
constexpr char kNotInstalled[] = "ツールが正しくインストールされていません";

enum class Kind { kFile, kHiddenFile, kSystemFile, kReadOnlyFile, kDirectory };

struct Entry {
  const char* name;
  Kind kind;
};

struct Layout {
  const char* name;
  std::vector<Entry> entries;
};

void Install(const Installation& installation, const Layout& layout) {
  for (const Entry& entry : layout.entries) {
    switch (entry.kind) {
      case Kind::kFile:
        installation.AddFile(entry.name);
        break;
      case Kind::kHiddenFile:
        installation.AddFile(entry.name, FILE_ATTRIBUTE_HIDDEN);
        break;
      case Kind::kSystemFile:
        installation.AddFile(entry.name, FILE_ATTRIBUTE_SYSTEM);
        break;
      case Kind::kReadOnlyFile:
        installation.AddFile(entry.name, FILE_ATTRIBUTE_READONLY);
        break;
      case Kind::kDirectory:
        installation.AddDirectory(entry.name);
        break;
    }
  }
}

void PrintTo(const Layout& layout, std::ostream* out) {
  for (const Entry& entry : layout.entries) *out << entry.name << ' ';
}

std::string LayoutName(const ::testing::TestParamInfo<Layout>& info) {
  return info.param.name;
}

class NoToolModule : public ::testing::TestWithParam<Layout> {};

TEST_P(NoToolModule, ShowsTheNotInstalledMessageAndEnds) {
  Installation installation;
  Install(installation, GetParam());
  LauncherProcess launcher = installation.Start("launcher.exe boot");

  const auto box = WaitForMessageBox(launcher.id());
  ASSERT_TRUE(box) << "no message box within the bound";
  ExpectPlainMessage(*box, launcher.id(), kNotInstalled);
  ExpectEndAfterOk(*box, launcher);
}

INSTANTIATE_TEST_SUITE_P(Startup, NoToolModule,
                         ::testing::Values(Layout{"EmptyDirectory", {}},
                                           Layout{"HiddenFile", {{"PRT2.EXE", Kind::kHiddenFile}}},
                                           Layout{"SystemFile", {{"PRT3.EXE", Kind::kSystemFile}}},
                                           Layout{"Directory", {{"PRTX.EXE", Kind::kDirectory}}},
                                           Layout{"NamesOutsideThePattern",
                                                  {{"PRT1.TXT", Kind::kFile},
                                                   {"XPRT1.EXE", Kind::kFile},
                                                   {"Hanamizu.exe", Kind::kFile}}}),
                         LayoutName);

class ToolModuleInstalled : public ::testing::TestWithParam<Layout> {};

// With a module found, the product launch follows: in these installations it finds no main
// program, which it says in a message of its own.
TEST_P(ToolModuleInstalled, GoesOnToTheProductLaunch) {
  Installation installation;
  Install(installation, GetParam());
  // Quoted full path, as a host suite starts programs.
  std::string line = "\"";
  line.append(installation.launcher()).append("\" boot");
  LauncherProcess launcher = installation.Start(line);

  const auto box = WaitForMessageBox(launcher.id());
  ASSERT_TRUE(box) << "no message box within the bound";
  ExpectPlainMessage(*box, launcher.id(), std::string(kTitle) + "メインプログラムが存在しません");
  ExpectEndAfterOk(*box, launcher);
}

INSTANTIATE_TEST_SUITE_P(
    Startup, ToolModuleInstalled,
    ::testing::Values(Layout{"OneModule", {{"PRT1.EXE", Kind::kFile}}},
                      Layout{"ModulesInEitherCase",
                             {{"prt1.exe", Kind::kFile}, {"PRTA.EXE", Kind::kFile}}},
                      Layout{"NothingAfterThePrefix", {{"PRT.EXE", Kind::kFile}}},
                      Layout{"ReadOnlyModule", {{"PRT1.EXE", Kind::kReadOnlyFile}}},
                      Layout{"ModuleBesideHiddenOne",
                             {{"PRT2.EXE", Kind::kHiddenFile}, {"PRT9.EXE", Kind::kFile}}}),
    LayoutName);

}  // namespace
}  // namespace hanamizu::e2e

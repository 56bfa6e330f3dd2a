#pragma once

// What every product-launch test needs: the Japanese code page, clean settings of the plain
// application "di04" before and after, and an installation holding the launcher, a tool module
// and the main program, all real programs.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "installation.h"
#include "settings_registry.h"

namespace hanamizu::e2e {

inline constexpr char kTitle[] = "ハナミズ台帳ツール";
inline constexpr char kLauncherKey[] = "ﾗﾝﾁｬｰ";
inline constexpr char kAutoUpdateKey[] = "自動ｱｯﾌﾟﾃﾞｰﾄ";
inline constexpr char kAutoUpdateUrlKey[] = "自動ｱｯﾌﾟﾃﾞｰﾄURL";
inline constexpr char kMainProgram[] = "Hanamizu.exe";
inline constexpr char kPackage[] = "HanamizuSetup.exe";

// Without oem.ini the settings live under "di04".
inline const SettingsSection kSettings{"di04"};

class ProductLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), kShiftJis) << "the tests need the Japanese ANSI code page";
    kSettings.Clear();
  }
  void TearDown() override { kSettings.Clear(); }
};

// Copies the tool module PRT1.EXE and the main program stand-in (file version 8.1.0.25) into the
// installation; the main program runs for `main_delay_ms` and exits with `main_exit_code`.
// Gives the main program's path.
std::string InstallProduct(const Installation& installation, DWORD main_delay_ms = 0,
                           DWORD main_exit_code = 0);

}  // namespace hanamizu::e2e

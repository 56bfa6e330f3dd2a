#pragma once

#include <string>

#include "launcher/launcher_state.h"
#include "platform/platform.h"

namespace hanamizu {

inline constexpr char kCommandWord[] = "boot";
inline constexpr char kLedgerKinds[] = "水門,ポンプ,トンネル";
inline constexpr char kNoModuleMessage[] = "ツールが正しくインストールされていません";
inline constexpr char kWrongCommandMessage[] =
    "ハナミズ台帳ツールVer4を利用するためには\r\nMeridex V8以降のバージョンが必要です。";

// True when the host suite started the launcher with exactly "boot"; otherwise says that the
// host suite is needed and returns false.
bool CommandCheck(Platform& platform, const std::string& arguments);

// Makes the launcher's drive and directory current.
void ChDir_AppPath(Platform& platform);

// The whole run, from the directory change to the end of the process; never returns.
void Main(Platform& platform);

// Main, with the last resort for an error that met no trap: its number and description are
// shown, then the launcher ends.
void RunLauncher(Platform& platform);

}  // namespace hanamizu

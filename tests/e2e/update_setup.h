#pragma once

// The product launch with auto-update on: an installation, a package and an update list on the
// local nginx, the switch and the address in the user's settings, and a folder of the test's own
// as the launcher's TEMP.

#include <optional>
#include <string>

#include "installation.h"
#include "launcher_process.h"
#include "product_setup.h"
#include "scoped_environment.h"
#include "splash_watch.h"
#include "ui_probe.h"
#include "update_server.h"

namespace hanamizu::e2e {

inline constexpr char kListName[] = "di04.dat";
// The main program stand-in's file version 8.1.0.25 reads as 8.1.25.
inline constexpr char kInstalledVersion[] = "8.1.25";
inline constexpr char kNewerVersion[] = "8.1.26";

inline constexpr char kOfferCaption[] = "最新版への更新";
inline constexpr char kConfirmCaption[] = "確認";
inline constexpr char kOfferText[] =
    "現在使用中のプログラムはバージョン 8.1.25 です。\r\r"
    "サーバー上に最新バージョン 8.1.26 が更新されています。\r\r"
    "更新を実行しますか";
inline constexpr char kPackageReadyText[] =
    "パッケージの更新を開始します。\r\r"
    "更新完了後、スタートメニューよりパッケージを起動してください。";
inline constexpr char kUnexpectedErrorText[] = "予期しないエラーが発生しました。\r\r";
inline constexpr char kDownloadingSuffix[] = " ファイルをダウンロード中";

class ProductLaunchUpdateTest : public ProductLaunchTest {
 protected:
  // The main program runs for main_delay_ms, so that the launcher's wait for it shows.
  explicit ProductLaunchUpdateTest(DWORD main_delay_ms = 0);

  // Publishes the package stand-in and a list that announces `version` for it.
  void PublishUpdate(const std::string& version) const;
  // Sets the auto-update switch and the update address in the user's settings.
  void SwitchAutoUpdate(const std::string& value, const std::string& url) const;
  // TEMP for the launcher: the folder "update" of the installation, which exists.
  void UseUpdateFolderAsTemp();

  // Starts the launcher as the host suite does and begins watching its splash window.
  void Start();
  // Waits, bounded, for the launcher's next message box or its end, looking at the splash window
  // all along; gives the box if one came.
  std::optional<MessageBoxSnapshot> NextBox();

  UpdateServer server;
  Installation installation;
  const std::string main_program;
  const std::string update_dir;  // the folder "update", without a trailing "\"
  std::optional<ScopedEnvironment> temp;
  std::optional<ScopedEnvironment> tmp;
  std::optional<LauncherProcess> launcher;
  std::optional<SplashWatch> splash;
};

}  // namespace hanamizu::e2e

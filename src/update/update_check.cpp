#include "update/update_check.h"

#include <charconv>

#include "common/app_error.h"
#include "common/launch_log.h"
#include "config/config_sources.h"
#include "update/package_download.h"
#include "update/update_integrity.h"
#include "update/update_list.h"
#include "update/update_rules.h"
#include "update/vendor_update_url.h"

namespace hanamizu {
namespace {

constexpr char kCaption[] = "確認";
constexpr char kOfferCaption[] = "最新版への更新";
constexpr char kNoListName[] = "リストファイルの指定がありません。";
constexpr char kListUnusable[] =
    "自動アップデートの処理が実行できません。\r\r"
    "インターネットに接続できていない、または自動アップデートの情報を取得できません。\r\r"
    "起動後、自動アップデートを無効に設定してください。";
constexpr char kVersionMismatch[] = "バージョン情報が正しくありません。　";
constexpr char kPackageReady[] =
    "パッケージの更新を開始します。\r\r"
    "更新完了後、スタートメニューよりパッケージを起動してください。";
constexpr char kUnexpectedError[] = "予期しないエラーが発生しました。\r\r";
constexpr char kAlreadyDownloading[] =
    "更新パッケージはすでにダウンロード中です。\r\r"
    "ダウンロードが終わってから、もう一度起動してください。";
constexpr char kDownloading[] = " ファイルをダウンロード中";

std::string OfferText(const UpdateListRecord& list, int32_t major, int32_t minor, int32_t build) {
  return "現在使用中のプログラムはバージョン " + VersionText(major, minor, build) + " です。\r\r" +
         "サーバー上に最新バージョン " +
         VersionText(list.ServerMajor, list.ServerMinor, list.ServerBuild) +
         " が更新されています。\r\r更新を実行しますか";
}

void Warn(UserInterface& ui, const std::string& text, MessageIcon icon) {
  ui.DefaultBeep();
  ui.ShowMessage(text, kCaption, MessageButtons::kOk, icon);
}

// The list into its file, which takes the list's name only once the whole body has arrived, so
// that a failed download leaves any earlier list as it was; more than any list holds is no list.
class ListSink : public ByteSink {
 public:
  explicit ListSink(PendingFile& file) : file_(file) {}
  void Start(const DownloadStart& start) override { status_ = start.status; }
  void Write(std::string_view bytes) override {
    received_ += bytes.size();
    if (received_ > kListMostBytes) {
      throw AppError(kErrorInternal, "更新リストが長すぎます", Condition::kListTooLong);
    }
    file_.Write(bytes);
  }
  std::string Figures(double start, double end) const {
    return "HTTP " + std::to_string(status_) + ", " + std::to_string(received_) + " bytes, " +
           std::to_string(Milliseconds(start, end)) + " ms";
  }

 private:
  PendingFile& file_;
  size_t received_ = 0;
  int status_ = 0;
};

void DownloadList(Platform& platform, const std::string& url, const std::string& path) {
  const std::unique_ptr<PendingFile> file = platform.files.CreatePendingFile(path);
  ListSink sink(*file);
  const double start = platform.system.MonotonicSeconds();
  try {
    platform.http.Download(url, sink, {.whole_deadline = true});
    file->Commit();
  } catch (const AppError& error) {
    platform.log.Write("list " + url + " failed (" +
                       sink.Figures(start, platform.system.MonotonicSeconds()) +
                       "): " + ErrorWords(error));
    throw;
  }
  platform.log.Write("list " + url + ": " +
                     sink.Figures(start, platform.system.MonotonicSeconds()) + ", saved as " +
                     path);
}

// The package's progress on the splash window, taken away when the download ends either way; or,
// once the user has gone to work, a look at the work, whose end stops the download.
class SplashProgress : public DownloadProgress {
 public:
  SplashProgress(Platform& platform, SplashWindow& splash, WorkMeanwhile* work)
      : platform_(platform), splash_(splash), work_(work) {}
  SplashProgress(const SplashProgress&) = delete;
  SplashProgress& operator=(const SplashProgress&) = delete;
  ~SplashProgress() override {
    try {
      if (shown_) splash_.HideProgress();
    } catch (...) {  // the window going is no reason to lose the download's outcome
      platform_.log.Write("the progress bar could not be taken away");
    }
  }
  void Progress(uint64_t received, std::optional<uint64_t> announced) override {
    if (work_ && work_->Begun()) {
      if (work_->Over()) {
        const uint64_t meanwhile = received - received_at_press_;
        platform_.log.Write((meanwhile ? std::to_string(meanwhile) + " bytes" : "nothing") +
                            std::string(" arrived while the main program ran"));
        throw AppError(kErrorInternal, "メインプログラムが終了しました", Condition::kWorkOver);
      }
      return;
    }
    splash_.ShowProgress(received, announced);
    shown_ = true;
    if (!work_ || !splash_.LaterPressed()) return;
    platform_.log.Write("the user goes to work at " + std::to_string(received) + " of " +
                        (announced ? std::to_string(*announced) : std::string("?")) +
                        " bytes: the main program starts, the download goes on");
    shown_ = false;
    received_at_press_ = received;
    splash_.HideProgress();
    work_->Begin();
  }

 private:
  Platform& platform_;
  SplashWindow& splash_;
  WorkMeanwhile* work_;
  bool shown_ = false;
  uint64_t received_at_press_ = 0;
};

// Whether the list may be used: a launcher with the publisher's keys takes only a list one of
// them signed for this list name, no older than one this user accepted before, and not expired;
// the highest sequence accepted is kept with the user's settings, whatever follows.
bool AcceptSignedList(Platform& platform, std::string_view list,
                      const std::optional<IntegrityBlock>& block, const std::string& list_name,
                      const std::string& registry_prefix) {
  const std::string app = SettingsAppName(registry_prefix);
  uint64_t highest = 0;
  if (!platform.publisher_keys.empty()) {
    const std::string kept = platform.settings.ReadSetting(app, kSettingsSection, kKeyListSequence);
    std::from_chars(kept.data(), kept.data() + kept.size(), highest);
  }
  const ListContext context{list_name, highest, platform.system.UnixTime()};
  const ListJudgement judgement =
      JudgeList(list, block, platform.publisher_keys, context, platform.crypto);
  platform.log.Write("list verdict " + JudgementWords(judgement));
  if (judgement.verdict != ListVerdict::kTrusted) return false;
  if (!judgement.keys) return true;
  const uint64_t sequence = block->sequence;
  if (sequence > highest) {
    platform.settings.WriteSetting(app, kSettingsSection, kKeyListSequence,
                                   std::to_string(sequence));
  }
  return true;
}

// Whether this user is among the PCs a release reaches first: a group drawn once from the
// system's random source and kept with the settings, below the release's share.
bool OfferedInRollout(Platform& platform, int rollout, const std::string& registry_prefix) {
  if (rollout >= 100) return true;
  const std::string app = SettingsAppName(registry_prefix);
  std::optional<int> group =
      ReadRolloutGroup(platform.settings.ReadSetting(app, kSettingsSection, kKeyRolloutGroup));
  if (!group) {
    group = static_cast<int>(platform.system.RandomNumber() % 100);
    platform.settings.WriteSetting(app, kSettingsSection, kKeyRolloutGroup, std::to_string(*group));
  }
  const bool inside = InRollout(*group, rollout);
  platform.log.Write("rollout " + std::to_string(rollout) + " %: this user's group " +
                     std::to_string(*group) + " is " + (inside ? "inside" : "outside"));
  return inside;
}

}  // namespace

void ShowUnexpectedError(UserInterface& ui, const AppError& error) {
  Warn(ui, kUnexpectedError + error.description(), MessageIcon::kExclamation);
}

int16_t UpdateCheck(Platform& platform, SplashWindow& splash, int32_t major, int32_t minor,
                    int32_t build, const std::string& baseUrl, const std::string& listName,
                    std::string& UpdateDir, std::string& PackageName,
                    const std::string& registry_prefix, std::unique_ptr<HeldFile>* package,
                    WorkMeanwhile* work) {
  UserInterface& ui = platform.ui;
  const auto body = [&]() -> int16_t {
    const std::string base = baseUrl.empty() ? std::string(kVendorUpdateUrl) : baseUrl;
    if (listName.empty()) {
      ui.ShowMessage(kNoListName, kCaption, MessageButtons::kOk, MessageIcon::kInformation);
      return -1;
    }
    if (UpdateDir.empty()) UpdateDir = "C:\\";

    ui.DoEvents();
    const std::string list_path = UpdateDir + listName;
    DownloadList(platform, base + listName, list_path);
    const std::string bytes = platform.files.ReadFileStart(list_path, kListMostBytes);
    const UpdateListRecord list = ReadUpdateListRecord(bytes, platform.files.Ansi());
    const std::optional<IntegrityBlock> block = ReadIntegrityBlock(bytes, platform.files.Ansi());

    const bool usable_name = IsUsablePackageFile(list.PackageFile);
    if (!usable_name) {
      platform.log.Write("list unusable: its package file \"" + list.PackageFile +
                         "\" is no plain name ending in .exe");
    }
    if (!AcceptSignedList(platform, bytes, block, listName, registry_prefix) || !usable_name) {
      Warn(ui, kListUnusable, MessageIcon::kExclamation);
      return -1;
    }
    const std::string versions = "versions: server " +
                                 VersionText(list.ServerMajor, list.ServerMinor, list.ServerBuild) +
                                 ", installed " + VersionText(major, minor, build);
    if (list.ServerMajor != major) {
      platform.log.Write(versions + ": another major version, refused");
      Warn(ui, kVersionMismatch + std::to_string(list.ServerMajor), MessageIcon::kExclamation);
      return -1;
    }
    if (!IsNewerVersion(list.ServerMinor, list.ServerBuild, minor, build)) {
      platform.log.Write(versions + ": not newer, nothing to do");
      return 0;
    }
    if (block && !OfferedInRollout(platform, block->rollout, registry_prefix)) {
      platform.log.Write(versions + ": newer, not offered yet");
      return 0;
    }
    platform.log.Write(versions + ": newer, offered");
    if (ui.ShowMessage(OfferText(list, major, minor, build), kOfferCaption,
                       MessageButtons::kOkCancel, MessageIcon::kNone) != MessageAnswer::kOk) {
      platform.log.Write("offer declined");
      return 0;
    }
    platform.log.Write("offer accepted");
    if (list.DownloadMode != 0) {
      platform.log.Write("download mode " + std::to_string(list.DownloadMode) +
                         ": not downloaded, result " +
                         std::to_string(DownloadModeResult(list.DownloadMode)));
      return DownloadModeResult(list.DownloadMode);
    }

    splash.SetStatusText(list.PackageFile + kDownloading);
    if (PackageName.empty()) PackageName = list.PackageFile;
    ui.DoEvents();
    // Fetched under the server's name, stored under the caller's.
    std::unique_ptr<HeldFile> held;
    {
      SplashProgress progress(platform, splash, work);
      held = DownloadPackage(platform, list.PackageLocation + list.PackageFile, UpdateDir,
                             PackageName, block, &progress, [&] { return work && work->Begun(); });
    }
    if (!held) return 0;  // kept for the next launch: nobody waits for it now
    if (package) *package = std::move(held);
    Warn(ui, kPackageReady, MessageIcon::kInformation);
    return 1;
  };
  return WithTrap(body, [&](const AppError& error) -> int16_t {
    platform.log.Write("update failed: " + ErrorWords(error));
    // The user is at work: nothing is said; the next launch takes the download up again.
    if (work && work->Begun()) {
      if (error.condition() == Condition::kWorkOver) {
        platform.log.Write("the main program has ended: the download stopped, its part kept");
      }
      return -1;
    }
    if (error.condition() == Condition::kListTooLong) {
      Warn(ui, kListUnusable, MessageIcon::kExclamation);
    } else if (error.condition() == Condition::kDownloadInProgress) {
      Warn(ui, kAlreadyDownloading, MessageIcon::kInformation);
    } else {
      ShowUnexpectedError(ui, error);
    }
    return -1;
  });
}

}  // namespace hanamizu

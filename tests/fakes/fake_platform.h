#pragma once

// One in-memory platform for the core's tests. What a user would see and what the launcher
// writes, fetches, starts and sleeps goes, in order, into `journal`; the clock moves by what the
// code sleeps and by what a test says the boxes and the settings take.

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/app_error.h"
#include "common/launch_log.h"
#include "fakes/test_keys.h"
#include "platform/platform.h"
#include "platform/shift_jis.h"

namespace hanamizu::fakes {

struct ProcessEnded {};  // thrown where the real platform ends the process

// A message box in the journal: caption, icon (- i !), buttons, then the text.
inline std::string Box(const std::string& caption, const char* icon, const char* buttons,
                       const std::string& text) {
  return "box " + caption + " " + icon + " " + buttons + ": " + text;
}

// A file on the update server: the whole of it, or the rest asked for of the version its
// validator names; from a server that misbehaves, another answer to a request for the rest (and
// the body from there; from beyond its end, none: 416), or the whole without its length.
struct Served {
  std::string body;
  std::string validator = "\"v1\"";
  std::optional<DownloadStart> rest;
  bool unannounced = false;
  std::optional<std::string> cached;  // what a cache on the way holds under its address
};

// A part of a download that an earlier attempt left beside its target.
struct KeptPart {
  std::string bytes;
  std::optional<PartInfo> info;
  double age_days = 0;
};

class FakePlatform : public FileSystem,
                     public SettingsStore,
                     public IniReader,
                     public UserInterface,
                     public SystemServices,
                     public HttpClient,
                     public ProcessLauncher {
 public:
  std::vector<std::string> journal;
  std::vector<std::string> log;  // the launcher's own log, line by line
  std::string launcher_dir = "C:\\Tools\\Ledger", arguments = "boot";
  std::vector<std::string> modules = {"PRT1.EXE"};  // what a listing of PRT*.EXE finds
  std::map<std::string, std::string> files;         // by path: the contents of normal files
  std::map<std::string, std::string> versions, env, settings;  // settings: "app\section\key"
  std::map<std::string, std::string> profile;  // under HKEY_USERS: "subkey\value name"
  std::map<std::string, Served> web;           // by address
  std::map<std::string, KeptPart> parts;       // by target
  std::vector<std::string> folders;            // what a listing of folders finds, anywhere
  // What another program writes into a package between its commit and its hold.
  std::optional<std::string> rewritten;
  CodeSignature signature;                  // the package's own
  std::map<std::string, AppError> failing;  // by the operation's name: its next call throws
  std::deque<MessageAnswer> answers;        // to the boxes in turn, then OK
  // What the started program's exit code reads (nothing: the query fails) and whether it has
  // ended, look by look; then it has ended with 0.
  std::deque<std::pair<std::optional<uint32_t>, bool>> polls;
  double clock = 1000, seconds_per_box = 0, seconds_per_setting = 0;
  uint64_t free_space = uint64_t{1} << 40;
  bool later = false;  // the splash's button to go to work, pressed once the download shows
  std::unique_ptr<SigningCrypto> crypto = MakeSystemCrypto();  // the system's own
  LaunchLog launch_log;
  LoggedUserInterface logged_ui{*this, launch_log};
  Platform platform{*this, *this, *this, logged_ui, *this, *this, *this, *crypto, launch_log};
  operator Platform&() { return platform; }
  // Logged from the start, as once Main has opened the log.
  FakePlatform() { launch_log.Open(std::make_unique<Log>(*this)); }

  // Journals what happened (unless empty), then throws if the operation is to fail.
  void Note(const std::string& operation, const std::string& entry = "") {
    if (!entry.empty()) journal.push_back(entry);
    if (const auto it = failing.find(operation); it != failing.end()) {
      const AppError error = it->second;
      failing.erase(it);
      throw error;
    }
  }

  std::string LauncherDirectory() override { return launcher_dir; }
  void ChangeDrive(char letter) override { Note("ChangeDrive", std::string("drive ") + letter); }
  void ChangeDirectory(const std::string& path) override { Note("ChangeDirectory", "cd " + path); }
  std::vector<std::string> ListFiles(const std::string&) override {
    Note("ListFiles");
    return modules;
  }
  void AppendAnsiLine(const std::string& path, const std::string& line) override {
    Note("AppendAnsiLine", "append " + path + ": " + line);
  }
  bool NormalFileExists(const std::string& path) override { return files.count(path); }
  std::string FileVersion(const std::string& path) override { return versions[path]; }
  const AnsiCodec& Ansi() override { return *ansi_; }
  void CheckReplaceable(const std::string&) override { Note("CheckReplaceable"); }
  void MakePrivateFolder(const std::string& path) override { Note("", "private " + path); }
  std::vector<std::string> ListFolders(const std::string&) override { return folders; }
  void RemoveFolder(const std::string& path) override { Note("", "remove " + path); }
  std::unique_ptr<PendingFile> CreatePendingFile(const std::string& path) override {
    Note("CreatePendingFile");
    return std::make_unique<Pending>(*this, path);
  }
  std::unique_ptr<PartialFile> OpenPartialFile(const std::string& target) override {
    Note("OpenPartialFile");
    return std::make_unique<Partial>(*this, target);
  }
  std::string ReadFileStart(const std::string& path, size_t max_bytes) override {
    return files.at(path).substr(0, max_bytes);
  }
  uint64_t FreeSpace(const std::string&) override { return free_space; }
  std::unique_ptr<LogFile> OpenLog(const std::string& path) noexcept override {
    log.push_back("open " + path);
    return std::make_unique<Log>(*this);
  }

  std::string ReadSetting(const std::string& app, const std::string& section,
                          const std::string& key) override {
    return settings[app + "\\" + section + "\\" + key];
  }
  void WriteSetting(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) override {
    clock += seconds_per_setting;
    settings[app + "\\" + section + "\\" + key] = value;
    Note("WriteSetting", "set " + app + "\\" + section + "\\" + key + "=" + value);
  }
  std::optional<std::string> QueryRegistryText(RegistryRoot, const std::string& subkey,
                                               const std::string& name, uint32_t kind) override {
    const auto found = profile.find(subkey + "\\" + name);
    if (found == profile.end() || kind != kRegSz) return std::nullopt;
    return found->second;
  }
  std::string ReadProfileString(const std::string&, const std::string&,
                                const std::string& default_value, const std::string&) override {
    return default_value;
  }

  MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override {
    const char* icons[] = {"-", "i", "!"};
    clock += seconds_per_box;
    Note("ShowMessage", Box(caption, icons[static_cast<int>(icon)],
                            buttons == MessageButtons::kOk ? "OK" : "OK/Cancel", text));
    const MessageAnswer answer = answers.empty() ? MessageAnswer::kOk : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
  void DefaultBeep() override { Note("DefaultBeep", "beep"); }
  void DoEvents() override { Note("DoEvents"); }
  std::unique_ptr<SplashWindow> CreateSplashWindow() override {
    return std::make_unique<Splash>(*this);
  }
  TwipsSize ScreenSize() override { return {19200, 15360}; }

  std::string CommandLineArguments() override { return arguments; }
  LocalTime LocalNow() override { return {2024, 3, 5, 4, 7, 9}; }
  double MonotonicSeconds() override { return clock; }
  int64_t UnixTime() override { return 1'800'000'000; }
  std::string LocalAppDataFolder() override { return "C:\\Users\\u\\AppData\\Local"; }
  uint32_t ProcessId() override { return 4242; }
  uint64_t RandomNumber() override { return 4242; }
  std::optional<std::string> EnvironmentVariable(const std::string& name) override {
    const auto found = env.find(name);
    return found == env.end() ? std::nullopt : std::optional(found->second);
  }
  [[noreturn]] void EndProcess() override {
    journal.push_back("end");
    throw ProcessEnded{};
  }

  // An address the server does not serve cannot be resolved.
  void Download(const std::string& url, ByteSink& sink, const DownloadRequest& request) override {
    const auto& resume = request.resume;
    Note("", "get " + url + (resume ? " from " + std::to_string(resume->offset) : "") +
                 (request.whole_deadline ? " (with a deadline)" : ""));
    if (!web.count(url)) throw AppError(12007, "サーバー名またはアドレスを解決できませんでした");
    const Served& file = web[url];
    const std::string& body = request.from_caches ? file.cached.value_or(file.body) : file.body;
    DownloadStart start{0, false, file.validator, body.size()};
    if (file.unannounced) start.whole_length.reset();
    if (resume && resume->validator == file.validator) {
      start.offset = resume->offset;
      start.partial = true;
      start.status = 206;
    }
    if (resume) start = file.rest.value_or(start);
    if (start.partial && start.offset >= body.size()) {
      throw AppError(416, "Range Not Satisfiable", Condition::kRangeNotSatisfiable);
    }
    sink.Start(start);
    sink.Write(body.substr(start.offset.value_or(0)));
    if (request.progress) request.progress->Progress(body.size(), start.whole_length);
  }

  std::unique_ptr<WatchedProcess> StartProcess(const std::string& line, int show) override {
    Note("StartProcess", "start " + line + " show=" + std::to_string(show));
    return std::make_unique<Process>(*this);
  }
  void Sleep(int milliseconds) override {
    clock += milliseconds / 1000.0;
    Note("Sleep", "sleep " + std::to_string(milliseconds));
  }
  void ShellOpen(uintptr_t owner, const std::string& file, const std::string& parameters,
                 const std::string& directory, int show) override {
    Note("ShellOpen", "shell " + file + " [" + parameters + "] in " + directory +
                          " show=" + std::to_string(show) + " owner=" + std::to_string(owner));
  }

 private:
  struct Log : LogFile {
    explicit Log(FakePlatform& fake) : fake(fake) {}
    void Append(std::string_view line) noexcept override { fake.log.emplace_back(line); }
    FakePlatform& fake;
  };

  class Splash : public SplashWindow {
   public:
    explicit Splash(FakePlatform& fake) : fake_(fake) {}
    TwipsSize OuterSize() override { return {5715, 2010}; }
    void MoveLeft(float) override {}
    void MoveTop(float) override {}
    std::string TitleLabelText() override { return " V4"; }
    void SetTitleLabelText(const std::string&) override {}
    void SetStatusText(const std::string&) override {}
    void ShowProgress(uint64_t received, std::optional<uint64_t> announced) override {
      fake_.Note("", "progress " + std::to_string(received) + "/" +
                         (announced ? std::to_string(*announced) : "?"));
    }
    void HideProgress() override { fake_.Note("", "progress hidden"); }
    bool LaterPressed() override { return fake_.later; }
    void ShowModeless() override {}
    void Repaint() override {}
    uintptr_t Handle() override { return 0x51; }
    void Unload() override { fake_.Note("", "splash gone"); }

   private:
    FakePlatform& fake_;
  };

  // Takes its target's name when committed.
  class Pending : public PendingFile {
   public:
    Pending(FakePlatform& fake, std::string path) : fake_(fake), path_(std::move(path)) {}
    void Write(std::string_view bytes) override { bytes_ += bytes; }
    void Commit() override {
      fake_.files[path_] = bytes_;
      fake_.Note("", "save " + path_);
    }

   private:
    FakePlatform& fake_;
    std::string path_, bytes_;
  };

  class Partial : public PartialFile {
   public:
    Partial(FakePlatform& fake, std::string target) : fake_(fake), target_(target) {}
    uint64_t Size() override { return part().bytes.size(); }
    std::optional<PartInfo> Info() override { return part().info; }
    double AgeDays() override { return part().age_days; }
    std::string Read(uint64_t offset, size_t size) override {
      return part().bytes.substr(offset, size);
    }
    void Restart(const PartInfo& info) override {
      fake_.Note("Restart");
      part() = {"", info, 0};
    }
    void Continue(const PartInfo& info) override { part().info = info; }
    void Write(std::string_view bytes) override {
      fake_.Note("Write");
      part().bytes += bytes;
    }
    std::unique_ptr<HeldFile> Commit() override {
      fake_.Note("", "save " + target_ + ": " + part().bytes);
      fake_.files[target_] = fake_.rewritten.value_or(part().bytes);
      fake_.parts.erase(target_);
      return std::make_unique<Held>(fake_, target_);
    }
    void Discard() override {
      fake_.parts.erase(target_);
      fake_.Note("", "discard part " + target_);
    }

   private:
    struct Held : HeldFile {
      Held(FakePlatform& fake, std::string path) : fake(fake), path(std::move(path)) {}
      ~Held() override {
        if (fake.files.count(path)) fake.journal.push_back("let go of " + path);
      }
      std::string Path() override { return path; }
      std::string Read(uint64_t offset, size_t size) override {
        return fake.files[path].substr(offset, size);
      }
      void Discard() override {
        fake.files.erase(path);
        fake.Note("", "delete " + path);
      }
      CodeSignature Signature() override { return fake.signature; }
      FakePlatform& fake;
      std::string path;
    };
    KeptPart& part() { return fake_.parts[target_]; }
    FakePlatform& fake_;
    std::string target_;
  };

  class Process : public WatchedProcess {
   public:
    explicit Process(FakePlatform& fake) : fake_(fake) {}
    std::optional<uint32_t> ExitCode() override {
      look_ = {0, true};
      if (!fake_.polls.empty()) {
        look_ = fake_.polls.front();
        fake_.polls.pop_front();
      }
      return look_.first;
    }
    bool HasEnded() override { return look_.second; }

   private:
    FakePlatform& fake_;
    std::pair<std::optional<uint32_t>, bool> look_;
  };

  std::unique_ptr<AnsiCodec> ansi_ = MakeShiftJisCodec();
};

}  // namespace hanamizu::fakes

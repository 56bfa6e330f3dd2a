#pragma once

// In-memory stand-ins for the platform, recording what the core does with them.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/app_error.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_splash.h"
#include "platform/platform.h"
#include "platform/shift_jis.h"

namespace hanamizu::fakes {

// Thrown where the real platform would end the process.
struct ProcessEnded {};

struct FakeFile {
  std::string name;
  bool hidden = false;
  bool system = false;
  bool directory = false;
};

class FakeFileSystem : public FileSystem {
 public:
  std::string launcher_directory = "C:\\Tools\\Ledger";
  char current_drive = 'C';
  std::string current_directory = "C:\\";
  // Directory (without trailing "\") -> entries in it.
  std::map<std::string, std::vector<FakeFile>> entries;
  // Path -> bytes appended, lines joined with CR LF.
  std::map<std::string, std::string> appended;
  std::set<std::string> unwritable;
  // Path -> whole contents of the files that the core writes and reads.
  std::map<std::string, std::string> files;
  std::set<std::string> undeletable;  // RemoveFile fails on these, as on a file in use
  std::unique_ptr<AnsiCodec> ansi = MakeShiftJisCodec();
  std::vector<std::string> calls;

  std::string LauncherDirectory() override;
  void ChangeDrive(char letter) override;
  void ChangeDirectory(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& pattern) override;
  void AppendAnsiLine(const std::string& path, const std::string& line) override;
  bool NormalFileExists(const std::string& path) override;
  std::string FileVersion(const std::string& path) override;

  // Path -> file version of the executables the tests put there.
  std::map<std::string, std::string> versions;
  const AnsiCodec& Ansi() override { return *ansi; }
  bool RemoveFile(const std::string& path) override;
  std::unique_ptr<PendingFile> CreatePendingFile(const std::string& path) override;
  std::string ReadFileStart(const std::string& path, size_t max_bytes) override;
};

class FakeSettingsStore : public SettingsStore {
 public:
  // (app, section, key) -> value.
  std::map<std::tuple<std::string, std::string, std::string>, std::string> user;
  // (subkey, value name) -> value in HKEY_USERS.
  std::map<std::pair<std::string, std::string>, std::string> users_hive;
  std::vector<std::string> writes;              // "app|section|key=value", in order
  std::vector<std::string>* journal = nullptr;  // also receives "write <key>=<value>"

  std::string ReadSetting(const std::string& app, const std::string& section,
                          const std::string& key) override;
  void WriteSetting(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) override;
  std::optional<std::string> QueryRegistryText(RegistryRoot root, const std::string& subkey,
                                               const std::string& value_name,
                                               uint32_t kind) override;
};

class FakeIniReader : public IniReader {
 public:
  // (path, section, key) -> value; sections and keys compared as given.
  std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
  std::vector<std::string> reads;  // "path|section|key", in order

  std::string ReadProfileString(const std::string& section, const std::string& key,
                                const std::string& default_value, const std::string& path) override;
};

struct ShownMessage {
  std::string text;
  std::string caption;
  MessageButtons buttons;
  MessageIcon icon;
};

class FakeUserInterface : public UserInterface {
 public:
  std::vector<ShownMessage> messages;
  std::deque<MessageAnswer> answers;  // next answers; OK when empty
  int beeps = 0;
  int events_processed = 0;
  // Runs before a message is recorded; may throw to simulate a failing box.
  std::function<void(const std::string&)> on_message;
  // Runs each time pending events are handled; may throw.
  std::function<void()> on_do_events;
  // 1280 x 1024 pixels at 96 DPI.
  TwipsSize screen{19200, 15360};
  int splash_windows_created = 0;
  // The splash window created last; it lives as long as this fake.
  FakeSplashWindow* splash = nullptr;
  std::vector<std::unique_ptr<FakeSplashWindow>> splash_windows;
  // Also receives messages ("message <text>") and the splash windows' events, when set.
  std::vector<std::string>* journal = nullptr;

  MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override;
  void DefaultBeep() override { ++beeps; }
  void DoEvents() override;
  std::unique_ptr<SplashWindow> CreateSplashWindow() override;
  TwipsSize ScreenSize() override { return screen; }
};

class FakeSystemServices : public SystemServices {
 public:
  std::string arguments = "boot";
  LocalTime now{2024, 3, 5, 14, 7, 9};
  int end_calls = 0;

  std::string CommandLineArguments() override { return arguments; }
  LocalTime LocalNow() override { return now; }
  double MonotonicSeconds() override { return monotonic_seconds; }
  std::optional<std::string> EnvironmentVariable(const std::string& name) override;

  double monotonic_seconds = 1000.0;
  std::map<std::string, std::string> environment;
  [[noreturn]] void EndProcess() override;
};

// Answers downloads from a table of addresses; any other address fails as a name that does
// not resolve.
class FakeHttpClient : public HttpClient {
 public:
  struct Failure {
    std::string partial;  // written to the sink before the error
    AppError error;
  };
  std::map<std::string, std::string> bodies;
  std::map<std::string, Failure> failures;
  std::vector<std::string> requests;            // addresses, in order
  std::vector<std::string>* journal = nullptr;  // also receives "download <url>"

  void Download(const std::string& url, ByteSink& sink) override;
};

// One of each, wired into a Platform. "journal" lists, in order, what the user saw and what was
// written, started, fetched and waited for; the clock moves forward by what the code sleeps.
struct FakePlatform {
  FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  std::vector<std::string> journal;
  FakeFileSystem files;
  FakeSettingsStore settings;
  FakeIniReader ini;
  FakeUserInterface ui;
  FakeSystemServices system;
  FakeHttpClient http;
  FakeProcessLauncher processes;
  Platform platform{files, settings, ini, ui, system, http, processes};
};

}  // namespace hanamizu::fakes

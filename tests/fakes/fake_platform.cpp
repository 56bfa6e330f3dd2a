#include "fakes/fake_platform.h"

#include <algorithm>
#include <cctype>

namespace hanamizu::fakes {
namespace {

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Wildcard match of "*" and "?" ignoring ASCII case, as the system's file search does.
bool Matches(const std::string& pattern, const std::string& name) {
  const std::string p = Upper(pattern);
  const std::string n = Upper(name);
  std::function<bool(size_t, size_t)> match = [&](size_t i, size_t j) {
    if (i == p.size()) return j == n.size();
    if (p[i] == '*') return match(i + 1, j) || (j < n.size() && match(i, j + 1));
    if (j < n.size() && (p[i] == '?' || p[i] == n[j])) return match(i + 1, j + 1);
    return false;
  };
  return match(0, 0);
}

}  // namespace

std::string FakeFileSystem::LauncherDirectory() {
  return launcher_directory;
}

void FakeFileSystem::ChangeDrive(char letter) {
  calls.push_back(std::string("ChangeDrive ") + letter);
  current_drive = letter;
}

void FakeFileSystem::ChangeDirectory(const std::string& path) {
  calls.push_back("ChangeDirectory " + path);
  current_directory = path;
}

std::vector<std::string> FakeFileSystem::ListFiles(const std::string& pattern) {
  calls.push_back("ListFiles " + pattern);
  const size_t slash = pattern.rfind('\\');
  const std::string dir = pattern.substr(0, slash);
  const std::string mask = pattern.substr(slash + 1);
  std::vector<std::string> names;
  for (const auto& file : entries[dir]) {
    if (!file.hidden && !file.system && !file.directory && Matches(mask, file.name)) {
      names.push_back(file.name);
    }
  }
  return names;
}

void FakeFileSystem::AppendAnsiLine(const std::string& path, const std::string& line) {
  if (unwritable.count(path)) throw AppError(75, "パス名が無効です。");
  appended[path] += line + "\r\n";
}

bool FakeFileSystem::NormalFileExists(const std::string& path) {
  const size_t slash = path.rfind('\\');
  const std::string dir = path.substr(0, slash);
  const std::string name = Upper(path.substr(slash + 1));
  for (const auto& file : entries[dir]) {
    if (Upper(file.name) == name) return !file.hidden && !file.system && !file.directory;
  }
  return false;
}

std::string FakeFileSystem::FileVersion(const std::string& path) {
  const auto it = versions.find(path);
  return it == versions.end() ? std::string() : it->second;
}

bool FakeFileSystem::RemoveFile(const std::string& path) {
  calls.push_back("RemoveFile " + path);
  if (undeletable.count(path)) return false;
  return files.erase(path) > 0;
}

namespace {

class FakePendingFile : public PendingFile {
 public:
  FakePendingFile(FakeFileSystem& owner, std::string path)
      : owner_(owner), path_(std::move(path)) {}
  void Write(std::string_view bytes) override { bytes_ += bytes; }
  void Commit() override {
    owner_.calls.push_back("Commit " + path_);
    owner_.files[path_] = std::move(bytes_);
  }

 private:
  FakeFileSystem& owner_;
  std::string path_;
  std::string bytes_;
};

}  // namespace

std::unique_ptr<PendingFile> FakeFileSystem::CreatePendingFile(const std::string& path) {
  calls.push_back("CreatePendingFile " + path);
  if (unwritable.count(path)) throw AppError(75, "パス名が無効です。");
  return std::make_unique<FakePendingFile>(*this, path);
}

std::string FakeFileSystem::ReadFileStart(const std::string& path, size_t max_bytes) {
  calls.push_back("ReadFileStart " + path);
  const auto it = files.find(path);
  if (it == files.end()) throw AppError(53, "ファイルが見つかりません。");
  return it->second.substr(0, max_bytes);
}

void FakeHttpClient::Download(const std::string& url, ByteSink& sink) {
  requests.push_back(url);
  if (journal) journal->push_back("download " + url);
  if (const auto it = failures.find(url); it != failures.end()) {
    sink.Write(it->second.partial);
    throw it->second.error;
  }
  const auto it = bodies.find(url);
  if (it == bodies.end()) {
    throw AppError(12007, "サーバー名またはアドレスを解決できませんでした (" + url + ")");
  }
  sink.Write(it->second);
}

std::string FakeSettingsStore::ReadSetting(const std::string& app, const std::string& section,
                                           const std::string& key) {
  const auto it = user.find({app, section, key});
  return it == user.end() ? std::string() : it->second;
}

void FakeSettingsStore::WriteSetting(const std::string& app, const std::string& section,
                                     const std::string& key, const std::string& value) {
  writes.push_back(app + "|" + section + "|" + key + "=" + value);
  if (journal) journal->push_back("write " + key + "=" + value);
  user[{app, section, key}] = value;
}

std::optional<std::string> FakeSettingsStore::QueryRegistryText(RegistryRoot,
                                                                const std::string& subkey,
                                                                const std::string& value_name,
                                                                uint32_t) {
  const auto it = users_hive.find({subkey, value_name});
  if (it == users_hive.end()) return std::nullopt;
  return it->second;
}

std::string FakeIniReader::ReadProfileString(const std::string& section, const std::string& key,
                                             const std::string& default_value,
                                             const std::string& path) {
  reads.push_back(path + "|" + section + "|" + key);
  const auto it = values.find({path, section, key});
  return it == values.end() ? default_value : it->second;
}

MessageAnswer FakeUserInterface::ShowMessage(const std::string& text, const std::string& caption,
                                             MessageButtons buttons, MessageIcon icon) {
  if (on_message) on_message(text);
  if (journal) journal->push_back("message " + text);
  messages.push_back({text, caption, buttons, icon});
  if (answers.empty()) return MessageAnswer::kOk;
  const MessageAnswer answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::string> FakeSystemServices::EnvironmentVariable(const std::string& name) {
  const auto it = environment.find(name);
  if (it == environment.end()) return std::nullopt;
  return it->second;
}

void FakeUserInterface::DoEvents() {
  ++events_processed;
  if (on_do_events) on_do_events();
}

std::unique_ptr<SplashWindow> FakeUserInterface::CreateSplashWindow() {
  splash_windows.push_back(std::make_unique<FakeSplashWindow>());
  splash = splash_windows.back().get();
  splash->journal = journal;
  ++splash_windows_created;
  return std::make_unique<FakeSplashHandle>(*splash);
}

void FakeSystemServices::EndProcess() {
  ++end_calls;
  throw ProcessEnded{};
}

FakePlatform::FakePlatform() {
  ui.journal = &journal;
  settings.journal = &journal;
  http.journal = &journal;
  processes.journal = &journal;
  processes.on_sleep = [this](int milliseconds) {
    system.monotonic_seconds += milliseconds / 1000.0;
  };
}

}  // namespace hanamizu::fakes

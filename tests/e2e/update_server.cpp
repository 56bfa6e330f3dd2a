#include "update_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "launcher_process.h"
#include "probe_text.h"
#include "scoped_environment.h"
#include "standin_record.h"

namespace hanamizu::e2e {
namespace {

namespace fs = std::filesystem;

std::string StateDirectory() {
  const std::optional<std::string> unix_path = EnvironmentValue("HANAMIZU_TEST_SERVERS");
  if (!unix_path || unix_path->empty()) {
    throw std::runtime_error("HANAMIZU_TEST_SERVERS is not set: run through ctest's fixture");
  }
  // Wine maps the Unix root to drive Z:.
  std::string windows_path = "Z:" + *unix_path;
  for (char& c : windows_path) {
    if (c == '/') c = '\\';
  }
  return windows_path;
}

std::string ReadPort(const std::string& file) {
  std::string text = ReadFileBytes(file);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) throw std::runtime_error("no port in " + file + ": is the fixture running?");
  return text;
}

std::string FolderName() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  for (char& c : name) {
    if (c == '/') c = '.';
  }
  return name;
}

}  // namespace

UpdateServer::UpdateServer() {
  const std::string state = StateDirectory();
  const std::string name = FolderName();
  folder_ = state + "\\www\\" + name;
  url_ = "http://127.0.0.1:" + ReadPort(state + "\\nginx.port") + "/" + name + "/";
  refusing_url_ = "http://127.0.0.1:" + ReadPort(state + "\\closed.port") + "/" + name + "/";
  fs::remove_all(fs::path(Wide(folder_)));
  fs::create_directories(fs::path(Wide(folder_)));
}

UpdateServer::~UpdateServer() {
  std::error_code ignored;
  fs::remove_all(fs::path(Wide(folder_)), ignored);
}

void UpdateServer::PublishFile(const std::string& source, const std::string& name) const {
  fs::copy_file(fs::path(Wide(source)), fs::path(Wide(folder_ + "\\" + name)),
                fs::copy_options::overwrite_existing);
}

void UpdateServer::PublishList(const std::string& list_name, const std::string& version,
                               const std::string& package_file) const {
  const std::string file = folder_ + "\\" + list_name;
  LauncherProcess tool(BesideTestExecutable("updatelist.exe"),
                       "updatelist.exe write \"" + file + "\" --version " + version +
                           " --location " + url_ + " --package " + package_file,
                       folder_);
  if (!tool.WaitForExit() || tool.ExitCode() != 0u) {
    throw std::runtime_error("updatelist.exe could not write " + file);
  }
}

std::string UpdateServer::Served(const std::string& name) const {
  return ReadFileBytes(folder_ + "\\" + name);
}

}  // namespace hanamizu::e2e

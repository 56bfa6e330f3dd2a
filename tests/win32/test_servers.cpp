#include "win32/test_servers.h"

#include <cstdlib>
#include <stdexcept>

#include "win32/win32_test_support.h"

namespace hanamizu::win32::testing {
namespace {

std::string ReadPort(const std::string& file) {
  std::string text = ReadBytes(file);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) throw std::runtime_error("no port in " + file + ": is the fixture running?");
  return text;
}

}  // namespace

TestServers::TestServers() {
  const char* unix_path = std::getenv("HANAMIZU_TEST_SERVERS");
  if (!unix_path || !*unix_path) throw std::runtime_error("HANAMIZU_TEST_SERVERS is not set");
  state_ = std::string("Z:") + unix_path;
  for (char& c : state_) {
    if (c == '/') c = '\\';
  }
  nginx_port_ = ReadPort(state_ + "\\nginx.port");
  nginx_url_ = "http://127.0.0.1:" + nginx_port_ + "/";
  fault_url_ = "http://127.0.0.1:" + ReadPort(state_ + "\\faults.port") + "/";
  refusing_url_ = "http://127.0.0.1:" + ReadPort(state_ + "\\closed.port") + "/";
}

std::string TestServers::WwwFile(const std::string& name) const {
  return state_ + "\\www\\" + name;
}

void TestServers::Publish(const std::string& name, const std::string& bytes) const {
  WriteBytes(WwwFile(name), bytes);
}

}  // namespace hanamizu::win32::testing

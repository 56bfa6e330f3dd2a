#pragma once

// The HTTP servers that the ctest fixture starts on 127.0.0.1 (tests/servers/test-servers.sh),
// found through HANAMIZU_TEST_SERVERS, the fixture's state directory on the Unix side.

#include <string>

namespace hanamizu::win32::testing {

class TestServers {
 public:
  TestServers();

  // http://127.0.0.1:<port>/ of nginx, of the fault server, and of a port that refuses.
  std::string NginxUrl() const { return nginx_url_; }
  std::string FaultUrl() const { return fault_url_; }
  std::string RefusingUrl() const { return refusing_url_; }
  const std::string& nginx_port() const { return nginx_port_; }

  // A file in nginx's document root, as a Windows path (through Wine's Z: drive).
  std::string WwwFile(const std::string& name) const;
  // Writes a file that nginx then serves under the same name.
  void Publish(const std::string& name, const std::string& bytes) const;

 private:
  std::string state_;  // Windows path of the state directory
  std::string nginx_port_;
  std::string nginx_url_;
  std::string fault_url_;
  std::string refusing_url_;
};

}  // namespace hanamizu::win32::testing

#pragma once

// The update server of the end-to-end tests: a folder of the running test's own in the document
// root of the nginx that the ctest fixture starts on 127.0.0.1 (tests/servers/test-servers.sh,
// found through HANAMIZU_TEST_SERVERS). Update lists are written by the publisher's own tool,
// updatelist.exe, as a vendor would write them.

#include <string>

namespace hanamizu::e2e {

class UpdateServer {
 public:
  // Creates the folder afresh, named after the running test.
  UpdateServer();
  // Removes the folder with everything in it.
  ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  // http://127.0.0.1:<nginx port>/<folder>/, ending with "/" as the auto-update setting wants.
  const std::string& url() const { return url_; }
  // The same folder on a port of 127.0.0.1 that refuses connections.
  const std::string& refusing_url() const { return refusing_url_; }

  // Copies the file at `source` into the folder under `name`.
  void PublishFile(const std::string& source, const std::string& name) const;
  // Writes the update list `list_name` with updatelist.exe: the server's version
  // ("MAJOR.MINOR.BUILD") and the package file, located in this folder.
  void PublishList(const std::string& list_name, const std::string& version,
                   const std::string& package_file) const;
  // The bytes that nginx serves as `name`.
  std::string Served(const std::string& name) const;

 private:
  std::string folder_;  // Windows path of the folder
  std::string url_;
  std::string refusing_url_;
};

}  // namespace hanamizu::e2e

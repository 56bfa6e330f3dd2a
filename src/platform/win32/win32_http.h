#pragma once

#include <cstdint>
#include <string>

#include "platform/http.h"

namespace hanamizu::win32 {

struct HttpTimeouts {
  uint32_t connect_ms = 60000;   // to reach the server
  uint32_t receive_ms = 60000;   // without any data arriving in one read
  uint32_t deadline_ms = 60000;  // for the whole of a download that has a deadline (the list)
  // Any download fails as stalled when less than stall_bytes arrive in stall_window_ms.
  uint32_t stall_window_ms = 60000;
  uint64_t stall_bytes = 64 << 10;
};

// An address as a server expects it: a host name outside ASCII in its IDN form, and bytes outside
// printable ASCII in the path and query percent-encoded as UTF-8 ("更新.exe"); what is already
// encoded stays as it is.
std::string EncodeAddress(const std::string& url);

// Downloads through WinINet with the user's Internet settings (proxy included).
class Win32HttpClient : public HttpClient {
 public:
  Win32HttpClient() = default;
  explicit Win32HttpClient(HttpTimeouts timeouts) : timeouts_(timeouts) {}
  void SetTimeouts(HttpTimeouts timeouts) { timeouts_ = timeouts; }

  using HttpClient::Download;
  void Download(const std::string& url, ByteSink& sink, const DownloadRequest& request) override;

 private:
  HttpTimeouts timeouts_;
};

}  // namespace hanamizu::win32

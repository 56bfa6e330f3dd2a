#pragma once

#include <cstdint>

#include "platform/http.h"

namespace hanamizu::win32 {

struct HttpTimeouts {
  uint32_t connect_ms = 60000;  // to reach the server
  uint32_t receive_ms = 60000;  // without any data arriving; not a limit on the whole download
};

// Downloads through WinINet with the user's Internet settings (proxy included).
class Win32HttpClient : public HttpClient {
 public:
  Win32HttpClient() = default;
  explicit Win32HttpClient(HttpTimeouts timeouts) : timeouts_(timeouts) {}
  void SetTimeouts(HttpTimeouts timeouts) { timeouts_ = timeouts; }

  void Download(const std::string& url, ByteSink& sink) override;

 private:
  HttpTimeouts timeouts_;
};

}  // namespace hanamizu::win32

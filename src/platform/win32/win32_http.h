#pragma once

#include <cstdint>
#include <string>

#include "platform/http.h"

namespace hanamizu::win32 {

// The download limits, all in one place; the tests set them per case.
//
//   limit            default  enforced by   when it is broken
//   connect_ms       60 s     WinINet       no connection to the server: 12029 or 12002
//   receive_ms       70 s     WinINet       no data for one read: 12002 (Wine: 10060); longer
//                                           than the stall window, which decides first
//   deadline_ms      60 s     the watchdog  a list not whole in time: 12002 "… 秒以内に終わり…"
//   stall_window_ms  60 s     the watchdog  less than stall_bytes arrived in the window: 12002
//   stall_bytes      64 KiB                 "ダウンロードが止まりました (…)"
//   stop_ms          5 s      the watchdog  a transfer given up that has not returned by then is
//                                           left to end on its own, the error said at once
struct HttpTimeouts {
  uint32_t connect_ms = 60000;
  uint32_t receive_ms = 70000;
  uint32_t deadline_ms = 60000;
  uint32_t stall_window_ms = 60000;
  uint64_t stall_bytes = 64 << 10;
  uint32_t stop_ms = 5000;
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

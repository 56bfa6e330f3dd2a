#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hanamizu {

// How the server answered, before the first byte of the body.
struct DownloadStart {
  // Where the body goes: 0 for the whole file; for a partial answer (206) the first byte of its
  // Content-Range, nothing when that is not exactly "bytes FIRST-LAST/TOTAL" up to the end.
  std::optional<uint64_t> offset = 0;
  bool partial = false;
  std::string validator;                 // the ETag when it is a strong one, else empty
  std::optional<uint64_t> whole_length;  // of the whole file: Content-Length, or a 206's TOTAL
  int status = 200;                      // of the final answer
};

// Where a download's bytes go, in the order they arrive, on the caller's thread.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Start(const DownloadStart&) {}
  virtual void Write(std::string_view bytes) = 0;
};

// What the caller shows of a download while it runs: called on the caller's thread, no more
// often than every 100 ms, with the bytes received and the length the server announced.
class DownloadProgress {
 public:
  virtual ~DownloadProgress() = default;
  virtual void Progress(uint64_t received, std::optional<uint64_t> announced) = 0;
};

// Asks for the rest of a file from offset, if the server's validator still is the one given.
struct ResumeFrom {
  uint64_t offset = 0;
  std::string validator;
};

struct DownloadRequest {
  // A list must arrive whole within the client's deadline; a package may take as long as it
  // keeps coming.
  bool whole_deadline = false;
  DownloadProgress* progress = nullptr;   // told the whole file's bytes received and length
  std::optional<ResumeFrom> resume = {};  // the server may answer with the whole file instead
  // Caches on the way (an office's proxy, a CDN) may answer: for bytes that are checked against a
  // hash whoever serves them. Otherwise the request asks for the origin's own answer
  // (Cache-Control: no-cache, Pragma: no-cache). The system's own cache is never written.
  bool from_caches = false;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Fetches an http or https address, redirects followed, from a cache only as the request
  // allows, streaming the body into sink, while the caller's windows keep answering. Throws
  // AppError when there is no answer in time, when the final status is not 2xx (416:
  // kRangeNotSatisfiable), when the body ends before its announced length (kBodyCutShort), stalls,
  // or misses its deadline; sink may then hold a part.
  virtual void Download(const std::string& url, ByteSink& sink, const DownloadRequest& request) = 0;
  void Download(const std::string& url, ByteSink& sink) { Download(url, sink, {}); }
};

}  // namespace hanamizu

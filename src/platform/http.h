#pragma once

#include <string>
#include <string_view>

namespace hanamizu {

// Where a download's bytes go, in the order they arrive.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view bytes) = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Fetches an http or https address, redirects followed, never from a cache, streaming the
  // body into sink. Throws AppError when there is no answer in time, when the final status is
  // not 2xx, or when the body ends before its announced length; sink may then hold a part.
  virtual void Download(const std::string& url, ByteSink& sink) = 0;
};

}  // namespace hanamizu

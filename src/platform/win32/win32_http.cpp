#include "platform/win32/win32_http.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "common/app_error.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_transfer.h"

namespace hanamizu::win32 {
namespace {

// The server's name, port and path of an http or https address.
struct Address {
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;  // with the query
  bool secure = false;
};

constexpr int kMostRedirects = 10;

}  // namespace

std::string EncodeAddress(const std::string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const size_t host = url.find("://") == std::string::npos ? 0 : url.find("://") + 3;
  const size_t path = std::min(url.find('/', host), url.size());
  const size_t port = std::min(url.find(':', host), path);
  const std::wstring name = Widen(url.substr(host, port - host));
  wchar_t ascii[256];
  const int length = IdnToAscii(0, name.c_str(), static_cast<int>(name.size()), ascii, 256);
  std::string encoded = url.substr(0, host) +
                        (length > 0 ? Narrow(std::wstring_view(ascii, static_cast<size_t>(length)))
                                    : url.substr(host, port - host)) +
                        url.substr(port, path - port);
  for (const char c : url.substr(path)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F) {
      encoded += c;
    } else {
      encoded += {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
    }
  }
  return encoded;
}

namespace {

// A failed request; one whose certificate the system does not accept says so in its own words,
// whichever of WinINet's certificate codes it got.
AppError SendError() {
  const DWORD code = GetLastError();
  switch (code) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
      return AppError(static_cast<int32_t>(code),
                      "サーバーの証明書を信頼できないため接続しませんでした: " +
                          Win32Error(code).description());
    default:
      return Win32Error(code);
  }
}

Address CrackAddress(const std::wstring& url) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = 1;  // non-zero lengths with null buffers: point into url
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    throw LastWin32Error();
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    throw Win32Error(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  }
  Address address;
  address.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  address.port = parts.nPort;
  address.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  address.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (address.path.empty()) address.path = L"/";
  address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return address;
}

// Set on every handle: which one a WinINet version takes its time-outs from differs.
void ApplyTimeouts(HINTERNET handle, const HttpTimeouts& timeouts) {
  const auto set = [&](DWORD option, DWORD value) {
    if (!InternetSetOptionW(handle, option, &value, sizeof value)) throw LastWin32Error();
  };
  set(INTERNET_OPTION_CONNECT_TIMEOUT, timeouts.connect_ms);
  set(INTERNET_OPTION_SEND_TIMEOUT, timeouts.receive_ms);
  set(INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts.receive_ms);
}

std::optional<std::wstring> QueryHeader(HINTERNET request, DWORD info) {
  DWORD size = 0;
  HttpQueryInfoW(request, info, nullptr, &size, nullptr);
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (!HttpQueryInfoW(request, info, value.data(), &size, nullptr)) return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  return value;
}

// Decimal digits alone, of a number that fits.
std::optional<uint64_t> Decimal(std::wstring_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  uint64_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
  }
  return value;
}

// The announced body length, when there is one that can be read as a number.
std::optional<uint64_t> ContentLength(HINTERNET request) {
  return Decimal(QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH).value_or(L""));
}

DWORD Status(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                      nullptr)) {
    throw LastWin32Error();
  }
  return status;
}

void CheckStatus(HINTERNET request, DWORD status) {
  if (status >= 200 && status < 300) return;
  const std::wstring reason = QueryHeader(request, HTTP_QUERY_STATUS_TEXT).value_or(L"");
  // An error page is not the file that was asked for; it must never be stored as one.
  throw AppError(static_cast<int32_t>(status),
                 "サーバーが応答 " + std::to_string(status) +
                     (reason.empty() ? "" : " " + Narrow(reason)) + " を返しました",
                 status == 416 ? Condition::kRangeNotSatisfiable : Condition::kNone);
}

// How the server answered: the whole file (200), or (206) exactly the rest of it from an offset,
// "bytes FIRST-LAST/TOTAL" with LAST the file's last byte. Only a strong ETag names a version: a
// weak one, or a date, may stay the same while the bytes change.
DownloadStart StartOf(HINTERNET request, DWORD status) {
  DownloadStart start;
  start.status = static_cast<int>(status);
  const std::wstring etag = QueryHeader(request, HTTP_QUERY_ETAG).value_or(L"");
  if (etag.starts_with(L"\"")) start.validator = Narrow(etag);
  start.whole_length = ContentLength(request);
  if (status != 206) return start;
  start.partial = true;
  start.offset = start.whole_length = std::nullopt;
  const std::wstring range = QueryHeader(request, HTTP_QUERY_CONTENT_RANGE).value_or(L"");
  const size_t dash = range.find(L'-'), slash = range.find(L'/');
  if (!range.starts_with(L"bytes ") || dash == std::wstring::npos || slash < dash) return start;
  const auto first = Decimal(std::wstring_view(range).substr(6, dash - 6));
  const auto last = Decimal(std::wstring_view(range).substr(dash + 1, slash - dash - 1));
  const auto total = Decimal(std::wstring_view(range).substr(slash + 1));
  if (first && last && total && *first <= *last && *last + 1 == *total) {
    start.offset = first;
    start.whole_length = total;
  }
  return start;
}

// A read returns only once its buffer is full (or the body ends), so its size adapts: up to
// 1 MiB while reads come back quickly (WinINet under Wine is slow with small pieces and no faster
// with larger), down to 8 KiB on a slow line, so that progress and the stall watch see the bytes
// soon after they arrive.
void ReadBody(HINTERNET request, TransferQueue& queue) {
  constexpr DWORD kSmallest = 8 << 10, kLargest = 1 << 20;
  const std::optional<uint64_t> announced = ContentLength(request);
  uint64_t received = 0;
  for (DWORD size = 64 << 10;;) {
    std::string buffer = queue.Buffer(size);
    const ULONGLONG start = GetTickCount64();
    DWORD read = 0;
    if (!InternetReadFile(request, buffer.data(), size, &read)) throw LastWin32Error();
    if (read == 0) break;
    const ULONGLONG took = GetTickCount64() - start;
    if (read == size && took < 50) size = std::min(size * 2, kLargest);
    if (took > 200) size = std::max(size / 2, kSmallest);
    received += read;
    buffer.resize(read);
    queue.Push(std::move(buffer));
  }
  if (announced && received != *announced) {
    throw AppError(static_cast<int32_t>(ERROR_INTERNET_CONNECTION_ABORTED),
                   "受信したデータが途中で切れています (" + std::to_string(received) + " / " +
                       std::to_string(*announced) + " バイト)",
                   Condition::kBodyCutShort);
  }
}

// The request the transfer's thread may be blocked in: closed from the calling thread to give
// up, which makes the blocked call return.
class LiveRequest {
 public:
  void Set(HINTERNET request) {
    const std::lock_guard lock(mutex_);
    if (closed_) {
      InternetCloseHandle(request);
      throw TransferAborted{};
    }
    request_ = request;
  }
  void Release() {
    const std::lock_guard lock(mutex_);
    if (request_) InternetCloseHandle(std::exchange(request_, nullptr));
  }
  void Close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    if (request_) InternetCloseHandle(std::exchange(request_, nullptr));
  }

 private:
  std::mutex mutex_;
  HINTERNET request_ = nullptr;
  bool closed_ = false;
};

// What the transfer's thread works with, owned with it: a transfer that does not return when
// given up is left to end on its own.
struct Transfer {
  const HttpTimeouts timeouts;
  const std::optional<ResumeFrom> resume;
  const bool from_caches;
  LiveRequest live;
  std::mutex mutex;
  std::string current;  // the address, moved along redirects

  std::string Current() {
    const std::lock_guard lock(mutex);
    return current;
  }
};

// Our own requests follow redirects, so that a server that sends the launcher round in circles
// ends in an error rather than in requests for ever.
void Fetch(Transfer& transfer, TransferQueue& queue) {
  const HttpTimeouts& timeouts = transfer.timeouts;
  const std::optional<ResumeFrom>& resume = transfer.resume;
  LiveRequest& live = transfer.live;
  std::string current = transfer.Current();
  // End to end, said to every cache on the way: WinINet's flag sends Pragma alone (under Wine),
  // which an HTTP/1.1 cache need not heed.
  std::wstring headers =
      transfer.from_caches ? L"" : L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
  // The rest only if the server still has the same version, else the whole file.
  if (resume) {
    headers += L"Range: bytes=" + std::to_wstring(resume->offset) + L"-\r\nIf-Range: " +
               Widen(resume->validator) + L"\r\n";
  }
  InternetHandle internet(
      InternetOpenW(L"HanamizuLauncher/4", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet) throw LastWin32Error();
  ApplyTimeouts(internet.get(), timeouts);
  for (int redirects = 0;; ++redirects) {
    const Address address = CrackAddress(Widen(EncodeAddress(current)));
    InternetHandle connection(InternetConnectW(internet.get(), address.host.c_str(), address.port,
                                               nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) throw LastWin32Error();
    ApplyTimeouts(connection.get(), timeouts);
    // The system's cache is never written. Without caches, the origin's current answer: an update
    // check must not see yesterday's list. With them, an entry another program left in the
    // system's cache is checked with the server before it is read (docs/windows.md).
    DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES |
                  INTERNET_FLAG_NO_AUTO_REDIRECT;
    flags |= transfer.from_caches ? INTERNET_FLAG_RESYNCHRONIZE
                                  : INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE;
    if (address.secure) flags |= INTERNET_FLAG_SECURE;
    const HINTERNET request = HttpOpenRequestW(connection.get(), L"GET", address.path.c_str(),
                                               nullptr, nullptr, nullptr, flags, 0);
    if (!request) throw LastWin32Error();
    live.Set(request);
    const std::unique_ptr<LiveRequest, void (*)(LiveRequest*)> release(
        &live, [](LiveRequest* held) { held->Release(); });
    ApplyTimeouts(request, timeouts);
    if (!HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), nullptr, 0)) {
      throw SendError();
    }
    const DWORD status = Status(request);
    const std::optional<std::wstring> location = QueryHeader(request, HTTP_QUERY_LOCATION);
    if (status >= 300 && status < 400 && location) {
      if (redirects == kMostRedirects) {
        throw AppError(ERROR_HTTP_REDIRECT_FAILED,
                       "転送が " + std::to_string(kMostRedirects) + " 回を超えました");
      }
      wchar_t next[INTERNET_MAX_URL_LENGTH];
      DWORD length = INTERNET_MAX_URL_LENGTH;
      if (!InternetCombineUrlW(Widen(EncodeAddress(current)).c_str(), location->c_str(), next,
                               &length, ICU_NO_ENCODE)) {
        throw LastWin32Error();
      }
      const std::string target = Narrow(std::wstring_view(next, length));
      // What came over https never continues in the clear.
      if (address.secure && !target.starts_with("https://")) {
        throw AppError(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR,
                       "安全な接続 (https) から安全でない接続への転送を拒否しました: " + target);
      }
      current = target;
      const std::lock_guard lock(transfer.mutex);
      transfer.current = target;
      continue;
    }
    CheckStatus(request, status);
    queue.Announce(StartOf(request, status));
    ReadBody(request, queue);
    return;
  }
}

}  // namespace

// The transfer runs on a thread of its own while this one keeps the launcher's windows answering;
// the bytes reach sink here.
void Win32HttpClient::Download(const std::string& url, ByteSink& sink,
                               const DownloadRequest& request) {
  const auto transfer = std::make_shared<Transfer>(timeouts_, request.resume, request.from_caches);
  transfer->current = url;
  TransferLimits limits;
  if (request.whole_deadline) limits.deadline = std::chrono::milliseconds(timeouts_.deadline_ms);
  limits.stall_window = std::chrono::milliseconds(timeouts_.stall_window_ms);
  limits.stall_bytes = timeouts_.stall_bytes;
  limits.stop_wait = std::chrono::milliseconds(timeouts_.stop_ms);
  try {
    RunPumpedTransfer([transfer](TransferQueue& queue) { Fetch(*transfer, queue); },
                      [transfer] { transfer->live.Close(); }, sink, request.progress, limits);
  } catch (const TargetFailure& failure) {
    // The file's own error names the file, not the address.
    std::rethrow_exception(failure.error);
  } catch (const AppError& error) {
    // The user (and whoever reads the report) needs to know which address failed.
    throw AppError(error.number(), error.description() + " (" + transfer->Current() + ")",
                   error.condition());
  }
}

}  // namespace hanamizu::win32

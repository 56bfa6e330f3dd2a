#include "platform/posix/iconv_codec.h"

#include <cerrno>
#include <utility>

#include "common/app_error.h"
#include "platform/shift_jis.h"

namespace hanamizu::posix {
namespace {

iconv_t Open(const std::string& to, const std::string& from) {
  const iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw AppError(kErrorInternal, "no conversion from " + from + " to " + to);
  }
  return cd;
}

// Converts all of in; false when iconv stops at a byte or character it cannot convert.
bool Convert(iconv_t cd, std::string_view in, std::string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh start
  while (!in.empty()) {
    char buffer[1024];
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size(), dst_left = sizeof buffer;
    char* dst = buffer;
    const size_t result = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    in.remove_prefix(in.size() - src_left);
    if (result == static_cast<size_t>(-1) && errno != E2BIG) return false;
  }
  return true;
}

}  // namespace

IconvCodec::IconvCodec(std::string code_page)
    : code_page_(std::move(code_page)), to_utf8_(Open("UTF-8", code_page_)) {}

IconvCodec::~IconvCodec() {
  iconv_close(to_utf8_);
}

std::optional<std::string> IconvCodec::Character(std::string_view bytes) const {
  std::string utf8;
  if (!Convert(to_utf8_, bytes, utf8)) return std::nullopt;
  return utf8;
}

std::string IconvCodec::FromUtf8(std::string_view utf8) const {
  const iconv_t cd = Open(code_page_, "UTF-8");
  std::string out;
  const bool whole = Convert(cd, utf8, out);
  iconv_close(cd);
  if (!whole) {
    throw AppError(kErrorInternal,
                   "cannot be written in " + code_page_ + ": \"" + std::string(utf8) + "\"");
  }
  return out;
}

}  // namespace hanamizu::posix

namespace hanamizu {

std::unique_ptr<AnsiCodec> MakeShiftJisCodec() {
  return std::make_unique<posix::IconvCodec>("CP932");
}

}  // namespace hanamizu

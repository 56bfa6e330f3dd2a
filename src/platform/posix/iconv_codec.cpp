#include "platform/posix/iconv_codec.h"

#include <iconv.h>

#include <cerrno>
#include <utility>

#include "common/app_error.h"
#include "platform/shift_jis.h"

namespace hanamizu::posix {
namespace {

class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw AppError(kErrorInternal, "no conversion from " + from + " to " + to);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() { iconv_close(cd_); }

  // Converts as much of in as it can; in is left at the first byte that could not be converted.
  // Returns errno of the stop, 0 when everything was converted.
  int Convert(std::string_view& in, std::string& out) {
    char buffer[1024];
    while (!in.empty()) {
      char* src = const_cast<char*>(in.data());
      size_t src_left = in.size();
      char* dst = buffer;
      size_t dst_left = sizeof buffer;
      const size_t result = iconv(cd_, &src, &src_left, &dst, &dst_left);
      const int error = errno;
      out.append(buffer, static_cast<size_t>(dst - buffer));
      in.remove_prefix(in.size() - src_left);
      if (result == static_cast<size_t>(-1) && error != E2BIG) return error;
    }
    return 0;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string IconvCodec::ToUtf8(std::string_view ansi) const {
  Converter converter("UTF-8", code_page_);
  std::string out;
  while (converter.Convert(ansi, out) != 0) {
    out += "\xEF\xBF\xBD";  // U+FFFD for the byte that is not valid here
    ansi.remove_prefix(1);
  }
  return out;
}

std::string IconvCodec::FromUtf8(std::string_view utf8) const {
  Converter converter(code_page_, "UTF-8");
  std::string out;
  if (converter.Convert(utf8, out) != 0) {
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

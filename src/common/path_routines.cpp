#include "common/path_routines.h"

#include "common/app_error.h"
#include "common/error_log.h"
#include "common/text.h"

namespace hanamizu {

std::string path_no_en(Platform& platform, std::string& dir_name) {
  return WithTrap(
      [&] {
        dir_name = TrimBlanks(dir_name);
        if (!dir_name.empty() && dir_name.back() == '\\') dir_name.pop_back();
        return dir_name;
      },
      [&](const AppError& error) {
        Write_ErrLog(platform, error, "path_no_en", "dir_name");
        return std::string();
      });
}

namespace {

constexpr int32_t kMaxPosition = 32767;

// 1-based position of needle in haystack at or after start, 0 when absent.
int32_t FindFrom(const std::u16string& haystack, const std::u16string& needle, int32_t start) {
  if (start > kMaxPosition) throw OverflowError();
  const size_t found = haystack.find(needle, static_cast<size_t>(start - 1));
  if (found == std::u16string::npos) return 0;
  if (found + 1 > static_cast<size_t>(kMaxPosition)) throw OverflowError();
  return static_cast<int32_t>(found + 1);
}

}  // namespace

std::string Get_Token(const std::string& text, const std::string& delimiter, int16_t field) {
  const std::u16string delim = Utf8ToUtf16(delimiter);
  if (field < 1) return {};
  if (delim.empty()) return field == 1 ? text : std::string();
  const std::u16string work = Utf8ToUtf16(text) + delim;
  int32_t previous_end = 0;  // position just before the wanted field starts
  int32_t current = 0;
  for (int16_t i = 0; i < field; ++i) {
    previous_end = current == 0 ? 0 : current + static_cast<int32_t>(delim.size()) - 1;
    current = FindFrom(work, delim, previous_end + 1);
    if (current == 0 && previous_end > 0) return {};
  }
  return Utf16ToUtf8(work.substr(previous_end, current - previous_end - 1));
}

SplitPathParts Split_Path(const std::string& path) {
  const std::u16string p = Utf8ToUtf16(path);
  const size_t length = p.size();
  size_t backslash = 0;  // 1-based; 0 when the path has none before its last character
  size_t dot = 0;
  for (size_t i = length >= 1 ? length - 1 : 0; i >= 1; --i) {
    if (p[i - 1] == u'.') dot = i;
    if (p[i - 1] == u'\\') {
      backslash = i;
      break;
    }
  }
  SplitPathParts parts;
  parts.directory = backslash > 0 ? Utf16ToUtf8(p.substr(0, backslash - 1)) : std::string();
  parts.file_name = Utf16ToUtf8(p.substr(backslash));
  parts.base_name = Get_Token(parts.file_name, ".", 1);
  if (dot > 0) parts.extension = Utf16ToUtf8(ToLowerLatin(p.substr(dot, 3)));
  return parts;
}

}  // namespace hanamizu

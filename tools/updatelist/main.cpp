// updatelist: makes and shows the update lists that the launcher reads.

#include <iostream>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/shift_jis.h"
#include "updatelist_cli.h"

#ifdef _WIN32
// The arguments as the system has them (UTF-16), so that Japanese names survive any code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.push_back(hanamizu::Utf16ToUtf8(
        std::u16string(reinterpret_cast<const char16_t*>(arg.data()), arg.size())));
  }
#else
int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
#endif
  const auto shift_jis = hanamizu::MakeShiftJisCodec();
  return hanamizu::tools::RunUpdateList(args, std::cout, std::cerr, *shift_jis);
}

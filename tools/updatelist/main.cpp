// updatelist: makes and shows the update lists that the launcher reads.

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/shift_jis.h"
#include "updatelist_cli.h"

#ifdef _WIN32
#include <windows.h>

namespace {

// UTF-8 text to a console as UTF-16, whatever its code page; to a file or pipe as it is.
void Print(DWORD stream, const std::string& utf8) {
  const HANDLE handle = GetStdHandle(stream);
  DWORD mode = 0, done = 0;
  if (!GetConsoleMode(handle, &mode)) {
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
    return;
  }
  const std::u16string text = hanamizu::Utf8ToUtf16(utf8);
  WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
}

}  // namespace

// The arguments as the system has them (UTF-16), so that Japanese names survive any code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.push_back(hanamizu::Utf16ToUtf8(
        std::u16string(reinterpret_cast<const char16_t*>(arg.data()), arg.size())));
  }
  std::ostringstream out, err;
  const int exit_code = hanamizu::tools::RunUpdateList(
      args, out, err, *hanamizu::MakeShiftJisCodec(), *hanamizu::MakeSystemCrypto());
  Print(STD_OUTPUT_HANDLE, out.str());
  Print(STD_ERROR_HANDLE, err.str());
  return exit_code;
}
#else
int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return hanamizu::tools::RunUpdateList(args, std::cout, std::cerr, *hanamizu::MakeShiftJisCodec(),
                                        *hanamizu::MakeSystemCrypto());
}
#endif

#include "common/error_log.h"

#include <cstdio>

#include "common/product.h"

namespace hanamizu {

std::string FormatErrLogLine(const LocalTime& when, const AppError& error, const std::string& func,
                             const std::string& info) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d", when.year, when.month,
                when.day, when.hour, when.minute, when.second);
  return std::string(stamp) + " " + error.description() + "[" + std::to_string(error.number()) +
         "] (Func=" + func + ") (Info=" + info + ")";
}

void Write_ErrLog(Platform& platform, const AppError& error, const std::string& func,
                  const std::string& info) {
  // The error is copied in by the caller before anything here can replace it.
  WithTrap(
      [&] {
        const std::string line = FormatErrLogLine(platform.system.LocalNow(), error, func, info);
        std::string dir = platform.files.LauncherDirectory();
        if (!dir.empty() && dir.back() == '\\') dir.pop_back();
        platform.files.AppendAnsiLine(dir + "\\jiban.err", line);
        platform.ui.ShowMessage(line, kApplicationTitle, MessageButtons::kOk, MessageIcon::kNone);
      },
      [&](const AppError& failure) {
        platform.ui.ShowMessage("エラー処理が失敗しました。-" + failure.description(),
                                kApplicationTitle, MessageButtons::kOk, MessageIcon::kNone);
      });
}

}  // namespace hanamizu

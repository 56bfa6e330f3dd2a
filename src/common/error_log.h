#pragma once

#include <string>

#include "common/app_error.h"
#include "platform/platform.h"

namespace hanamizu {

// One line of "jiban.err": "yyyy/mm/dd hh:mm:ss description[number] (Func=..) (Info=..)".
std::string FormatErrLogLine(const LocalTime& when, const AppError& error, const std::string& func,
                             const std::string& info);

// Appends the error's line to "jiban.err" beside the launcher and shows it. When that fails,
// one message says so and the error is reported nowhere else.
void Write_ErrLog(Platform& platform, const AppError& error, const std::string& func,
                  const std::string& info);

}  // namespace hanamizu

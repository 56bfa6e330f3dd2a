#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/app_error.h"
#include "platform/platform.h"

namespace hanamizu {

// The launcher's own log, for the vendor's support: every decision with its reason and the
// values compared, every failure and every message the user saw. Until it is opened (and when
// it could not be), lines go nowhere; writing never fails and never changes the launch.
class LaunchLog {
 public:
  void Open(std::unique_ptr<LogFile> file) noexcept { file_ = std::move(file); }
  // One line: line breaks become blanks, addresses lose their user information, and an
  // overlong line is cut.
  void Write(std::string_view line) noexcept;

 private:
  std::unique_ptr<LogFile> file_;
};

// Where the log of the installation whose settings go by settings_app lives.
std::string LaunchLogPath(const std::string& local_app_data, const std::string& settings_app);

// "error NUMBER: DESCRIPTION", the way every failure is logged.
std::string ErrorWords(const AppError& error);

// Milliseconds between two readings of the monotonic clock, rounded.
long long Milliseconds(double from, double to);

// Every message box, logged with its caption and text before it shows and its answer after.
class LoggedUserInterface : public UserInterface {
 public:
  LoggedUserInterface(UserInterface& ui, LaunchLog& log) : ui_(ui), log_(log) {}
  MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override;
  void DefaultBeep() override { ui_.DefaultBeep(); }
  void DoEvents() override { ui_.DoEvents(); }
  std::unique_ptr<SplashWindow> CreateSplashWindow() override { return ui_.CreateSplashWindow(); }
  TwipsSize ScreenSize() override { return ui_.ScreenSize(); }

 private:
  UserInterface& ui_;
  LaunchLog& log_;
};

}  // namespace hanamizu

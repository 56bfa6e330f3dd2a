#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace hanamizu {

// The failures the launcher decides on, named once; the backend maps system codes to them.
enum class Condition {
  kNone,
  kRangeNotSatisfiable,  // the server has no rest to send from the offset asked for
  kUnusableRange,        // a partial answer that is not the rest of the file asked for
  kBodyCutShort,         // the body ended before its length
  kPackageMismatch,      // the package is not what the list's block says was released
  kPackageSigner,        // the package's own signature is missing, broken or not the publisher's
  kListTooLong,          // more arrived than any update list holds
  kDownloadInProgress,   // another launcher is downloading the same package
  kCancelled,            // the user declined to let a program run
  kWorkOver,             // the main program, started during a download, has ended
};

// What every trap receives: the failed operation's number and its description (UTF-8), and the
// condition it is, where the launcher acts on it.
class AppError : public std::exception {
 public:
  AppError(int32_t number, std::string description, Condition condition = Condition::kNone)
      : number_(number), description_(std::move(description)), condition_(condition) {}

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  Condition condition() const { return condition_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string description_;
  Condition condition_;
};

// Numbers of the runtime's own failures, as the ledger tools have always reported them.
inline constexpr int32_t kErrorOverflow = 6;
inline constexpr int32_t kErrorOutOfMemory = 7;
inline constexpr int32_t kErrorInternal = 51;

AppError OverflowError();

// Turns any standard exception into the error that a trap reports.
AppError ToAppError(const std::exception& e);

// Runs body; an error raised in it goes to trap, whose result becomes the result. The process
// ending (which fakes model as an exception of their own) is never caught here.
template <class Body, class Trap>
auto WithTrap(Body&& body, Trap&& trap) -> decltype(body()) {
  try {
    return body();
  } catch (const AppError& e) {
    return trap(e);
  } catch (const std::exception& e) {
    return trap(ToAppError(e));
  }
}

}  // namespace hanamizu

#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace hanamizu {

// What every trap receives: the failed operation's number and its description (UTF-8).
class AppError : public std::exception {
 public:
  AppError(int32_t number, std::string description)
      : number_(number), description_(std::move(description)) {}

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string description_;
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

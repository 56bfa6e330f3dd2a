#include "scoped_environment.h"

#include <windows.h>

#include <stdexcept>
#include <utility>

#include "probe_text.h"

namespace hanamizu::e2e {
namespace {

void Set(const std::string& name, const std::optional<std::string>& value) {
  const std::wstring wide_value = value ? Wide(*value) : std::wstring();
  if (!SetEnvironmentVariableW(Wide(name).c_str(), value ? wide_value.c_str() : nullptr)) {
    throw std::runtime_error("cannot set the environment variable " + name);
  }
}

}  // namespace

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const std::wstring wide_name = Wide(name);
  SetLastError(ERROR_SUCCESS);
  const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(wide_name.c_str(), value.data(), size));
  return Utf8(value);
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)), previous_(EnvironmentValue(name_)) {
  Set(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() {
  try {
    Set(name_, previous_);
  } catch (const std::runtime_error&) {
    // Nothing sensible is left to do in a destructor; the next test sets what it needs.
  }
}

}  // namespace hanamizu::e2e

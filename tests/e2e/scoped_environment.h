#pragma once

// An environment variable of the test process, changed for one scope. The launcher inherits the
// test's environment, so this is how a test gives it TEMP, TMP or an installation root.

#include <optional>
#include <string>

namespace hanamizu::e2e {

class ScopedEnvironment {
 public:
  // Sets the variable to value, or removes it when there is none; the old state comes back at the
  // end of the scope.
  ScopedEnvironment(std::string name, const std::optional<std::string>& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// The variable's value in the test process; nothing when it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

}  // namespace hanamizu::e2e

#include "common/error_message.h"

#include "common/product.h"

namespace hanamizu {

std::string StandardErrorMessage(const AppError& error, const std::string& routine) {
  return error.description() + " " + std::to_string(error.number()) + " (" + routine + ")";
}

void ShowStandardError(UserInterface& ui, const AppError& error, const std::string& routine) {
  ui.ShowMessage(StandardErrorMessage(error, routine), kApplicationTitle, MessageButtons::kOk,
                 MessageIcon::kNone);
}

std::string UnhandledErrorMessage(const AppError& error) {
  return "実行時エラー '" + std::to_string(error.number()) + "':\r\n\r\n" + error.description();
}

}  // namespace hanamizu

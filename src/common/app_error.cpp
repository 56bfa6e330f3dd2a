#include "common/app_error.h"

#include <new>

namespace hanamizu {

AppError OverflowError() {
  return AppError(kErrorOverflow, "オーバーフローしました。");
}

AppError ToAppError(const std::exception& e) {
  if (const auto* app = dynamic_cast<const AppError*>(&e)) return *app;
  if (dynamic_cast<const std::bad_alloc*>(&e)) {
    return AppError(kErrorOutOfMemory, "メモリが不足しています。");
  }
  return AppError(kErrorInternal, e.what());
}

}  // namespace hanamizu

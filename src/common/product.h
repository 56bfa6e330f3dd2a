#pragma once

namespace hanamizu {

// The product title: the caption of every message box that names no caption of its own.
inline constexpr char kApplicationTitle[] = "ハナミズ台帳ツール";

}  // namespace hanamizu

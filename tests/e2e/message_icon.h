#pragma once

// Which of the system's standard icons a message box shows. The icon handle belongs to the other
// process and cannot be read from here, so the icon is told from what is on screen: the pixels of
// the box's icon control, compared with each standard icon drawn here at the same size on the
// same background.

#include <windows.h>

#include <chrono>
#include <ostream>

#include "bounded_wait.h"

namespace hanamizu::e2e {

enum class StandardIcon { kNone, kInformation, kExclamation, kError, kQuestion, kUnknown };

std::ostream& operator<<(std::ostream& out, StandardIcon icon);

// Waits, bounded, until the box's icon control has been painted as one of the standard icons;
// kNone for a box without an icon control, kUnknown when the pixels match none of them in time.
StandardIcon ShownIcon(HWND box, std::chrono::milliseconds limit = 5s);

}  // namespace hanamizu::e2e

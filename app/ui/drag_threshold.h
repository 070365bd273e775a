// When a press on the own icon becomes a drag: a move of 3 pixels or more, so that the jitter
// of a click never takes a window to the tray. Plain C++.
#pragma once

#include <cstdint>

namespace qly {

constexpr bool DragThresholdPassed(int32_t press_x, int32_t press_y, int32_t x, int32_t y) {
    const int64_t dx = static_cast<int64_t>(x) - press_x;
    const int64_t dy = static_cast<int64_t>(y) - press_y;
    return dx * dx + dy * dy >= 9;
}

}  // namespace qly

#pragma once
// Rounding as the tool's results use it.

#include <cmath>

namespace text {

/// The nearest whole number, halves away from zero (2.5 gives 3, -2.5 gives -3).
inline double roundHalfAwayFromZero(double value) { return std::round(value); }

}  // namespace text

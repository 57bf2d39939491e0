#pragma once
// Serialises a message object as one compact JSON line.

#include <nlohmann/json.hpp>
#include <string>

#include "base/utf8.h"

namespace Out {

/// A message object: keys are kept sorted by the underlying map, so every level serialises in key order.
using Message = nlohmann::json;

/// Compact JSON for `value` with keys sorted at every level. The result is always valid UTF-8: bytes that
/// are not UTF-8 become U+FFFD, and numbers that are not finite are written as null, so no value can make
/// a line impossible to write. Whole doubles print without a fraction (3.0 as 3), others in the shortest
/// form that reads back to the same double.
std::string serialize(const Message& value);

}  // namespace Out

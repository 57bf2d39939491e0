#include "jobs/json_fields.h"

#include <cmath>

namespace jobs {

const Json& requireObject(const Json& value) {
    if (!value.is_object()) throw DecodeError("expected an object");
    return value;
}

const Json* field(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return nullptr;
    return &*found;
}

std::string decodeString(const Json& value) {
    if (!value.is_string()) throw DecodeError("expected a string");
    return value.get<std::string>();
}

double decodeNumber(const Json& value) {
    if (!value.is_number()) throw DecodeError("expected a number");
    return value.get<double>();
}

std::string decodePath(const Json& value) {
    std::string text = decodeString(value);
    if (text.find('\0') != std::string::npos) throw DecodeError("a NUL character in a path");
    return text;
}

bool decodeBool(const Json& value) {
    if (!value.is_boolean()) throw DecodeError("expected true or false");
    return value.get<bool>();
}

int64_t decodeInteger(const Json& value, int64_t minimum, int64_t maximum) {
    // Checked first: the parser keeps non-negative whole numbers unsigned, and is_number_integer()
    // is true for those too.
    if (value.is_number_unsigned()) {
        const uint64_t number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(maximum)) throw DecodeError("integer out of range");
        return static_cast<int64_t>(number);
    }
    if (value.is_number_integer()) {
        const int64_t number = value.get<int64_t>();
        if (number < minimum || number > maximum) throw DecodeError("integer out of range");
        return number;
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (!std::isfinite(number) || std::trunc(number) != number) throw DecodeError("expected a whole number");
        // The parser gives whole numbers beyond the 64-bit range as doubles, rounded: -2^63 - 1 becomes
        // -2^63. So the double range is open at both ends (2^63 is not representable anyway); every double
        // strictly inside converts exactly.
        constexpr double kTwoToThe63 = 9223372036854775808.0;
        if (!(number > -kTwoToThe63) || number >= kTwoToThe63 || number < static_cast<double>(minimum) ||
            number > static_cast<double>(maximum))
            throw DecodeError("integer out of range");
        return static_cast<int64_t>(number);
    }
    throw DecodeError("expected an integer");
}

int32_t decodeInt32(const Json& value) {
    return static_cast<int32_t>(decodeInteger(value, INT32_MIN, INT32_MAX));
}

}  // namespace jobs

#pragma once
// Strict readers for the fields of a job document.
//
// Keys match exactly; a missing key and a null value are the same; a present value must have the field's
// JSON type. Any mismatch throws DecodeError, which fails the whole document.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace jobs {

using Json = nlohmann::json;

struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The object a document type is decoded from; anything but a JSON object fails.
const Json& requireObject(const Json& value);

/// The value under `key`, or nullptr when the key is missing or null.
const Json* field(const Json& object, const char* key);

std::string decodeString(const Json& value);
/// A string that names a file or a program: one holding a NUL character is refused, since the system
/// would see only the part before it.
std::string decodePath(const Json& value);
double decodeNumber(const Json& value);
bool decodeBool(const Json& value);
/// A whole number within [minimum, maximum]. Whole numbers written with a fraction or an exponent
/// (30.0, 3e1) are accepted; anything with a fractional part is not.
int64_t decodeInteger(const Json& value, int64_t minimum = INT64_MIN, int64_t maximum = INT64_MAX);
int32_t decodeInt32(const Json& value);

/// Decodes an optional field with `decode`; absent when the key is missing or null.
template <typename Decode>
auto optionalField(const Json& object, const char* key, Decode decode)
    -> std::optional<decltype(decode(object))> {
    if (const Json* value = field(object, key)) return decode(*value);
    return std::nullopt;
}

/// Decodes a required field with `decode`; a missing or null key fails.
template <typename Decode>
auto requiredField(const Json& object, const char* key, Decode decode) -> decltype(decode(object)) {
    if (const Json* value = field(object, key)) return decode(*value);
    throw DecodeError(std::string("missing ") + key);
}

/// A JSON array whose every element decodes with `decode`.
template <typename Decode>
auto decodeList(const Json& value, Decode decode) -> std::vector<decltype(decode(value))> {
    if (!value.is_array()) throw DecodeError("expected an array");
    std::vector<decltype(decode(value))> list;
    list.reserve(value.size());
    for (const auto& element : value) list.push_back(decode(element));
    return list;
}

inline std::vector<std::string> decodeStringList(const Json& value) { return decodeList(value, decodeString); }
inline std::vector<std::string> decodePathList(const Json& value) { return decodeList(value, decodePath); }

}  // namespace jobs

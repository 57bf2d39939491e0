#include "base/json_line.h"

#include <charconv>
#include <cmath>

#include "base/utf8.h"

namespace Out {
namespace {

void appendString(std::string& out, std::string_view text) {
    out += '"';
    while (!text.empty()) {
        const size_t length = utf8SequenceLength(text);
        if (length == 0) {
            out += kReplacementCharacter;
            text.remove_prefix(1);
            continue;
        }
        const char c = text[0];
        if (length > 1) out.append(text.substr(0, length));
        else if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '\b') out += "\\b";
        else if (c == '\f') out += "\\f";
        else if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else out += c;
        text.remove_prefix(length);
    }
    out += '"';
}

template <typename Number>
void appendNumber(std::string& out, Number value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendDouble(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    if (value == 0) value = 0;  // no "-0"
    if (std::trunc(value) == value && std::fabs(value) < 1e15) {
        appendNumber(out, static_cast<long long>(value));
        return;
    }
    appendNumber(out, value);  // shortest round-trip form
}

void append(std::string& out, const Message& value) {
    using Type = Message::value_t;
    switch (value.type()) {
    case Type::null:
    case Type::discarded: out += "null"; break;
    case Type::boolean: out += value.get<bool>() ? "true" : "false"; break;
    case Type::number_integer: appendNumber(out, value.get<int64_t>()); break;
    case Type::number_unsigned: appendNumber(out, value.get<uint64_t>()); break;
    case Type::number_float: appendDouble(out, value.get<double>()); break;
    case Type::string: appendString(out, value.get_ref<const std::string&>()); break;
    case Type::binary: out += "null"; break;
    case Type::array: {
        out += '[';
        bool first = true;
        for (const auto& element : value) {
            if (!first) out += ',';
            first = false;
            append(out, element);
        }
        out += ']';
        break;
    }
    case Type::object: {
        out += '{';
        bool first = true;
        for (const auto& [key, element] : value.items()) {
            if (!first) out += ',';
            first = false;
            appendString(out, key);
            out += ':';
            append(out, element);
        }
        out += '}';
        break;
    }
    }
}

}  // namespace

std::string serialize(const Message& value) {
    std::string out;
    append(out, value);
    return out;
}

}  // namespace Out

#include "app/json_line.h"

#include <charconv>
#include <cmath>

namespace Out {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is not one.
size_t utf8SequenceLength(std::string_view s) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no UTF-16 surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else return 0;
    if (s.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

void appendString(std::string& out, std::string_view text) {
    out += '"';
    while (!text.empty()) {
        const size_t length = utf8SequenceLength(text);
        if (length == 0) {
            out += kReplacement;
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

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const size_t length = utf8SequenceLength(text);
        if (length == 0) {
            out += kReplacement;
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

}  // namespace Out

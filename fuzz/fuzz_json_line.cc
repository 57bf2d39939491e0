// The JSON-line writer fed arbitrary values: its output is always one line of valid UTF-8 JSON that parses
// back to what was written, once invalid UTF-8 is read as U+FFFD and non-finite numbers as null.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/json_line.h"

namespace {

using Out::Message;

[[noreturn]] void broken(const char* what, const std::string& line) {
    std::fprintf(stderr, "fuzz_json_line: %s\n%s\n", what, line.c_str());
    std::abort();
}

// A value of any JSON type, built from the fuzzer's bytes, at most `depth` levels deep.
Message makeValue(FuzzedDataProvider& input, int depth) {
    switch (input.ConsumeIntegralInRange<int>(0, depth > 0 ? 8 : 6)) {
    case 0: return nullptr;
    case 1: return input.ConsumeBool();
    case 2: return input.ConsumeIntegral<int64_t>();
    case 3: return input.ConsumeIntegral<uint64_t>();
    case 4: return input.ConsumeFloatingPoint<double>();
    case 5: {
        // Doubles the fuzzer's own generator rarely makes: whole numbers, signed zero, infinities, NaN.
        static const double kSpecial[] = {0.0, -0.0, 1e15, -1e15, 999999999999999.0, 1e300, 5e-324,
                                          INFINITY, -INFINITY, NAN, 3.0, -2.5, 9007199254740993.0};
        return kSpecial[input.ConsumeIntegralInRange<size_t>(0, std::size(kSpecial) - 1)];
    }
    case 6: return input.ConsumeRandomLengthString(64);
    case 7: {
        Message list = Message::array();
        const size_t count = input.ConsumeIntegralInRange<size_t>(0, 4);
        for (size_t i = 0; i < count; ++i) list.push_back(makeValue(input, depth - 1));
        return list;
    }
    default: {
        Message object = Message::object();
        const size_t count = input.ConsumeIntegralInRange<size_t>(0, 4);
        for (size_t i = 0; i < count; ++i) object[input.ConsumeRandomLengthString(16)] = makeValue(input, depth - 1);
        return object;
    }
    }
}

// What reading the line back must give for `value`: strings and keys as valid UTF-8 (keys that become
// equal keep the last value, as the writer emits them in order), non-finite numbers as null.
Message expected(const Message& value) {
    if (value.is_string()) return Out::validUtf8(value.get_ref<const std::string&>());
    if (value.is_number_float() && !std::isfinite(value.get<double>())) return nullptr;
    if (value.is_array()) {
        Message list = Message::array();
        for (const auto& element : value) list.push_back(expected(element));
        return list;
    }
    if (value.is_object()) {
        Message object = Message::object();
        for (const auto& [key, element] : value.items()) object[Out::validUtf8(key)] = expected(element);
        return object;
    }
    return value;
}

// Numbers compare by value whatever their stored type: the writer prints whole doubles as integers.
bool same(const Message& a, const Message& b) {
    if (a.is_number() && b.is_number()) {
        if (a.is_number_float() || b.is_number_float()) return a.get<double>() == b.get<double>();
        if (a.is_number_unsigned() && b.is_number_unsigned()) return a.get<uint64_t>() == b.get<uint64_t>();
        if (a.is_number_unsigned() || b.is_number_unsigned()) {
            const Message& signedOne = a.is_number_unsigned() ? b : a;
            const Message& unsignedOne = a.is_number_unsigned() ? a : b;
            return signedOne.get<int64_t>() >= 0 &&
                   static_cast<uint64_t>(signedOne.get<int64_t>()) == unsignedOne.get<uint64_t>();
        }
        return a.get<int64_t>() == b.get<int64_t>();
    }
    if (a.type() != b.type()) return false;
    if (a.is_array()) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!same(a[i], b[i])) return false;
        return true;
    }
    if (a.is_object()) {
        if (a.size() != b.size()) return false;
        for (const auto& [key, element] : a.items()) {
            const auto found = b.find(key);
            if (found == b.end() || !same(element, *found)) return false;
        }
        return true;
    }
    return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const Message value = makeValue(input, 4);
    const std::string line = Out::serialize(value);
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
        broken("a line break inside the line", line);
    if (Out::validUtf8(line) != line) broken("the line is not valid UTF-8", line);
    const Message parsed = Message::parse(line, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) broken("the line is not JSON", line);
    if (!same(parsed, expected(value))) broken("the line reads back as something else", line);
    return 0;
}

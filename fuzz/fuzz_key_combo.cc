// The key-combination parser on arbitrary text: it never fails other than by giving nothing, and what it
// gives names a key of its table.

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "input/input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto combo = Input::parseCombo(text);
    if (!combo) return 0;
    bool known = false;
    for (const auto& [name, code] : Input::keyCodes()) known = known || code == combo->keyCode;
    constexpr uint64_t kModifiers = platform::modifier::command | platform::modifier::control |
                                    platform::modifier::alternate | platform::modifier::shift;
    if (!known || (combo->flags & ~kModifiers) != 0) {
        std::fprintf(stderr, "fuzz_key_combo: a combination outside the table\n");
        std::abort();
    }
    return 0;
}

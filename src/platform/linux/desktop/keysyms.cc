#include "platform/linux/desktop/keysyms.h"

#include <dlfcn.h>
#include <unicode/utf8.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <string>
#include <utility>

#include "base/capture_error.h"

namespace platform::linux_desktop {
namespace {

// xkbcommon's character mapping, opened when a character is first typed rather than linked: every desktop
// module maps this library, and a command that types nothing (a window list) need not map xkbcommon.
struct CharacterMapping {
    decltype(&xkb_utf32_to_keysym) toKeysym = nullptr;
    decltype(&xkb_keysym_to_utf32) toCodePoint = nullptr;
};

const CharacterMapping& characterMapping() {
    static const CharacterMapping loaded = [] {
        constexpr const char* kLibrary = "libxkbcommon.so.0";
        void* library = dlopen(kLibrary, RTLD_LAZY | RTLD_LOCAL);
        CharacterMapping mapping;
        if (library) {
            mapping.toKeysym = reinterpret_cast<decltype(mapping.toKeysym)>(dlsym(library, "xkb_utf32_to_keysym"));
            mapping.toCodePoint = reinterpret_cast<decltype(mapping.toCodePoint)>(dlsym(library, "xkb_keysym_to_utf32"));
        }
        if (!mapping.toKeysym || !mapping.toCodePoint) {
            const char* reason = library ? nullptr : dlerror();
            throw CaptureError(std::string("cannot load the keyboard library: ") + (reason ? reason : kLibrary));
        }
        return mapping;
    }();
    return loaded;
}

// Every virtual key code a key combination can name, with the key it stands for. Letters, digits and
// punctuation are named by the symbol they type, so that a combination means the same symbol on every
// layout (on a German layout "cmd+z" presses the key labelled Z, not the one where US has it).
constexpr std::array<std::pair<uint16_t, uint32_t>, 69> virtualKeys{{
    {0, XKB_KEY_a}, {11, XKB_KEY_b}, {8, XKB_KEY_c}, {2, XKB_KEY_d}, {14, XKB_KEY_e}, {3, XKB_KEY_f},
    {5, XKB_KEY_g}, {4, XKB_KEY_h}, {34, XKB_KEY_i}, {38, XKB_KEY_j}, {40, XKB_KEY_k}, {37, XKB_KEY_l},
    {46, XKB_KEY_m}, {45, XKB_KEY_n}, {31, XKB_KEY_o}, {35, XKB_KEY_p}, {12, XKB_KEY_q}, {15, XKB_KEY_r},
    {1, XKB_KEY_s}, {17, XKB_KEY_t}, {32, XKB_KEY_u}, {9, XKB_KEY_v}, {13, XKB_KEY_w}, {7, XKB_KEY_x},
    {16, XKB_KEY_y}, {6, XKB_KEY_z},
    {29, XKB_KEY_0}, {18, XKB_KEY_1}, {19, XKB_KEY_2}, {20, XKB_KEY_3}, {21, XKB_KEY_4}, {23, XKB_KEY_5},
    {22, XKB_KEY_6}, {26, XKB_KEY_7}, {28, XKB_KEY_8}, {25, XKB_KEY_9},
    {24, XKB_KEY_equal}, {27, XKB_KEY_minus}, {30, XKB_KEY_bracketright}, {33, XKB_KEY_bracketleft},
    {39, XKB_KEY_apostrophe}, {41, XKB_KEY_semicolon}, {42, XKB_KEY_backslash}, {43, XKB_KEY_comma},
    {44, XKB_KEY_slash}, {47, XKB_KEY_period}, {50, XKB_KEY_grave},
    {36, XKB_KEY_Return}, {48, XKB_KEY_Tab}, {49, XKB_KEY_space}, {51, XKB_KEY_BackSpace}, {53, XKB_KEY_Escape},
    {117, XKB_KEY_Delete}, {115, XKB_KEY_Home}, {119, XKB_KEY_End}, {116, XKB_KEY_Page_Up},
    {121, XKB_KEY_Page_Down}, {123, XKB_KEY_Left}, {124, XKB_KEY_Right}, {125, XKB_KEY_Down}, {126, XKB_KEY_Up},
    {122, XKB_KEY_F1}, {120, XKB_KEY_F2}, {99, XKB_KEY_F3}, {118, XKB_KEY_F4}, {96, XKB_KEY_F5}, {97, XKB_KEY_F6},
    {98, XKB_KEY_F7}, {100, XKB_KEY_F8},
}};

}  // namespace

uint32_t keysymForVirtualKey(uint16_t keyCode) {
    for (const auto& [code, keysym] : virtualKeys) {
        if (code == keyCode) return keysym;
    }
    return kNoKeysym;
}

uint32_t keysymForCodePoint(char32_t codePoint) {
    const xkb_keysym_t keysym = characterMapping().toKeysym(codePoint);
    if (keysym != XKB_KEY_NoSymbol) return keysym;
    return 0x1000000 + codePoint;
}

char32_t codePointOfKeysym(uint32_t keysym) { return characterMapping().toCodePoint(keysym); }

std::vector<char32_t> codePoints(const std::string& text) {
    std::vector<char32_t> result;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t offset = 0;
    while (offset < length) {
        UChar32 codePoint = 0;
        U8_NEXT_OR_FFFD(bytes, offset, length, codePoint);
        result.push_back(static_cast<char32_t>(codePoint));
    }
    return result;
}

}  // namespace platform::linux_desktop

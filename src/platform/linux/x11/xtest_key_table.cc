#include "platform/linux/x11/xtest_key_table.h"

#include <X11/keysym.h>
#include <unicode/utf8.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <utility>

namespace platform::linux_desktop {
namespace {

// Every virtual key code a key combination can name, with the key it stands for. Letters, digits and
// punctuation are named by the symbol they type, so that a combination means the same symbol on every
// layout (on a German layout "cmd+z" presses the key labelled Z, not the one where US has it).
constexpr std::array<std::pair<uint16_t, KeySym>, 69> virtualKeys{{
    {0, XK_a},  {11, XK_b}, {8, XK_c},  {2, XK_d},  {14, XK_e}, {3, XK_f},  {5, XK_g},  {4, XK_h},
    {34, XK_i}, {38, XK_j}, {40, XK_k}, {37, XK_l}, {46, XK_m}, {45, XK_n}, {31, XK_o}, {35, XK_p},
    {12, XK_q}, {15, XK_r}, {1, XK_s},  {17, XK_t}, {32, XK_u}, {9, XK_v},  {13, XK_w}, {7, XK_x},
    {16, XK_y}, {6, XK_z},
    {29, XK_0}, {18, XK_1}, {19, XK_2}, {20, XK_3}, {21, XK_4}, {23, XK_5}, {22, XK_6}, {26, XK_7},
    {28, XK_8}, {25, XK_9},
    {24, XK_equal}, {27, XK_minus}, {30, XK_bracketright}, {33, XK_bracketleft}, {39, XK_apostrophe},
    {41, XK_semicolon}, {42, XK_backslash}, {43, XK_comma}, {44, XK_slash}, {47, XK_period}, {50, XK_grave},
    {36, XK_Return}, {48, XK_Tab}, {49, XK_space}, {51, XK_BackSpace}, {53, XK_Escape}, {117, XK_Delete},
    {115, XK_Home}, {119, XK_End}, {116, XK_Page_Up}, {121, XK_Page_Down}, {123, XK_Left}, {124, XK_Right},
    {125, XK_Down}, {126, XK_Up},
    {122, XK_F1}, {120, XK_F2}, {99, XK_F3}, {118, XK_F4}, {96, XK_F5}, {97, XK_F6}, {98, XK_F7}, {100, XK_F8},
}};

}  // namespace

KeySym keysymForVirtualKey(uint16_t keyCode) {
    for (const auto& [code, keysym] : virtualKeys) {
        if (code == keyCode) return keysym;
    }
    return NoSymbol;
}

KeySym keysymForCodePoint(char32_t codePoint) {
    const xkb_keysym_t keysym = xkb_utf32_to_keysym(codePoint);
    if (keysym != XKB_KEY_NoSymbol) return keysym;
    return 0x1000000 + codePoint;
}

char32_t codePointOfKeysym(KeySym keysym) { return xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym)); }

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

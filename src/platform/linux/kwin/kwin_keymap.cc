#include "platform/linux/kwin/kwin_keymap.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace platform::linux_desktop {
namespace {

// evdev codes are xkb key codes less 8.
constexpr uint32_t kEvdevOffset = 8;

}  // namespace

KWinKeymap::KWinKeymap() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

KWinKeymap::~KWinKeymap() {
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

bool KWinKeymap::update(const KeymapText& keymap) {
    layout_ = keymap.layout;
    if (keymap_ && keymap.generation == generation_) return true;
    if (!context_) return false;
    xkb_keymap* compiled = xkb_keymap_new_from_string(context_, keymap.text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                      XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!compiled) return false;
    if (keymap_) xkb_keymap_unref(keymap_);
    keymap_ = compiled;
    generation_ = keymap.generation;
    return true;
}

std::optional<uint32_t> KWinKeymap::keyGiving(uint32_t keysym) const {
    if (!keymap_) return std::nullopt;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap_); code <= xkb_keymap_max_keycode(keymap_); ++code) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_, code);
        if (layouts == 0) continue;
        const xkb_keysym_t* symbols = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap_, code, layout_ % layouts, 0, &symbols) == 1 &&
            symbols[0] == keysym)
            return code;
    }
    return std::nullopt;
}

std::optional<KeyStroke> KWinKeymap::strokeFor(uint32_t keysym) const {
    if (!keymap_) return std::nullopt;
    // The modifiers a level may need, and the key that sets each: Shift, and the Level 3 and 5 shifts, which
    // the keymap puts on real modifiers of its choice (Mod5 and Mod3 in xkeyboard-config).
    struct Modifier {
        xkb_mod_index_t index;
        std::optional<uint32_t> key;
    };
    std::vector<Modifier> usable;
    const auto addModifier = [&](const char* name, uint32_t modifierKeysym) {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, name);
        if (index != XKB_MOD_INVALID) usable.push_back({index, keyGiving(modifierKeysym)});
    };
    addModifier(XKB_MOD_NAME_SHIFT, XKB_KEY_Shift_L);
    addModifier("Mod5", XKB_KEY_ISO_Level3_Shift);
    addModifier("LevelThree", XKB_KEY_ISO_Level3_Shift);
    addModifier("Mod3", XKB_KEY_ISO_Level5_Shift);
    addModifier("LevelFive", XKB_KEY_ISO_Level5_Shift);

    std::optional<KeyStroke> best;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap_); code <= xkb_keymap_max_keycode(keymap_); ++code) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_, code);
        if (layouts == 0) continue;
        const xkb_layout_index_t layout = layout_ % layouts;
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, code, layout);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* symbols = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap_, code, layout, level, &symbols) != 1 || symbols[0] != keysym)
                continue;
            xkb_mod_mask_t masks[8];
            size_t count = xkb_keymap_key_get_mods_for_level(keymap_, code, layout, level, masks, 8);
            if (count == 0 && level == 0) masks[count++] = 0;
            for (size_t i = 0; i < count; ++i) {
                KeyStroke stroke{code - kEvdevOffset, {}};
                xkb_mod_mask_t left = masks[i];
                for (const Modifier& modifier : usable) {
                    const xkb_mod_mask_t bit = xkb_mod_mask_t(1) << modifier.index;
                    if (!(left & bit) || !modifier.key) continue;
                    left &= ~bit;
                    const uint32_t key = *modifier.key - kEvdevOffset;
                    if (std::find(stroke.modifierKeys.begin(), stroke.modifierKeys.end(), key) ==
                        stroke.modifierKeys.end())
                        stroke.modifierKeys.push_back(key);
                }
                // A level reached only with Lock, Control, Alt or another modifier is of no use for typing.
                if (left != 0) continue;
                if (!best || stroke.modifierKeys.size() < best->modifierKeys.size()) best = stroke;
            }
        }
    }
    return best;
}

}  // namespace platform::linux_desktop

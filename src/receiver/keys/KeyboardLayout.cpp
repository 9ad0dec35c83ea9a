// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys/KeyboardLayout.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

// xkb key codes are the Linux ones plus 8, a legacy of X11.
constexpr xkb_keycode_t kXkbKeycodeOffset = 8;

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
struct ComposeTableDeleter {
    void operator()(xkb_compose_table* table) const { xkb_compose_table_unref(table); }
};
struct ComposeStateDeleter {
    void operator()(xkb_compose_state* state) const { xkb_compose_state_unref(state); }
};

bool isDeadKey(uint32_t keysym)
{
    return keysym >= XKB_KEY_dead_grave && keysym <= XKB_KEY_dead_longsolidusoverlay;
}

// A key that selects levels, and the modifiers it switches on.
struct ModifierKey {
    uint16_t key = 0;
    xkb_mod_mask_t mask = 0;
};

// The key that produces `keysym` at its first level, `preferred` when that
// one does; with the modifiers it sets while down.
std::optional<ModifierKey> findModifierKey(xkb_keymap* keymap, xkb_keysym_t keysym, uint16_t preferred)
{
    std::optional<xkb_keycode_t> found;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) == 1 && syms[0] == keysym
            && (!found || code == preferred + kXkbKeycodeOffset))
            found = code;
    }
    if (!found)
        return std::nullopt;
    std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(keymap));
    if (!state)
        return std::nullopt;
    xkb_state_update_key(state.get(), *found, XKB_KEY_DOWN);
    const xkb_mod_mask_t mask = xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED);
    if (mask == 0)
        return std::nullopt;
    return ModifierKey{uint16_t(*found - kXkbKeycodeOffset), mask};
}

// The modifier keys whose masks together make exactly `mask`, fewest first;
// nothing when these keys cannot (Num Lock or Caps Lock, say).
std::optional<std::vector<uint16_t>> modifiersFor(xkb_mod_mask_t mask, const std::vector<ModifierKey>& keys)
{
    std::optional<std::vector<uint16_t>> best;
    for (unsigned subset = 0; subset < (1u << keys.size()); ++subset) {
        xkb_mod_mask_t made = 0;
        std::vector<uint16_t> pressed;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (subset & (1u << i)) {
                made |= keys[i].mask;
                pressed.push_back(keys[i].key);
            }
        }
        if (made == mask && (!best || pressed.size() < best->size()))
            best = pressed;
    }
    return best;
}

// Spacing accents, and the dead keys that type them when followed by the
// space bar.
struct DeadKeyAccent {
    xkb_keysym_t accent;
    xkb_keysym_t deadKey;
};
constexpr DeadKeyAccent kDeadKeyAccents[] = {
    {XKB_KEY_grave, XKB_KEY_dead_grave},       {XKB_KEY_asciicircum, XKB_KEY_dead_circumflex},
    {XKB_KEY_asciitilde, XKB_KEY_dead_tilde},  {XKB_KEY_apostrophe, XKB_KEY_dead_acute},
    {XKB_KEY_quotedbl, XKB_KEY_dead_diaeresis},
};

// One keysym for each character: a Unicode keysym of a character that has
// a legacy keysym becomes that one. Controls are left alone, so that no
// Unicode keysym ever becomes BackSpace or Escape.
uint32_t canonicalKeysym(uint32_t keysym)
{
    if (keysym < 0x01000000u || keysym > 0x0110FFFFu)
        return keysym;
    const uint32_t codePoint = keysym - 0x01000000u;
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F))
        return keysym;
    const xkb_keysym_t legacy = xkb_utf32_to_keysym(codePoint);
    return legacy == XKB_KEY_NoSymbol ? keysym : legacy;
}

// Names are looked up as files of the layout data: letters, digits and a
// few marks only, so that a name can never point elsewhere.
bool isPlainName(const std::string& name, const char* marks)
{
    return std::all_of(name.begin(), name.end(), [marks](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
               || (c != '\0' && std::strchr(marks, c) != nullptr);
    });
}

} // namespace

std::unique_ptr<KeyboardLayout> KeyboardLayout::compile(const LayoutNames& names, std::string& error)
{
    if (!isPlainName(names.layout, "_-") || !isPlainName(names.variant, "_-") || !isPlainName(names.model, "_-")
        || !isPlainName(names.options, "_-:,+")) {
        error = "keyboard layout names may hold only letters, digits, '_' and '-'";
        return nullptr;
    }
    // Only the names given count: XKB_DEFAULT_LAYOUT and the like are the
    // settings of whoever started the receiver, not of the computer.
    std::unique_ptr<xkb_context, ContextDeleter> context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context) {
        error = "cannot set up libxkbcommon";
        return nullptr;
    }
    // Its own messages would repeat ours in a less helpful form.
    xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);

    std::unique_ptr<KeyboardLayout> layout(new KeyboardLayout(names));
    LayoutNames& used = layout->names_;
    if (used.layout.empty())
        used.layout = "us";
    if (used.model.empty())
        used.model = "pc105";
    const xkb_rule_names rules = {"evdev", used.model.c_str(), used.layout.c_str(), used.variant.c_str(),
                                  used.options.c_str()};
    std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_keymap_new_from_names(context.get(), &rules, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        error = "keyboard layout " + layout->description()
                + " is not known here (layouts come from xkb-data, in /usr/share/X11/xkb)";
        return nullptr;
    }

    std::vector<ModifierKey> modifierKeys;
    // Shift, and AltGr where the layout has a third level.
    for (const auto& [keysym, preferred] :
         {std::pair{XKB_KEY_Shift_L, KEY_LEFTSHIFT}, std::pair{XKB_KEY_ISO_Level3_Shift, KEY_RIGHTALT}}) {
        if (const auto key = findModifierKey(keymap.get(), xkb_keysym_t(keysym), uint16_t(preferred)))
            modifierKeys.push_back(*key);
    }

    // For each keysym the stroke with the fewest modifiers, then the lowest
    // level, then the lowest key: the one a person would use.
    std::unordered_map<uint32_t, std::tuple<std::size_t, xkb_level_index_t, xkb_keycode_t>> ranks;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap.get()); code <= xkb_keymap_max_keycode(keymap.get());
         ++code) {
        // Keys beyond a PC keyboard's (a Euro key, the multimedia keys) are
        // not on the virtual keyboard: € is AltGr and E, as a person types it.
        if (code <= kXkbKeycodeOffset || code - kXkbKeycodeOffset > KEY_MICMUTE)
            continue;
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap.get(), code, 0);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap.get(), code, 0, level, &syms) != 1)
                continue;
            xkb_mod_mask_t masks[16];
            const std::size_t count = xkb_keymap_key_get_mods_for_level(keymap.get(), code, 0, level, masks, 16);
            std::optional<std::vector<uint16_t>> modifiers;
            for (std::size_t i = 0; i < count; ++i) {
                const auto candidate = modifiersFor(masks[i], modifierKeys);
                if (candidate && (!modifiers || candidate->size() < modifiers->size()))
                    modifiers = candidate;
            }
            if (!modifiers)
                continue;
            const auto rank = std::make_tuple(modifiers->size(), level, code);
            const uint32_t keysym = canonicalKeysym(syms[0]);
            const auto known = ranks.find(keysym);
            if (known != ranks.end() && known->second <= rank)
                continue;
            ranks[keysym] = rank;
            layout->strokes_[keysym] = KeyStroke{uint16_t(code - kXkbKeycodeOffset), *modifiers};
        }
    }
    layout->addDeadKeySequences(context.get());
    return layout;
}

// The desktop composes a dead key and the next key by the compose table of
// its locale; the sequences of dead keys are the same in every UTF-8
// locale, so the table of en_US.UTF-8 stands for all of them.
void KeyboardLayout::addDeadKeySequences(xkb_context* context)
{
    std::unique_ptr<xkb_compose_table, ComposeTableDeleter> table(
        xkb_compose_table_new_from_locale(context, "en_US.UTF-8", XKB_COMPOSE_COMPILE_NO_FLAGS));
    if (!table)
        return;
    std::unique_ptr<xkb_compose_state, ComposeStateDeleter> state(
        xkb_compose_state_new(table.get(), XKB_COMPOSE_STATE_NO_FLAGS));
    if (!state)
        return;
    // The easiest strokes first (fewest modifiers, then the lowest key), so
    // that of two sequences for one character the easier one is kept.
    std::vector<std::pair<uint32_t, KeyStroke>> deadKeys, bases;
    for (const auto& [keysym, stroke] : strokes_)
        (isDeadKey(keysym) ? deadKeys : bases).emplace_back(keysym, stroke);
    const auto easier = [](const auto& a, const auto& b) {
        return std::make_tuple(a.second.modifiers.size(), a.second.key, a.first)
               < std::make_tuple(b.second.modifiers.size(), b.second.key, b.first);
    };
    std::sort(deadKeys.begin(), deadKeys.end(), easier);
    std::sort(bases.begin(), bases.end(), easier);
    for (const auto& [deadKey, deadStroke] : deadKeys) {
        for (const auto& [base, baseStroke] : bases) {
            xkb_compose_state_reset(state.get());
            xkb_compose_state_feed(state.get(), deadKey);
            xkb_compose_state_feed(state.get(), base);
            if (xkb_compose_state_get_status(state.get()) != XKB_COMPOSE_COMPOSED)
                continue;
            const uint32_t composed = canonicalKeysym(xkb_compose_state_get_one_sym(state.get()));
            if (composed != XKB_KEY_NoSymbol && !strokes_.count(composed))
                deadKeySequences_.emplace(composed, KeyTyping{{deadStroke}, baseStroke});
        }
    }
}

KeyboardLayout::KeyboardLayout(LayoutNames names)
    : names_(std::move(names))
{
}

std::optional<KeyStroke> KeyboardLayout::strokeFor(uint32_t keysym) const
{
    const auto found = strokes_.find(keysym);
    if (found == strokes_.end())
        return std::nullopt;
    return found->second;
}

std::optional<KeyTyping> KeyboardLayout::typingFor(uint32_t keysym) const
{
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) {
        if (const auto stroke = strokeFor(keysym - XKB_KEY_A + XKB_KEY_a))
            return KeyTyping{{}, *stroke};
    }
    keysym = canonicalKeysym(keysym);
    if (const auto stroke = strokeFor(keysym))
        return KeyTyping{{}, *stroke};
    if (const auto sequence = deadKeySequences_.find(keysym); sequence != deadKeySequences_.end())
        return sequence->second;
    for (const DeadKeyAccent& accent : kDeadKeyAccents) {
        if (accent.accent != keysym)
            continue;
        const auto dead = strokeFor(accent.deadKey);
        const auto space = strokeFor(XKB_KEY_space);
        if (dead && space)
            return KeyTyping{{*dead}, *space};
    }
    return std::nullopt;
}

std::string KeyboardLayout::description() const
{
    std::string text = "'" + names_.layout;
    if (!names_.variant.empty())
        text += "(" + names_.variant + ")";
    return text + "'";
}

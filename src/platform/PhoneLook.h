// SPDX-License-Identifier: GPL-3.0-or-later
// The phone's geometry and colours, each defined once: the platform's views,
// the screens, the keyboard form's generator (tools/generate_keyboard_ui.cpp)
// and the programs that draw the images (scripts/make-keyboard-images,
// scripts/make-app-icons, tools/draw_remote_images.cpp) all take them from
// here. The two scripts read the `constexpr` lines of this file, so each
// constant stays on one line and its value is a number, a name defined above
// it, or a sum or difference of those.
#pragma once

#include <cstdint>

namespace platform::phone {

// The screen, in points: portrait, with the status bar strip along its top.
constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 480;
constexpr int kStatusBarHeight = 20;
// The main view's height: the screen below the status bar.
constexpr int kContentHeight = kScreenHeight - kStatusBarHeight;

// The platform's bars, rows and grouped tables.
constexpr int kNavigationBarHeight = 44;
constexpr int kTabBarHeight = 49;
constexpr int kRowHeight = 44;
constexpr int kGroupInset = 16;
constexpr int kCornerRadius = 10;

// The keyboard, in landscape: five rows of keys below the status bar strip.
// Each extended-mode control waits this far below the place where it is shown.
constexpr int kKeyboardModeOffset = 300;
constexpr int kKeyRowHeight = 60;
// The wide keys of the left column (tab, caps, shift) and enter.
constexpr int kKeyboardSideKeyWidth = 56;
// The mode key beside the arrow keys.
constexpr int kKeyboardModeKeyWidth = 36;
// A key cap sits this far inside its slot, so fingers may land in the gaps,
// with rounded corners and a shadow under its bottom edge.
constexpr int kKeyCapInsetX = 2;
constexpr int kKeyCapInsetY = 3;
constexpr int kKeyCapRadius = 5;
constexpr int kKeyCapShadow = 1;

// Colours, as 0xRRGGBB. First the palette's neutral colours, which the
// roles below name when they share one.
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGray = 0x8E8E93;
constexpr std::uint32_t kGray3 = 0xC7C7CC;
constexpr std::uint32_t kGray4 = 0xD1D1D6;
constexpr std::uint32_t kGray5 = 0xE5E5EA;
constexpr std::uint32_t kGray6 = 0xF2F2F7;

// The platform's views and the screens.
constexpr std::uint32_t kTint = 0x007AFF;
constexpr std::uint32_t kLabel = 0x1C1C1E;
constexpr std::uint32_t kSecondaryLabel = 0x8A8A8E;
constexpr std::uint32_t kTertiaryLabel = 0x6C6C70;
constexpr std::uint32_t kGroupedBackground = kGray6;
constexpr std::uint32_t kCellBackground = kWhite;
constexpr std::uint32_t kCellHighlight = kGray4;
constexpr std::uint32_t kCellBlueHighlight = 0xD6E6FF;
constexpr std::uint32_t kSeparator = 0xC6C6C8;
constexpr std::uint32_t kBarBackground = 0xF9F9F9;
constexpr std::uint32_t kDestructive = 0xFF3B30;
constexpr std::uint32_t kButtonBorder = kGray4;
constexpr std::uint32_t kButtonHighlight = 0xE5F0FF;
constexpr std::uint32_t kSwitchOn = 0x34C759;
constexpr std::uint32_t kSwitchOff = 0xE9E9EB;
// Black at these opacities (0-255): the dimming under a sheet, a pressed
// custom button, a switch knob's shadow.
constexpr int kDimmingAlpha = 90;
constexpr int kPressedShadeAlpha = 70;
constexpr int kKnobShadowAlpha = 40;

// The keyboard: its background, the caps (letters, word keys, under a
// finger, the latched shift key), their shadow and their ink.
constexpr std::uint32_t kKeyboardBackground = 0xD1D4DA;
constexpr std::uint32_t kKeyCap = kWhite;
constexpr std::uint32_t kKeyCapSpecial = 0xACB3BD;
constexpr std::uint32_t kKeyCapPressed = 0x8A929E;
constexpr std::uint32_t kKeyCapLatched = kWhite;
constexpr std::uint32_t kKeyCapShadowColor = 0x898A8D;
constexpr std::uint32_t kKeyInk = kLabel;

// The touch pad screen: the pad's surface (a gradient), the wheel strip's
// (edges and middle), their border, the hint on the pad and the ribs drawn
// on the wheel strip.
constexpr std::uint32_t kPadTop = kWhite;
constexpr std::uint32_t kPadBottom = 0xEBEBF0;
constexpr std::uint32_t kWheelEdge = kGray5;
constexpr std::uint32_t kWheelMiddle = 0xFAFAFA;
constexpr std::uint32_t kPadBorder = kGray4;
constexpr std::uint32_t kPadHint = kGray3;
constexpr std::uint32_t kWheelRibs = kGray;
// Tab bar icons are drawn as masks; the bar tints them.
constexpr std::uint32_t kIconMask = kBlack;

// The remote panel's drawn images: glyphs, the pads' surfaces at rest and
// pressed, the select key's well, the swipe ring, the page strip's grip and
// its words.
constexpr std::uint32_t kGlyph = kLabel;
constexpr std::uint32_t kSoftGlyph = 0x636366;
constexpr std::uint32_t kSurface = kWhite;
constexpr std::uint32_t kSurfacePressed = 0xE9E9EE;
constexpr std::uint32_t kSurfaceBorder = kGray4;
constexpr std::uint32_t kWell = kGray6;
constexpr std::uint32_t kWellPressed = 0xDDDDE3;
constexpr std::uint32_t kSwipeRing = kGray5;
constexpr std::uint32_t kSwipeRingPressed = 0xD8D8DE;
constexpr std::uint32_t kGrip = kGray3;
constexpr std::uint32_t kSurfaceText = kSecondaryLabel;

} // namespace platform::phone

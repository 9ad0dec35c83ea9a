// SPDX-License-Identifier: GPL-3.0-or-later
// Sound effects for presses: three short sounds loaded once at start-up and
// a switch read then from the stored setting "enabled_soundeffect". Every
// play function returns at once and does nothing while the switch is off.
#pragma once

// Loads "click", "keypress" and "keyrelease" and reads the switch; always 0.
int initialize_sound_server();

void play_keypress();
void play_keyrelease();
void play_mouse_buttonpress();
void play_mouse_buttonrelease();
void play_click();

// Frees the sounds; nothing plays after it.
void uninitlizie_sound_server();

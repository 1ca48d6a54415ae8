// What the key translation needs of the layer that owns the editor's raw
// keypad codes.
//
// The window system names keys by plain numbers; the keypad and the
// Shift+navigation keys have raw two-byte twins that only the event tables
// above know. The forms' input translation defines this; a program without
// it keeps the named codes unchanged.
#pragma once

#include <cstdint>

// The code a named key (keypad, Shift+navigation) finally gives: its raw
// twin, or the code itself.
uint32_t evt_key_alias(uint32_t code);

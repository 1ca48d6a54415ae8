// The window API's scroll-bar calls and its mnemonic conversion.
//
// A bar is chosen by a selector: 'H' the horizontal bar part of the given
// frame, 'V' its vertical one, anything else the given window itself (a
// scroll-bar control). Every call does nothing, and every query answers 0,
// when the chosen bar does not exist.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

inline constexpr int32_t kSelectHorz = 'H';
inline constexpr int32_t kSelectVert = 'V';

// The record of WinSetScrollInfo: six 32-bit words.
struct ScrollInfo {
  uint32_t size;
  uint32_t mask;  // 1 range, 2 page, 4 position, 0x80 keep the range non-empty
  int32_t min, max, page, pos;
};
inline constexpr uint32_t kSifRange = 1, kSifPage = 2, kSifPos = 4, kSifKeepRange = 0x80;

XfWindow* WinScrollBarOf(XfWindow* window, int32_t bar);
void WinSetScrollRange(XfWindow* window, int32_t min, int32_t max, int32_t bar);
void WinSetScrollPage(XfWindow* window, int32_t page, int32_t max, int32_t bar);
void WinSetScrollPos(XfWindow* window, int32_t pos, int32_t bar);
void WinQueryScrollRange(XfWindow* window, int32_t* min, int32_t* max, int32_t bar);
int32_t WinQueryScrollPos(XfWindow* window, int32_t bar);
void WinSetScrollInfo(XfWindow* window, const ScrollInfo* info, int32_t bar);
// The control that sent a scroll message: none for a frame's own bars.
XfWindow* WinScrollMsgSource(XfWindow* window, void* ignored, XfWindow* parent, uint32_t id);

// '&' mnemonics to the menu layer's '~': "&&" is one '&', '~' doubles.
// Answers one static buffer of 510 characters and a NUL, overwritten by the
// next call; what does not fit is dropped.
inline constexpr int32_t kMnemonicBuffer = 510;
const char* WinMnemonicTextN(const char* text, int32_t length);
const char* WinMnemonicText(const char* text);

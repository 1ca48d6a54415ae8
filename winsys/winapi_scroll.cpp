#include "winsys/winapi_scroll.h"

#include <cstring>

#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/winquery.h"

namespace {

bool is_bar(const XfWindow* w) { return xf_is_live_window(w) && (w->kind == XFTYPE_VSB || w->kind == XFTYPE_HSB); }

}  // namespace

XfWindow* WinScrollBarOf(XfWindow* window, int32_t bar) {
  if (!xf_is_live_window(window)) return nullptr;
  XfWindow* w = window;
  if (bar == kSelectHorz)
    w = xfWindowFromId(window, kPartHsb);
  else if (bar == kSelectVert)
    w = xfWindowFromId(window, kPartVsb);
  return is_bar(w) ? w : nullptr;
}

void WinSetScrollRange(XfWindow* window, int32_t min, int32_t max, int32_t bar) {
  if (XfWindow* b = WinScrollBarOf(window, bar)) xfSendMsg(b, ZWM_SBSETRANGE, min, xf_pack(min, max));
}

void WinSetScrollPage(XfWindow* window, int32_t page, int32_t max, int32_t bar) {
  if (XfWindow* b = WinScrollBarOf(window, bar)) xfSendMsg(b, ZWM_SBSETTHUMBSIZE, xf_pack(page, max), 0);
}

void WinSetScrollPos(XfWindow* window, int32_t pos, int32_t bar) {
  if (XfWindow* b = WinScrollBarOf(window, bar)) xfSendMsg(b, ZWM_SBSETPOS, pos, 0);
}

void WinQueryScrollRange(XfWindow* window, int32_t* min, int32_t* max, int32_t bar) {
  if (min) *min = 0;
  if (max) *max = 0;
  XfWindow* b = WinScrollBarOf(window, bar);
  if (!b) return;
  intptr_t r = xfSendMsg(b, ZWM_SBQUERYRANGE, 0, 0);
  if (min) *min = xf_low(r);
  if (max) *max = xf_high(r);
}

int32_t WinQueryScrollPos(XfWindow* window, int32_t bar) {
  XfWindow* b = WinScrollBarOf(window, bar);
  return b ? xf_low(xfSendMsg(b, ZWM_SBQUERYPOS, 0, 0)) : 0;
}

void WinSetScrollInfo(XfWindow* window, const ScrollInfo* info, int32_t bar) {
  if (!info) return;
  int32_t m = (info->mask & (kSifRange | kSifPage)) && info->page != 0 ? info->max + info->page : info->max;
  if (info->mask & kSifRange) {
    if (info->page == 0 && (info->mask & kSifKeepRange) && m <= info->min) m = info->min + 1;
    WinSetScrollRange(window, info->min, m, bar);
  }
  if (info->mask & kSifPage) WinSetScrollPage(window, info->page, m, bar);
  if (info->mask & kSifPos) WinSetScrollPos(window, info->pos, bar);
}

XfWindow* WinScrollMsgSource(XfWindow*, void*, XfWindow* parent, uint32_t id) {
  if (id == kPartHsb || id == kPartVsb) return nullptr;
  return xf_is_live_window(parent) ? xfWindowFromId(parent, id) : nullptr;
}

const char* WinMnemonicTextN(const char* text, int32_t length) {
  static char buffer[kMnemonicBuffer + 1];
  int32_t out = 0;
  auto put = [&](char c) {
    if (out < kMnemonicBuffer) buffer[out++] = c;
  };
  for (int32_t i = 0; text && i < length; ++i) {
    char c = text[i];
    if (c == '&' && i + 1 < length && text[i + 1] == '&') {
      put('&');
      ++i;
    } else if (c == '&') {
      put('~');
    } else if (c == '~') {
      put('~');
      put('~');
    } else {
      put(c);
    }
  }
  buffer[out] = '\0';
  return buffer;
}

const char* WinMnemonicText(const char* text) {
  return WinMnemonicTextN(text, text ? static_cast<int32_t>(std::strlen(text)) : 0);
}

// Key and mouse translation costs.
// BM_KeyToEventCode: one key press through the keysym stages and the code
// rules (a mix of characters, named, keypad and function keys).
// BM_MouseMotionEventState: a motion message with the modifiers taken from
// the message's own state, as the translation does.
// BM_MouseMotionKeyboardQuery: the same with the modifiers read from the
// keyboard (one XQueryKeymap round trip each) on a private Xvfb: what each
// mouse message would cost if its modifiers were asked of the server.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdlib>

#include "tests/support/xvfb.h"
#include "winsys/x_event_codes.h"
#include "winsys/xinit.h"

namespace {

struct Key {
  unsigned long keysym;
  uint32_t state;
};
constexpr Key kKeys[] = {
    {'a', 0},     {'A', ShiftMask},     {'a', ControlMask},   {'x', Mod1Mask}, {XK_Return, 0},    {XK_Left, ShiftMask},
    {XK_KP_7, 0}, {XK_KP_7, ShiftMask}, {XK_F5, ControlMask}, {'@', Mod5Mask}, {XK_BackSpace, 0}, {'1', ControlMask},
    {XK_Next, 0}, {0x1008FF15, 0},      {' ', ShiftMask},
};

void BM_KeyToEventCode(benchmark::State& state) {
  XfKeyContext kc;
  uint32_t sum = 0;
  size_t i = 0;
  for (auto _ : state) {
    const Key& k = kKeys[i++ % (sizeof kKeys / sizeof kKeys[0])];
    sum += evt_translate_key(kc, k.keysym, 38, k.state).event;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyToEventCode);

void BM_MouseMotionEventState(benchmark::State& state) {
  evt_reset_state();
  uint32_t t = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(evt_from_mouse_msg(19, true, static_cast<int32_t>(t & 63), 5, nullptr, ShiftMask, t));
    ++t;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MouseMotionEventState);

void BM_MouseMotionKeyboardQuery(benchmark::State& state) {
  auto server = xtest::XvfbServer::start();
  if (!server) {
    state.SkipWithError("no Xvfb");
    return;
  }
  setenv("DISPLAY", server->display_name().c_str(), 1);
  xfInitX();
  evt_reset_state();
  uint32_t t = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(evt_modifier_bits());
    benchmark::DoNotOptimize(evt_from_mouse_msg(19, true, static_cast<int32_t>(t & 63), 5, nullptr, 0, t));
    ++t;
  }
  state.SetItemsProcessed(state.iterations());
  xfShutdownX();
}
BENCHMARK(BM_MouseMotionKeyboardQuery)->Iterations(2000);

}  // namespace

// Dispatch-loop benchmarks: byte-code loops that count to 1,000,000 with a
// local counter. Reported as nanoseconds per opcode executed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/le.h"
#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/opcodes.h"
#include "macro/stack.h"

namespace {

constexpr int kCount = 1000000;

struct Image {
  std::vector<uint8_t> bytes;
  uint16_t proc = 0;
  void op(std::string_view m) {
    auto r = opcode_find(m);
    if (r->ext) bytes.push_back(kExtPrefix);
    bytes.push_back(r->slot);
  }
  void u8(uint8_t v) { bytes.push_back(v); }
  void u16(uint16_t v) { le::append_u16(bytes, v); }
  void put16(size_t at, size_t v) { le::put_u16(&bytes[at], static_cast<uint16_t>(v)); }
  // Constants "0", "1", "1000000" at the front of the constant area.
  uint16_t k0 = 0, k1 = 2, kmax = 4;
  void finish() {
    const size_t consts = bytes.size();
    for (std::string_view s : {"0", "1", "1000000"}) {
      bytes.push_back(static_cast<uint8_t>(s.size()));
      bytes.insert(bytes.end(), s.begin(), s.end());
    }
    put16(MH_SIZE, bytes.size());
    put16(MH_LINKS, consts);
    put16(MH_CONSTANTS, consts);
  }
};

// A reset interpreter with the macro layer's handlers, as the editor runs.
void fresh_vm() {
  vm_reset();
  opcodes_clear(vm_dispatch);
  macro_register_opcodes(vm_dispatch);
}

bool built(std::string_view m) {
  const auto r = opcode_find(m);
  return (r->ext ? vm_dispatch.ext : vm_dispatch.main)[r->slot] != op_illegal;
}

// i = 0; top: i++; if i < 1000000 goto top  -- incr, push_var, push_const,
// num_lt, jump_if_true: five opcodes an iteration.
Image compare_and_jump_loop() {
  Image im;
  im.bytes.assign(kModuleHeaderSize, 0);
  im.proc = static_cast<uint16_t>(im.bytes.size());
  im.u8(1), im.u8(0), im.u16(0);
  im.op("push_const"), im.u16(im.k0);
  im.op("assign"), im.u16(8001);
  const uint16_t top = static_cast<uint16_t>(im.bytes.size());
  im.op("incr"), im.u16(8001);
  im.op("push_var"), im.u16(8001);
  im.op("push_const"), im.u16(im.kmax);
  im.op("num_lt");
  im.op("jump_if_true"), im.u16(top);
  im.op("return");
  im.finish();
  return im;
}

// for i = 1 to 1000000: for_step and a jump back, two opcodes an iteration.
Image counted_loop() {
  Image im;
  im.bytes.assign(kModuleHeaderSize, 0);
  im.proc = static_cast<uint16_t>(im.bytes.size());
  im.u8(1), im.u8(0), im.u16(0);
  im.op("push_const"), im.u16(im.k1);
  im.op("push_const"), im.u16(im.kmax);
  im.op("push_const"), im.u16(im.k1);
  im.op("for_begin"), im.u16(8001), im.u16(0);
  const size_t exit_at = im.bytes.size();
  im.u16(0);
  const uint16_t top = static_cast<uint16_t>(im.bytes.size());
  im.op("for_step");
  im.op("jump"), im.u16(top);
  im.put16(exit_at, im.bytes.size());
  im.op("for_end");
  im.op("return");
  im.finish();
  return im;
}

// 1000 x (push_var, pop) and a return: the bare cost of fetch and dispatch
// for the cheapest opcodes, with no arithmetic.
constexpr int kStraightPairs = 1000;
Image straight_line() {
  Image im;
  im.bytes.assign(kModuleHeaderSize, 0);
  im.proc = static_cast<uint16_t>(im.bytes.size());
  im.u8(1), im.u8(0), im.u16(0);
  for (int i = 0; i < kStraightPairs; ++i) {
    im.op("push_var"), im.u16(8001);
    im.op("pop");
  }
  im.op("return");
  im.finish();
  return im;
}

void run_loop(benchmark::State& state, const Image& im, int ops_per_iteration,
              int iterations = kCount) {
  fresh_vm();
  for (auto _ : state) {
    const ErrorCode rc = vm_call_image(im.bytes, im.proc, {});
    if (rc != ERR_OK) {
      state.SkipWithError("the loop failed");
      return;
    }
  }
  const double ops = static_cast<double>(iterations) * ops_per_iteration;
  state.counters["ns_per_op"] = benchmark::Counter(
      ops * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_DispatchLoop(benchmark::State& state) {
  fresh_vm();
  for (std::string_view m : {"incr", "num_lt"}) {
    if (!built(m)) {
      state.SkipWithError("incr and num_lt are not built yet");
      return;
    }
  }
  run_loop(state, compare_and_jump_loop(), 5);
}
BENCHMARK(BM_DispatchLoop)->Unit(benchmark::kMillisecond);

void BM_CountedLoop(benchmark::State& state) { run_loop(state, counted_loop(), 2); }
BENCHMARK(BM_CountedLoop)->Unit(benchmark::kMillisecond);

void BM_StraightLine(benchmark::State& state) {
  run_loop(state, straight_line(), 1, 2 * kStraightPairs + 1);
}
BENCHMARK(BM_StraightLine)->Unit(benchmark::kMicrosecond);

}  // namespace

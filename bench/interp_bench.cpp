// Byte-code loops through the interpreter, written in zozu's text form,
// assembled by zozu's own assembler, loaded as a module file and called by
// name, as the editor runs a macro.
//
// BM_ByteCodeIncrementLoop is the loop a macro writes,
//   i = 0; while (i < 1000000) i = i + 1;
// with the test at the top and a jump back: nine instructions an iteration,
// reported as ns_per_iteration. For comparison, the same loop in python3
// and lua5.4 (bench/compare.sh runs both):
//   def f():
//       i = 0
//       while i < 1000000: i = i + 1
//   local i = 0; while i < 1000000 do i = i + 1 end
// BM_DispatchLoop (incr, push_var, push_const, num_lt, jump_if_true) is the
// floor of fetch and dispatch with the cheapest arithmetic; BM_CountedLoop a
// for loop with nothing in its body; BM_StraightLine push_var and pop with
// no jumps at all. Those report ns_per_op. BM_CallLoop calls a procedure
// that returns "1" in a loop of 10^5, i = i + one(): ns_per_call, a call,
// its return and the loop around them.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "bench/ref_files.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "macro/opcodes.h"
#include "tools/zozu/zozu.h"

namespace {

constexpr int kCount = 1000000;

const char kSource[] = R"(
; i = 0; while (i < 1000000) i = i + 1
proc increment_loop()
  var i
  push_const "0"
  assign $i
top:
  push_var $i
  push_const "1000000"
  num_lt
  jump_if_false @done
  push_var $i
  push_const "1"
  add
  assign $i
  jump @top
done:
  return
end

; i = 0; do i++; while (i < 1000000)
proc dispatch_loop()
  var i
  push_const "0"
  assign $i
d_top:
  incr $i
  push_var $i
  push_const "1000000"
  num_lt
  jump_if_true @d_top
  return
end

; i = 0; while (i < 100000) i = i + one()
proc call_loop()
  var i
  push_const "0"
  assign $i
k_top:
  push_var $i
  push_const "100000"
  num_lt
  jump_if_false @k_done
  push_var $i
  call_link 0, one
  add
  assign $i
  jump @k_top
k_done:
  return
end

proc one()
  push_const "1"
  return_value
end

; for i = 1 to 1000000 (an empty body)
proc counted_loop()
  var i
  push_const "1"
  push_const "1000000"
  push_const "1"
  for_begin $i, 0, @c_done
c_top:
  for_step
  jump @c_top
c_done:
  for_end
  return
end
)";

// 1000 x (push_var, pop), then return.
constexpr int kStraightPairs = 1000;
std::string straight_line_source() {
  std::string s = "proc straight_line()\n  var i\n";
  for (int i = 0; i < kStraightPairs; ++i) s += "  push_var $i\n  pop\n";
  return s + "  return\nend\n";
}

// The module, assembled and loaded once per process; the names index of
// each procedure.
struct Loaded {
  bool ok = false;
  std::string error;
  Loaded() {
    vm_reset();
    opcodes_clear(vm_dispatch);
    if (!macro_register_opcodes(vm_dispatch)) {
      error = "macro_register_opcodes";
      return;
    }
    if (name_pool_init() != 0) {
      error = "name_pool_init";
      return;
    }
    names_attach_vm();
    std::vector<uint8_t> module;
    std::vector<ZozuDiag> diags;
    if (!zozu_assemble("loops.e", kSource + straight_line_source(), module, diags)) {
      error = "assembly: " + (diags.empty() ? std::string("?") : diags[0].message);
      return;
    }
    bench::TempDir dir;
    const std::string path = dir / "loops.ex";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(module.data()), static_cast<std::streamsize>(module.size()));
    uint32_t index = 0;
    bool module_file = false;
    if (mod_load_file(path, &index, &module_file, false) != 0) {
      error = "mod_load_file";
      return;
    }
    ok = true;
  }
};

void run_proc(benchmark::State& state, const char* name, double ops_per_call, const char* counter) {
  static Loaded loaded;
  if (!loaded.ok) {
    state.SkipWithError(loaded.error.c_str());
    return;
  }
  const int32_t index = static_cast<int32_t>(name_find(name, NF_CALLABLE));
  for (auto _ : state) {
    if (vm_call_index(index, {}) != ERR_OK) {
      state.SkipWithError("the loop failed");
      return;
    }
  }
  state.counters[counter] = benchmark::Counter(ops_per_call * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ByteCodeIncrementLoop(benchmark::State& state) {
  run_proc(state, "increment_loop", kCount, "ns_per_iteration");
}
BENCHMARK(BM_ByteCodeIncrementLoop)->Unit(benchmark::kMillisecond);

void BM_DispatchLoop(benchmark::State& state) { run_proc(state, "dispatch_loop", 5.0 * kCount, "ns_per_op"); }
BENCHMARK(BM_DispatchLoop)->Unit(benchmark::kMillisecond);

void BM_CallLoop(benchmark::State& state) { run_proc(state, "call_loop", 100000, "ns_per_call"); }
BENCHMARK(BM_CallLoop)->Unit(benchmark::kMillisecond);

void BM_CountedLoop(benchmark::State& state) { run_proc(state, "counted_loop", 2.0 * kCount, "ns_per_op"); }
BENCHMARK(BM_CountedLoop)->Unit(benchmark::kMillisecond);

void BM_StraightLine(benchmark::State& state) { run_proc(state, "straight_line", 2 * kStraightPairs + 1, "ns_per_op"); }
BENCHMARK(BM_StraightLine)->Unit(benchmark::kMicrosecond);

}  // namespace

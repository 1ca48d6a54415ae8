// Values that stay numbers: the text of a number form, the decimal oracle
// table run as byte code (the texts and errors a macro sees are the rules'),
// random programs run with number forms on and off (the same values, rc,
// errors, heap use and compactions), and the heap a number assignment
// leaves alone.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "macro/names_vm.h"
#include "macro/stack.h"
#include "macro/state.h"
#include "macro/varheap.h"
#include "tests/macro/random_rounds.h"
#include "tests/macro/vm_fixture.h"

namespace {

using namespace bc;

class ValueForms : public vmtest::VmTest {
 protected:
  void TearDown() override {
    vm_number_forms = true;
    VmTest::TearDown();
  }
};

// ---- the text of a number ---------------------------------------------------

struct TextCase {
  const char* text;
  bool number;  // the text a number form writes back unchanged
  int64_t mant;
  int32_t scale;
};

const TextCase kTexts[] = {
    {"0", true, 0, 0},
    {"7", true, 7, 0},
    {"-7", true, -7, 0},
    {"1000000", true, 1000000, 0},
    {"9999999999999999", true, 9999999999999999, 0},
    {"-9999999999999999", true, -9999999999999999, 0},
    {"1.5", true, 15, 1},
    {"1.50", true, 150, 2},
    {"-0.05", true, -5, 2},
    {"0.0000000000000001", true, 1, 16},
    {"123456789012345.6", true, 1234567890123456, 1},
    {"0.10", true, 10, 2},
    // Written otherwise by the decimal rules, or not numbers at all.
    {"10000000000000000", false, 0, 0},    // 17 digits
    {"0.00000000000000001", false, 0, 0},  // 17 places
    {"-0", false, 0, 0},
    {"0.0", false, 0, 0},
    {"-0.0", false, 0, 0},
    {"00", false, 0, 0},
    {"01", false, 0, 0},
    {"+1", false, 0, 0},
    {" 1", false, 0, 0},
    {"1 ", false, 0, 0},
    {"1.", false, 0, 0},
    {".5", false, 0, 0},
    {"1e3", false, 0, 0},
    {"1.2.3", false, 0, 0},
    {"-", false, 0, 0},
    {"", false, 0, 0},
    {"abc", false, 0, 0},
};

TEST(NumberText, ReadsBackOnlyWhatItWrites) {
  for (const TextCase& c : kTexts) {
    VarNum v{-1, -1};
    ASSERT_EQ(var_num_from_text(c.text, &v), c.number) << c.text;
    if (!c.number) continue;
    EXPECT_EQ(v.mant, c.mant) << c.text;
    EXPECT_EQ(v.scale, c.scale) << c.text;
    char t[kNumTextMax];
    const int32_t n = var_num_text(v, t);
    EXPECT_EQ(std::string(t, static_cast<size_t>(n)), c.text);
    EXPECT_EQ(var_num_length(v), n) << c.text;
  }
}

// ---- the oracle table as byte code ---------------------------------------------

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    const size_t p = line.find('|', start);
    f.push_back(line.substr(start, p - start));
    if (p == std::string::npos) return f;
    start = p + 1;
  }
}

struct Row {
  std::string op, a, b, want;
  int32_t code;
};

std::vector<Row> oracle_rows() {
  std::vector<Row> rows;
  std::ifstream in(ZVX_TEST_DATA_DIR "/macro/data/decimal_cases.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    auto f = split(line);
    if (f.size() == 5) rows.push_back({f[0], f[1], f[2], f[3], std::stoi(f[4])});
  }
  return rows;
}

const char* mnemonic_of(const std::string& op) {
  static const std::pair<const char*, const char*> kOps[] = {
      {"add", "add"}, {"sub", "sub"}, {"mul", "mul"},     {"div", "div"},   {"idiv", "idiv"},
      {"mod", "mod"}, {"pow", "pow"}, {"and", "bit_and"}, {"or", "bit_or"}, {"xor", "bit_xor"},
      {"shl", "shl"}, {"shr", "shr"}, {"not", "bit_not"}};
  for (auto& [name, m] : kOps)
    if (op == name) return m;
  return nullptr;
}

// Runs a op b in byte code, the operands pushed as constants or (through)
// variables, the result assigned to a global. Returns the run's code; *out
// gets the global's text.
ErrorCode run_row(const Row& r, bool through_variables, std::string* out) {
  ImageBuilder b;
  const uint32_t g = static_cast<uint32_t>(var_alloc_global());
  const uint16_t lg = b.global(static_cast<uint16_t>(g));
  const uint16_t p = b.proc(2, 0, 0);
  const bool unary = r.op == "not";
  auto push = [&](const std::string& v, int local_index) {
    b.op("push_const", {k(v)});
    if (!through_variables) return;
    b.op("assign", {var(local(local_index))});
    b.op("push_var", {var(local(local_index))});
  };
  push(r.a, 0);
  if (!unary) push(r.b, 1);
  if (r.op == "cmp") {
    // Three comparisons, their truths concatenated: "<=>" order.
    b.op("pop");
    b.op("pop");
    for (const char* m : {"num_lt", "num_eq", "num_gt"}) {
      push(r.a, 0);
      push(r.b, 1);
      b.op(m);
    }
    b.op("concat");
    b.op("concat");
  } else {
    b.op(mnemonic_of(r.op));
  }
  b.op("assign", {var(lg)});
  b.op("return");
  const std::vector<uint8_t> image = b.finish();
  const ErrorCode rc = vm_call_image(image, p, {});
  *out = std::string(lstr_view(var_value(g)));
  return rc;
}

TEST_F(ValueForms, OracleTableRunsAsByteCode) {
  const std::vector<Row> rows = oracle_rows();
  ASSERT_GT(rows.size(), 5000u);
  int runs = 0, failures = 0;
  for (bool forms : {true, false}) {
    for (bool through_variables : {false, true}) {
      for (const Row& r : rows) {
        if (r.op != "cmp" && !mnemonic_of(r.op)) continue;
        reset(300, 8000);  // small: a fresh area per row stays cheap
        vm_number_forms = forms;
        std::string got;
        const ErrorCode rc = run_row(r, through_variables, &got);
        std::string want = r.want;
        if (r.op == "cmp") want = want == "-1" ? "100" : want == "0" ? "010" : "001";
        ++runs;
        if (rc != r.code || (r.code == 0 && got != want)) {
          if (++failures <= 20)
            ADD_FAILURE() << r.op << " [" << r.a << "] [" << r.b << "] forms " << forms << " variables "
                          << through_variables << ": got [" << got << "] code " << rc << ", want [" << want << "] code "
                          << r.code;
        }
        EXPECT_EQ(var_check(), nullptr);
      }
    }
  }
  EXPECT_GT(runs, 4 * 4000);
  EXPECT_EQ(failures, 0);
}

// ---- the same programs with number forms on and off -----------------------------

// Operands: numbers written as the rules write them, numbers written
// otherwise, values past 16 digits and 32 bits, and non-numbers.
const char* const kPool[] = {"0",
                             "1",
                             "-1",
                             "7",
                             "12",
                             "-3",
                             "9999999999999999",
                             "-9999999999999999",
                             "10000000000000000",
                             "1.5",
                             "-0.05",
                             "0.10",
                             "1.50",
                             "2.0",
                             "00",
                             "+4",
                             " 5",
                             "5 ",
                             "1e3",
                             "abc",
                             "",
                             "0.0",
                             "-0",
                             "123456789012.345",
                             "4294967296",
                             "2147483647",
                             "-2147483648",
                             "0.0000000000000001",
                             "3.14159265358979",
                             "999999999999.9999",
                             "1000000",
                             "696",
                             "21524613",
                             "-31798",
                             "0.25",
                             "-886.5",
                             "4295"};

const char* const kBinary[] = {"add",    "sub",          "sub_swapped", "mul",         "div",           "div_swapped",
                               "idiv",   "idiv_swapped", "mod",         "mod_swapped", "pow",           "bit_and",
                               "bit_or", "bit_xor",      "shl",         "shr",         "shl_swapped",   "num_eq",
                               "num_ne", "num_lt",       "num_gt",      "num_le",      "num_ge",        "str_eq",
                               "str_lt", "or",           "and",         "concat",      "concat_swapped"};
const char* const kUnary[] = {"negate", "bit_not", "not"};
const char kCompound[] = {'&', '|', '^', '*', '+', '-', '/'};

constexpr int kGlobals = 4;

// A random program over four globals and two locals. Operands are pool
// constants or variables; each statement assigns one variable.
std::vector<uint8_t> random_program(std::mt19937& rng, const uint32_t (&slots)[kGlobals], uint16_t* proc,
                                    std::string* listing) {
  ImageBuilder b;
  uint16_t globals[kGlobals];
  for (int i = 0; i < kGlobals; ++i) globals[i] = b.global(static_cast<uint16_t>(slots[i]));
  *proc = b.proc(2, 0, 0);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  auto target = [&]() -> uint16_t {
    const size_t i = pick(kGlobals + 2);
    return i < kGlobals ? globals[i] : local(static_cast<int>(i - kGlobals));
  };
  auto name = [&](uint16_t v) {
    for (int i = 0; i < kGlobals; ++i)
      if (v == globals[i]) return "g" + std::to_string(i);
    return "l" + std::to_string(v - local(0));
  };
  auto emit = [&](std::string_view m, std::vector<Opnd> ops, const std::string& text) {
    b.op(m, std::move(ops));
    *listing += std::string(m) + " " + text + "\n";
  };
  auto push_operand = [&] {
    if (pick(3) == 0) {
      const uint16_t v = target();
      emit("push_var", {var(v)}, name(v));
    } else {
      const char* c = kPool[pick(std::size(kPool))];
      emit("push_const", {k(c)}, std::string("\"") + c + "\"");
    }
  };
  for (int s = 0; s < 80; ++s) {
    uint16_t t;
    switch (pick(6)) {
      case 0:
      case 1:
      case 2:
        push_operand();
        push_operand();
        emit(kBinary[pick(std::size(kBinary))], {}, "");
        t = target();
        emit("assign", {var(t)}, name(t));
        break;
      case 3:
        push_operand();
        emit(kUnary[pick(std::size(kUnary))], {}, "");
        t = target();
        emit("assign", {var(t)}, name(t));
        break;
      case 4:
        t = target();
        emit(pick(2) ? "incr" : "decr", {var(t)}, name(t));
        break;
      case 5: {
        push_operand();
        const char c = kCompound[pick(std::size(kCompound))];
        t = target();
        emit("compound_assign", {oper(c), var(t)}, std::string(1, c) + " " + name(t));
        break;
      }
    }
  }
  b.op("return");
  return b.finish();
}

struct Outcome {
  ErrorCode rc;
  std::vector<std::string> values;
  uint32_t heap_free;
  int32_t compactions;
  std::string check;
};

Outcome run_program(const std::vector<uint8_t>& image, uint16_t proc, const uint32_t (&slots)[kGlobals]) {
  Outcome o;
  o.rc = vm_call_image(image, proc, {});
  for (uint32_t s : slots) o.values.emplace_back(lstr_view(var_value(s)));
  o.values.emplace_back(lstr_view(var_value(1)));  // rc
  o.heap_free = var_slots.heap_free;
  o.compactions = var_slots.compactions;
  const char* c = var_check();
  o.check = c ? c : "";
  return o;
}

TEST_F(ValueForms, RandomProgramsSeeTheSameWithAndWithoutNumberForms) {
  int stopped = 0, compacted = 0;
  auto make_round = [&](std::mt19937& rng, int round) {
    // A small heap makes compactions and "Out of string space" common.
    const int32_t heap = round % 3 == 0 ? 20000 : 1200 + static_cast<int32_t>(rng() % 2000);
    auto image = std::make_shared<std::vector<uint8_t>>();
    auto proc = std::make_shared<uint16_t>(0);
    rounds::Round<Outcome> r;
    r.settings = "heap " + std::to_string(heap);
    r.run = [this, &rng, heap, image, proc](int forms, std::string* listing) {
      reset(200, heap);
      vm_number_forms = forms == 1;
      uint32_t slots[kGlobals];
      for (uint32_t& s : slots) s = static_cast<uint32_t>(var_alloc_global());
      // The same slots both times: one image serves both runs.
      if (forms == 0) *image = random_program(rng, slots, proc.get(), listing);
      return run_program(*image, *proc, slots);
    };
    return r;
  };
  rounds::run_rounds<Outcome>(
      3000, 2, make_round,
      [](const Outcome& first, const Outcome& other, int) {
        EXPECT_EQ(first.rc, other.rc);
        EXPECT_EQ(first.values, other.values);
        EXPECT_EQ(first.heap_free, other.heap_free);
        EXPECT_EQ(first.compactions, other.compactions);
        EXPECT_EQ(first.check, "");
        EXPECT_EQ(other.check, "");
      },
      [&](const Outcome& o) {
        stopped += o.rc != ERR_OK;
        compacted += o.compactions > 0;
      });
  // The programs reach the paths that matter.
  EXPECT_GT(stopped, 20);
  EXPECT_GT(compacted, 20);
}

// ---- the heap ---------------------------------------------------------------

// i = start; while (i < end) i = i + 1; g = i, with i a local.
std::vector<uint8_t> counting_loop(uint16_t* proc, uint16_t* g_link, uint32_t g, const char* start, const char* end) {
  ImageBuilder b;
  *g_link = b.global(static_cast<uint16_t>(g));
  *proc = b.proc(1, 0, 0);
  const Label top = b.new_label(), done = b.new_label();
  b.op("push_const", {k(start)});
  b.op("assign", {var(local(0))});
  b.bind(top);
  b.op("push_var", {var(local(0))});
  b.op("push_const", {k(end)});
  b.op("num_lt");
  b.op("jump_if_false", {jmp(done)});
  b.op("push_var", {var(local(0))});
  b.op("push_const", {k("1")});
  b.op("add");
  b.op("assign", {var(local(0))});
  b.op("jump", {jmp(top)});
  b.bind(done);
  b.op("push_var", {var(local(0))});
  b.op("assign", {var(*g_link)});
  b.op("return");
  return b.finish();
}

TEST_F(ValueForms, NumberAssignmentsLeaveTheHeapAlone) {
  const uint32_t g = static_cast<uint32_t>(var_alloc_global());
  uint16_t proc = 0, link = 0;
  const std::vector<uint8_t> image = counting_loop(&proc, &link, g, "10000000", "10000500");
  ASSERT_EQ(vm_call_image(image, proc, {}), ERR_OK);  // the blocks get their sizes
  const std::vector<uint8_t> heap = var_slots.heap;
  const uint32_t heap_free = var_slots.heap_free;
  ASSERT_EQ(vm_call_image(image, proc, {}), ERR_OK);
  EXPECT_EQ(var_slots.heap, heap);  // 500 iterations: not a byte written
  EXPECT_EQ(var_slots.heap_free, heap_free);
  EXPECT_EQ(value(g), "10000500");  // the text, made when it is read
  EXPECT_EQ(var_slots.heap_free, heap_free);

  // A number too long for its block gets a new one, as its text would.
  const uint32_t before = var_slots.heap_free;
  var_store_int(g, -2147483647);  // 11 bytes: a block of 12 + 12
  EXPECT_EQ(var_slots.heap_free, before + kBlockHeader + 12);
  EXPECT_EQ(value(g), "-2147483647");
  var_store_int(g, 5);  // fits: nothing allocated
  EXPECT_EQ(var_slots.heap_free, before + kBlockHeader + 12);
  EXPECT_EQ(value(g), "5");
  EXPECT_EQ(var_check(), nullptr);
}

TEST_F(ValueForms, FullHeapRefusesANumberAsItRefusesItsText) {
  // Globals get numbers of growing length until the heap is full: the same
  // point, values and compactions with number forms as with the text.
  Outcome out[2];
  for (int forms = 0; forms < 2; ++forms) {
    reset(400, 4000);
    vm_number_forms = forms == 1;
    ImageBuilder b;
    uint32_t slots[kGlobals];
    std::vector<uint16_t> links;
    for (int i = 0; i < 150; ++i) {
      const uint32_t g = static_cast<uint32_t>(var_alloc_global());
      if (i < kGlobals) slots[i] = g;
      links.push_back(b.global(static_cast<uint16_t>(g)));
    }
    const uint16_t p = b.proc(0, 0, 0);
    for (int i = 0; i < 150; ++i) {
      b.op("push_const", {k(std::string("1").append(static_cast<size_t>(i % 16), '0'))});
      b.op("assign", {var(links[static_cast<size_t>(i)])});
    }
    b.op("return");
    out[forms] = run_program(b.finish(), p, slots);
  }
  EXPECT_EQ(out[1].rc, ERR_OUT_OF_STRING_SPACE);
  EXPECT_EQ(out[0].rc, out[1].rc);
  EXPECT_EQ(out[0].values, out[1].values);
  EXPECT_EQ(out[0].heap_free, out[1].heap_free);
  EXPECT_GT(out[1].compactions, 0);
  EXPECT_EQ(out[0].compactions, out[1].compactions);
  EXPECT_EQ(out[1].check, "");
}

TEST_F(ValueForms, CompactionAndTheStateFileGetTheText) {
  state_attach_var_heap();
  const uint32_t a = static_cast<uint32_t>(var_alloc_global());
  const uint32_t b = static_cast<uint32_t>(var_alloc_global());
  var_store_int(a, -42);
  ASSERT_EQ(var_assign_num_at(var_index(b), VarNum{-5, 3}), ERR_OK);
  std::vector<uint8_t> rec2, rec6;
  ASSERT_TRUE(state_var_hooks().save(rec2, rec6));  // compacts first: the texts go into the heap
  EXPECT_EQ(var_check(), nullptr);
  reset();
  ASSERT_EQ(state_var_hooks().restore(rec2, rec6), 0);
  EXPECT_EQ(value(a), "-42");
  EXPECT_EQ(value(b), "-0.005");
  EXPECT_EQ(var_check(), nullptr);
}

}  // namespace

// Extension libraries: a library of the tests' own is loaded with dlopen,
// declares its functions through the editor API table, and macros call them
// with every argument type, one of them calling back into the editor.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "macro/dll.h"
#include "macro/names.h"
#include "tests/macro/bytecode_builder.h"
#include "tests/macro/key_fixture.h"

namespace {

class DllTest : public keytest::KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    keytest::Mod mod = keytest::editor_module();
    boot(mod);
  }
  void TearDown() override {
    dll_unload_all();
    KeyTest::TearDown();
  }
  // Calls the named function with constant arguments (an argument "&" makes
  // a reference to the global `ref_`); the value it gives and the run's code.
  struct Out {
    std::string value;
    ErrorCode rc;
  };
  Out call_fn(const std::string& name, const std::vector<std::string>& args) {
    const uint32_t index = name_find(name, NF_CALLABLE);
    EXPECT_NE(index, 0u) << name;
    bc::ImageBuilder b;
    const auto slot = static_cast<uint16_t>(var_alloc_global());
    const uint16_t g = b.global(slot);
    const uint16_t r = b.global(ref_slot_);
    const uint16_t p = b.proc(0, 0, 0);
    for (const std::string& a : args) {
      if (a == "&")
        b.op("push_ref", {bc::var(r)});
      else
        b.op("push_const", {bc::k(a)});
    }
    b.op("push_const", {bc::k(std::to_string(index))});
    b.op("call_index", {bc::cnt(static_cast<int>(args.size()) + 1)});
    if (!(name_entry(index)->flags & NF_COMMAND)) b.op("assign", {bc::var(g)});
    b.op("return");
    image_ = b.finish();
    const ErrorCode rc = vm_call_image(image_, p, {});
    return {std::string(lstr_view(var_value(slot))), rc};
  }
  uint16_t ref_slot_ = static_cast<uint16_t>(var_alloc_global());
  std::vector<uint8_t> image_;
};

TEST_F(DllTest, DeclarationsMakeEntriesWithTheirTypes) {
  ASSERT_EQ(dll_load(ZVX_TEST_DLL, 'L'), 0);
  const uint32_t module = name_find("libzvx_test_dll.so", NF_DLL_MODULE);
  ASSERT_NE(module, 0u);
  struct Case {
    const char* name;
    uint32_t kind;
  };
  for (const Case& c : {Case{"add_two", NF_PROC}, Case{"set-it", NF_COMMAND}, Case{"sum14", NF_PROC}}) {
    const uint32_t i = name_find(c.name, NF_CALLABLE);
    ASSERT_NE(i, 0u) << c.name;
    EXPECT_EQ(name_entry(i)->flags & (NF_DLL_FUNC | NF_CALLABLE), NF_DLL_FUNC | c.kind) << c.name;
    EXPECT_EQ(name_entry(i)->data >> 16, module) << c.name;
  }
  EXPECT_EQ(name_info(name_find("set_it", NF_COMMAND)), "Sets a variable,1");
  // Loading again declares the same functions once more, without duplicates.
  ASSERT_EQ(dll_load(ZVX_TEST_DLL, 'L'), 0);
  EXPECT_NE(name_find("add_two", NF_CALLABLE), 0u);
  EXPECT_EQ(name_next("add_two", name_find("add_two", NF_CALLABLE), NF_CALLABLE), 0u);
}

TEST_F(DllTest, CallsConvertEveryTypeAndCallBack) {
  ASSERT_EQ(dll_load(ZVX_TEST_DLL, 'L'), 0);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string want;
  };
  const Case cases[] = {
      {"add_two", {"40", "2"}, "42"},
      {"add_two", {"-5", "2"}, "-3"},
      {"greet", {"world"}, "hello world"},
      {"lstr_len", {std::string("a\0b", 3)}, "3"},
      {"twice_var", {"21"}, "42"},      // the library reads the value through the table
      {"minus_one", {}, "4294967295"},  // long comes back unsigned
      {"sum14", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"}, "105"},
      {"add_two", {"1", "2", "99"}, "3"},  // extra arguments are dropped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Out o = call_fn(c.name, c.args);
    EXPECT_EQ(o.rc, ERR_OK);
    EXPECT_EQ(o.value, c.want);
  }
  // A command that writes the caller's variable through the table.
  EXPECT_EQ(call_fn("set_it", {"&", "written"}).rc, ERR_OK);
  EXPECT_EQ(std::string(lstr_view(var_value(ref_slot_))), "written");
  EXPECT_EQ(rc(), "0");
}

TEST_F(DllTest, FailuresGiveTheirCodes) {
  EXPECT_EQ(dll_load("/nonexistent/libnothing.so", 'L'), -2);
  ASSERT_EQ(dll_load(ZVX_TEST_DLL, 'L'), 0);
  EXPECT_EQ(call_fn("add_two", {"1"}).rc, ERR_PROCEDURE_NEEDS_ARGUMENTS);
  EXPECT_EQ(call_fn("set_it", {"plain", "x"}).rc, ERR_INVALID_CALL_BY_REFERENCE);
  EXPECT_EQ(call_fn("not_in_the_library", {}).rc, -3058);
  // A declaration naming a library that does not exist: the call cannot load it.
  EXPECT_EQ(dll_declare("_command nolib:cmd()", nullptr, 0), 0);
  EXPECT_NE(name_find("nolib.dll", NF_DLL_MODULE), 0u);
  EXPECT_EQ(call_fn("cmd", {}).rc, -3055);
}

TEST_F(DllTest, DeclarationErrors) {
  struct Case {
    const char* decl;
    int32_t want;
  };
  const std::string fourteen = "int f14(int,int,int,int,int,int,int,int,int,int,int,int,int,int)";
  const std::string fifteen = "int f15(int,int,int,int,int,int,int,int,int,int,int,int,int,int,int)";
  const Case cases[] = {
      {"INT f()", -3061},    {"int f(INT)", -3061},    {"", -3064},
      {fourteen.c_str(), 0}, {fifteen.c_str(), -3064}, {"int no_parens", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.decl);
    EXPECT_EQ(dll_declare(c.decl, nullptr, 0), c.want);
  }
  EXPECT_EQ(name_find("f15", NF_CALLABLE), 0u);  // a failed declaration makes no entry
}

// A library that calls every operation of the table gets an answer from
// each. The runtime's own work on the current window, its variables and
// files; the window, message and command-line ones belong to the layers
// above (their answers are proven through the editor and the contracts).
TEST_F(DllTest, EveryEntryOfTheTableAnswers) {
  editor("one\ntwo\nthree\n");
  ASSERT_EQ(dll_load(ZVX_TEST_DLL, 'L'), 0);
  call_fn("roundtrip", {"&", dir_.file("scratch.bin")});
  const std::string report(lstr_view(var_value(ref_slot_)));
  std::map<int, std::string> got;
  std::istringstream lines(report);
  for (std::string l; std::getline(lines, l);) got[std::stoi(l.substr(1))] = l.substr(l.find('=') + 1);
  EXPECT_EQ(got.size(), static_cast<size_t>(kDllApiEntries)) << report;
  const std::map<int, std::string> want = {
      {0, "0"},       {28, "0"},          {32, "8 inserted"}, {36, "3 one"},     {48, "found"},
      {56, ""},       {64, "41"},         {68, "by"},         {72, "18"},        {80, "popped"},
      {88, "0"},      {92, "0"},          {96, "0"},          {100, "0"},        {104, "opened"},
      {116, "6"},     {120, "2"},         {112, "3 cde"},     {108, "0"},        {176, "set by the library"},
      {180, "2"},     {184, "allocated"}, {188, "released"},  {192, "replaced"}, {196, "0"},
      {200, "shown"},
  };
  for (const auto& [offset, answer] : want) EXPECT_EQ(got[offset], answer) << "+" << offset;
  std::ifstream written(dir_.file("scratch.bin"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "abcdef");
}

TEST(DllApiTable, EveryWordButTheEmptyOnesHoldsAnOperation) {
  const ApiVector& t = dll_api_table();
  static_assert(offsetof(ApiVector, prompt) == 11 * 8 && offsetof(ApiVector, var_slot) == 43 * 8 &&
                offsetof(ApiVector, set_property_int2) == 52 * 8);
  const auto* words = reinterpret_cast<const void* const*>(&t);
  for (int k = 0; k < 53; ++k) {
    const bool empty = k == 13 || (k >= 31 && k <= 42);  // +52 and +124..+168 carry nothing
    EXPECT_EQ(words[k] == nullptr, empty) << "+" << 4 * k;
  }
  // The wiring check's names: one per word that holds an operation, each
  // naming its own word.
  std::set<int> offsets;
  for (int i = 0; i < kDllApiEntries; ++i) {
    const DllApiEntry& e = dll_api_entries()[i];
    const int offset = std::atoi(e.name + 1);
    offsets.insert(offset);
    EXPECT_EQ(words[offset / 4], e.address) << e.name;
  }
  EXPECT_EQ(offsets.size(), static_cast<size_t>(kDllApiEntries));
}

}  // namespace

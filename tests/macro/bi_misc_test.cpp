// The environment copy and its built-ins, and peek and poke, run as byte
// code: values, rc and raised codes, the order of the copy's entries, the
// shared enumeration cursor, and that the process environment itself is
// never edited.
#include "macro/bi_misc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/os.h"
#include "tests/macro/builtin_fixture.h"

namespace {

using bitest::Out;

class MiscBi : public bitest::BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    ::setenv("ZVXT_ONE", "1", 1);
    ::setenv("ZVXT_TWO", "2", 1);
    ::unsetenv("ZVXT_NEW");
    ASSERT_EQ(env_copy(), ERR_OK);
    poke_area_reset();
  }
  void TearDown() override {
    env_drop_copy();
    ::unsetenv("ZVXT_ONE");
    ::unsetenv("ZVXT_TWO");
    BuiltinTest::TearDown();
  }
  // The copy's entries, in order, that begin with prefix.
  static std::vector<std::string> entries(const std::string& prefix) {
    std::vector<std::string> out;
    for (char** e = env_block(); *e; ++e)
      if (std::strncmp(*e, prefix.c_str(), prefix.size()) == 0) out.emplace_back(*e);
    return out;
  }
};

struct Step {
  const char* mnemonic;
  std::vector<std::string> args;
  ErrorCode raised;
  const char* rc;
  const char* value;  // null: nothing pushed
};

TEST_F(MiscBi, GetsSetsAndRemovesVariables) {
  const Step steps[] = {
      {"get_env", {"ZVXT_ONE"}, 0, "0", "1"},
      // Names compare exactly: a trailing blank or another case finds nothing.
      {"get_env", {"ZVXT_ONE "}, 0, "-3022", ""},
      {"get_env", {"zvxt_one"}, 0, "-3022", ""},
      {"get_env", {"ZVXT_NEW"}, 0, "-3022", ""},
      {"set_env", {"ZVXT_NEW", "fresh value"}, 0, "0", nullptr},
      {"get_env", {"ZVXT_NEW"}, 0, "0", "fresh value"},
      // Replacing: the old entry goes, the new one is appended.
      {"set_env", {"ZVXT_ONE", "uno"}, 0, "0", nullptr},
      {"get_env", {"ZVXT_ONE"}, 0, "0", "uno"},
      // An empty value is a value; no value removes.
      {"set_env", {"ZVXT_TWO", ""}, 0, "0", nullptr},
      {"get_env", {"ZVXT_TWO"}, 0, "0", ""},
      {"set_env", {"ZVXT_TWO"}, 0, "0", nullptr},
      {"get_env", {"ZVXT_TWO"}, 0, "-3022", ""},
      // Removing what is not there is no error.
      {"set_env", {"ZVXT_TWO"}, 0, "0", nullptr},
      // Refused: names that would read back as another variable or none.
      {"set_env", {"", "x"}, ERR_INVALID_ARGUMENT, "-3015", nullptr},
      {"set_env", {"A=B", "x"}, ERR_INVALID_ARGUMENT, "-3015", nullptr},
      {"set_env", {}, ERR_INVALID_ARGUMENT, "-3015", nullptr},
      {"set_env", {"A", "B", "C"}, ERR_INVALID_ARGUMENT, "-3015", nullptr},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.mnemonic) + " " + (s.args.empty() ? "" : s.args[0]));
    Out o = call(s.mnemonic, s.args);
    EXPECT_EQ(o.raised, s.raised);
    EXPECT_EQ(o.rc, s.rc);
    if (s.value) {
      EXPECT_EQ(o.value, s.value);
    }
  }
  EXPECT_EQ(entries("ZVXT_"), (std::vector<std::string>{"ZVXT_NEW=fresh value", "ZVXT_ONE=uno"}));
  // The process environment is left alone; lookups of the file layer and
  // what children get follow the copy.
  EXPECT_STREQ(std::getenv("ZVXT_ONE"), "1");
  EXPECT_EQ(std::getenv("ZVXT_NEW"), nullptr);
  EXPECT_STREQ(os_env_get("ZVXT_ONE"), "uno");
  EXPECT_EQ(os_env_get("ZVXT_TWO"), nullptr);
}

TEST_F(MiscBi, EnumeratesNamesThatMatchAsPrefixesInArrayOrder) {
  for (const char* n : {"ZVXQB", "ZVXQ", "ZVXQA", "ZVXR"}) ASSERT_EQ(env_set(n, "v"), ERR_OK);
  // "ZVXQ" matches ZVXQB, ZVXQ and ZVXQA (in the order they were set) and
  // nothing else; then -3022 until a restart.
  std::vector<std::string> seen;
  Out o = call("get_env_name", {"ZVXQ", "1"});
  while (o.rc == "0") {
    seen.push_back(o.value);
    o = call("get_env_name", {"ZVXQ", "0"});
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"ZVXQB", "ZVXQ", "ZVXQA"}));
  EXPECT_EQ(o.value, "");
  EXPECT_EQ(o.rc, "-3022");
  EXPECT_EQ(call("get_env_name", {"ZVXQ", "0"}).rc, "-3022");
  // A longer prefix matches a variable whose name is its beginning.
  Out l = call("get_env_name", {"ZVXQBXYZ", "1"});
  EXPECT_EQ(l.value, "ZVXQB");
  EXPECT_EQ(l.rc, "0");
  // Removing an entry behind the cursor does not skip the next one.
  EXPECT_EQ(call("get_env_name", {"ZVXQ", "1"}).value, "ZVXQB");
  ASSERT_EQ(env_set("ZVXQB", nullptr), ERR_OK);
  EXPECT_EQ(call("get_env_name", {"ZVXQ", "0"}).value, "ZVXQ");
  Out bad = call("get_env_name", {"ZVXQ", "yes"});
  EXPECT_EQ(bad.raised, ERR_INVALID_NUMBER_ARGUMENT);
}

// Many sets and removals, against a model of the array: a list of entries
// in order, where a change removes the old entry and appends the new one.
// Removals leave holes that are squeezed out from time to time; the order,
// the lookups and the enumeration cursor must not notice.
TEST_F(MiscBi, ManyChangesKeepTheOrderLookupsAndCursorOfTheModel) {
  const unsigned seed = 5101;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  std::vector<std::pair<std::string, std::string>> model;  // the ZVXM entries, in order
  auto find = [&](const std::string& n) {
    return std::find_if(model.begin(), model.end(), [&](const auto& e) { return e.first == n; });
  };
  for (int step = 0; step < 20000; ++step) {
    const std::string name = "ZVXM" + std::to_string(rng() % 300);
    const bool remove = rng() % 3 == 0;
    const std::string value = std::to_string(step);
    ASSERT_EQ(env_set(name.c_str(), remove ? nullptr : value.c_str()), ERR_OK);
    if (auto it = find(name); it != model.end()) model.erase(it);
    if (!remove) model.emplace_back(name, value);
    if (step % 997 == 0) {
      std::vector<std::string> want;
      for (const auto& [n, v] : model) want.push_back(n + "=" + v);
      ASSERT_EQ(entries("ZVXM"), want) << "step " << step;
    }
    const std::string probe = "ZVXM" + std::to_string(rng() % 300);
    const auto it = find(probe);
    const char* got = env_get(probe.c_str());
    ASSERT_EQ(got != nullptr, it != model.end()) << probe;
    if (got) {
      ASSERT_EQ(std::string(got), it->second);
    }
  }
  // An enumeration half-way goes on with its next entry after many
  // removals squeeze the holes out behind it.
  for (int i = 0; i < 300; ++i) ASSERT_EQ(env_set(("ZVXM" + std::to_string(i)).c_str(), nullptr), ERR_OK);
  for (const char* n : {"ZVXPA", "ZVXPB", "ZVXPC"}) ASSERT_EQ(env_set(n, "v"), ERR_OK);
  EXPECT_EQ(call("get_env_name", {"ZVXP", "1"}).value, "ZVXPA");
  for (int i = 0; i < 1000; ++i) {
    const std::string n = "ZVXS" + std::to_string(i);
    ASSERT_EQ(env_set(n.c_str(), "x"), ERR_OK);
    ASSERT_EQ(env_set(n.c_str(), nullptr), ERR_OK);
  }
  EXPECT_EQ(call("get_env_name", {"ZVXP", "0"}).value, "ZVXPB");
  EXPECT_EQ(call("get_env_name", {"ZVXP", "0"}).value, "ZVXPC");
  EXPECT_EQ(call("get_env_name", {"ZVXP", "0"}).rc, "-3022");
  EXPECT_EQ(entries("ZVXM"), std::vector<std::string>{});
}

TEST_F(MiscBi, ChangesBeforeAnyCopyMakeOneAndLeaveTheProcessAlone) {
  env_drop_copy();
  EXPECT_EQ(env_copy_count(), -1);
  EXPECT_EQ(env_block(), environ);
  EXPECT_STREQ(env_get("ZVXT_ONE"), "1");
  EXPECT_EQ(call("set_env", {"ZVXT_ONE"}).rc, "0");
  EXPECT_GE(env_copy_count(), 0);
  EXPECT_NE(env_block(), environ);
  EXPECT_EQ(env_get("ZVXT_ONE"), nullptr);
  EXPECT_STREQ(std::getenv("ZVXT_ONE"), "1");
}

struct PeekCase {
  std::vector<std::string> args;
  ErrorCode raised;
  std::string value;
};

TEST_F(MiscBi, PeekAndPokeWorkOnAPrivateArea) {
  EXPECT_EQ(call("poke", {"100", "abc"}).raised, 0);
  EXPECT_EQ(call("poke", {"65533", "xyz"}).raised, 0);  // ends exactly at the end
  const PeekCase cases[] = {
      {{"100", "3"}, 0, "abc"},
      {{"99", "5"}, 0, std::string("\0abc\0", 5)},
      {{"65533", "10"}, 0, "xyz"},  // cut at the end of the area
      {{"100", "-5"}, 0, ""},
      {{"2000", "5000"}, 0, std::string(1024, '\0')},  // at most 1024 bytes
      {{"-1", "1"}, ERR_INVALID_ARGUMENT, ""},
      {{"65536", "1"}, ERR_INVALID_ARGUMENT, ""},
      {{"x", "1"}, ERR_INVALID_NUMBER_ARGUMENT, ""},
      {{"1", "1.5"}, ERR_INVALID_NUMBER_ARGUMENT, ""},
  };
  for (const PeekCase& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    Out o = call("peek", c.args);
    EXPECT_EQ(o.raised, c.raised);
    EXPECT_EQ(o.value, c.value);
  }
  // A write that does not fit whole writes nothing.
  EXPECT_EQ(call("poke", {"65534", "abc"}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(call("peek", {"65533", "3"}).value, "xyz");
  EXPECT_EQ(call("poke", {"-2", "a"}).raised, ERR_INVALID_ARGUMENT);
  EXPECT_EQ(call("poke", {"q", "a"}).raised, ERR_INVALID_NUMBER_ARGUMENT);
}

}  // namespace

// The path built-in as byte code: each letter gives the path start-up
// kept for it, a missing or empty letter the program path, and anything
// else -3015.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/colours.h"
#include "macro/startup.h"
#include "tests/forms/forms_fixture.h"

namespace {

class PathBuiltin : public formstest::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    ASSERT_TRUE(display_register_opcodes(vm_dispatch));
    saved = startup_paths();
    StartupPaths& p = startup_paths();
    p.program = "/opt/zvx/bin/zorvex";
    p.state = "/home/u/.zorvex/zorvex.stu";
    p.restore = "/home/u/.zorvex/zrestore.zvx";
    p.install = "/opt/zvx/bin/";
    p.instance = "Zorvex";
  }
  void TearDown() override {
    startup_paths() = saved;
    FormsTest::TearDown();
  }
  StartupPaths saved;
};

TEST_F(PathBuiltin, EachLetterGivesItsPath) {
  struct Row {
    std::vector<std::string> args;
    const char* value;
  };
  // columns: arguments, the path pushed
  const Row rows[] = {
      {{}, "/opt/zvx/bin/zorvex"},
      {{"E"}, "/opt/zvx/bin/zorvex"},
      {{""}, "/opt/zvx/bin/zorvex"},  // an empty letter keeps the default
      {{"S"}, "/home/u/.zorvex/zorvex.stu"},
      {{"R"}, "/home/u/.zorvex/zrestore.zvx"},
      {{"P"}, "/opt/zvx/bin/"},
      {{"V"}, "Zorvex"},
      {{"s"}, "/home/u/.zorvex/zorvex.stu"},          // any case
      {{" p "}, "/opt/zvx/bin/"},                     // blanks around it
      {{"Restore"}, "/home/u/.zorvex/zrestore.zvx"},  // the first letter counts
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args.empty() ? std::string("(none)") : r.args[0]);
    bitest::Out o = call("path_by_letter", r.args);
    EXPECT_EQ(0, o.raised);
    EXPECT_EQ(r.value, o.value);
  }
}

TEST_F(PathBuiltin, NoRestoreFileGivesAnEmptyPathAndTheNameStopsAtItsNul) {
  startup_paths().restore.clear();
  EXPECT_EQ("", call("path_by_letter", {"R"}).value);
  startup_paths().instance = std::string("Zorvex 2\0junk", 13);
  EXPECT_EQ("Zorvex 2", call("path_by_letter", {"V"}).value);
}

TEST_F(PathBuiltin, OtherLettersAndExtraArgumentsRaiseInvalidArgument) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"X"}, {"1"}, {"-"}, {"E", "S"}}) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " +1" : ""));
    bitest::Out o = call("path_by_letter", args);
    EXPECT_EQ(ERR_INVALID_ARGUMENT, o.raised);
    EXPECT_NE("/opt/zvx/bin/zorvex", o.value) << "no path pushed on an error";
  }
}

}  // namespace

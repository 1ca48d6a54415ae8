// Menu resources written in the macro source: zozu's menu blocks become
// templates of menu records that load with their module, survive the state
// file, and the default state's frame menu takes its key texts from the
// key table, so a rebound key shows beside its item.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "forms/menu_res.h"
#include "forms/templates.h"
#include "macro/code_cache.h"
#include "macro/command_exec.h"
#include "macro/name_pool.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "macro/state.h"
#include "tests/forms/forms_fixture.h"
#include "tools/zozu/zozu.h"

namespace {

using bitest::ScratchDir;
using bitest::write_file;

// One record of a menu resource as the tests compare it.
struct Rec {
  uint16_t type;
  std::string caption, command, categories, help, help_command;
  uint32_t enabled;
  bool operator==(const Rec&) const = default;
};
void PrintTo(const Rec& r, std::ostream* os) {
  *os << "{" << r.type << " \"" << r.caption << "\" \"" << r.command << "\" \"" << r.categories << "\" \"" << r.help
      << "\" \"" << r.help_command << "\" " << r.enabled << "}";
}

class MenuSource : public formstest::TemplatesTest {
 protected:
  int32_t load_source(const std::string& source) {
    std::vector<uint8_t> bytes;
    std::vector<ZozuDiag> diags;
    EXPECT_TRUE(zozu_assemble("m.zs", source, bytes, diags)) << (diags.empty() ? "" : diags[0].message);
    const std::string path = dir_ / "m.ex";
    write_file(path, std::string(bytes.begin(), bytes.end()));
    return state_read(path, nullptr, nullptr);
  }
  // The records in a depth-first walk from the menu record of `index`.
  std::vector<Rec> walk(uint32_t index) {
    std::vector<PropertyBlock> recs;
    EXPECT_TRUE(tpl_read_all(index, &recs));
    std::vector<Rec> out;
    std::vector<bool> seen(recs.size());
    visit(recs, 0, seen, out);
    return out;
  }
  void visit(const std::vector<PropertyBlock>& recs, uint32_t r, std::vector<bool>& seen, std::vector<Rec>& out) {
    if (r >= recs.size() || seen[r]) return;
    seen[r] = true;
    const PropertyBlock& b = recs[r];
    out.push_back({b.type, std::string(tpl_string(b, 29)), std::string(tpl_string(b, 92)),
                   std::string(tpl_string(b, 94)), std::string(tpl_string(b, 93)), std::string(tpl_string(b, 162)),
                   r == 0 ? 1u : prop_get_field(b, 2)});
    if (!b.child) return;
    uint32_t c = b.child;
    do {
      visit(recs, c, seen, out);
      c = recs[c].next;
    } while (c != b.child && c < recs.size());
  }
  // The caption of the first item whose command starts with `command`.
  std::string caption_of(uint32_t index, const std::string& command) {
    for (const Rec& r : walk(index))
      if (r.type == kObjMenuItem && r.command.rfind(command, 0) == 0) return r.caption;
    return "(none)";
  }
  ScratchDir dir_;
};

constexpr const char* kMenuSource = R"(proc main()
  return
end

menu "tools"
  submenu "&File" help "Files"
    item "&Open" "open-file" categories "file|disk" help "Opens a file" help-command "help-on open"
    separator
    item "E&xit" "quit"
  end
  item "&About" "about"
end
)";

TEST_F(MenuSource, MenuBlocksBecomeMenuRecordsThatTheStateFileKeeps) {
  ASSERT_EQ(load_source(kMenuSource), 0);
  const uint32_t h = name_find("tools", NF_TEMPLATE);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(name_type(h) >> 11 & 0x1F, uint32_t(kObjMenu));
  EXPECT_TRUE(menu_resource_is_menu(h));
  const std::vector<Rec> want = {
      {kObjMenu, "", "", "", "", "", 1},
      {kObjMenu, "&File", "", "", "Files", "", 1},
      {kObjMenuItem, "&Open", "open-file", "file|disk", "Opens a file", "help-on open", 1},
      {kObjMenuItem, "-", "", "", "", "", 1},
      {kObjMenuItem, "E&xit", "quit", "", "", "", 1},
      {kObjMenuItem, "&About", "about", "", "", "", 1},
  };
  EXPECT_EQ(walk(h >> 16), want);

  // Through the state file, categories included, then as a live menu.
  const std::string stu = dir_ / "t.stu";
  ASSERT_EQ(state_write(stu), 0);
  ASSERT_EQ(name_pool_init(), 0);
  state_reset_read_flag();
  ASSERT_EQ(state_read(stu, nullptr, nullptr), 0);
  const uint32_t again = name_find("tools", NF_TEMPLATE);
  ASSERT_NE(again, 0u);
  EXPECT_EQ(walk(again >> 16), want);
}

TEST_F(MenuSource, MalformedMenuBlocksAreRefusedWithTheirLine) {
  struct Case {
    const char* source;
    int line;
    const char* message;
  };
  const Case cases[] = {
      {"menu\nend\n", 1, "menu needs a name string"},
      {"menu \"m\"\n  item \"&Open\"\nend\n", 2, "item needs a caption and a command string"},
      {"menu \"m\"\n  item \"a\" \"b\" colour \"red\"\nend\n", 2, "expected categories, help or help-command"},
      {"menu \"m\"\n  item \"a\" \"b\" help\nend\n", 2, "expected categories, help or help-command"},
      {"menu \"m\"\n  submenu\n  end\nend\n", 2, "submenu needs a caption string"},
      {"menu \"m\"\n  prop caption \"x\"\nend\n", 2, "in a menu: submenu, item, separator or end"},
      {"menu \"m\"\n  submenu \"a\"\n    item \"b\" \"c\"\nend\n", 1, "menu without end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    std::vector<uint8_t> out;
    std::vector<ZozuDiag> diags;
    EXPECT_FALSE(zozu_assemble("f.zs", c.source, out, diags));
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ(diags[0].line, c.line);
    EXPECT_NE(diags[0].message.find(c.message), std::string::npos) << diags[0].message;
  }
}

// The default state's frame menu: every item's key text is the key bound
// to one of its commands in "default-keys"; rebinding a key moves it.
TEST_F(MenuSource, TheDefaultFrameMenusKeyTextsFollowTheKeyTable) {
  names_attach_vm();  // macros of the state run from the names table
  state_reset_read_flag();
  ASSERT_EQ(state_read(std::string(ZVX_BINARY_DIR) + "/app/zorvex.stu", nullptr, nullptr), 0);
  const uint32_t res = name_find("frame-menu", NF_TEMPLATE);
  ASSERT_NE(res, 0u) << "the state holds the frame's menu";
  const uint32_t index = res >> 16;
  const std::string handle = std::to_string(res);
  const std::string_view args[] = {handle, "0"};
  auto key_texts = [&] {
    vmtest::shown.clear();
    ASSERT_EQ(cmd_call_name_on_object(frame(), "menu-key-texts", false, args), 0);
    for (auto& e : vmtest::shown) ADD_FAILURE() << "shown " << e.code;
  };

  EXPECT_EQ(caption_of(index, "new-file"), "&New") << "no key text in the source";
  key_texts();
  struct Case {
    const char* command;
    const char* caption;
  };
  const Case bound[] = {
      {"new-file", "&New\tCtrl+N"},
      {"save-file", "&Save\tCtrl+S"},  // Ctrl+S before F2
      {"prompt-command save-as", "Save &As...\tShift+F2"},
      {"prompt-command open-file", "&Open...\tCtrl+O"},
      {"prompt-command go-to-line", "&Go To Line...\tCtrl+G"},
      {"search-again", "Find &Next\tF5"},
      {"help-key", "&Contents\tF1"},
      {"prompt-command replace-text", "&Replace..."},  // no key runs it
      {"tile-windows V", "Tile &Vertically"},
  };
  for (const Case& c : bound) EXPECT_EQ(caption_of(index, c.command), c.caption) << c.command;

  // Ctrl+N no longer makes a new file, Ctrl+K does; F1 runs New too.
  const uint32_t keys = name_find("default-keys", NF_EVENT_TABLE);
  ASSERT_NE(keys, 0u);
  const std::string table = std::to_string(keys), new_file = std::to_string(name_find("new-file", NF_COMMAND));
  auto index_of = [&](char key) { return call("event2index", {std::string(1, key)}).value; };
  ASSERT_EQ(call("set_eventtab_index", {table, index_of('\x0e'), "0"}).rc, "0");
  ASSERT_EQ(call("set_eventtab_index", {table, index_of('\x0b'), new_file}).rc, "0");
  key_texts();
  EXPECT_EQ(caption_of(index, "new-file"), "&New\tCtrl+K");
  EXPECT_EQ(caption_of(index, "save-file"), "&Save\tCtrl+S") << "the others stay";
  EXPECT_EQ(caption_of(index, "quit"), "E&xit\tCtrl+Q");
}

}  // namespace

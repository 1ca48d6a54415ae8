#include "macro/opcodes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/macro/vm_fixture.h"

namespace {

void op_dummy_a() {}
void op_dummy_b() {}

std::string name(OpcodeSlot s) { return std::string(opcode_info(s.ext, s.slot).mnemonic); }

OpHandler bound(const OpcodeDispatch& d, OpcodeSlot s) { return (s.ext ? d.ext : d.main)[s.slot]; }

TEST(Opcodes, SlotsWithoutAFunctionBelongToNoLayer) {
  std::set<int> main_none, ext_none;
  for (const auto& r : kMainOpcodes)
    if (!opcode_has_function(r)) main_none.insert(r.slot);
  for (const auto& r : kExtOpcodes)
    if (!opcode_has_function(r)) ext_none.insert(r.slot);
  EXPECT_EQ(main_none, (std::set<int>{109, 114, 123}));
  std::set<int> want;
  for (int s = 0; s <= 13; ++s) want.insert(s);
  for (int s = 43; s <= 99; ++s) want.insert(s);
  want.insert(222);
  EXPECT_EQ(ext_none, want);
}

TEST(Opcodes, AnEmptyDispatchRunsOpIllegalEverywhere) {
  const OpcodeDispatch d;
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(d.main[b], op_illegal) << b;
    EXPECT_EQ(d.ext[b], op_illegal) << b;
  }
}

// Registration is all or nothing: a refused span leaves the dispatch as it
// was, and the result names the first binding refused.
TEST(Opcodes, RegistrationRefusesTakenForeignAndEmptyBindings) {
  const OpcodeSlot add = opcode_slot("add"), sub = opcode_slot("sub");
  const OpcodeSlot message = opcode_slot("message");       // a display built-in
  const OpcodeSlot illegal = opcode_slot("illegal_m109");  // no function
  const OpcodeSlot spell = opcode_slot("spell_check");     // a services built-in, ext
  struct Case {
    const char* what;
    Layer layer;
    std::vector<OpcodeBinding> span;
    BindFault fault;
    OpcodeSlot at;
  };
  const Case cases[] = {
      {"slot taken before", Layer::Macro, {{sub, op_dummy_a}, {add, op_dummy_b}}, BindFault::Taken, add},
      {"slot named twice", Layer::Macro, {{sub, op_dummy_a}, {sub, op_dummy_b}}, BindFault::Taken, sub},
      {"another layer's slot",
       Layer::Macro,
       {{sub, op_dummy_a}, {message, op_dummy_b}},
       BindFault::OtherLayer,
       message},
      {"macro's slot from display", Layer::Display, {{sub, op_dummy_a}}, BindFault::OtherLayer, sub},
      {"a slot without a function", Layer::Macro, {{illegal, op_dummy_a}}, BindFault::OtherLayer, illegal},
      {"layer None", Layer::None, {{illegal, op_dummy_a}}, BindFault::OtherLayer, illegal},
      {"ext slot of services from forms", Layer::Forms, {{spell, op_dummy_a}}, BindFault::OtherLayer, spell},
      {"null handler", Layer::Macro, {{sub, nullptr}}, BindFault::NoHandler, sub},
      {"op_illegal as handler", Layer::Macro, {{sub, op_illegal}}, BindFault::NoHandler, sub},
  };
  for (const auto& c : cases) {
    OpcodeDispatch d;
    const OpcodeBinding first[] = {{add, op_dummy_a}};
    ASSERT_TRUE(opcodes_register(d, Layer::Macro, first));
    const OpcodeDispatch before = d;
    const BindResult r = opcodes_register(d, c.layer, c.span);
    EXPECT_EQ(r.fault, c.fault) << c.what;
    EXPECT_EQ(name(r.at), name(c.at)) << c.what;
    EXPECT_EQ(d.main, before.main) << c.what;
    EXPECT_EQ(d.ext, before.ext) << c.what;
  }
}

TEST(Opcodes, EachLayerFillsItsOwnSlots) {
  OpcodeDispatch d;
  const OpcodeBinding display[] = {{opcode_slot("message"), op_dummy_a}};
  const OpcodeBinding services[] = {{opcode_slot("spell_check"), op_dummy_b}};
  ASSERT_TRUE(macro_register_opcodes(d));
  ASSERT_TRUE(opcodes_register(d, Layer::Display, display));
  ASSERT_TRUE(opcodes_register(d, Layer::Services, services));
  EXPECT_EQ(bound(d, opcode_slot("message")), op_dummy_a);
  EXPECT_EQ(bound(d, opcode_slot("spell_check")), op_dummy_b);
  // The macro layer registers once; a second start-up registration is caught.
  const OpcodeDispatch before = d;
  const BindResult again = macro_register_opcodes(d);
  EXPECT_EQ(again.fault, BindFault::Taken);
  EXPECT_EQ(d.main, before.main);
  opcodes_clear(d);
  EXPECT_EQ(d.main, OpcodeDispatch{}.main);
  EXPECT_TRUE(macro_register_opcodes(d));
}

class Registered : public vmtest::VmTest {};

// What the macro library has built, grouped as the built-ins are described:
// after start-up registration each of these slots has its handler.
TEST_F(Registered, EveryBuiltSlotHasItsHandler) {
  const std::vector<std::string_view> built = {
      // calls and returns
      "call_index",
      "return_rc",
      "return_value",
      "return",
      "call_link",
      "proc_module",
      "ext",
      // jumps, loops, case tests, stop and error-catch blocks
      "jump",
      "jump_if_true",
      "jump_if_false",
      "stop",
      "case_jump_ne",
      "case_jump_eq",
      "for_begin",
      "for_step",
      "for_end",
      "error_pos",
      "catch_end",
      "catch_begin",
      "catch_value",
      // the language core
      "push_ref",
      "push_var",
      "push_const",
      "concat",
      "concat_swapped",
      "add",
      "sub",
      "sub_swapped",
      "div",
      "mul",
      "div_swapped",
      "idiv",
      "idiv_swapped",
      "mod",
      "mod_swapped",
      "pow",
      "pow_swapped",
      "or",
      "and",
      "num_eq",
      "num_ne",
      "num_lt",
      "num_gt",
      "num_le",
      "num_ge",
      "str_eq",
      "str_ne",
      "str_gt",
      "str_lt",
      "str_ge",
      "str_le",
      "not",
      "negate",
      "assign",
      "execute",
      "stmt_mark",
      "parse_col_abs",
      "parse_find",
      "parse_col_rel",
      "parse_begin",
      "parse_assign",
      "bit_xor",
      "pop",
      "push_control",
      "collect_strings",
      "exit",
      "bit_not",
      "arg",
      "bit_and",
      "bit_or",
      "shl",
      "shr",
      "incr",
      "decr",
      "last_var_dollar",
      "last_var_amp",
      "compound_assign",
      "shl_swapped",
      "shr_swapped",
      // string built-ins
      "lastpos",
      "strip",
      "length",
      "substr",
      "upcase",
      "pos",
      "verify",
      "lowcase",
      "char_code",
      "char_from_code",
      "translate",
      "center",
      "is_integer",
      "is_number",
      // modules and the state file
      "push_object",
      "push_event_table",
      "load_module",
      "compile_module_list",
      "write_state",
      // search and replace
      "repeat_search",
      "search",
      "search_replace",
      "save_search",
      "match_info",
      "restore_search",
      // built-ins this platform lacks
      "unavailable14",
      "unavailable15",
      "unavailable16",
      "unavailable17",
      "unavailable18",
      "unavailable19",
      "unavailable20",
      "unavailable21",
      "unavailable22",
      "unavailable23",
      "unavailable24",
      "unavailable26",
  };
  for (std::string_view m : built) {
    const auto r = opcode_find(m);
    ASSERT_TRUE(r) << m;
    EXPECT_NE(bound(vm_dispatch, {r->ext, r->slot}), op_illegal) << m;
  }
}

// The macro layer's slots left unbound after start-up are exactly those of
// the built-ins not built yet (command execution, the DLL interface, and the
// small built-ins: key and event waits, screen and pointer queries, chmod):
// a built-in that was built but never registered shows up here.
TEST_F(Registered, OnlyTheUnbuiltMacroSlotsStayIllegal) {
  std::set<std::string> unbound;
  for (bool ext : {false, true}) {
    const std::size_t n = ext ? kExtSlots : kMainSlots;
    for (std::size_t s = 0; s < n; ++s) {
      const OpcodeInfo& r = opcode_info(ext, static_cast<uint8_t>(s));
      if (r.layer == Layer::Macro && bound(vm_dispatch, {ext, static_cast<uint8_t>(s)}) == op_illegal)
        unbound.insert(std::string(r.mnemonic));
    }
  }
  const std::set<std::string> unbuilt = {};
  EXPECT_EQ(unbound, unbuilt);
}

// Every slot without a handler, and every byte after the prefix past the
// extended table, raises -3014 "Illegal opcode" when run.
TEST_F(Registered, EveryOtherSlotRaisesIllegalOpcode) {
  for (bool ext : {false, true}) {
    for (int s = 0; s < 256; ++s) {
      if (bound(vm_dispatch, {ext, static_cast<uint8_t>(s)}) != op_illegal) continue;
      reset();
      bc::ImageBuilder b;
      const uint16_t p = b.proc(0, 0, 0);
      if (ext) b.bytes({kExtPrefix});
      b.bytes({static_cast<uint8_t>(s)});
      b.op("return");
      EXPECT_EQ(run(b, p), ERR_ILLEGAL_OPCODE) << (ext ? "ext " : "main ") << s;
      EXPECT_EQ(rc(), "-3014") << (ext ? "ext " : "main ") << s;
    }
  }
}

TEST(Opcodes, MnemonicLookupFindsEveryRow) {
  for (bool ext : {false, true}) {
    const std::size_t n = ext ? kExtSlots : kMainSlots;
    for (std::size_t s = 0; s < n; ++s) {
      const auto& r = opcode_info(ext, static_cast<uint8_t>(s));
      auto f = opcode_find(r.mnemonic);
      ASSERT_TRUE(f.has_value()) << r.mnemonic;
      EXPECT_EQ(f->ext, ext);
      EXPECT_EQ(f->slot, s);
    }
  }
  EXPECT_FALSE(opcode_find("no_such_op").has_value());
}

// The slots whose names the display and forms descriptions give.
TEST(Opcodes, RenamedSlotsCarryTheirDisplayAndFormsNames) {
  struct Case {
    bool ext;
    int slot;
    std::string_view mnemonic;
  };
  const Case cases[] = {
      {false, 141, "execute_command_line"},
      {false, 231, "scroll_style"},
      {true, 120, "set_object_menu"},
      {true, 121, "set_menu_item"},
      {true, 164, "mark_window_changed"},
      {true, 172, "font_height"},
      {true, 174, "widest_line_width"},
      {true, 197, "load_menu"},
      {true, 198, "show_popup_menu"},
      {true, 204, "insert_menu_item"},
      {true, 205, "find_menu_item"},
      {true, 208, "set_menu_key_text"},
      {true, 211, "move_menu_resource_item"},
      {true, 135, "object_show"},
      {true, 127, "macro_record"},
      {false, 255, "ext"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(opcode_info(c.ext, static_cast<uint8_t>(c.slot)).mnemonic, c.mnemonic)
        << (c.ext ? "ext " : "main ") << c.slot;
}

// One row per way a built-in takes its arguments, as the built-ins'
// descriptions give them: fixed stack arguments, optional ones behind a
// count, variables assigned through operands (fixed, or a group when their
// number varies), and the property opcodes' byte operands.
TEST(Opcodes, BuiltInOperandLayouts) {
  struct Case {
    std::string_view mnemonic;
    std::string_view operands;
    int pops;
    int pushes;
  };
  const Case cases[] = {
      {"message", "", 1, 0},                    // text
      {"get_message", "c", kPopCount, 1},       // [code] -> text
      {"map_rect_ext143", "", 4, 0},            // four numbers
      {"empty_string_ext111", "", 0, 1},        // pushes the empty string
      {"insert_file_list", "", 1, 0},           // one text; rc only
      {"get_line", "v", 0, 0},                  // variable operand
      {"file_read", "v", 2, 1},                 // handle count; variable operand
      {"reflow_result", "vv", 0, 0},            // two variable operands
      {"get_selinfo", "cn", kPopCount, 0},      // 3 or 4 variables [, sel]
      {"twips_to_pixels", "n", 1, 0},           // unit, variable x [, variable y]
      {"get_window_rect", "cn", kPopCount, 0},  // 4 variables [option] [2 variables]
      {"spell_check", "cvvv", kPopCount, 0},    // [string], then three variables
      {"start_process", "cvvv", kPopCount, 1},  // command [P [callback]], three variables
      {"find_menu_item", "cvv", kPopCount, 1},  // menu key, 2 variables [option]
      {"wait_var", "v", 0, 0},                  // the variable is an operand
      {"property_get_current", "p", 0, 1},
      {"property_set_current", "p", 1, 0},
      {"property_get_handle", "pz", 0, 1},  // depth 0 pops the handle too
      {"property_set_handle", "pz", 1, 0},  // keep 0 pops the value too
      {"with_object", "d", 1, 0},
      {"dup_under", "", 2, 3},  // a b -> b a b
  };
  for (const auto& c : cases) {
    auto f = opcode_find(c.mnemonic);
    ASSERT_TRUE(f) << c.mnemonic;
    EXPECT_EQ(f->info->operands, c.operands) << c.mnemonic;
    EXPECT_EQ(f->info->pops, c.pops) << c.mnemonic;
    EXPECT_EQ(f->info->pushes, c.pushes) << c.mnemonic;
  }
}

TEST(Opcodes, CoreOperandLayouts) {
  struct Case {
    std::string_view mnemonic;
    std::string_view operands;
  };
  // Operand layouts of the language core, as the byte code carries them.
  const Case cases[] = {
      {"call_index", "c"},  {"call_link", "cl"},    {"push_ref", "v"},     {"push_var", "v"},
      {"push_const", "k"},  {"jump", "j"},          {"assign", "v"},       {"case_jump_ne", "jkv"},
      {"for_begin", "vuj"}, {"parse_col_rel", "w"}, {"parse_assign", "n"}, {"compound_assign", "ov"},
      {"return", ""},       {"catch_begin", ""},    {"ext", "x"},
  };
  for (const auto& c : cases) {
    auto f = opcode_find(c.mnemonic);
    ASSERT_TRUE(f) << c.mnemonic;
    EXPECT_EQ(f->info->operands, c.operands) << c.mnemonic;
  }
}

}  // namespace

#include "macro/opcodes.h"

#include <gtest/gtest.h>

#include <set>
#include <span>
#include <string>

namespace {

TEST(Opcodes, SlotsWithoutAFunctionRunTheIllegalHandler) {
  std::set<int> main_illegal, ext_illegal;
  for (const auto& r : kMainOpcodes)
    if (r.handler == op_illegal) main_illegal.insert(r.slot);
  for (const auto& r : kExtOpcodes)
    if (r.handler == op_illegal) ext_illegal.insert(r.slot);
  EXPECT_EQ(main_illegal, (std::set<int>{109, 114, 123}));
  std::set<int> want;
  for (int s = 0; s <= 13; ++s) want.insert(s);
  for (int s = 43; s <= 99; ++s) want.insert(s);
  want.insert(222);
  EXPECT_EQ(ext_illegal, want);
}

TEST(Opcodes, EveryRowHasAHandlerAndOnlyIllegalRowsRunOpIllegal) {
  for (bool ext : {false, true}) {
    const std::size_t n = ext ? kExtSlots : kMainSlots;
    for (std::size_t s = 0; s < n; ++s) {
      const auto& r = opcode_info(ext, static_cast<uint8_t>(s));
      EXPECT_NE(r.handler, nullptr) << r.mnemonic;
      EXPECT_EQ(r.handler_name == "op_illegal", r.handler == op_illegal) << r.mnemonic;
    }
  }
}

TEST(Opcodes, ExtendedBytesPastTheTableAreIllegal) {
  constexpr auto ext = opcode_ext_dispatch();
  for (int b = 232; b < 256; ++b) EXPECT_EQ(ext[b], op_illegal) << b;
  constexpr auto main = opcode_main_dispatch();
  for (int b = 0; b < 256; ++b) EXPECT_NE(main[b], nullptr) << b;
}

TEST(Opcodes, SharedRoutinesSitAtTheirSlots) {
  struct Case {
    bool ext;
    std::set<int> slots;
    std::string_view handler;
  };
  const Case cases[] = {
      {false, {225, 245}, "bi_absolute_relative"},
      {false, {131, 252}, "bi_is_text_control"},
      {false, {218, 219, 221}, "bi_file_op"},
      {false, {116, 117}, "bi_index_registers"},
      {false, {115, 122}, "op_shift_swapped"},
      {false, {16, 17, 18, 19, 20, 21, 22, 23, 24}, "op_mul_div_pow"},
      {false, {27, 28, 29, 30, 31, 32}, "op_num_compare"},
      {false, {11, 12}, "op_concat"},
      {false, {120}, "bi_name_data"},
      {true, {27}, "bi_name_data"},
  };
  for (const auto& c : cases) {
    std::set<int> found;
    for (const auto& r : c.ext ? std::span<const OpcodeInfo>(kExtOpcodes)
                               : std::span<const OpcodeInfo>(kMainOpcodes))
      if (r.handler_name == c.handler) found.insert(r.slot);
    EXPECT_EQ(found, c.slots) << c.handler;
  }
}

TEST(Opcodes, RenamedSlotsCarryTheirDisplayAndFormsNames) {
  struct Case {
    bool ext;
    int slot;
    std::string_view handler;
  };
  const Case cases[] = {
      {false, 141, "bi_execute_command_line"}, {false, 231, "bi_scroll_style"},
      {true, 120, "bi_set_object_menu"},       {true, 121, "bi_set_menu_item"},
      {true, 164, "bi_mark_window_changed"},   {true, 172, "bi_font_height"},
      {true, 174, "bi_widest_line_width"},     {true, 197, "bi_load_menu"},
      {true, 198, "bi_show_popup_menu"},       {true, 204, "bi_insert_menu_item"},
      {true, 205, "bi_find_menu_item"},        {true, 208, "bi_set_menu_key_text"},
      {true, 211, "bi_move_menu_resource_item"}, {true, 135, "bi_object_show"},
      {true, 127, "bi_macro_record"},          {false, 255, "op_ext_prefix"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(opcode_info(c.ext, static_cast<uint8_t>(c.slot)).handler_name, c.handler)
        << (c.ext ? "ext " : "main ") << c.slot;
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

TEST(Opcodes, CoreOperandLayouts) {
  struct Case {
    std::string_view mnemonic;
    std::string_view operands;
  };
  // Operand layouts of the language core, as the byte code carries them.
  const Case cases[] = {
      {"call_index", "c"}, {"call_link", "cl"},       {"push_ref", "v"},
      {"push_var", "v"},   {"push_const", "k"},       {"jump", "j"},
      {"assign", "v"},     {"case_jump_ne", "jkv"},   {"for_begin", "vuj"},
      {"parse_col_rel", "w"}, {"parse_assign", "n"},  {"compound_assign", "ov"},
      {"return", ""},      {"catch_begin", ""},       {"ext", "x"},
  };
  for (const auto& c : cases) {
    auto f = opcode_find(c.mnemonic);
    ASSERT_TRUE(f) << c.mnemonic;
    EXPECT_EQ(f->info->operands, c.operands) << c.mnemonic;
    EXPECT_TRUE(f->info->checked) << c.mnemonic;
  }
}

}  // namespace

// The spell checker's macro built-ins (ext 153-160 and 187) and the state
// they share: one checker opened on first use, the option word, the four
// dictionary names, the saved flag and the last checked word.
//
// The dictionary names live here with their start-up defaults ("scommon.lst",
// "smain.dct", "userdct1.lst", "userdct2.lst") until the macro start-up binds
// them to the settings block's variables.
#pragma once

#include <string>

#include "macro/opcodes.h"
#include "services/spell.h"

struct SpellBiState {
  SpellChecker checker;
  std::string common = "scommon.lst", main = "smain.dct", user1 = "userdct1.lst", user2 = "userdct2.lst";
  int32_t options = 0;  // 1 R, 2 U
  bool opened = false;
  bool saved = false;
  std::string last_word;
};

// The one state of the built-ins.
SpellBiState& spell_bi_state();
// Closes the checker and restores every default.
void spell_bi_reset();

// Ext 153-160, 187.
void bi_spell_check();
void bi_spell_check_word();
void bi_spell_suggest();
void bi_spell_option();
void bi_spell_clear();
void bi_spell_add_word();
void bi_spell_add_history();
void bi_spell_save_dict();
void bi_spell_delete_word();

// Binds the spell checker's built-ins.
BindResult spell_register_opcodes(OpcodeDispatch& d);

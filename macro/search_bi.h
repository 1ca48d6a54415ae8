// The search built-ins of the macro language: find (and replace all),
// repeat, replace the last match, ask about the last match, and save and
// restore the whole search state. The handlers are opcode-table rows
// (opcodes.h); the work is done by the search core in text/search.h.
//
// Arguments are on the expression stack, the last one on top; a u8 count
// gives the number passed. Variables that receive results are byte-code
// operands: a variable group (a u8 N, then N u16 variables), the same form
// the parse statement uses for its variables, so that optional variables
// need no second count. bi_search takes a group of at most one (the count
// of replacements), bi_save_search a group of three or four.
//
// The searching built-ins set rc to their result (0 or a code) and raise a
// negative one unless option "@" asked for rc only; the break key is polled
// through the interpreter's own check, so a break stops the macro the same
// way as at a backward jump.
#pragma once

#include "base/messages.h"

// The search core polls the break key through the interpreter's own check
// (search_check_break, text/search_port.h): 0, or -3020 after the macro was
// stopped (unless the innermost context ignores breaks). Options M and P
// reach the selections through the hooks sel_install sets.

// What the lexer files, the line lexer and the recolouring share inside the
// display layer.
#pragma once

#include <cstdint>
#include <string_view>

#include "display/lexer.h"

// Adds one keyword, symbol or comment delimiter; 0 or -3547.
int32_t lex_add_keyword(LexerDef& lx, std::string_view word, int32_t kind, int32_t comment, int32_t start_col,
                        int32_t end_col, bool as_given);
// Reports a parse error through "_clex_error".
void lex_report_error(std::string_view file, int32_t code, std::string_view lexer, std::string_view key,
                      std::string_view value);
// Makes an already parsed lexer current.
void lex_select_parsed(LexerDef* lexer);
// The class-to-attribute table (12 entries).
const uint16_t* lex_class_attrs();
// A lexer was parsed again: buffers that use it are recoloured whole.
void lex_lexer_reparsed(LexerDef* lexer);

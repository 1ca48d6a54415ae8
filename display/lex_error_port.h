// Where a lexer file's parse error is reported: when the macro procedure
// "_clex_error" exists, its names index and the report text go to the frame,
// which calls the procedure with the text once the editor is idle (the
// frame belongs to the forms, which define this). A program without the
// frame reports to nobody.
#pragma once

#include <cstdint>
#include <string_view>

// Posts the report (file name, NUL, code, " ", lexer name, "]", key, "=",
// value) for the procedure at names index `procedure`.
void lex_error_post(uint32_t procedure, std::string_view text);

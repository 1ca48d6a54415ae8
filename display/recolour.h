// Keeping the stored line states of colour-coded buffers up to date.
//
// Each line's flags word holds the lexer state at the start of the line in
// its low 4 bits. Edits widen the buffer's recolour range (text/recolour.h);
// before a window of the buffer is drawn the range is lexed again until the
// stored states agree.
#pragma once

#include <cstdint>

struct BufferRec;
struct LexerDef;

// Re-lexes the dirty range (from the line before it) and stores the states.
// 1 when no line other than the cursor line changed its stored state, else 0.
int lex_recolour(BufferRec* buf);
// The current window's buffer: recoloured, and a whole-window redraw
// (0x8000) requested when other lines changed. The result of lex_recolour.
int lex_recolour_current();
// Sets a buffer's lexer; a change makes the whole buffer dirty.
void lex_set_buffer_lexer(BufferRec* buf, LexerDef* lexer);
// Lines lexed by the passes so far (benchmarks and tests).
int64_t lex_recolour_lines_lexed();
// The lexer named for a file by its extension, or null.
LexerDef* lex_for_file_name(const char* name);

// Interim matcher for the regular expressions that directory searches build
// from wildcards ("*.c" becomes "^?*.c$").
//
// It understands the part of the editor's own expression syntax that a
// converted wildcard can contain: literals, '?' (any byte), postfix '*' '@'
// '+' '#' (repeats; which end is tried first does not matter for a yes/no
// answer), classes "[...]" with ranges, '~' or '^' negation and escapes,
// groups "(...)" and "{...}", '|' alternation, the anchors '^' and '$', and
// the escapes \n \t \r \b \f \xH[H] \D[D[D] and \c. Anything else it does
// not know (counted repeats, named classes, '~' before an atom, back
// references) fails to compile rather than match something unintended.
//
// Matching is a Thompson-style simulation: time is linear in the name's
// length times the expression's size, so no pattern can make it hang.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace wildcard {

struct Program;  // compiled expression, opaque

// Releases a compiled expression (safe on null).
void release(Program* prog);

struct ProgramDeleter {
  void operator()(Program* p) const { release(p); }
};
using ProgramPtr = std::unique_ptr<Program, ProgramDeleter>;

// Compiles an expression. On success returns the program and sets *error to
// 0; on a syntax error returns null and sets *error to -2500 ("Invalid regular
// expression"); when memory runs out, null and -8.
Program* compile(std::string_view expr, int32_t* error);

// 1 when the expression matches somewhere in name (a search, as the editor's
// regular-expression search does; the '^'/'$' anchors make it whole-name).
int match(const Program* prog, std::string_view name);

}  // namespace wildcard

// Fuzz target: compile an arbitrary pattern and search arbitrary lines with
// it, in both syntaxes and directions. The first byte picks the options, the
// pattern runs up to the first 0xFF byte, the rest is the line. A break key
// that answers "pressed" after a number of polls is the step budget, so a
// pattern that backtracks without end costs a bounded time.
//
// Checked: the compile answers 0, -2500 or -8; a match lies within the line
// and its groups and cursor mark too; a forward search finds a match exactly
// when a backward search from the end does; searching again from a match's
// own column finds it again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "tests/support/headless/text_ui_fakes.h"
#include "text/regex.h"

namespace {

int fuzz_polls = 0;
constexpr int kPollsPerSearch = 800;  // each poll stands for 256 backtracks

bool fuzz_budget_spent() { return ++fuzz_polls >= kPollsPerSearch; }

void check_match(const RegexState& st, int col, int len) {
  if (col < 1 || col > len + 1) std::abort();
  if (st.match_length < 0 || col - 1 + st.match_length > len) std::abort();
  for (int g = 0; g < kRegexGroups; ++g) {
    if (!(st.group_mask & (1u << g))) continue;
    if (st.groups[g].end < 1 || st.groups[g].end > len + 1) std::abort();
  }
  if (st.cursor_column != 0 && (st.cursor_column < 1 || st.cursor_column > len + 1)) std::abort();
}

// One search with a fresh budget; -1 when the budget ran out.
int budgeted_search(RegexState& st, int start, const uint8_t* text, int len) {
  fuzz_polls = 0;
  int col = re_search(st, start, text, len);
  if (col == ERR_COMMAND_CANCELLED) return -1;
  if (col < 0) std::abort();  // -8 cannot happen below the stack's limit here
  if (col > 0) check_match(st, col, len);
  return col;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t cut = rest.find('\xFF');
  std::string_view pattern = rest.substr(0, cut);
  std::string_view line = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);

  // The line in a block of exactly its length, so a read past it shows.
  const int len = static_cast<int>(line.size());
  std::unique_ptr<uint8_t[]> text(new uint8_t[len > 0 ? len : 1]);
  if (!line.empty()) std::memcpy(text.get(), line.data(), line.size());

  const int unix_syntax = flags & 1;
  const uint8_t ignore_case = (flags >> 1) & 1;
  uitest::ui.break_source = fuzz_budget_spent;

  RegexState fwd;
  ErrorCode rc = re_compile(fwd, pattern, 1, ignore_case, unix_syntax);
  if (rc != 0 && rc != ERR_INVALID_REGEX && rc != ERR_INSUFFICIENT_MEMORY) std::abort();
  if (rc != 0) {
    if (fwd.direction != 0 || re_search(fwd, 1, text.get(), len) != 0) std::abort();
    uitest::ui.break_source = nullptr;
    return 0;
  }
  RegexState bwd;
  if (re_compile(bwd, pattern, -1, ignore_case, unix_syntax) != 0) std::abort();

  const int start = 1 + (flags >> 2) % (len + 2);
  int f = budgeted_search(fwd, 1, text.get(), len);
  int b = budgeted_search(bwd, len + 1, text.get(), len);
  if (f >= 0 && b >= 0 && (f > 0) != (b > 0)) std::abort();
  if (f > 0) {
    int again = budgeted_search(fwd, f, text.get(), len);
    if (again >= 0 && again != f) std::abort();
  }
  budgeted_search(fwd, start, text.get(), len);
  budgeted_search(bwd, start, text.get(), len);
  uitest::ui.break_source = nullptr;
  return 0;
}

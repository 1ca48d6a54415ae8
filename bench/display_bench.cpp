// The text display: lexing throughput of the C lexer, the refresh after a
// typed key on a 60-row window, and scrolling by one line, all drawn on a
// recording surface (no X server).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "display/colours.h"
#include "display/lexer.h"
#include "display/recolour.h"
#include "display/refresh.h"
#include "tests/display/recording_surface.h"
#include "tests/support/headless/text_window_fakes.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/engine.h"
#include "text/store.h"

namespace {

const char* kCLexer =
    "[C]\nIDCHARS=a-zA-Z_ a-zA-Z0-9_\nCASE-SENSITIVE=Y\nMLCOMMENT=/* */\nLINECOMMENT=//\n"
    "STYLES=DQBACKSLASH SQBACKSLASH XHEX EFLOAT DQBACKSLASHML\n"
    "PPKEYWORDS=#include #define #undef #if #ifdef #ifndef #elif #else #endif #error #pragma #line\n"
    "KEYWORDS=auto break case char const continue default do double else enum extern float for goto if inline "
    "int long register restrict return short signed sizeof static struct switch typedef union unsigned void "
    "volatile while\n";

// C-like lines: code, strings, numbers, comments, tabs and block comments.
std::string c_text(size_t bytes) {
  static const char* const kLines[] = {
      "#include <stdio.h>",
      "/* A block comment that opens here",
      "   and goes on for a line or two */",
      "static int count_items(const char *s, size_t n) {",
      "\tint total = 0; // running total",
      "\tfor (size_t i = 0; i < n; ++i) {",
      "\t\tif (s[i] == '\\n' || s[i] == 0x0A) total += 1.5e+3;",
      "\t\telse printf(\"item %zu: %c\\n\", i, s[i]);",
      "\t}",
      "\treturn total;",
      "}",
      "",
  };
  std::string t;
  t.reserve(bytes + 128);
  for (size_t k = 0; t.size() < bytes; ++k) {
    t += kLines[k % 12];
    t += '\n';
  }
  return t;
}

void BM_ColourLines(benchmark::State& state) {
  lex_reset_all();
  lex_load_text(kCLexer, "c.zlx");
  LexerDef* c = lex_find("C");
  lex_select(c);
  const std::string text = c_text(64u << 20);
  std::vector<uint16_t> attrs(1024);
  for (auto _ : state) {
    int st = 0;
    size_t p = 0;
    while (p < text.size()) {
      const size_t e = text.find('\n', p);
      const int32_t len = static_cast<int32_t>(std::min<size_t>(e - p, 1024));
      st = lex_colour_line(reinterpret_cast<const uint8_t*>(text.data() + p), len, attrs.data(), st);
      if (st == kStateLineComment) st = 0;
      p = e + 1;
    }
    benchmark::DoNotOptimize(st);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ColourLines)->Unit(benchmark::kMillisecond);

void BM_LineStates(benchmark::State& state) {
  lex_reset_all();
  lex_load_text(kCLexer, "c.zlx");
  LexerDef* c = lex_find("C");
  const std::string text = c_text(64u << 20);
  for (auto _ : state) {
    int st = 0;
    size_t p = 0;
    while (p < text.size()) {
      const size_t e = text.find('\n', p);
      st = lex_line_state(c, reinterpret_cast<const uint8_t*>(text.data() + p),
                          static_cast<int32_t>(std::min<size_t>(e - p, 1024)), st);
      p = e + 1;
    }
    benchmark::DoNotOptimize(st);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LineStates)->Unit(benchmark::kMillisecond);

// A colour-coded 8 MB C buffer in the current window, drawn on a 60-row surface.
struct Editor {
  std::string dir;
  disptest::RecordingSurface surface{640, 960};
  EditorDisplay ed;

  Editor() {
    char t[] = "/tmp/zvx-display-bench-XXXXXX";
    dir = ::mkdtemp(t);
    if (store_init(-1, dir, 20)) std::abort();
    text_engine_init();
    textwintest::start();
    lex_reset_all();
    colours_reset();
    lex_load_text(kCLexer, "c.zlx");
    std::ofstream(dir + "/big.c", std::ios::binary) << c_text(8u << 20);
    const std::string path = dir + "/big.c";
    BufCreateArgs a;
    a.name = path;
    a.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    BufferRec* b = nullptr;
    if (buf_create_from_file(&b, a)) std::abort();
    view_show_buffer(b, 0);
    lex_set_buffer_lexer(b, lex_find("C"));
    ed.window = window_current();
    disp_layout(&ed.disp, &surface, 0, 0, 0);
    PosRecord* v = view_current();
    pos_goto_line(100000, v, b);
    v->row = 10;
    v->column = 8;
    disp_draw_window(&ed, false);
  }
  ~Editor() {
    line_flush_current();
    disp_destroy(&ed.disp);
    buf_shutdown();
    textwintest::install();
    store_shutdown();
    lex_reset_all();
    ::unlink((dir + "/big.c").c_str());
    ::rmdir(dir.c_str());
  }
};

void BM_RefreshAfterKey(benchmark::State& state) {
  Editor e;
  int64_t rows = 0, calls = 0, refreshes = 0;
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      if (k == 0)
        line_type_char('x');
      else
        line_backspace();
      e.surface.clear();
      disp_draw_window(&e.ed, true);
      rows += e.ed.rows_built;
      calls += static_cast<int64_t>(e.surface.texts.size()) + e.surface.fills;
      ++refreshes;
    }
  }
  state.counters["rows_per_key"] = static_cast<double>(rows) / static_cast<double>(refreshes);
  state.counters["draw_calls_per_key"] = static_cast<double>(calls) / static_cast<double>(refreshes);
  state.SetItemsProcessed(refreshes);
}
BENCHMARK(BM_RefreshAfterKey)->Unit(benchmark::kMicrosecond);

void BM_ScrollOneLine(benchmark::State& state) {
  Editor e;
  PosRecord* v = view_current();
  int64_t calls = 0, steps = 0;
  for (auto _ : state) {
    v->row = 59;
    if (pos_next_line(v, v->buffer) != 0) pos_goto_line(1, v, v->buffer);
    e.surface.clear();
    disp_draw_window(&e.ed, false);
    calls += static_cast<int64_t>(e.surface.texts.size()) + e.surface.fills;
    ++steps;
  }
  state.counters["draw_calls_per_step"] = static_cast<double>(calls) / static_cast<double>(steps);
}
BENCHMARK(BM_ScrollOneLine)->Unit(benchmark::kMicrosecond);

}  // namespace

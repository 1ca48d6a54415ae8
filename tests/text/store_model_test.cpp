// Randomized model test of the store: a buffer as a vector of strings beside
// the store, thousands of random inserts, deletes, replaces and copies under a
// three-page memory limit, so that pages spill and come back. After every
// step: the store's own check, the byte and line counts, every line, and the
// tracked positions. The seed is printed; ZVX_SEED=<n> replays a run.

#include <cinttypes>
#include <cstdio>
#include <random>

#include "store_fixture.h"

using namespace storetest;

namespace {

struct ModelBuffer {
  BufferRec* buf;
  std::vector<std::string> lines;
  int eol;  // end-of-line bytes per line
  // Lines the loader cut at the limit carry no end of line; any edit gives one.
  std::vector<uint8_t> cut_by_load;
  int64_t bytes() const {
    int64_t n = 0;
    for (size_t i = 0; i < lines.size(); ++i) n += static_cast<int64_t>(lines[i].size()) + (cut_by_load[i] ? 0 : eol);
    return n;
  }
  std::string cut(std::string s) const {
    if (static_cast<int>(s.size()) + eol > kMaxLineBytes) s.resize(kMaxLineBytes - 2);
    return s;
  }
};

// A tracked position and the model line it should be on.
struct Tracked {
  PosRecord pos{};
  size_t line = 0;  // 1-based model line, 0 = top-of-file line
};

class ModelRun {
 public:
  explicit ModelRun(uint64_t seed) : rng_(seed) {}

  std::string random_text() {
    int kind = pick(100);
    size_t len;
    if (kind < 3)
      len = 1000 + pick(200);  // around the line limit
    else if (kind < 10)
      len = 0;
    else
      len = pick(90);
    std::string s(len, 'a');
    for (auto& c : s) c = static_cast<char>("abcdefghij \t;{}()0123456789"[pick(27)]);
    return s;
  }
  size_t pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }

  static void goto_line(PosRecord* p, BufferRec* b, size_t line) {
    *p = PosRecord{};
    p->buffer = b;
    ASSERT_EQ(0, pos_goto_line(static_cast<int32_t>(line), p, b)) << "line " << line;
  }

  void check(ModelBuffer& m, std::vector<Tracked>& tracked, const char* what, int step) {
    SCOPED_TRACE(std::string(what) + " at step " + std::to_string(step));
    ASSERT_EQ("", store_check(m.buf));
    if (m.bytes() != m.buf->bytes || getenv("ZVX_DEBUG")) {
      auto got = lines_forward(m.buf);
      for (size_t i = 0; i < std::max(got.size(), m.lines.size()); ++i) {
        std::string g = i < got.size() ? got[i] : "<none>", e = i < m.lines.size() ? m.lines[i] : "<none>";
        if (g != e) {
          printf("line %zu: got %zu bytes, want %zu\n", i + 1, g.size(), e.size());
        }
      }
    }
    ASSERT_EQ(m.bytes(), m.buf->bytes);
    int32_t total = -1;
    ASSERT_EQ(0, pos_count_lines(nullptr, m.buf, total));
    ASSERT_EQ(static_cast<int32_t>(m.lines.size()), total);
    if (step % 7 == 0 || m.lines.size() < 40) {
      ASSERT_EQ(m.lines, lines_forward(m.buf));
    } else {  // a window of lines around a random place, both directions
      size_t at = 1 + pick(m.lines.size());
      PosRecord p{};
      goto_line(&p, m.buf, at);
      for (size_t i = at; i <= m.lines.size() && i < at + 30; ++i) {
        ASSERT_EQ(m.lines[i - 1], line_get_string(&p, m.buf)) << "line " << i;
        if (i < m.lines.size()) {
          ASSERT_EQ(0, pos_next_line(&p, m.buf));
        }
      }
      goto_line(&p, m.buf, at);
      for (size_t i = at; i >= 1 && i + 30 > at; --i) {
        ASSERT_EQ(m.lines[i - 1], line_get_string(&p, m.buf)) << "line " << i;
        ASSERT_EQ(0, pos_prev_line(&p, m.buf));
        ASSERT_EQ(static_cast<int32_t>(i - 1), p.line);
      }
    }
    for (auto& t : tracked) {
      if (t.pos.buffer != m.buf) continue;
      PosRecord expect{};
      goto_line(&expect, m.buf, t.line);
      ASSERT_TRUE(pos_same_place(&expect, &t.pos))
          << "tracked position for line " << t.line << " at block " << t.pos.block << " index " << t.pos.index
          << ", expected block " << expect.block << " index " << expect.index;
      ASSERT_EQ(expect.base, t.pos.base);
      if (t.pos.line >= 0) {
        ASSERT_EQ(static_cast<int32_t>(t.line), t.pos.line);
      }
    }
  }

  std::mt19937_64 rng_;
};

class StoreModelTest : public StoreTest {};

TEST_F(StoreModelTest, RandomEditsUnderThreePageLimitMatchTheModel) {
  uint64_t seed = std::random_device{}();
  if (const char* s = std::getenv("ZVX_SEED")) seed = std::strtoull(s, nullptr, 10);
  std::printf("store model seed: %" PRIu64 " (replay with ZVX_SEED=%" PRIu64 ")\n", seed, seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  init(kThreePagesKb);
  ASSERT_EQ(3, store_page_limit());
  ModelRun run(seed);

  // The first buffer comes from a lazily loaded file of about five pages.
  ModelBuffer a{nullptr, {}, 1, {}};
  std::string file;
  while (file.size() < 5 * 8192) {
    std::string t = run.random_text();
    file += t + "\n";
    // The loader cuts a line at 1024 bytes (end of line included); the piece
    // cut off carries no end of line.
    size_t o = 0;
    while (t.size() - o >= static_cast<size_t>(kMaxLineBytes)) {
      a.lines.push_back(t.substr(o, kMaxLineBytes));
      a.cut_by_load.push_back(1);
      o += kMaxLineBytes;
    }
    a.lines.push_back(t.substr(o));
    a.cut_by_load.push_back(0);
  }
  a.buf = load(file);
  // A CR LF buffer without a file for copies between conventions.
  ModelBuffer c{new_text('\r', '\n'), {""}, 2, {0}};
  ModelBuffer* bufs[2] = {&a, &c};

  std::vector<Tracked> tracked(6);
  for (size_t i = 0; i < tracked.size(); ++i) {
    ModelBuffer& m = *bufs[i % 2];
    tracked[i].line = run.pick(m.lines.size() + 1);
    ModelRun::goto_line(&tracked[i].pos, m.buf, tracked[i].line);
    tracked[i].pos.kind[0] = 1;
    pos_link_to_buffer(&tracked[i].pos, m.buf);
  }
  run.check(a, tracked, "load", 0);
  run.check(c, tracked, "new", 0);

  const int steps = 3000;
  for (int step = 1; step <= steps && !HasFatalFailure(); ++step) {
    ModelBuffer& m = *bufs[run.pick(4) == 0 ? 1 : 0];
    int op = static_cast<int>(run.pick(100));
    if (m.lines.size() > 500 && op < 35) op += 25;  // keep the buffer at a few dozen pages
    const char* what = "";
    PosRecord p{};
    if (op < 35 || m.lines.empty()) {  // insert after line at (0 = top of file)
      what = "insert";
      size_t at = run.pick(m.lines.size() + 1);
      std::string t = run.random_text();
      ModelRun::goto_line(&p, m.buf, at);
      ASSERT_EQ(0, line_insert_text(t.data(), static_cast<int32_t>(t.size()), &p, m.buf));
      m.lines.insert(m.lines.begin() + static_cast<long>(at), m.cut(t));
      m.cut_by_load.insert(m.cut_by_load.begin() + static_cast<long>(at), 0);
      for (auto& tr : tracked)
        if (tr.pos.buffer == m.buf && tr.line > at) ++tr.line;
      ASSERT_EQ(static_cast<int32_t>(at + 1), p.line);
      ASSERT_EQ(kLineInserted, line_get_flags(&p, m.buf) & kLineInserted);
    } else if (op < 60) {  // delete line at
      what = "delete";
      size_t at = 1 + run.pick(m.lines.size());
      ModelRun::goto_line(&p, m.buf, at);
      int32_t rc = line_delete(&p, m.buf);
      bool last = at == m.lines.size();
      ASSERT_EQ(last ? ERR_BOTTOM_OF_FILE : 0, rc);
      m.lines.erase(m.lines.begin() + static_cast<long>(at - 1));
      m.cut_by_load.erase(m.cut_by_load.begin() + static_cast<long>(at - 1));
      for (auto& tr : tracked) {
        if (tr.pos.buffer != m.buf) continue;
        if (tr.line > at || (tr.line == at && last)) --tr.line;
      }
      size_t expect_line = last ? at - 1 : at;
      ASSERT_EQ(static_cast<int32_t>(expect_line), p.line);
    } else if (op < 80) {  // replace line at
      what = "replace";
      size_t at = 1 + run.pick(m.lines.size());
      std::string t = run.random_text();
      ModelRun::goto_line(&p, m.buf, at);
      ASSERT_EQ(0, line_replace_text(t.data(), static_cast<int32_t>(t.size()), &p, m.buf));
      m.lines[at - 1] = m.cut(t);
      m.cut_by_load[at - 1] = 0;
      ASSERT_EQ(kLineChanged, line_get_flags(&p, m.buf) & kLineChanged);
      ASSERT_EQ(m.lines[at - 1], line_get_string(&p, m.buf));
    } else {  // copy a range of lines, possibly from the other buffer
      what = "copy";
      ModelBuffer& s = *bufs[run.pick(3) == 0 ? (&m == &a ? 1 : 0) : (&m == &a ? 0 : 1)];
      if (s.lines.empty()) continue;
      size_t from = 1 + run.pick(s.lines.size());
      size_t to = from + run.pick(std::min<size_t>(s.lines.size() - from + 1, 40));
      size_t at = run.pick(m.lines.size() + 1);
      PosRecord sp{}, ep{}, first{};
      ModelRun::goto_line(&sp, s.buf, from);
      ModelRun::goto_line(&ep, s.buf, to);
      ModelRun::goto_line(&p, m.buf, at);
      ASSERT_EQ(0, lines_copy(&p, &sp, &ep, &first, m.buf));
      std::vector<std::string> copied;
      for (size_t i = from; i <= to; ++i) copied.push_back(m.cut(s.lines[i - 1]));
      m.lines.insert(m.lines.begin() + static_cast<long>(at), copied.begin(), copied.end());
      m.cut_by_load.insert(m.cut_by_load.begin() + static_cast<long>(at), copied.size(), 0);
      for (auto& tr : tracked)
        if (tr.pos.buffer == m.buf && tr.line > at) tr.line += copied.size();
      ASSERT_EQ(static_cast<int32_t>(at + copied.size()), p.line);
      ASSERT_EQ(copied.front(), line_get_string(&first, m.buf));
    }
    run.check(m, tracked, what, step);
    if (step % 100 == 0) run.check(&m == &a ? c : a, tracked, "other", step);
  }
  EXPECT_GT(store_spill_end(), 0) << "the limit should have made pages spill";
  for (auto& t : tracked) pos_unlink_from_buffer(&t.pos);
}

}  // namespace

// The selection receiver against owners that tell the truth, lie about
// sizes, stall or send too much: what comes back is what arrived, within
// the cap, or a clean refusal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "winsys/sel_receive.h"

namespace {

constexpr Atom kText = 31, kIncr = 200, kOther = 77;

struct Value {
  Atom type;
  int format;
  unsigned long nitems;
  std::vector<unsigned char> bytes;  // as Xlib would hold them
};

Value text(const std::string& s, Atom type = kText) {
  return {type, 8, s.size(), std::vector<unsigned char>(s.begin(), s.end())};
}
Value incr_header(long announced) {
  std::vector<unsigned char> b(sizeof(long));
  std::memcpy(b.data(), &announced, sizeof(long));
  return {kIncr, 32, 1, b};
}

struct Owner {
  std::vector<Value> values;
  size_t at = 0;
  bool begun = false;
  bool refuse_begin = false;
};

bool owner_next(void* ctx, XfPropValue* out) {
  auto* o = static_cast<Owner*>(ctx);
  if (o->at >= o->values.size()) return false;  // the owner went quiet
  const Value& v = o->values[o->at++];
  out->type = v.type;
  out->format = v.format;
  out->nitems = v.nitems;
  out->data = v.bytes.data();
  out->bytes = v.bytes.size();
  return true;
}
bool owner_begin(void* ctx) {
  auto* o = static_cast<Owner*>(ctx);
  o->begun = true;
  return !o->refuse_begin;
}

bool owner_begin_any(void*) { return true; }

int receive(Owner& o, std::vector<uint8_t>* out) {
  return xf_receive_selection(XfPropertySource{owner_next, owner_begin, &o}, kText, kIncr, out);
}

struct Case {
  const char* name;
  std::vector<Value> values;
  int result;
  std::string data;
};

TEST(SelReceive, OwnersHonestAndNot) {
  std::vector<long> longs{0x64636261, 0x68676665};
  std::vector<unsigned char> as_longs(longs.size() * sizeof(long));
  std::memcpy(as_longs.data(), longs.data(), as_longs.size());
  std::vector<short> shorts{0x6261, 0x6463};
  std::vector<unsigned char> as_shorts(shorts.size() * sizeof(short));
  std::memcpy(as_shorts.data(), shorts.data(), as_shorts.size());
  const Case cases[] = {
      {"plain text", {text("hello")}, 0, "hello"},
      {"empty plain value", {text("")}, 0, ""},
      {"another type than asked", {text("hello", kOther)}, -1, ""},
      {"property None", {{0, 0, 0, {}}}, -1, ""},
      {"no answer at all", {}, -1, ""},
      {"format 32 travels 4 bytes an item", {{kText, 32, 2, as_longs}}, 0, "abcdefgh"},
      {"format 16 travels 2 bytes an item", {{kText, 16, 2, as_shorts}}, 0, "abcd"},
      {"unknown format", {{kText, 12, 2, {1, 2, 3, 4}}}, -1, ""},
      {"more items than bytes", {{kText, 8, 50, {'a', 'b'}}}, -1, ""},
      {"incr as announced", {incr_header(6), text("abc"), text("def"), text("")}, 0, "abcdef"},
      // The announced size is a lower bound: less and more both arrive whole.
      {"incr sends less than announced", {incr_header(100), text("abc"), text("")}, 0, "abc"},
      {"incr sends more than announced", {incr_header(2), text("abcdef"), text("ghij"), text("")}, 0, "abcdefghij"},
      {"incr announcing 4 GiB", {incr_header(0xFFFFFFFFL), text("xyz"), text("")}, 0, "xyz"},
      {"incr announcing 0", {incr_header(0), text("abc"), text("")}, -1, ""},
      {"incr with no data", {incr_header(5), text("")}, -1, ""},
      {"incr owner stalls", {incr_header(5), text("abc")}, -1, ""},
      {"incr chunk of another type", {incr_header(5), text("abc", kOther), text("")}, -1, ""},
      {"incr header of format 8", {{kIncr, 8, 4, {5, 0, 0, 0}}, text("abc"), text("")}, -1, ""},
      {"incr chunk deleted under us", {incr_header(5), text("ab"), {0, 0, 0, {}}}, -1, ""},
  };
  for (const Case& c : cases) {
    Owner o{c.values};
    std::vector<uint8_t> out{9, 9};
    EXPECT_EQ(receive(o, &out), c.result) << c.name;
    EXPECT_EQ(std::string(out.begin(), out.end()), c.data) << c.name;
  }
}

TEST(SelReceive, AnAliasTypeIsAcceptedOnlyWhenGiven) {
  Owner o{{text("hi", kOther)}};
  std::vector<uint8_t> out;
  EXPECT_EQ(xf_receive_selection(XfPropertySource{owner_next, owner_begin, &o}, kText, kIncr, &out, kOther), 0);
  EXPECT_EQ(std::string(out.begin(), out.end()), "hi");
  Owner chunks{{incr_header(4), text("ab", kOther), text("cd"), text("")}};
  EXPECT_EQ(xf_receive_selection(XfPropertySource{owner_next, owner_begin, &chunks}, kText, kIncr, &out, kOther), 0);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcd");
}

TEST(SelReceive, IncrStartsOnlyAfterAGoodHeaderAndStopsWhenRefused) {
  Owner plain{{text("x")}};
  std::vector<uint8_t> out;
  receive(plain, &out);
  EXPECT_FALSE(plain.begun);
  Owner refused{{incr_header(3), text("abc"), text("")}, 0, false, true};
  EXPECT_EQ(receive(refused, &out), -1);
  EXPECT_TRUE(refused.begun);
  EXPECT_EQ(refused.at, 1u);  // no chunk was read
}

// An owner that sends `chunks` chunks of one MiB, then `extra` bytes, then the end.
struct BigOwner {
  Value header = incr_header(16);
  Value chunk = text(std::string(1u << 20, 'q'));
  Value extra, end = text("");
  size_t chunks, sent = 0;
};
bool big_next(void* ctx, XfPropValue* out) {
  auto* o = static_cast<BigOwner*>(ctx);
  size_t i = o->sent++;
  const Value& v = i == 0                                    ? o->header
                   : i <= o->chunks                          ? o->chunk
                   : (i == o->chunks + 1 && o->extra.nitems) ? o->extra
                                                             : o->end;
  *out = XfPropValue{v.type, v.format, v.nitems, v.bytes.data(), v.bytes.size()};
  return true;
}

TEST(SelReceive, TheTotalIsCappedAtBothSidesOfTheLimit) {
  auto run = [](size_t extra) {
    BigOwner o;
    o.chunks = kMaxSelectionBytes / (1u << 20);
    o.extra = text(std::string(extra, 'r'));
    std::vector<uint8_t> out;
    int r = xf_receive_selection(XfPropertySource{big_next, owner_begin_any, &o}, kText, kIncr, &out);
    return std::make_pair(r, out.size());
  };
  EXPECT_EQ(run(0), std::make_pair(0, kMaxSelectionBytes));
  EXPECT_EQ(run(1), std::make_pair(-1, size_t{0}));
}

TEST(SelReceive, AppendRefusesPastItsCap) {
  std::vector<uint8_t> out{'a'};
  const unsigned char bytes[] = {'b', 'c'};
  XfPropValue v{kText, 8, 2, bytes, 2};
  EXPECT_TRUE(xf_prop_append(v, &out, 3));
  EXPECT_FALSE(xf_prop_append(v, &out, 4));
  EXPECT_EQ(std::string(out.begin(), out.end()), "abc");
}

}  // namespace

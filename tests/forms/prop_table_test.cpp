// The property table: its invariants, its counts against the catalogue, the
// packed fields, the type table and the two name helpers.
#include "forms/prop_table.h"

#include <gtest/gtest.h>

#include <set>

#include "forms/objects.h"
#include "forms/prop_dispatch.h"

namespace {

TEST(PropTable, ReadableAndWritableExactlyWithTheirAccessors) {
  for (const PropertyRecord& r : kPropertyTable) {
    SCOPED_TRACE(r.id);
    EXPECT_EQ((r.flags & kPropRead) != 0, r.getter != nullptr);
    EXPECT_EQ((r.flags & kPropWrite) != 0, r.setter != nullptr);
    if (r.flags & kPropTplGet) {
      EXPECT_TRUE(r.getter);
    }
    if (r.flags & kPropTplSet) {
      EXPECT_TRUE(r.setter);
    }
  }
}

TEST(PropTable, StorageWellFormed) {
  EXPECT_TRUE(prop_checks::access_matches_accessors());
  EXPECT_TRUE(prop_checks::storage_well_formed());
  EXPECT_TRUE(prop_checks::no_shared_fields());
}

TEST(PropTable, NoTypeAcceptsTwoPropertiesOfOneField) {
  for (int t = 1; t <= 19; ++t) {
    uint32_t used[kPropWords] = {};
    for (const PropertyRecord& r : kPropertyTable) {
      if (!(r.type_mask & obj_type_bit(t)) || r.word == kPropComputed) continue;
      ASSERT_LT(r.word, 26u) << r.id;
      EXPECT_EQ(used[r.word] & r.mask, 0u) << "type " << t << " id " << r.id;
      used[r.word] |= r.mask;
    }
    EXPECT_EQ(used[13] | used[26] | used[27], 0u) << "words 13, 26 and 27 hold no property";
  }
}

// The catalogue's own totals: 14 empty ids, 74 stored and 84 computed, 117
// read-write and 41 read-only, 73 readable and 68 settable on templates,
// 39 needing a view and 6 a text display.
TEST(PropTable, CountsMatchTheCatalogue) {
  int empty = 0, stored = 0, computed = 0, rw = 0, ro = 0, tg = 0, ts = 0, view = 0, disp = 0;
  for (const PropertyRecord& r : kPropertyTable) {
    if (!r.type_mask) {
      ++empty;
      continue;
    }
    (r.word == kPropComputed ? computed : stored)++;
    ((r.flags & kPropWrite) ? rw : ro)++;
    tg += (r.flags & kPropTplGet) != 0;
    ts += (r.flags & kPropTplSet) != 0;
    view += (r.flags & kPropView) != 0;
    disp += (r.flags & kPropDisplay) != 0;
  }
  EXPECT_EQ(empty, 14);
  EXPECT_EQ(stored, 74);
  EXPECT_EQ(computed, 84);
  EXPECT_EQ(rw, 117);
  EXPECT_EQ(ro, 41);
  EXPECT_EQ(tg, 73);
  EXPECT_EQ(ts, 68);
  EXPECT_EQ(view, 39);
  EXPECT_EQ(disp, 6);
  for (int id : {21, 32, 37, 48, 49, 50, 51, 96, 97, 98, 99, 140, 141, 151})
    EXPECT_EQ(prop_record(id).type_mask, 0u) << id;
}

TEST(PropTable, TypeMasksOfChosenRows) {
  struct Case {
    int id;
    int type;
    bool accepts;
  };
  const Case cases[] = {
      {66, 4, true},   {66, 19, true}, {28, 18, true}, {28, 19, false}, {29, 3, false},  {29, 19, true},
      {42, 5, false},  {42, 4, true},  {16, 2, true},  {16, 12, false}, {17, 15, false}, {17, 14, true},
      {149, 1, false}, {149, 2, true}, {160, 1, true}, {160, 2, false}, {95, 19, true},  {95, 18, false},
      {2, 19, true},   {3, 18, false}, {81, 17, true}, {81, 10, false}, {79, 17, false}, {162, 19, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ((prop_record(c.id).type_mask & obj_type_bit(c.type)) != 0, c.accepts) << c.id << " on " << c.type;
  EXPECT_EQ(obj_type_bit(0), 0u);
  for (const PropertyRecord& r : kPropertyTable) EXPECT_EQ(r.type_mask & obj_type_bit(0), 0u);
}

TEST(PropTable, FlagsOfValueKinds) {
  EXPECT_TRUE(prop_record(107).flags & kPropDecimal);
  EXPECT_TRUE(prop_record(170).flags & kPropDecimal);
  EXPECT_FALSE(prop_record(170).flags & kPropWrite);
  EXPECT_TRUE(prop_record(5).flags & kPropFontText);
  EXPECT_TRUE(prop_record(23).flags & kPropStateText);
  EXPECT_EQ(prop_record(27).flags & (kPropMark1 | kPropMark2), kPropMark1 | kPropMark2);
  EXPECT_EQ(prop_record(57).flags & (kPropMark1 | kPropMark2), kPropMark1);
  // Name: readable on templates, never settable there.
  EXPECT_EQ(prop_record(28).flags & (kPropTplGet | kPropTplSet), kPropTplGet);
  std::set<int> strings;
  for (const PropertyRecord& r : kPropertyTable)
    if (r.flags & kPropString) strings.insert(r.id);
  const std::set<int> want = {25,  26,  28,  29,  30,  52,  86,  92,  93,  94,  110, 113,
                              114, 115, 121, 148, 152, 153, 162, 164, 166, 167, 168};
  EXPECT_EQ(strings, want);
}

TEST(PropTable, PackedFields) {
  PropertyBlock b{};
  EXPECT_EQ(prop_set_field(b, 16, 300), (300u & 15) << 4);  // cut to four bits
  EXPECT_EQ(prop_get_field(b, 16), 12u);
  prop_set_field(b, 15, 0xF);
  EXPECT_EQ(prop_get_field(b, 16), 12u) << "a neighbour field is untouched";
  EXPECT_EQ(b.words[1], (0xFu << 12) | (12u << 4));
  prop_set_field(b, 40, static_cast<uint32_t>(-1));
  EXPECT_EQ(prop_field_value(b, 40), -1) << "a whole word reads back signed";
  prop_set_field(b, 24, 255);
  EXPECT_EQ(prop_field_value(b, 24), 255) << "a narrower field reads back unsigned";
  prop_set_field(b, 11, 1);
  EXPECT_EQ(b.words[0], 1u << 10);
  EXPECT_EQ(prop_set_field(b, 103, 7), 0u) << "a computed id stores nothing";
  EXPECT_EQ(prop_get_field(b, 103), 0u);
}

TEST(ObjectTypes, Defaults) {
  PropertyBlock check{};
  obj_init_type_defaults(check, kObjCheck);
  EXPECT_EQ(prop_get_field(check, 5), 8u);
  EXPECT_EQ(prop_get_field(check, 3), 1u);
  EXPECT_EQ(prop_get_field(check, 2), 1u);
  EXPECT_EQ(prop_get_field(check, 11), 1u);
  EXPECT_EQ(prop_get_field(check, 12), 1u);
  EXPECT_EQ(prop_field_value(check, 40), -1);
  EXPECT_EQ(prop_block_string(check, 30), "MS Sans Serif");
  prop_block_set_string(check, 30, std::nullopt);

  struct Case {
    int type, id;
    int32_t want;
  };
  const Case cases[] = {
      {kObjForm, 16, 3},
      {kObjForm, 12, 0},
      {kObjFrame, 16, 2},
      {kObjList, 18, 2},
      {kObjHScroll, 78, 32767},
      {kObjGauge, 78, 100},
      {kObjSpin, 31, static_cast<int32_t>(0x8000000f)},
      {kObjSpin, 81, 100},
      {kObjSpin, 90, 1},
      {kObjCombo, 69, 1},
      {kObjCombo, 16, 0},
      {kObjPicture, 83, 1},
      {kObjImage, 16, 0},
      {kObjMenu, 2, 1},
      {kObjMenu, 47, 0},
      {kObjText, 47, 1},
      {kObjText, 31, static_cast<int32_t>(0x80000005)},
      {kObjLabel, 33, 13},
  };
  for (const Case& c : cases) {
    PropertyBlock b{};
    obj_init_type_defaults(b, c.type);
    EXPECT_EQ(prop_field_value(b, c.id), c.want) << "type " << c.type << " id " << c.id;
    prop_block_set_string(b, 30, std::nullopt);
  }
}

TEST(ObjectTypes, NameFlagCodecAndHash) {
  EXPECT_EQ(obj_type_to_name_flags(3), 0x1c00u);
  EXPECT_EQ(obj_type_from_name_flags(0x1c00), 3);
  EXPECT_EQ(obj_type_to_name_flags(34 | 128), 0x10001u);
  EXPECT_EQ(obj_type_from_name_flags(0x10001), 34 | 128);
  for (int t = 34; t <= 44; ++t) {
    if (t == 42) continue;  // 41 and 42 share 0x80: the first wins
    EXPECT_EQ(obj_type_from_name_flags(obj_type_to_name_flags(t)), t) << t;
  }
  EXPECT_EQ(obj_type_from_name_flags(0x80), 41);
  EXPECT_EQ(obj_type_from_name_flags(0x12345), 0);
  EXPECT_EQ(obj_name_hash("text1"), obj_name_hash("TEXT1"));
  EXPECT_EQ(obj_name_hash("my_box"), obj_name_hash("MY-BOX"));
  // 'A' + 'B' = 131, low four bits 3.
  EXPECT_EQ(obj_name_hash("ab"), 3);
  EXPECT_EQ(obj_type_name(kObjText), "text");
  EXPECT_EQ(obj_type_name(kObjHelp), "");
  EXPECT_EQ(prop_find_name("visible"), 11);
  EXPECT_EQ(prop_find_name("no-such"), -1);
}

}  // namespace

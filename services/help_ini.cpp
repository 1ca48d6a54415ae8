// The help ini file, font translations, the automatic scale and lookups.
#include "services/help_ini.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>

#include "base/ini.h"
#include "base/os.h"
#include "base/regular_file.h"
#include "services/help_view.h"

namespace {

// A help ini file holds font translations and two options: a page of text.
constexpr int64_t kHelpIniMax = 1 << 20;

bool iequal(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The field up to delim (blanks around it dropped, at most 99 characters);
// the rest stays in s.
std::string take_field(std::string_view& s, char delim) {
  const size_t at = s.find(delim);
  std::string_view f = s.substr(0, at);
  s = at == std::string_view::npos ? std::string_view{} : s.substr(at + 1);
  f = trim(f);
  return std::string(f.substr(0, 99));
}

int32_t number(const std::string& s) { return static_cast<int32_t>(std::strtol(s.c_str(), nullptr, 10)); }

// Lines of one section, each from its first non-blank.
template <class Fn>
void each_line(std::string_view text, const char* section, Fn fn) {
  const int32_t length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
  int32_t offset = ini_find_section(text.data(), length, section);
  if (offset < 0) return;
  char line[1024];
  while (ini_next_line(text.data(), length, &offset, line, sizeof line) == 0) fn(std::string_view(line));
}

}  // namespace

void help_translate_font(const HelpView& v, std::string* face, int32_t* size) {
  for (const HelpFontTranslation& t : v.translations) {
    if (!iequal(t.face, *face)) continue;
    if (t.size == 0) {
      *face = t.new_face;
      if (t.new_size != 0) *size = t.new_size;
      return;
    }
    if (t.size == *size) {
      *face = t.new_face;
      *size = t.new_size;
      return;
    }
  }
}

void help_apply_ini(HelpView& v, std::string_view text) {
  v.translations.clear();
  each_line(text, "help font translations", [&](std::string_view line) {
    HelpFontTranslation t;
    t.name = take_field(line, ',');
    t.face = take_field(line, ',');
    t.size = number(take_field(line, '='));
    t.new_face = take_field(line, ',');
    t.new_size = number(take_field(line, '\0'));
    v.translations.push_back(std::move(t));
  });
  // A value of 0 or below would divide by zero or flatten every measure:
  // such a file keeps the scale there was.
  int32_t num = 1, den = 1;
  bool fixed = false, refused = false;
  each_line(text, "help options", [&](std::string_view line) {
    const std::string key = take_field(line, '=');
    const int32_t value = number(take_field(line, ','));
    const bool mul = iequal(key, "Scale Mul"), div = iequal(key, "Scale Div");
    if (!mul && !div) return;
    fixed = true;
    if (value <= 0)
      refused = true;
    else
      (mul ? num : den) = value;
  });
  if (!refused) {
    v.scale_num = num;
    v.scale_den = den;
  }
  v.scale_fixed = fixed;
  help_auto_scale(v);
  // The new translations and scale take effect on the shown topic now.
  help_drop_fonts(v);
  help_relayout(v);
}

ErrorCode help_load_ini(HelpView& v, const std::string& path) {
  std::string text;
  if (const ErrorCode e = regular_file_read(path.c_str(), kHelpIniMax, &text)) return e;
  if (!text.empty() && text.back() == '\x1A') text.pop_back();
  help_apply_ini(v, text);
  return 0;
}

void help_set_font_style(HelpView& v, std::string_view text) {
  text = text.substr(0, 1023);
  const std::string name = take_field(text, ','), face = take_field(text, ',');
  const int32_t size = number(take_field(text, '\0'));
  for (HelpFontTranslation& t : v.translations)
    if (iequal(t.name, name)) {
      t.new_face = face;
      t.new_size = size;
    }
  help_auto_scale(v);
  help_drop_fonts(v);
  help_relayout(v);
}

void help_auto_scale(HelpView& v) {
  if (v.scale_fixed) return;
  const auto it = std::find_if(v.translations.begin(), v.translations.end(),
                               [](const HelpFontTranslation& t) { return iequal(t.name, "Help Default"); });
  if (it == v.translations.end()) return;
  auto measure = [&](bool italic, std::string_view s, int64_t* w) {
    HelpFontSpec spec;
    spec.face = it->new_face;
    spec.size = it->new_size;
    spec.weight = 700;
    spec.italic = italic;
    HelpFontInfo info;
    if (!v.canvas->open_font(spec, &info)) return false;
    *w = int64_t{v.canvas->text_width(info.handle, s.data(), static_cast<int32_t>(s.size()))} * v.canvas->tppx();
    v.canvas->close_font(info.handle);
    return true;
  };
  int64_t w1 = 0, w2 = 0;
  if (!measure(true, "Applies To", &w1) || !measure(false, "Selecting Text And Operating On Selected Text", &w2))
    return;
  if (w2 * 1000 > w1 * 4600) {
    if (w2 <= 0) return;
    v.scale_num = static_cast<int32_t>(std::min<int64_t>(w2, INT32_MAX));
    v.scale_den = 4600;
  } else {
    if (w1 <= 0) return;
    v.scale_num = static_cast<int32_t>(std::min<int64_t>(w1, INT32_MAX));
    v.scale_den = 1000;
  }
}

ErrorCode help_goto_keyword(HelpView& v, std::string_view keyword, const std::string_view* topic) {
  if (!help_is_open(v.file)) return 0;
  int32_t want = -1;
  if (topic) {
    want = help_find_topic(v.file, *topic);
    if (want < 0) return -1;
  }
  for (size_t k = 0; k < v.file.keywords.size(); ++k) {
    const int32_t kk = static_cast<int32_t>(k);
    if (!iequal(help_keyword_name(v.file, kk), keyword)) continue;
    const int32_t t = help_keyword_topic(v.file, kk);
    if (t < 0 || (topic && t != want)) continue;
    return help_show_topic(v, t, static_cast<int32_t>(std::min<uint32_t>(v.file.keywords[k].position, INT32_MAX)));
  }
  return -1;
}

ErrorCode help_goto_topic_name(HelpView& v, std::string_view name, int32_t position) {
  if (!help_is_open(v.file)) return 0;
  const int32_t t = help_find_topic(v.file, name);
  if (t < 0) return 1;
  return help_show_topic(v, t, position);
}

ErrorCode help_contents(HelpView& v) {
  if (!help_is_open(v.file)) return 0;
  const int32_t k = static_cast<int32_t>(v.file.trailer[HT_START_KEYWORD]);
  const int32_t t = help_keyword_topic(v.file, k);
  if (k < 0 || t < 0) return 0;
  return help_show_topic(
      v, t, static_cast<int32_t>(std::min<uint32_t>(v.file.keywords[static_cast<size_t>(k)].position, INT32_MAX)));
}

std::string help_query(const HelpView& v, std::string_view name) {
  if (v.file.current_topic < 0) return {};
  std::string n(name.substr(0, 99));
  for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (n == "topic") return std::string(help_topic_name(v.file, v.file.current_topic));
  if (n == "offset") return std::to_string(v.topic_position);
  if (n == "selactive") return v.sel_anchor != v.sel_end ? "1" : "0";
  if (n == "topicindex") return std::to_string(v.file.current_topic);
  if (n == "noftopics") return std::to_string(v.file.topics.size());
  if (n == "file") return v.file.name;
  return {};
}

int32_t help_list_keywords(const HelpView& v, const HelpListCallback& cb) {
  if (!help_is_open(v.file)) return 0;
  std::string_view previous;
  bool first = true;
  for (size_t k = 0; k < v.file.keywords.size(); ++k) {
    const std::string_view name = help_keyword_name(v.file, static_cast<int32_t>(k));
    if (!first && name == previous) continue;
    first = false;
    previous = name;
    if (const int32_t r = cb(name); r != 0) return r;
  }
  return 0;
}

int32_t help_list_keyword_topics(const HelpView& v, const HelpListCallback& cb, const std::string_view* keyword) {
  if (!keyword) return 1;
  if (!help_is_open(v.file)) return 0;
  for (size_t k = 0; k < v.file.keywords.size(); ++k) {
    const int32_t kk = static_cast<int32_t>(k);
    if (!iequal(help_keyword_name(v.file, kk), *keyword)) continue;
    const std::string text = std::string(help_topic_name(v.file, help_keyword_topic(v.file, kk))) + "\t" +
                             std::to_string(static_cast<int32_t>(v.file.keywords[k].position));
    if (const int32_t r = cb(text); r != 0) return r;
  }
  return 0;
}

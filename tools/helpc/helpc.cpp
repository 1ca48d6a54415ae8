// The help compiler (see README.md): parse the markup into topics, fonts,
// formats, keywords, links and pictures, then lay the file out as texts,
// pictures, string pool, the nine tables and the trailer.
#include "tools/helpc/helpc.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "macro/rle.h"

namespace {

constexpr uint32_t kLinkStyle = 8;

struct Font {
  std::string face;
  uint32_t style = 0, size = 100;
};
struct Format {
  uint32_t first = 0, left = 0;
  std::vector<uint32_t> tabs;
};
struct Keyword {
  std::string name;
  uint32_t topic, position;
};
struct LinkRequest {
  std::string topic, keyword;
  int line;
};
struct Topic {
  std::string name;
  std::string text;
};
struct Image {
  std::vector<uint8_t> stored;
  uint32_t expanded;
};

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> words_of(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> w;
  for (std::string x; in >> x;) w.push_back(x);
  return w;
}

bool number(const std::string& s, uint32_t* out) {
  if (s.empty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  *out = static_cast<uint32_t>(std::stoul(s));
  return true;
}

void put32(std::vector<uint8_t>& f, uint32_t x) {
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

class Compiler {
 public:
  Compiler(const std::string& base, std::vector<HelpcDiag>& diags) : base_(base), diags_(diags) {}

  bool run(std::string_view source, std::vector<uint8_t>& out) {
    if (!source.empty() && source.back() == '\n') source.remove_suffix(1);  // no empty paragraph after the last line
    int line_no = 0;
    size_t at = 0;
    while (at <= source.size()) {
      size_t end = source.find('\n', at);
      if (end == std::string_view::npos) end = source.size();
      std::string_view line = source.substr(at, end - at);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++line_no;
      line_ = line_no;
      this->line(line);
      if (end == source.size()) break;
      at = end + 1;
    }
    if (in_link_) error("a {link} is not closed");
    finish_topic();
    if (topics_.empty()) error("no @topic");
    if (!diags_.empty()) return false;
    return layout(out);
  }

 private:
  void error(const std::string& m) { diags_.push_back({line_, m}); }

  void line(std::string_view l) {
    if (!l.empty() && l[0] == '#') return;
    if (!l.empty() && l[0] == '@') return directive(l);
    if (topics_.empty()) {
      if (!words_of(l).empty()) error("text before the first @topic");
      return;
    }
    if (!first_line_) topics_.back().text += '\n';
    first_line_ = false;
    text(l);
  }

  void directive(std::string_view l) {
    const auto w = words_of(l);
    const std::string& d = w[0];
    uint32_t n = 0;
    if (d == "@topic" && w.size() >= 2) {
      finish_topic();
      const std::string name(l.substr(l.find(w[1])));
      for (const auto& t : topics_)
        if (lower(t.name) == lower(name)) error("topic \"" + name + "\" is defined twice");
      topics_.push_back({name, {}});
      first_line_ = true;
      font_ = 0;
    } else if (d == "@keyword" && w.size() >= 2) {
      if (topics_.empty()) return error("@keyword before the first @topic");
      keyword(std::string(l.substr(l.find(w[1]))));
    } else if (d == "@start" && w.size() >= 2) {
      start_ = std::string(l.substr(l.find(w[1])));
    } else if (d == "@font" && w.size() >= 4 && number(w[1], &n)) {
      if (n != fonts_.size()) return error("fonts are numbered 0, 1, 2... in order");
      Font f;
      f.face = w[2];
      if (!number(w[3], &f.size)) return error("a font size is a number (tenths of a point)");
      for (size_t i = 4; i < w.size(); ++i) {
        if (w[i] == "bold")
          f.style |= 1;
        else if (w[i] == "italic")
          f.style |= 2;
        else if (w[i] == "underline")
          f.style |= 4;
        else if (w[i] == "link")
          f.style |= kLinkStyle;
        else
          return error("unknown font style \"" + w[i] + "\"");
      }
      fonts_.push_back(f);
    } else if (d == "@format" && w.size() >= 4 && number(w[1], &n)) {
      if (n != formats_.size()) return error("formats are numbered 0, 1, 2... in order");
      Format f;
      if (!number(w[2], &f.first) || !number(w[3], &f.left)) return error("indents are numbers of twips");
      for (size_t i = 4; i < w.size(); ++i) {
        uint32_t t = 0;
        if (!number(w[i], &t) || (!f.tabs.empty() && t <= f.tabs.back())) return error("tabs are rising numbers");
        f.tabs.push_back(t);
      }
      if (f.tabs.size() > 17) return error("at most 17 tabs");
      formats_.push_back(f);
    } else if (d == "@image" && w.size() == 3 && number(w[1], &n)) {
      if (n != images_.size()) return error("images are numbered 0, 1, 2... in order");
      std::ifstream in(base_ + "/" + w[2], std::ios::binary);
      if (!in) return error("image file \"" + w[2] + "\" cannot be read");
      const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      Image im;
      im.expanded = static_cast<uint32_t>(bytes.size());
      im.stored.resize(rle_compress(nullptr, bytes));
      rle_compress(im.stored.data(), bytes);
      images_.push_back(std::move(im));
    } else {
      error("unknown or incomplete directive \"" + d + "\"");
    }
  }

  void keyword(const std::string& name) {
    keywords_.push_back(
        {name, static_cast<uint32_t>(topics_.size() - 1), static_cast<uint32_t>(topics_.back().text.size())});
  }

  void escape(char code, uint32_t n) {
    // The blank after the number is taken with the escape.
    topics_.back().text += std::string("\x01") + code + std::to_string(n) + " ";
  }

  void text(std::string_view l) {
    std::string& t = topics_.back().text;
    for (size_t i = 0; i < l.size(); ++i) {
      const char c = l[i];
      if (c == '\\' && i + 1 < l.size()) {
        const char e = l[++i];
        t += e == 't' ? '\t' : e;
        continue;
      }
      if (c == '\x01') {
        t += "\x01\x01";
        continue;
      }
      if (c == '}') {
        error("a \"}\" without its \"{\"");
        continue;
      }
      if (c != '{') {
        t += c;
        continue;
      }
      const size_t close = l.find('}', i);
      if (close == std::string_view::npos) {
        error("a \"{\" is not closed on its line");
        return;
      }
      inline_tag(std::string(l.substr(i + 1, close - i - 1)));
      i = close;
    }
  }

  void inline_tag(const std::string& tag) {
    const auto w = words_of(tag);
    uint32_t n = 0;
    if (w.size() == 2 && w[0] == "f" && number(w[1], &n)) {
      if (n >= font_count()) return error("no font " + w[1]);
      font_ = n;
      escape('c', n);
    } else if (w.size() == 2 && w[0] == "p" && number(w[1], &n)) {
      if (n >= std::max<size_t>(formats_.size(), 1)) return error("no format " + w[1]);
      escape('p', n);
    } else if (w.size() == 2 && w[0] == "pic" && number(w[1], &n)) {
      if (n >= images_.size()) return error("no image " + w[1] + " (declare it with @image first)");
      escape('b', n);
    } else if (w.size() >= 2 && w[0] == "kw") {
      keyword(tag.substr(tag.find(w[1])));
    } else if (w.size() >= 2 && w[0] == "link") {
      if (in_link_) return error("a {link} inside a {link}");
      const std::string target = tag.substr(tag.find(w[1]));
      const size_t hash = target.find('#');
      links_.push_back({target.substr(0, hash), hash == std::string::npos ? "" : target.substr(hash + 1), line_});
      in_link_ = true;
      link_font_ = link_font();
      escape('c', link_font_);
    } else if (w.size() == 1 && w[0] == "/link") {
      if (!in_link_) return error("{/link} without {link}");
      in_link_ = false;
      escape('l', static_cast<uint32_t>(links_.size() - 1));
      escape('c', font_);
    } else {
      error("unknown tag {" + tag + "}");
    }
  }

  size_t font_count() const { return fonts_.empty() ? 2 : fonts_.size(); }

  uint32_t link_font() {
    if (fonts_.empty()) return 1;  // the default table's link font
    for (size_t i = 0; i < fonts_.size(); ++i)
      if (fonts_[i].style & kLinkStyle) return static_cast<uint32_t>(i);
    error("a {link} needs a font with the link style");
    return 0;
  }

  void finish_topic() {
    if (in_link_) {
      error("a {link} is not closed at the end of its topic");
      in_link_ = false;
    }
  }

  bool layout(std::vector<uint8_t>& f) {
    if (fonts_.empty()) fonts_ = {{"Helvetica", 0, 100}, {"Helvetica", kLinkStyle, 100}};
    if (formats_.empty()) formats_.push_back({});
    // Link targets: a topic by name, at 0 or at one of its keywords.
    std::vector<std::pair<uint32_t, uint32_t>> links;
    for (const auto& l : links_) {
      line_ = l.line;
      int32_t topic = -1;
      for (size_t i = 0; i < topics_.size(); ++i)
        if (lower(topics_[i].name) == lower(l.topic)) topic = static_cast<int32_t>(i);
      if (topic < 0) {
        error("a link to the unknown topic \"" + l.topic + "\"");
        continue;
      }
      uint32_t pos = 0;
      if (!l.keyword.empty()) {
        bool found = false;
        for (const auto& k : keywords_)
          if (k.topic == static_cast<uint32_t>(topic) && lower(k.name) == lower(l.keyword)) {
            pos = k.position;
            found = true;
            break;
          }
        if (!found) error("topic \"" + l.topic + "\" has no keyword \"" + l.keyword + "\"");
      }
      links.emplace_back(static_cast<uint32_t>(topic), pos);
    }
    // Entries of one keyword name stand together.
    std::stable_sort(keywords_.begin(), keywords_.end(),
                     [](const Keyword& a, const Keyword& b) { return lower(a.name) < lower(b.name); });
    uint32_t start = 0xFFFFFFFF;
    if (!start_.empty()) {
      for (size_t i = 0; i < keywords_.size() && start == 0xFFFFFFFF; ++i)
        if (lower(keywords_[i].name) == lower(start_)) start = static_cast<uint32_t>(i);
      if (start == 0xFFFFFFFF) error("@start names no keyword: \"" + start_ + "\"");
    }
    if (!diags_.empty()) return false;

    f.clear();
    std::vector<uint32_t> text_at;
    for (const auto& t : topics_) {
      text_at.push_back(static_cast<uint32_t>(f.size()));
      f.insert(f.end(), t.text.begin(), t.text.end());
    }
    std::vector<uint32_t> image_at;
    for (const auto& im : images_) {
      image_at.push_back(static_cast<uint32_t>(f.size()));
      f.insert(f.end(), im.stored.begin(), im.stored.end());
    }
    std::string pool;
    std::map<std::string, uint32_t> pooled;
    auto intern = [&](const std::string& s) {
      auto it = pooled.find(s);
      if (it != pooled.end()) return it->second;
      const uint32_t off = static_cast<uint32_t>(pool.size());
      pool += s;
      pool += '\0';
      pooled.emplace(s, off);
      return off;
    };
    std::vector<uint32_t> faces;
    std::vector<uint32_t> font_face;
    for (const auto& ft : fonts_) {
      const uint32_t off = intern(ft.face);
      auto it = std::find(faces.begin(), faces.end(), off);
      font_face.push_back(static_cast<uint32_t>(it - faces.begin()));
      if (it == faces.end()) faces.push_back(off);
    }
    std::vector<uint32_t> keyword_names, topic_names;
    for (const auto& k : keywords_) keyword_names.push_back(intern(k.name));
    for (const auto& t : topics_) topic_names.push_back(intern(t.name));

    uint32_t trailer[20] = {};
    trailer[0] = 1000;
    trailer[1] = start;
    auto table = [&](int word, uint32_t count) {
      trailer[word] = count;
      trailer[word + 1] = static_cast<uint32_t>(f.size());
    };
    table(4, static_cast<uint32_t>(pool.size()));
    f.insert(f.end(), pool.begin(), pool.end());
    table(2, static_cast<uint32_t>(keywords_.size()));
    for (size_t i = 0; i < keywords_.size(); ++i) {
      put32(f, keyword_names[i]);
      put32(f, keywords_[i].topic);
      put32(f, keywords_[i].position);
    }
    table(6, static_cast<uint32_t>(links.size()));
    for (const auto& [t, p] : links) {
      put32(f, t);
      put32(f, p);
    }
    table(8, static_cast<uint32_t>(topics_.size()));
    for (size_t i = 0; i < topics_.size(); ++i) {
      put32(f, topic_names[i]);
      put32(f, text_at[i]);
      put32(f, static_cast<uint32_t>(topics_[i].text.size()));
    }
    table(10, static_cast<uint32_t>(fonts_.size()));
    for (size_t i = 0; i < fonts_.size(); ++i) {
      put32(f, font_face[i]);
      put32(f, fonts_[i].style);
      put32(f, fonts_[i].size);
      put32(f, 0);
    }
    table(12, static_cast<uint32_t>(formats_.size()));
    for (const auto& fm : formats_) {
      uint32_t w[23] = {};
      w[2] = fm.first;
      w[3] = fm.left;
      w[5] = static_cast<uint32_t>(fm.tabs.size());
      for (size_t i = 0; i < fm.tabs.size(); ++i) w[6 + i] = fm.tabs[i];
      for (uint32_t x : w) put32(f, x);
    }
    table(14, static_cast<uint32_t>(faces.size()));
    for (uint32_t off : faces) put32(f, off);
    table(16, 0);
    table(18, static_cast<uint32_t>(images_.size()));
    for (size_t i = 0; i < images_.size(); ++i) {
      put32(f, image_at[i]);
      put32(f, static_cast<uint32_t>(images_[i].stored.size()));
      put32(f, images_[i].expanded);
    }
    for (uint32_t x : trailer) put32(f, x);
    return true;
  }

  std::string base_;
  std::vector<HelpcDiag>& diags_;
  int line_ = 0;
  std::vector<Topic> topics_;
  std::vector<Font> fonts_;
  std::vector<Format> formats_;
  std::vector<Keyword> keywords_;
  std::vector<LinkRequest> links_;
  std::vector<Image> images_;
  std::string start_;
  bool first_line_ = true;
  bool in_link_ = false;
  uint32_t font_ = 0, link_font_ = 0;
};

}  // namespace

bool helpc_compile(std::string_view source, const std::string& base_dir, std::vector<uint8_t>& out,
                   std::vector<HelpcDiag>& diags) {
  Compiler c(base_dir, diags);
  return c.run(source, out);
}

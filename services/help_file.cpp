// Loading and closing help files, and reading what they point to.
#include "services/help_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "base/le.h"
#include "base/os.h"
#include "base/regular_file.h"
#include "macro/rle.h"

namespace {

constexpr uint32_t kBufferBytes = 1024;
// Help files hold text and a few pictures, read a topic at a time; a file
// past this is no help file of ours (and its tables would not fit memory).
constexpr int64_t kHelpFileMax = int64_t{64} << 20;
constexpr size_t kFirstTextBytes = 5000;

// Positions the file handle at offset and reads n bytes: 0 or -33.
ErrorCode read_at(HelpViewer& v, uint64_t offset, void* to, size_t n) {
  const int h = v.stream->handle;
  if (os_seek(h, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset)) return ERR_READING_FILE;
  size_t done = 0;
  auto* p = static_cast<uint8_t*>(to);
  while (done < n) {
    const int64_t got = os_read(h, p + done, n - done);
    if (got <= 0) return ERR_READING_FILE;
    done += static_cast<size_t>(got);
  }
  return 0;
}

// Loads one table of count entries of `size` bytes at offset into raw.
ErrorCode load_raw(HelpViewer& v, int count_word, uint32_t size, std::vector<uint8_t>& raw) {
  const uint64_t count = v.trailer[count_word], offset = v.trailer[count_word + 1];
  const uint64_t bytes = count * size;  // at most 2^32 x 92: no overflow in 64 bits
  if (offset > static_cast<uint64_t>(v.file_size) || bytes > static_cast<uint64_t>(v.file_size) - offset)
    return ERR_READING_FILE;
  try {
    raw.resize(bytes);
  } catch (const std::bad_alloc&) {
    return ERR_INSUFFICIENT_MEMORY;
  }
  return bytes == 0 ? 0 : read_at(v, offset, raw.data(), raw.size());
}

template <class T, class Fill>
ErrorCode load_table(HelpViewer& v, int count_word, uint32_t size, std::vector<T>& out, Fill fill) {
  std::vector<uint8_t> raw;
  if (const ErrorCode rc = load_raw(v, count_word, size, raw); rc != 0) return rc;
  try {
    out.resize(raw.size() / size);
  } catch (const std::bad_alloc&) {
    return ERR_INSUFFICIENT_MEMORY;
  }
  for (size_t i = 0; i < out.size(); ++i) fill(out[i], raw.data() + i * size);
  return 0;
}

uint32_t u32(const uint8_t* p, int word) { return le::get_u32(p + 4 * word); }

}  // namespace

bool help_is_open(const HelpViewer& v) { return v.stream != nullptr; }

void help_close_file(HelpViewer& v) {
  if (v.stream) {
    v.font_cache.clear();
    if (v.free_picture)
      for (auto& slot : v.image_cache)
        if (slot.picture) v.free_picture(slot.picture);
    v.image_cache.clear();
    v.keywords.clear();
    v.pool.clear();
    v.links.clear();
    v.topics.clear();
    v.fonts.clear();
    v.formats.clear();
    v.names.clear();
    v.reserved.clear();
    v.images.clear();
    v.stream.reset();
    v.trailer.fill(0);
    v.file_size = 0;
  }
  v.name.clear();
  v.current_topic = -1;
  v.text_length = 0;
  ++v.repaints;
}

ErrorCode help_load_file(HelpViewer& v, const std::string& path) {
  help_close_file(v);
  RegularFile file = regular_file_open(path.c_str(), kHelpFileMax);
  if (file.error) return file.error;
  ErrorCode err = 0;
  std::unique_ptr<BufFile, BufFileCloser> stream(bufio_adopt(file.fd.get(), &err, kBufferBytes));
  if (!stream) return err;
  file.fd.release();  // the stream's now
  const off_t size = file.size;
  if (size < static_cast<off_t>(kHelpTrailerBytes) ||
      os_seek(stream->handle, size - kHelpTrailerBytes, SEEK_SET) != size - static_cast<off_t>(kHelpTrailerBytes))
    return ERR_READING_FILE;
  uint8_t raw[kHelpTrailerBytes];
  size_t done = 0;
  while (done < sizeof raw) {
    const int64_t got = os_read(stream->handle, raw + done, sizeof raw - done);
    if (got < 0) return static_cast<ErrorCode>(got);
    if (got == 0) return ERR_READING_FILE;
    done += static_cast<size_t>(got);
  }
  if (u32(raw, HT_VERSION) != kHelpVersion) return 1;
  for (int i = 0; i < 20; ++i) v.trailer[i] = u32(raw, i);
  v.name = path.substr(0, 255);
  v.stream = std::move(stream);
  v.file_size = size;
  v.current_topic = -1;

  ErrorCode rc = load_table(v, HT_FONT_COUNT, 16, v.fonts, [](HelpFont& f, const uint8_t* p) {
    f = {u32(p, 0), u32(p, 1), u32(p, 2), u32(p, 3)};
  });
  if (rc == 0)
    rc = load_table(v, HT_FORMAT_COUNT, 92, v.formats, [](HelpParaFormat& f, const uint8_t* p) {
      for (int i = 0; i < 23; ++i) f.words[i] = u32(p, i);
    });
  if (rc == 0)
    rc = load_table(v, HT_LINK_COUNT, 8, v.links, [](HelpLink& l, const uint8_t* p) { l = {u32(p, 0), u32(p, 1)}; });
  if (rc == 0)
    rc = load_table(v, HT_KEYWORD_COUNT, 12, v.keywords, [](HelpKeyword& k, const uint8_t* p) {
      k = {u32(p, 0), u32(p, 1), u32(p, 2)};
    });
  if (rc == 0)
    rc = load_table(v, HT_TOPIC_COUNT, 12, v.topics, [](HelpTopic& t, const uint8_t* p) {
      t = {u32(p, 0), u32(p, 1), u32(p, 2)};
    });
  if (rc == 0) rc = load_table(v, HT_NAME_COUNT, 4, v.names, [](uint32_t& n, const uint8_t* p) { n = u32(p, 0); });
  if (rc == 0)
    rc = load_table(v, HT_POOL_SIZE, 1, v.pool, [](char& c, const uint8_t* p) { c = static_cast<char>(*p); });
  if (rc == 0)
    rc = load_table(v, HT_RESERVED_COUNT, 4, v.reserved, [](uint32_t& n, const uint8_t* p) { n = u32(p, 0); });
  if (rc == 0)
    rc = load_table(v, HT_IMAGE_COUNT, 12, v.images, [](HelpImage& i, const uint8_t* p) {
      i = {u32(p, 0), u32(p, 1), u32(p, 2)};
    });
  if (rc == 0 && os_seek(v.stream->handle, 0, SEEK_SET) != 0) rc = ERR_READING_FILE;
  if (rc == 0) {
    try {
      v.image_cache.assign(v.images.size(), HelpImageSlot{});
      v.font_cache.clear();
      v.font_cache.resize(v.fonts.size());
      if (v.text.size() < kFirstTextBytes) v.text.assign(kFirstTextBytes, '\0');
    } catch (const std::bad_alloc&) {
      rc = ERR_INSUFFICIENT_MEMORY;
    }
  }
  if (rc != 0) help_close_file(v);
  return rc;
}

ErrorCode help_read_topic_text(HelpViewer& v, int32_t n) {
  if (!v.stream || n < 0 || static_cast<size_t>(n) >= v.topics.size()) return ERR_READING_FILE;
  const HelpTopic& t = v.topics[static_cast<size_t>(n)];
  if (t.text_offset > static_cast<uint64_t>(v.file_size)) return ERR_READING_FILE;
  // A text reaching past the end of the file cannot be read whole; nothing
  // is allocated for it.
  if (uint64_t{t.text_offset} + t.text_length > static_cast<uint64_t>(v.file_size)) return 1;
  if (bufio_seek(v.stream.get(), t.text_offset, SEEK_SET) != 0) return ERR_READING_FILE;
  std::vector<char> text;
  try {
    text.assign(std::max<size_t>(v.text.size(), size_t{t.text_length} + 1), '\0');
  } catch (const std::bad_alloc&) {
    return 1;
  }
  if (t.text_length > 0 && bufio_read(text.data(), 1, t.text_length, v.stream.get()) != t.text_length) return 1;
  text[t.text_length] = '\0';
  v.text.swap(text);
  v.text_length = t.text_length;
  return 0;
}

bool help_read_image(HelpViewer& v, int32_t n, std::vector<uint8_t>& out) {
  out.clear();
  if (!v.stream || n < 0 || static_cast<size_t>(n) >= v.images.size()) return false;
  const HelpImage& im = v.images[static_cast<size_t>(n)];
  if (uint64_t{im.data_offset} + im.stored_size > static_cast<uint64_t>(v.file_size)) return false;
  std::vector<uint8_t> stored;
  try {
    stored.resize(im.stored_size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (bufio_seek(v.stream.get(), im.data_offset, SEEK_SET) != 0 ||
      bufio_read(stored.data(), 1, stored.size(), v.stream.get()) != stored.size())
    return false;
  // Measure first: the stored bytes must expand to exactly the stated size.
  if (rle_expand(nullptr, 0, stored) != static_cast<int64_t>(im.expanded_size)) return false;
  try {
    out.resize(im.expanded_size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (rle_expand(out.data(), im.expanded_size, stored) != static_cast<int64_t>(im.expanded_size)) {
    out.clear();
    return false;
  }
  return true;
}

std::string_view help_pool_string(const HelpViewer& v, uint32_t offset) {
  if (offset >= v.pool.size()) return {};
  const char* p = v.pool.data() + offset;
  const size_t room = v.pool.size() - offset;
  const void* nul = std::memchr(p, '\0', room);
  return {p, nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : room};
}

std::string_view help_topic_name(const HelpViewer& v, int32_t topic) {
  if (topic < 0 || static_cast<size_t>(topic) >= v.topics.size()) return {};
  return help_pool_string(v, v.topics[static_cast<size_t>(topic)].name);
}

std::string_view help_keyword_name(const HelpViewer& v, int32_t keyword) {
  if (keyword < 0 || static_cast<size_t>(keyword) >= v.keywords.size()) return {};
  return help_pool_string(v, v.keywords[static_cast<size_t>(keyword)].name);
}

int32_t help_keyword_topic(const HelpViewer& v, int32_t keyword) {
  if (keyword < 0 || static_cast<size_t>(keyword) >= v.keywords.size()) return -1;
  const uint32_t t = v.keywords[static_cast<size_t>(keyword)].topic;
  return t < v.topics.size() ? static_cast<int32_t>(t) : -1;
}

bool help_link_target(const HelpViewer& v, int32_t link, int32_t* topic, uint32_t* position) {
  if (link < 0 || static_cast<size_t>(link) >= v.links.size()) return false;
  const HelpLink& l = v.links[static_cast<size_t>(link)];
  if (l.topic >= v.topics.size()) return false;
  *topic = static_cast<int32_t>(l.topic);
  *position = l.position;
  return true;
}

const HelpFont* help_font(const HelpViewer& v, int32_t font) {
  if (font < 0 || static_cast<size_t>(font) >= v.fonts.size()) return nullptr;
  return &v.fonts[static_cast<size_t>(font)];
}

std::string_view help_font_face(const HelpViewer& v, int32_t font) {
  const HelpFont* f = help_font(v, font);
  if (!f || f->face >= v.names.size()) return {};
  return help_pool_string(v, v.names[f->face]);
}

const HelpParaFormat* help_format(const HelpViewer& v, int32_t format) {
  if (format < 0 || static_cast<size_t>(format) >= v.formats.size()) return nullptr;
  return &v.formats[static_cast<size_t>(format)];
}

uint32_t help_format_tab_count(const HelpParaFormat& f) { return std::min(f.words[5], kHelpMaxTabs); }

int32_t help_find_topic(const HelpViewer& v, std::string_view name) {
  for (size_t i = 0; i < v.topics.size(); ++i) {
    const std::string_view t = help_topic_name(v, static_cast<int32_t>(i));
    if (t.size() == name.size() && std::equal(t.begin(), t.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      return static_cast<int32_t>(i);
  }
  return -1;
}

std::vector<HelpPiece> help_scan_text(std::string_view raw) {
  std::vector<HelpPiece> out;
  if (const size_t nul = raw.find('\0'); nul != std::string_view::npos) raw = raw.substr(0, nul);
  auto add_char = [&](uint32_t at, char c) {
    if (out.empty() || out.back().kind != HelpPieceKind::Text) out.push_back({HelpPieceKind::Text, at, {}, 0});
    out.back().text += c;
  };
  size_t i = 0;
  while (i < raw.size()) {
    const char c = raw[i];
    if (c != '\x01') {
      add_char(static_cast<uint32_t>(i), c);
      ++i;
      continue;
    }
    const size_t at = i;
    if (i + 1 >= raw.size()) break;  // cut off: the text ends
    const char code = raw[i + 1];
    i += 2;
    if (code == '\x01') {
      add_char(static_cast<uint32_t>(at), '\x01');
      continue;
    }
    HelpPieceKind kind;
    switch (code) {
      case 'c':
        kind = HelpPieceKind::Font;
        break;
      case 'p':
        kind = HelpPieceKind::Format;
        break;
      case 'l':
        kind = HelpPieceKind::Link;
        break;
      case 'b':
        kind = HelpPieceKind::Picture;
        break;
      default:
        continue;  // dropped with its code byte
    }
    uint64_t n = 0;
    while (i < raw.size() && raw[i] >= '0' && raw[i] <= '9') {
      n = std::min<uint64_t>(n * 10 + static_cast<uint64_t>(raw[i] - '0'), UINT32_MAX);
      ++i;
    }
    if (i < raw.size() && raw[i] != '\x01') ++i;  // the delimiter goes with the escape
    out.push_back({kind, static_cast<uint32_t>(at), {}, static_cast<uint32_t>(n)});
  }
  return out;
}

// Help files: the binary file a help viewer reads, and the escapes inside
// its topic texts.
//
// The last 80 bytes of a file are its trailer: 20 little-endian u32 words,
// a version (1000), the start keyword, and a count and a file offset for
// each of nine tables: keywords (12-byte entries), the string pool (bytes),
// links (8), topics (12), fonts (16), paragraph formats (92), name offsets
// (4), a reserved table (4) and images (12). Topic texts and stored pictures
// lie wherever the topic and image tables say.
//
// Every table must lie inside the file, its size computed without
// overflow; a topic text or a picture is read only when it lies inside the
// file too. Indices found inside the tables (a keyword's topic, a link's
// target, a font's face, a string-pool offset) are checked where they are
// used, and an index outside its table is treated as absent. A tab count
// above 17 counts as 17.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/buffile.h"
#include "base/messages.h"

inline constexpr uint32_t kHelpVersion = 1000;
inline constexpr uint32_t kHelpTrailerBytes = 80;
inline constexpr uint32_t kHelpMaxTabs = 17;

enum HelpTrailerWord : int {
  HT_VERSION,
  HT_START_KEYWORD,
  HT_KEYWORD_COUNT,
  HT_KEYWORD_OFFSET,
  HT_POOL_SIZE,
  HT_POOL_OFFSET,
  HT_LINK_COUNT,
  HT_LINK_OFFSET,
  HT_TOPIC_COUNT,
  HT_TOPIC_OFFSET,
  HT_FONT_COUNT,
  HT_FONT_OFFSET,
  HT_FORMAT_COUNT,
  HT_FORMAT_OFFSET,
  HT_NAME_COUNT,
  HT_NAME_OFFSET,
  HT_RESERVED_COUNT,
  HT_RESERVED_OFFSET,
  HT_IMAGE_COUNT,
  HT_IMAGE_OFFSET,
};

struct HelpKeyword {
  uint32_t name, topic, position;
};
struct HelpLink {
  uint32_t topic, position;
};
struct HelpTopic {
  uint32_t name, text_offset, text_length;
};
struct HelpFont {
  uint32_t face, style, size, unused;
};
inline constexpr uint32_t kHelpFontBold = 1, kHelpFontItalic = 2, kHelpFontUnderline = 4, kHelpFontLink = 8;
struct HelpParaFormat {
  std::array<uint32_t, 23> words;  // 2 first-line indent, 3 left indent, 5 tab count, 6.. tabs
};
struct HelpImage {
  uint32_t data_offset, stored_size, expanded_size;
};

// One picture of the image cache: not loaded while picture is null.
struct HelpImageSlot {
  void* picture = nullptr;
  int32_t width = 0, height = 0;
};
// One font of the font cache; the layout fills it when the font is first used.
struct HelpFontSlot {
  bool loaded = false;
  std::unique_ptr<int16_t[]> widths;
};

struct BufFileCloser {
  void operator()(BufFile* f) const { bufio_close(f); }
};

// What a help viewer holds of its file.
struct HelpViewer {
  std::array<uint32_t, 20> trailer{};
  std::string name;  // at most 255 bytes
  std::unique_ptr<BufFile, BufFileCloser> stream;
  int64_t file_size = 0;
  std::vector<HelpKeyword> keywords;
  std::vector<char> pool;
  std::vector<HelpLink> links;
  std::vector<HelpTopic> topics;
  std::vector<HelpFont> fonts;
  std::vector<HelpParaFormat> formats;
  std::vector<uint32_t> names;
  std::vector<uint32_t> reserved;
  std::vector<HelpImage> images;
  std::vector<HelpImageSlot> image_cache;
  std::vector<HelpFontSlot> font_cache;
  std::vector<char> text;  // the current topic's text and a NUL; starts at 5000 bytes
  uint32_t text_length = 0;
  int32_t current_topic = -1;             // none
  int repaints = 0;                       // times the window was invalidated
  void (*free_picture)(void*) = nullptr;  // the window system's, once pictures are made
};

// 0, 1 for a version other than 1000, or a negative code (the open's own,
// -5 for a name that is no regular file, -8 for one too large to be a help
// file, -33). Closes any file the viewer has open first.
ErrorCode help_load_file(HelpViewer& v, const std::string& path);
// Frees what the file loaded, closes it, and invalidates the viewer.
void help_close_file(HelpViewer& v);
bool help_is_open(const HelpViewer& v);

// Reads topic n's text into v.text (NUL-terminated): 0, -33 when it cannot
// be positioned, 1 when it cannot be read whole. The old text stays on
// failure.
ErrorCode help_read_topic_text(HelpViewer& v, int32_t n);

// Reads picture n's stored bytes and expands them: false (out empty) when
// the picture is absent or damaged.
bool help_read_image(HelpViewer& v, int32_t n, std::vector<uint8_t>& out);

// Checked lookups: an index outside its table is absent.
std::string_view help_pool_string(const HelpViewer& v, uint32_t offset);
std::string_view help_topic_name(const HelpViewer& v, int32_t topic);
std::string_view help_keyword_name(const HelpViewer& v, int32_t keyword);
int32_t help_keyword_topic(const HelpViewer& v, int32_t keyword);  // -1 when absent
bool help_link_target(const HelpViewer& v, int32_t link, int32_t* topic, uint32_t* position);
const HelpFont* help_font(const HelpViewer& v, int32_t font);
std::string_view help_font_face(const HelpViewer& v, int32_t font);
const HelpParaFormat* help_format(const HelpViewer& v, int32_t format);
uint32_t help_format_tab_count(const HelpParaFormat& f);
int32_t help_find_topic(const HelpViewer& v, std::string_view name);  // ignoring case; -1 none

// The pieces of a topic text, escapes decoded.
enum class HelpPieceKind : uint8_t { Text, Font, Format, Link, Picture };
struct HelpPiece {
  HelpPieceKind kind;
  uint32_t offset;      // of the piece in the raw text
  std::string text;     // Text: the characters (0x01 for an escaped 0x01)
  uint32_t number = 0;  // the escape's number
};
// Splits raw text (up to a NUL or its end) into pieces. Unknown escapes are
// dropped with their code byte; an escape cut off by the end ends the text.
std::vector<HelpPiece> help_scan_text(std::string_view raw);

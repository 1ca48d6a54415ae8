// Fuzz target: arbitrary bytes read as a help file. A file that loads is
// walked whole: every topic text read and scanned, every keyword, link,
// font and format looked up, every picture expanded. Nothing may read
// outside a table, the file or a picture.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/input_file.h"
#include "services/help_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string path = fuzz_input_file(data, size);
  if (path.empty()) return 0;
  HelpViewer v;
  if (help_load_file(v, path) != 0) {
    if (help_is_open(v)) std::abort();  // never a half-loaded file
    return 0;
  }
  const int32_t topics = static_cast<int32_t>(std::min<size_t>(v.topics.size(), 64));
  for (int32_t t = 0; t < topics; ++t) {
    help_topic_name(v, t);
    if (help_read_topic_text(v, t) != 0) continue;
    if (v.text.size() <= v.text_length || v.text[v.text_length] != '\0') std::abort();
    for (const auto& p : help_scan_text(std::string_view(v.text.data(), v.text_length))) {
      if (p.offset > v.text_length) std::abort();
      int32_t topic = 0;
      uint32_t pos = 0;
      if (p.kind == HelpPieceKind::Link && help_link_target(v, static_cast<int32_t>(p.number), &topic, &pos) &&
          static_cast<size_t>(topic) >= v.topics.size())
        std::abort();
      if (p.kind == HelpPieceKind::Font) help_font_face(v, static_cast<int32_t>(p.number));
      if (const HelpParaFormat* f =
              p.kind == HelpPieceKind::Format ? help_format(v, static_cast<int32_t>(p.number)) : nullptr)
        if (help_format_tab_count(*f) > kHelpMaxTabs) std::abort();
    }
  }
  for (int32_t k = 0; k < static_cast<int32_t>(std::min<size_t>(v.keywords.size(), 256)); ++k) {
    help_keyword_name(v, k);
    const int32_t t = help_keyword_topic(v, k);
    if (t >= static_cast<int32_t>(v.topics.size())) std::abort();
  }
  for (int32_t f = 0; f < static_cast<int32_t>(std::min<size_t>(v.fonts.size(), 256)); ++f) help_font_face(v, f);
  std::vector<uint8_t> picture;
  for (int32_t i = 0; i < static_cast<int32_t>(std::min<size_t>(v.images.size(), 16)); ++i)
    if (help_read_image(v, i, picture) && picture.size() != v.images[static_cast<size_t>(i)].expanded_size)
      std::abort();
  help_close_file(v);
  if (help_is_open(v)) std::abort();
  return 0;
}

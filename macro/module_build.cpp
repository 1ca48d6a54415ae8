#include "macro/module_build.h"

#include "base/le.h"
#include "macro/names.h"
#include "macro/rle.h"
#include "macro/state.h"

void varint_append(std::vector<uint8_t>& out, std::string_view s) {
  uint32_t n = uint32_t(s.size());
  do {
    uint8_t b = n & 0x7F;
    n >>= 7;
    if (n) b |= 0x80;
    out.push_back(b);
  } while (n);
  out.insert(out.end(), s.begin(), s.end());
}

ModuleBuilder::ModuleBuilder() {
  // Offset 0 means "none" in module-form tables, so the first real string
  // must not sit there.
  strings.push_back(0);
}

uint16_t ModuleBuilder::add_string(std::string_view s) {
  auto it = string_index_.find(s);
  if (it != string_index_.end()) return it->second;
  uint16_t off = uint16_t(strings.size());
  varint_append(strings, s);
  string_index_.emplace(std::string(s), off);
  return off;
}

uint16_t ModuleBuilder::add_constant(std::string_view s) {
  auto it = constant_index_.find(s);
  if (it != constant_index_.end()) return it->second;
  uint16_t off = uint16_t(constants.size());
  varint_append(constants, s);
  constant_index_.emplace(std::string(s), off);
  return off;
}

uint16_t ModuleBuilder::add_link(uint16_t kind, uint16_t a, uint16_t b, uint16_t c) {
  links.push_back({a, kind, b, c});
  return uint16_t(kFirstLink + links.size() - 1);
}

std::vector<uint8_t> ModuleBuilder::image() const {
  size_t consts = kModuleHeaderSize + code.size();
  size_t link_table = consts + constants.size();
  size_t size = link_table + (kFirstLink + links.size()) * kLinkEntrySize;
  if (size > 0xFFFF || strings.size() > 0xFFFF) return {};
  std::vector<uint8_t> img(size, 0);
  uint8_t* p = img.data();
  le::put_u16(p + MH_SIZE, uint16_t(size));
  le::put_u16(p + MH_LINKS, uint16_t(link_table));
  le::put_i16(p + MH_LAST_LINK, int16_t(kFirstLink + links.size() - 1));
  le::put_u16(p + MH_MAIN, main_entry);
  le::put_u16(p + MH_INIT, init_entry);
  le::put_u16(p + MH_LOAD, load_entry);
  le::put_u16(p + MH_CONSTANTS, uint16_t(consts));
  std::copy(code.begin(), code.end(), img.begin() + kModuleHeaderSize);
  std::copy(constants.begin(), constants.end(), img.begin() + long(consts));
  for (size_t i = 0; i < links.size(); ++i) {
    uint8_t* l = p + link_table + (kFirstLink + i) * kLinkEntrySize;
    le::put_u16(l, links[i].a);
    le::put_u16(l + 2, links[i].kind);
    le::put_u16(l + 4, links[i].b);
    le::put_u16(l + 6, links[i].c);
  }
  return img;
}

std::vector<uint8_t> ModuleBuilder::file() const {
  std::vector<uint8_t> img = image();
  if (img.empty()) return {};
  std::vector<uint8_t> out;
  state_append_record(out, SR_STRINGS, strings);
  state_append_record(out, startup ? SR_STARTUP_MODULE : SR_MODULE, img);
  for (const Table& t : tables) {
    std::vector<uint8_t> word;
    le::append_u32(word, t.name);
    state_append_record(out, SR_TABLE_NAME, word);
    std::vector<uint8_t> form;
    for (uint32_t w : t.form) le::append_u32(form, w);
    form.resize(kEventTableBytes, 0);
    std::vector<uint8_t> enc(rle_compress(nullptr, form));
    rle_compress(enc.data(), form);
    state_append_record(out, SR_EVENT_TABLE, enc);
  }
  for (const std::vector<uint8_t>& form : templates) {
    std::vector<uint8_t> enc(rle_compress(nullptr, form));
    rle_compress(enc.data(), form);
    state_append_record(out, SR_TEMPLATE, enc);
  }
  return out;
}

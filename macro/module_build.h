// Building module files: the image (header, code, constants, link table),
// the strings area and the module-form event tables. Used by the assembler
// (tools/zozu) and by tests that need modules.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "macro/module.h"

struct ModuleBuilder {
  std::vector<uint8_t> code;       // bytes from image offset 28 on
  std::vector<uint8_t> constants;  // constants area
  std::vector<uint8_t> strings;    // strings area; offset 0 holds an empty string
  std::vector<LinkEntry> links;    // entries 3 .. last
  uint16_t main_entry = 0, init_entry = 0, load_entry = 0;
  bool startup = false;
  struct Table {
    uint16_t name;               // strings offset of its name
    std::vector<uint32_t> form;  // 555 words: parent, then 554 bindings
  };
  std::vector<Table> tables;
  std::vector<std::vector<uint8_t>> templates;  // form templates in module form

  ModuleBuilder();
  // Offsets into the areas (strings of equal text are stored once).
  uint16_t add_string(std::string_view s);
  uint16_t add_constant(std::string_view s);
  // Appends a link entry; its link index (3 and up).
  uint16_t add_link(uint16_t kind, uint16_t a, uint16_t b = 0, uint16_t c = 0);
  // Image offset of the next code byte.
  uint32_t here() const { return kModuleHeaderSize + uint32_t(code.size()); }

  // The image; empty when it does not fit 65535 bytes or an offset overflows.
  std::vector<uint8_t> image() const;
  // The whole module file (records 10, 7 or 12, then 11 + 8 per table, then
  // 14 per template).
  std::vector<uint8_t> file() const;

 private:
  std::map<std::string, uint16_t, std::less<>> string_index_, constant_index_;
};

// Appends a varint length and the bytes.
void varint_append(std::vector<uint8_t>& out, std::string_view s);

// helpc: the help compiler. It turns the text markup described in README.md
// beside it into a binary help file that the help viewer reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HelpcDiag {
  int line = 0;
  std::string message;
};

// Compiles source. Picture files named by @image are read relative to
// base_dir. True with the file in out, or false with at least one diagnostic.
bool helpc_compile(std::string_view source, const std::string& base_dir, std::vector<uint8_t>& out,
                   std::vector<HelpcDiag>& diags);

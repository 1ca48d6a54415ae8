// The libraries built into a program without the services: those the test
// added, found by file name (any directory, any case).
#include <algorithm>
#include <cctype>
#include <string_view>

#include "macro/dll_port.h"
#include "tests/support/headless/dll_fakes.h"
#include "tests/support/headless/mark.h"

const DllBuiltinLibrary* dll_builtin_library(std::string_view file_name) {
  if (const size_t slash = file_name.rfind('/'); slash != std::string_view::npos) file_name.remove_prefix(slash + 1);
  for (const DllBuiltinLibrary* b : dlltest::dll.builtins) {
    const std::string_view n(b->file_name ? b->file_name : "");
    if (n.size() == file_name.size() && std::equal(n.begin(), n.end(), file_name.begin(), [](char a, char c) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(c));
        }))
      return b;
  }
  return nullptr;
}

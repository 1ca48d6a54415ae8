// Fuzz target: the control clipboard reader over arbitrary bytes. The block
// lies in an allocation of exactly its length, so a read past its end shows
// under the address sanitizer; a block it accepts must write back to a
// block that reads the same again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "forms/clipboard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::unique_ptr<uint8_t[]> block(new uint8_t[size > 0 ? size : 1]);
  std::memcpy(block.get(), data, size);
  std::vector<ClipObject> objects;
  const int32_t r = clip_read_controls(std::span<const uint8_t>(block.get(), size), &objects);
  if (r != 0) {
    if (r != -2085) std::abort();
    return 0;
  }
  const std::vector<uint8_t> again = clip_write_controls(objects);
  if (again.empty()) return 0;  // strings too far for their fields
  std::vector<ClipObject> back;
  if (clip_read_controls(again, &back) != 0 || back.size() != objects.size()) std::abort();
  for (size_t i = 0; i < back.size(); ++i) {
    if (back[i].records.size() != objects[i].records.size()) std::abort();
    for (size_t k = 0; k < back[i].records.size(); ++k)
      if (back[i].records[k].strings != objects[i].records[k].strings) std::abort();
  }
  return 0;
}

// Error codes the text store, loading, the cursor and the edits return.
// Values of the program's message table.
#pragma once

#include <cstdint>

namespace store_code {
inline constexpr int32_t kFileNotFound = -2;
inline constexpr int32_t kReadError = -33;        // "Error reading file"
inline constexpr int32_t kSpillTooLarge = -2001;  // "Spill file too large. Save files and exit"
inline constexpr int32_t kLinesTruncated = -2011; // "Lines truncated"
inline constexpr int32_t kBottomOfFile = -2024;
inline constexpr int32_t kTopOfFile = -2025;
inline constexpr int32_t kInvalidPoint = -2026;
inline constexpr int32_t kNotEnoughMemory = -2029;
inline constexpr int32_t kSpillIoError = -2031;   // "Spill file I/O error"
inline constexpr int32_t kInvalidArgument = -3015;
}  // namespace store_code

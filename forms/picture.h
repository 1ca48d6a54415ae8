// Pictures: named resources of the macro state (names entries with the
// picture flag) that controls and text displays show.
//
// A picture resource is a 4-byte head and the image: kind (u16, little-
// endian) 3 for XPM text, 1 for the data of a bitmap file, then a u16 0.
// Files become resources with kind 3 (a bitmap file is converted to XPM
// text on the way in). A resource becomes a window-system image on first
// use, and the image is kept per names entry until the entry is released.
//
// Every length is checked against the bytes there: a short or damaged
// resource is refused, never read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct XfPicture;

inline constexpr uint16_t kPictureKindBitmap = 1;
inline constexpr uint16_t kPictureKindXpm = 3;
inline constexpr size_t kPictureHeadSize = 4;

// The head of stored picture data and the image bytes after it.
struct PictureResource {
  uint16_t kind = 0;
  std::span<const uint8_t> image;
};

// Reads the head. 0, or -3000 when the data is shorter than the head or
// the reserved word is not 0.
int32_t ctl_picture_parse(std::span<const uint8_t> stored, PictureResource* out);

// The resource's image as XPM text (no NUL counted): kind 3 is checked and
// copied, kind 1 converted from the bitmap file with the array name "name".
// 0, -2550 for another kind or format, -2551 for a damaged image, -8.
int32_t ctl_picture_to_xpm(const PictureResource& resource, std::string* xpm);

// Reads an image file into resource data (head {3, 0} and XPM text): XPM
// text stays as read, a bitmap file with a 40- or 64-byte header becomes
// XPM text; any other contents give -2550. File errors give their codes
// (-2 missing, -5 denied, -31 a read error), memory -8.
int32_t ctl_picture_read_file(const char* path, std::vector<uint8_t>* data);

// Makes a window-system image of XPM text; null on failure. The default
// uses the display of the window layer; tests install their own.
using PictureMaker = XfPicture* (*)(const std::string& xpm);
using PictureFreer = void (*)(XfPicture* picture);
void ctl_picture_set_maker(PictureMaker make, PictureFreer free);

// The image of names entry `index`, made once and cached: null unless the
// entry is a picture whose data load and convert.
XfPicture* ctl_picture_get(uint32_t index);
// Frees the cached image of the entry (the entry stays).
void ctl_picture_release(uint32_t index);
// Frees every cached image (shutdown, a new state).
void ctl_picture_release_all();
// Number of images made so far (tests check "made once").
uint64_t ctl_picture_made_count();

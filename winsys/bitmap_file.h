// Bitmap files: XPM text and Windows bitmap files (BMP). A BMP file is
// checked against its real length, converted into XPM text, and XPM text
// becomes an X image with its transparency mask through libXpm.
//
// Every length, count and offset of a header is checked against the bytes
// actually there, sizes are computed in 64 bits, and the output is sized
// from what is written: a corrupt or hostile file gives -2551 "Invalid
// bitmap file" or -2550 "Unsupported graphics format", never a read past
// the buffer. Memory failures give -8.
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "winsys/draw.h"

inline constexpr int kErrUnsupportedGraphics = -2550;
inline constexpr int kErrInvalidBitmap = -2551;
inline constexpr int kErrNoMemory = -8;

// Image kinds.
inline constexpr int kImageBmpInfo = 1;  // bitmap file data from a stored picture
inline constexpr int kImageBmp40 = 2;
inline constexpr int kImageXpmText = 3;
inline constexpr int kImageBmp12 = 4;
inline constexpr int kImageBmp64 = 5;
inline constexpr int kImageXpmData = 6;

// The largest picture side and pixel count taken (larger is unsupported).
inline constexpr int64_t kMaxPictureSide = 32767;
inline constexpr int64_t kMaxPicturePixels = 16 * 1024 * 1024;

// Largest picture file read: the largest picture shown (kMaxPicturePixels
// at 4 bytes a pixel, or XPM text at a few characters a pixel) fits.
inline constexpr int64_t kMaxPictureFileBytes = int64_t{128} << 20;

// Reads a whole file into a buffer with `head_room` zero bytes before the
// data and one NUL after it; 0 or a negative error code (-2 missing, -5
// denied or no regular file, -8 memory, -31 a read error, -2551 a file
// over kMaxPictureFileBytes).
int xfReadImageFile(const char* path, std::vector<char>* out, size_t* size, size_t head_room);

// Classifies the data: 0 and the kind, or -2550 / -2551.
int xfImageFileKind(int* kind, const unsigned char* data, size_t size);

// Converts a bitmap file of kind 1, 2 or 5 into XPM text whose array is
// `name`: `out` gets head_room zero bytes, the text and a NUL, *length the
// text's length. 0, or -2550, -2551, -8. The data is classified again
// whatever the kind says.
int xfBitmapToXpm(std::vector<char>* out, size_t* length, const unsigned char* data, size_t size, int kind,
                  const char* name, size_t head_room = 0);

// The array name of a picture: a first character that is not a letter, '_'
// or '$' becomes '_', any later one that is not a letter, digit, '_' or '$'.
std::string xf_xpm_name(const char* name);
// A value in base 57 from '#', `width` characters.
std::string xpm_code(uint32_t value, int width);

// Checks XPM text before libXpm sees it: no NUL inside, a values line of
// sane width, height, colour count and characters per pixel. 0 or -2551
// (-2550 for a picture too large).
int xf_xpm_check(const char* text, size_t length);

struct XfPicture {
  XImage* image;
  XImage* mask;  // 1 bit per pixel, or none
};

// kind 3: XPM text (data, size); kind 6: XPM data lines (data is char**,
// size the number of lines). 0, -2550 for another kind, -2551 for text
// libXpm refuses, -8.
int xfXpmToPicture(Display* display, XfPicture** out, const void* data, size_t size, int kind);
void xfFreePicture(XfPicture* picture);
int32_t xfPictureWidth(const XfPicture* picture);
int32_t xfPictureHeight(const XfPicture* picture);
// Draws the picture scaled to width x height at x, y; with a mask only the
// masked pixels, combined by the raster code (0 copy, 1 or, 2 and, else
// clear). image_width / height 0 take the whole image.
void xfDrawPicture(DrawContext* context, const XfPicture* picture, int32_t x, int32_t y, int32_t width, int32_t height,
                   int32_t source_x, int32_t source_y, int32_t image_width, int32_t image_height, int32_t raster);
// A nearest-pixel copy of an image at another size; none on failure.
XImage* xfScaleImage(Display* display, const XImage* image, int32_t width, int32_t height);

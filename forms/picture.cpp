// Picture resources and their cached images (see picture.h).
#include "forms/picture.h"

#include <map>

#include "base/le.h"
#include "base/messages.h"
#include "macro/code_cache.h"
#include "macro/names.h"
#include "winsys/bitmap_file.h"
#include "winsys/xfsys.h"

namespace {

XfPicture* make_with_display(const std::string& xpm) {
  Display* d = xf_display();
  XfPicture* p = nullptr;
  if (!d || xfXpmToPicture(d, &p, xpm.data(), xpm.size(), kImageXpmText) != 0) return nullptr;
  return p;
}

PictureMaker g_make = make_with_display;
PictureFreer g_free = xfFreePicture;

// One cached image, with the name it was made for: an entry whose index a
// picture of another name took is not mistaken for the old one. (Deleting
// or replacing a picture entry releases its image.)
struct CacheSlot {
  XfPicture* image = nullptr;
  std::string name;
};
std::map<uint32_t, CacheSlot> g_cache;
uint64_t g_made = 0;

}  // namespace

int32_t ctl_picture_parse(std::span<const uint8_t> stored, PictureResource* out) {
  *out = PictureResource{};
  if (stored.size() < kPictureHeadSize) return ERR_INCORRECT_VERSION;
  if (le::get_u16(stored.data() + 2) != 0) return ERR_INCORRECT_VERSION;
  out->kind = le::get_u16(stored.data());
  out->image = stored.subspan(kPictureHeadSize);
  return 0;
}

int32_t ctl_picture_to_xpm(const PictureResource& r, std::string* xpm) {
  xpm->clear();
  if (r.kind == kPictureKindXpm) {
    const char* text = reinterpret_cast<const char*>(r.image.data());
    size_t n = r.image.size();
    while (n > 0 && text[n - 1] == '\0') --n;  // a stored terminator is not part of the text
    if (const int c = xf_xpm_check(text, n); c != 0) return c;
    xpm->assign(text, n);
    return 0;
  }
  if (r.kind != kPictureKindBitmap) return ERR_UNSUPPORTED_GRAPHICS_FORMAT;
  int file_kind = 0;
  if (xfImageFileKind(&file_kind, r.image.data(), r.image.size()) != 0 ||
      (file_kind != kImageBmp40 && file_kind != kImageBmp64))
    return ERR_UNSUPPORTED_GRAPHICS_FORMAT;
  std::vector<char> out;
  size_t length = 0;
  if (const int c = xfBitmapToXpm(&out, &length, r.image.data(), r.image.size(), kImageBmpInfo, "name"); c != 0)
    return c;
  if (length > out.size()) return kErrInvalidBitmap;
  xpm->assign(out.data(), length);
  return 0;
}

int32_t ctl_picture_read_file(const char* path, std::vector<uint8_t>* data) {
  data->clear();
  std::vector<char> buf;
  size_t size = 0;
  if (const int c = xfReadImageFile(path, &buf, &size, kPictureHeadSize); c != 0) return c;
  if (buf.size() < kPictureHeadSize + size) return kErrInvalidBitmap;
  const auto* bytes = reinterpret_cast<const unsigned char*>(buf.data()) + kPictureHeadSize;
  int kind = 0;
  // What the classifier does not know is not a picture.
  if (xfImageFileKind(&kind, bytes, size) != 0) return ERR_UNSUPPORTED_GRAPHICS_FORMAT;
  const char* text = nullptr;
  size_t length = 0;
  std::vector<char> converted;
  if (kind == kImageXpmText) {
    text = buf.data() + kPictureHeadSize;
    length = size;
  } else if (kind == kImageBmp40 || kind == kImageBmp64) {
    if (const int c = xfBitmapToXpm(&converted, &length, bytes, size, kind, "name"); c != 0) return c;
    if (length > converted.size()) return kErrInvalidBitmap;
    text = converted.data();
  } else {
    return ERR_UNSUPPORTED_GRAPHICS_FORMAT;
  }
  data->resize(kPictureHeadSize + length);
  le::put_u16(data->data(), kPictureKindXpm);
  le::put_u16(data->data() + 2, 0);
  std::copy(text, text + length, data->begin() + kPictureHeadSize);
  return 0;
}

void ctl_picture_set_maker(PictureMaker make, PictureFreer free) {
  ctl_picture_release_all();
  g_make = make ? make : make_with_display;
  g_free = free ? free : xfFreePicture;
}

XfPicture* ctl_picture_get(uint32_t index) {
  if (!(name_is_valid(index) & NF_PICTURE)) return nullptr;
  if (auto it = g_cache.find(index); it != g_cache.end()) {
    if (it->second.name == name_text(index)) return it->second.image;
    ctl_picture_release(index);  // another picture took the index
  }
  if (name_load_data(index) != 0) return nullptr;
  const NameEntry* e = name_entry(index);
  const uint8_t* block = name_block(index);
  if (!e || !block) return nullptr;
  PictureResource r;
  if (ctl_picture_parse({block, e->size}, &r) != 0) return nullptr;
  std::string xpm;
  if (ctl_picture_to_xpm(r, &xpm) != 0) return nullptr;
  XfPicture* p = g_make(xpm);
  if (!p) return nullptr;
  ++g_made;
  g_cache[index] = CacheSlot{p, std::string(name_text(index))};
  return p;
}

void ctl_picture_release(uint32_t index) {
  auto it = g_cache.find(index);
  if (it == g_cache.end()) return;
  if (it->second.image) g_free(it->second.image);
  g_cache.erase(it);
}

void ctl_picture_release_all() {
  for (auto& [index, slot] : g_cache)
    if (slot.image) g_free(slot.image);
  g_cache.clear();
}

uint64_t ctl_picture_made_count() { return g_made; }

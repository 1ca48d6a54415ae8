#include "winsys/sel_receive.h"

namespace {

// What an INCR header may make us reserve before any data arrived.
constexpr size_t kIncrFirstReserve = 64u << 10;

// Bytes per item on the wire, and per item in Xlib's copy.
size_t wire_unit(int format) { return format == 8 ? 1 : format == 16 ? 2 : format == 32 ? 4 : 0; }
size_t host_unit(int format) {
  return format == 8 ? 1 : format == 16 ? sizeof(short) : format == 32 ? sizeof(long) : 0;
}

}  // namespace

bool xf_prop_append(const XfPropValue& v, std::vector<uint8_t>* out, size_t cap) {
  size_t wire = wire_unit(v.format), host = host_unit(v.format);
  if (!wire) return false;                                  // unknown format?
  if (v.nitems > v.bytes / host) return false;              // items past the data?
  if (v.nitems > (cap - out->size()) / wire) return false;  // over the cap?
  const unsigned char* p = v.data;
  if (wire == host) {
    out->insert(out->end(), p, p + v.nitems * wire);
    return true;
  }
  // Xlib's host-order shorts and longs: keep the low 16 or 32 bits,
  // little-endian, as the items travel.
  for (unsigned long i = 0; i < v.nitems; ++i, p += host) {
    unsigned long item = 0;
    for (size_t b = 0; b < wire; ++b) item |= static_cast<unsigned long>(p[b]) << (8 * b);
    for (size_t b = 0; b < wire; ++b) out->push_back(static_cast<uint8_t>(item >> (8 * b)));
  }
  return true;
}

int xf_receive_selection(const XfPropertySource& src, Atom wanted, Atom incr, std::vector<uint8_t>* out, Atom alias) {
  out->clear();
  auto is_wanted = [&](Atom type) { return type == wanted || (alias && type == alias); };
  XfPropValue v;
  if (!src.next || !src.next(src.ctx, &v) || v.type == None) return -1;
  if (v.type != incr || incr == None) {
    if (!is_wanted(v.type) || !xf_prop_append(v, out)) {
      out->clear();
      return -1;
    }
    return 0;
  }
  // INCR: the first item is the announced size, a lower bound only; the
  // buffer grows with what arrives instead.
  std::vector<uint8_t> header;
  if (v.format != 32 || !xf_prop_append(v, &header) || header.size() < 4) return -1;
  uint32_t announced = header[0] | header[1] << 8 | header[2] << 16 | static_cast<uint32_t>(header[3]) << 24;
  if (announced == 0) return -1;
  if (!src.begin_incr || !src.begin_incr(src.ctx)) return -1;
  // The announcement is only a hint: never reserve more than a first step on it.
  out->reserve(announced < kIncrFirstReserve ? announced : kIncrFirstReserve);
  for (;;) {
    XfPropValue chunk;
    bool ok = src.next(src.ctx, &chunk) && chunk.type != None;
    if (ok && chunk.nitems == 0) break;  // the empty chunk ends it
    if (!ok || !is_wanted(chunk.type) || !xf_prop_append(chunk, out)) {
      out->clear();
      out->shrink_to_fit();
      return -1;
    }
  }
  if (out->empty()) return -1;
  return 0;
}

#include "text/source_check.h"

#include <string>

#include "base/messages.h"
#include "text/store.h"

void store_source_opened(BufferRec* buf) {
  buf->source_changed = 0;
  if (buf->source_fd >= 0) {
    buf->source_stamp = file_stamp_of_fd(buf->source_fd);
    buf->disk_stamp = buf->source_stamp;
  } else {
    buf->source_stamp = FileStamp{};
    buf->disk_stamp = file_stamp_of_path(std::string(buf->name.view()).c_str());
  }
}

int32_t store_source_check(BufferRec* buf) {
  if (buf->source_changed) return ERR_READING_FILE;
  if (buf->source_fd < 0 || !buf->source_stamp.known) return 0;
  if (file_stamp_same(file_stamp_of_fd(buf->source_fd), buf->source_stamp)) return 0;
  buf->source_changed = 1;
  return ERR_READING_FILE;
}

bool store_block_lost(const BufferRec* buf, int32_t block) {
  if (!buf->source_changed) return false;
  const BlockEntry& e = store_block(block);
  return !(e.count & kCountInMemory) && store_loc_is_source(e.loc);
}

bool store_text_lost(const BufferRec* buf) {
  if (!buf->source_changed) return false;
  for (int32_t b = buf->first_block; b >= 0; b = store_block(b).next)
    if (store_block_lost(buf, b)) return true;
  return false;
}

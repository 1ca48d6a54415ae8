// Start-up of the text engine: one call connects the undo log and the
// selections to the store, the buffer layer and the search, and a second
// call (or one after a test took the hooks out) leaves them connected.

#include "text/engine.h"

#include <gtest/gtest.h>

#include "text/buffer.h"
#include "text/search.h"
#include "text/selection.h"
#include "text/store_edit.h"

namespace {

bool connected() {
  const StoreUndoHooks& u = store_undo_hooks();
  return u.inserted && u.deleted && u.changed && u.dropped && buf_hooks().deselect_buffer &&
         search_hooks().selection && search_hooks().shift_marks;
}

void disconnect() {
  store_undo_hooks() = StoreUndoHooks{};
  sel_uninstall();
}

TEST(TextEngineInit, ConnectsTheEngineAndCanBeCalledAgain) {
  disconnect();
  ASSERT_FALSE(connected());
  text_engine_init();
  EXPECT_TRUE(connected());
  text_engine_init();
  EXPECT_TRUE(connected());
  disconnect();
  text_engine_init();
  EXPECT_TRUE(connected());
  disconnect();
}

}  // namespace

// Set-up for tests that edit with the undo log and selections installed:
// the selections a test made (sels_) and the
// active one freed at the end, the store's undo hooks put back.
#pragma once

#include <vector>

#include "buffer_fixture.h"
#include "text/selection.h"
#include "text/store_edit.h"
#include "text/undo.h"

namespace buftest {

class UndoSelTest : public BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    undo_install();
    sel_install();
  }
  // A test's own clean-up (undo blocks of its buffers, its positions) runs
  // in its TearDown before this one.
  void TearDown() override {
    for (SelectionMarks* s : sels_) sel_free(s);
    sel_free(sel_active());
    store_undo_hooks() = StoreUndoHooks{};
    sel_uninstall();
    BufferTest::TearDown();
  }
  std::vector<SelectionMarks*> sels_;
};

}  // namespace buftest

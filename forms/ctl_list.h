// The buffer behind a list box: a list's items are the lines of a buffer
// of its own, shown in the list's view, whose cursor line is the chosen
// item. Macros add and remove items with the line built-ins while the list
// is the current object; the buffer goes when the list goes.
#pragma once

#include <cstdint>

#include "text/buffer.h"

// Undo steps a list's buffer keeps.
inline constexpr int32_t kListUndoSteps = 32000;

// Backs a list (type 9) that has no view yet with a new unnamed buffer
// without a file, hidden and closed with its window, shown in the list's
// view; the buffer's first (empty) line is deleted unless the list is a
// text window (property 19 = 3). The current object is kept. 0 (also for
// other objects and lists that have a view), or the buffer layer's error
// with the buffer freed.
int32_t list_create_buffer(WindowObject* list);

// Closes the buffer shown by an object that is being freed when it is
// marked to be closed with its window (an editor window's own buffers
// stay: they belong to the frame's windows). Called before the object's
// record goes.
void obj_close_own_buffer(WindowObject* obj);

// Deletes every item of a list.
void list_clear(WindowObject* list);

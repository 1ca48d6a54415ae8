// Copying controls of the form designer to the clipboard and pasting them
// back as new objects.
//
// A copy takes the selected objects of the current object's form (an
// object whose form, or any other ancestor, is selected goes with it and is
// not copied again), each with its subtree: one record per object holding
// its property block and its ten string properties, the top-level
// object's position made relative to the selection's top-left corner and,
// for a control, given in pixels. A paste makes the objects again under
// the current container with their native windows, names made unique and
// tab indexes renumbered where they would clash, and selects them.
//
// Start reading at clip_copy_controls and clip_paste_controls.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "forms/clipboard.h"
#include "macro/opcodes.h"
#include "text/buffer.h"

// The records of the selected objects of the current object's form (see
// above); -2086 "Nothing selected" when none is.
int32_t clip_collect_controls(std::vector<ClipObject>* out);
// Writes them to the clipboard under "Zorvex Controls". 0, -2086, -2029
// when the block cannot be made, or the clipboard's error.
int32_t clip_copy_controls();

// Makes the objects in the current container: the current object when it
// is a form, picture or frame, else its parent; a form record makes a new
// top-level form in design mode. 0, or the first error (the objects made
// before it stay; the one that failed is destroyed and the container is
// current again).
int32_t clip_paste_controls(std::span<const ClipObject> objects);

// Whether the object may copy or paste controls: a form or control that
// is not the application form, the frame object, an editor window or the
// command line.
bool clip_controls_allowed(const WindowObject* obj);

// Names a control uniquely within its form: a name that no other control
// of the form has is kept; else base (or the type's name word) followed by
// one more than the largest number any object of the form has after that
// base. A form is named by form_unique_name.
void ctl_unique_name(WindowObject* obj, std::optional<std::string_view> base);
// Names a form base (or "form") followed by one more than the largest
// number after that base among form templates and live forms.
void form_unique_name(WindowObject* form, std::optional<std::string_view> base);
// Keeps a non-zero tab index that no other object of the form has; else
// gives the largest of the form + 1.
void ctl_next_tab_index(WindowObject* obj);

// Built-ins: copy controls, unique control name, renumber tab index.
BindResult clip_controls_register_opcodes(OpcodeDispatch& d);

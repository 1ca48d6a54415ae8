// Form resources: a live form stored as a template, and forms made from a
// template.
//
// Saving walks the form's tree in tab order (the object, then its children
// by increasing tab index, ties in ring order; combo-box parts and hidden
// design-mode objects are left out), copies each object's property block
// into a record, links the records into rings like the objects, turns the
// string properties into pool strings and stores the records under the
// form's name. Creating goes the other way: one object per record, strings
// back in the live heap, native windows made, children in ring order.
// Records come from the state file or a module, so creation trusts nothing
// in them the template reader has not checked.
//
// Start reading at bi_save_form and bi_show_form.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "text/buffer.h"
#include "text/prop_block.h"

// Options of show_form.
enum : uint32_t {
  kShowHidden = 1,      // H
  kShowDesign = 2,      // E
  kShowCallerArgs = 4,  // A
  kShowReapply = 8,     // W
  kShowRecords = 16,    // R
  kShowNoEvents = 32,   // C
  kShowMdi = 0x100,
};

inline constexpr int32_t kEvOnLoad = 673;
// show_form passes on at most this many arguments.
inline constexpr int32_t kShowFormMaxArgs = 20;

// The records of obj's tree as save_form stores them (strings as pool
// strings). 0, -2083 (no name) or -2029 / -3002.
int32_t form_make_records(WindowObject* obj, std::vector<PropertyBlock>* out);
// Stores obj's tree as the template named after it: the template handle,
// or a negative code.
int32_t form_save(WindowObject* obj);
// Creates the object of a template record (a handle: index << 16 | record)
// under parent (the frame object: top level), with its subtree. The new
// object's id, or a negative code (nothing is left half made).
int32_t form_create_from_template(uint32_t handle, WindowObject* parent, uint32_t flags);
// Option W: the form's objects get their creation events again; with R
// each takes its record's values. The form's id or -3015.
int32_t obj_reapply_template(WindowObject* form, uint32_t flags);
// Makes the template (a names index) an MDI child form of the frame, with
// its creation events and ON-LOAD, shown; the frame remembers it as its
// last MDI form. The form's id, 0 while one is being made, or the error
// (the frame's last MDI form is then as it was).
int32_t form_load_mdi(uint32_t template_index);
// Brings an object's values in line with a record (defaults when null).
void obj_apply_record(WindowObject* obj, const PropertyBlock* record);
// True while obj_apply_record runs: property changes raise no events.
bool form_is_loading();

// Size of a form's frame parts (border and title) in its parent's unit:
// the outer window less its client. 0, 0 without a native window.
void form_frame_extra(const WindowObject* form, int32_t* width, int32_t* height);

// ---- built-ins ----
void bi_show_form();  // ext 36
void bi_save_form();  // ext 37

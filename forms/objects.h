// Window objects: every window macros can name.
//
// How it works. The records are the text engine's WindowObject records, in
// its window handle table (ids are handles; a freed id is reused last freed
// first out, and the count of ids ever handed out never shrinks). This
// layer gives them a type, a place in the object tree (parent, first child,
// a ring of siblings), a property block and native windows. Ids 0..3 are
// fixed: 0 is never an object, 1 the hidden application form, 2 the frame
// object, 3 the command line. Objects are made by window_new_child (linked,
// current) and obj_set_type (type and defaults), then realised through the
// native-window seam; they go with their whole subtree.
//
// Every object carries a creation serial besides its id: code that raises
// an event and goes on with the object afterwards compares id and serial,
// so an object that a handler closed and whose id a new object took is not
// mistaken for the old one.
//
// Start reading at bi_create_object and obj_destroy.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/buffer.h"

// Object types.
enum : int32_t {
  kObjEditorRecord = 0,  // an editor window before its native window exists
  kObjFrame = 1,
  kObjForm = 2,
  kObjText = 3,
  kObjCheck = 4,
  kObjCommand = 5,
  kObjRadio = 6,
  kObjGroup = 7,
  kObjLabel = 8,
  kObjList = 9,
  kObjHScroll = 10,
  kObjVScroll = 11,
  kObjCombo = 12,
  kObjHelp = 13,
  kObjPicture = 14,
  kObjImage = 15,
  kObjGauge = 16,
  kObjSpin = 17,
  kObjMenu = 18,
  kObjMenuItem = 19,
};

// The fixed objects.
inline constexpr int32_t kAppFormId = 1;
inline constexpr int32_t kFrameObjectId = 2;
inline constexpr int32_t kCommandLineId = 3;

// The type word automatic names use ("text" for text boxes), empty for
// types that have none (0, 1, 13, 18, 19).
std::string_view obj_type_name(int32_t type);

// ---- the object-type table ----

// Runs the type's default initialiser on the block (types 1..19; others do
// nothing). The block is not cleared first. Strings ("font": the face name
// "MS Sans Serif") are stored in the live-object heap.
void obj_init_type_defaults(PropertyBlock& b, int32_t type);
// Names-table flags <-> object type (form templates, other entries).
int32_t obj_type_from_name_flags(uint32_t flags);
uint32_t obj_type_to_name_flags(int32_t type);
// Bucket 0..15 of a control name: the 16-bit sum of its upper-cased bytes,
// '_' counted as '-'.
int32_t obj_name_hash(std::string_view name);

// ---- the table of objects ----

// Makes the fixed objects 0..3 in a fresh window table; screen size in
// pixels places the application form off the screen. 0 or -2029.
int32_t objects_init(int32_t screen_width, int32_t screen_height);
// Frees every object (tests and shutdown); the window table itself is the
// text engine's (buf_shutdown).
void objects_shutdown();

// The live object of an id (0 and dead ids: null).
WindowObject* obj_get(int32_t id);
// Whether a remembered (id, serial) still names the same object.
bool obj_same(int32_t id, uint32_t serial);
// The largest id macros see: the count of ids ever handed out - 1.
int32_t obj_last_id();
// The fixed objects (null before objects_init).
WindowObject* obj_app_form();
WindowObject* obj_frame_object();
WindowObject* obj_command_line();

// Stores the type in the record and the block, then runs the initialiser.
void obj_set_type(WindowObject* obj, int32_t type);
// A zeroed object linked as the last child of parent (alone when parent is
// null or the frame object), design-visible and redraw-on, made current.
// Null (nothing linked) when the table is full.
WindowObject* window_new_child(WindowObject* parent);
// Climbs parents while the type is neither 1 nor 2.
WindowObject* obj_top_level(WindowObject* obj);
// A part of a combo box (owner set, not a combo box itself).
bool obj_is_part(const WindowObject* obj);
// The object a built-in acts on for obj: a combo box's part gives the combo.
WindowObject* obj_owner_or_self(WindowObject* obj);
// The object whose frame or client window is w; null for null or none.
WindowObject* obj_find_by_window(const XfWindow* w);
// An editor window or MDI child: its parent is the frame object.
bool obj_is_frame_child(const WindowObject* obj);

// Destroys obj and its subtree: destruction events (while a macro runs),
// the modal state ended, native windows, strings, views, records. The
// frame object, the application form and the placeholder editor window are
// not closed this way (-2073). 0, or 1 when a handler closed it first.
int32_t obj_destroy(WindowObject* obj);

// An editor window made for a buffer (text/edit_window_port.h) becomes a
// form (type 2) with the frame object as parent, pixels as its children's
// unit and border 2.
void obj_type_editor_window(WindowObject* w);

// ---- built-ins ----
void bi_create_object();   // ext 134
void bi_is_window_id();    // ext 167
void bi_last_window_id();  // ext 168

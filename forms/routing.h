// The object tree: walks, the search for the command bound to a key or
// object event, and the creation and destruction events.
//
// The binding search for an object not in design mode goes, in order:
// the object's own event table and the tables it inherits (property 27),
// the table a macro assigned (property 76), then for most events the mode
// table of the view ("default-keys" behind it), the top-level object's two
// chains, and last the dialog manager for free-standing forms. Each chain
// is followed through at most 20 tables. A few object events stop after the
// object's own chains. An unbound character becomes command 0 (typed as
// text). Design-mode objects look only in "-ainh-dlg-edit".
//
// Events are raised through a hook (the default runs the binding with the
// object current); each raiser tests the object by id and creation serial
// after every handler, since handlers may close it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "macro/event_codes.h"
#include "text/buffer.h"

// Object events.
inline constexpr EventCode kEvOnClose = 636;
inline constexpr EventCode kEvOnChange = 639;
inline constexpr EventCode kEvOnResize = 640;
inline constexpr EventCode kEvOnTimer = 641;
inline constexpr EventCode kEvOnPaint = 642;
inline constexpr EventCode kEvScrollFirst = 643;
inline constexpr EventCode kEvScrollLast = 659;
inline constexpr EventCode kEvOnCreate = 665;
inline constexpr EventCode kEvOnDestroy = 666;
inline constexpr EventCode kEvOnCreate2 = 667;
inline constexpr EventCode kEvOnDestroy2 = 668;
inline constexpr EventCode kEvOnChange2 = 672;
inline constexpr EventCode kEvOnInitMenu = 674;

// Tables followed along one inheritance chain.
inline constexpr int kChainLimit = 20;

// Walks: the callback's first non-zero result stops the walk and is
// returned. Without `all`, a design-mode object that is not design-visible
// is skipped with its subtree.
using ObjVisit = int32_t (*)(WindowObject* obj, void* arg);
int32_t obj_visit_preorder(WindowObject* obj, void* arg, ObjVisit cb, bool all);
int32_t obj_visit_postorder(WindowObject* obj, void* arg, ObjVisit cb, bool all);
// The object, then its children by increasing tab index (property 38);
// equal indexes in ring order.
int32_t obj_visit_tab_order(WindowObject* obj, void* arg, ObjVisit cb, bool all);

void obj_tree_set_design_changed(WindowObject* obj, uint8_t value);
bool obj_tree_design_changed(WindowObject* obj);
void obj_tree_set_design_mode(WindowObject* obj, uint8_t value);
// The live object with the lowest id named `name` (case ignored).
WindowObject* obj_find_by_name(std::string_view name);

// The control names of a free-standing form, kept in a handle-heap block
// (the form's name_index) until a control is made in the form or renamed:
// 16 chains by the name's hash bucket (obj_name_hash), each entry the
// control's id and its name in dash form. Forms and parts of combo boxes
// are not entered, nor controls without a name. 0 or -3002. The lookup
// itself, form_find_control_by_name, is the macro runtime's (form_port.h).
int32_t form_build_name_hash(WindowObject* form);

// The command bound to an event for an object. 0 with *target and
// *binding set, 1 when nothing is bound, or a lookup's negative code.
// mode: 1 ordinary dispatch, 2 or 3 a key handed to the levels below the
// object's own tables.
int32_t obj_find_binding(WindowObject* obj, WindowObject** target, EventCode event, uint32_t* binding, bool skip_own,
                         int32_t mode, bool no_manager);
// The mode-table part alone: 1 when it took a binding, 0 not, negative on
// error.
int32_t obj_find_view_binding(WindowObject* obj, WindowObject** target, EventCode event, uint32_t* binding,
                              int32_t mode);
// Forgets the looked-up indexes of the design and dialog-manager tables.
void routing_reset();

// Runs a found binding for an event on an object (default: the binding run
// to completion with the object current). Tests install their own.
using ObjEventRunner = void (*)(WindowObject* target, EventCode event, uint32_t binding,
                                std::span<const std::string_view> args);
void obj_set_event_runner(ObjEventRunner runner);
// The event's argument while it runs (ON-RESIZE's move flag).
extern int32_t obj_event_arg;

// Finds and runs the binding of an event for an object; nothing when none.
void obj_raise_event(WindowObject* obj, EventCode event, std::span<const std::string_view> args = {});
// ON-CREATE (with the arguments, when given), ON-RESIZE 0 and 1, ON-CREATE2
// over the tree, children first; each object once.
void obj_send_create_events(WindowObject* obj, const std::span<const std::string_view>* args);
// ON-DESTROY and ON-DESTROY2 over the tree, children first, while a macro
// runs.
void obj_send_destroy_events(WindowObject* obj);

// The control that takes the focus when a form is shown; null when none.
WindowObject* obj_first_tab_stop(WindowObject* form);

// An object of a free-standing form got the focus: a command button (or an
// image that acts as one) takes the default look from whichever button had
// it; anything else gives it back to the form's default button.
void obj_default_button_focus(WindowObject* obj);
// Enabled (and visible) up the chain to the top level.
bool obj_is_enabled_in_chain(WindowObject* obj, bool need_visible);

// Native windows of forms and controls: the window class, create and frame
// flags and style bits an object's type and properties ask for, the
// creation of its windows (and its children's), and the small operations
// that follow the windows through their life (caption, enable, show, move
// and size, value text, destroy).
//
// Editor windows are not made here (the application makes them as MDI
// children); kControlWindowOps are the native-window functions of forms and
// controls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "forms/native.h"
#include "text/buffer.h"

struct XfWindow;
struct XfMenu;
struct FontDescription;

// Creation modes.
inline constexpr uint32_t kCreateModeChild = 64;        // a control of a form being shown or created
inline constexpr uint32_t kCreateModeForm = 128;        // a form (paste); for lists: a drop-down list
inline constexpr uint32_t kCreateModeHidden = 0x10000;  // never visible at creation

// What the window system is asked for.
struct ObjWindowStyle {
  uint32_t create_flags = 0;
  uint32_t frame_flags = 0;
  uint32_t style = 0;
  const char* cls = nullptr;    // the window class
  const char* outer = nullptr;  // the outer frame class, null for none
};

// Style bits of every object.
inline constexpr uint32_t kObjStyleVisible = 0x800000;
inline constexpr uint32_t kObjStyleDisabled = 0x1000000;
inline constexpr uint32_t kObjStyleTabStop = 0x2000000;
inline constexpr uint32_t kObjStyleDesign = 0x400000;

// The class, flags and style of obj's windows for a creation mode. A group
// frame gets property 69 set and a drop-down list (mode bit 0x80) property
// 11 cleared, as creation records them.
ObjWindowStyle obj_style_for_type(WindowObject* obj, uint32_t mode);

// Makes obj's windows inside its parent object's inner window (a form
// without a parent form: a top-level window), then those of its children
// that have none. 0; -2029 when the window system refuses (the object keeps
// no window). Objects whose parent has no window stay without one (0).
int32_t obj_create_native(WindowObject* obj, uint32_t mode);
// Destroys obj's windows and those of its subtree (children first), saving
// text boxes' text into property 52; the objects stay.
void obj_destroy_native_window(WindowObject* obj);

// The text box's current text: its field's when it has one, else property 52.
std::string obj_text_value(WindowObject* obj);
// Stores property 52 and shows it in the field, without change events.
void obj_show_text_value(WindowObject* obj);
// Before a text box's window goes: its text into property 52 (a combo box
// takes its edit part's text).
void obj_save_edit_text(WindowObject* obj);

// A new value of a control reaches its window: check boxes and radio
// buttons show it (one radio button of a group checked), scroll bars take
// the position and raise ON-CHANGE, pictures, gauges and spins repaint.
void obj_set_value(WindowObject* obj, int32_t value);
// The check a button shows for a value: below 0, or above 1 unless a
// three-state check box (property 15), shows 1.
int32_t obj_button_shown_value(const WindowObject* obj, int32_t value);

// The object's font properties (face 30, size 5, bold 3, italic 4,
// underline 8, strike-out 6, the flag 60) to and from a description; a
// face longer than the description holds is cut.
void obj_set_font(const FontDescription& d, WindowObject* obj);
void obj_get_font(const WindowObject* obj, FontDescription* d);

// Removes from a form's system menu the items its frame does not allow, by
// their exact texts: "~Restore\tAlt+F5" without minimise and maximise
// buttons, "~Size\tAlt+F8" when not sizable, "Mi~nimize\tAlt+F9" without a
// minimise button, "Ma~ximize\tAlt+F10" without a maximise button, and
// "~Hide\tAlt+F11" always. Other items keep their order.
void form_trim_system_menu(XfMenu* menu, bool minimise, bool maximise, bool sizable);
// The frame's menu-bar offset that the MDI form made last stored (its
// height less the border), 0 before any.
int32_t obj_mdi_menubar_offset();

// The native windows of forms and controls (NativeKind::Control), on the
// window system's control classes; every entry set.
extern const NativeWindowOps kControlWindowOps;
// Delivers a deferred focus change (ON-LOST-FOCUS, ON-GOT-FOCUS) once,
// guarded against running inside itself or inside ON-LOST-FOCUS; the
// refresh calls it at its end.
void app_flush_focus_events();
// The window classes of forms and controls, registered once per process,
// and the key lookups of controls above.
void obj_window_setup();

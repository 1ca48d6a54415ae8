// Macro menus: the menu bars and popups that macros build at run time.
//
// Each menu is a MenuRec in one pool (handle 0 is never given out); its
// items are a dense array, position n is item n. An item keeps the strings
// macros gave it (caption, command, categories, help command, help
// message) and a native command id unique over every live menu. Every
// change is mirrored at once into the window system's menu through the
// native functions below, which a test may replace whole (a fake that
// records, or refuses).
//
// Ids: 1..15997 are handed out in turn; after that the smallest id no live
// item carries. The root of a tree keeps a 250-bucket index by command
// name and category word, rebuilt on the first lookup after a change of
// commands, categories or items below it (`dirty`).
//
// Start reading at menu_insert and menu_set_state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/buffer.h"

struct XfMenu;

// What the macro menus need of the window system's menus; every entry is
// set. Failure of an insert is a zero result.
struct MenuNativeOps {
  // kind 1: a menu bar for the object's frame window; 0: a popup of no owner.
  XfMenu* (*create)(int32_t kind, WindowObject* owner);
  void (*destroy)(XfMenu* menu);
  int (*insert_item)(XfMenu* menu, int32_t position, uint32_t id, const char* caption, uint32_t flags);
  // Makes a popup and inserts it as a cascade item; null when it fails (the
  // popup is gone again).
  XfMenu* (*insert_cascade)(XfMenu* menu, int32_t position, uint32_t id, const char* caption, uint32_t flags);
  void (*delete_item)(XfMenu* menu, int32_t position);
  void (*modify_item)(XfMenu* menu, int32_t position, uint32_t id, XfMenu* submenu, const char* caption,
                      uint32_t flags);
  // Native positions taken before the macro's items (the merged system menu
  // of a maximised editor window in the frame's bar).
  int32_t (*offset)(XfMenu* menu);
  // Shows `bar` (null: none) on the object's frame; the frame object's bar
  // also gets the window list in `window_list`. 1, or 0 when refused.
  int (*attach)(WindowObject* obj, XfMenu* bar, XfMenu* window_list);
  // Lays out again the frame whose bar changed.
  void (*relayout)(WindowObject* obj);
  // Tracks a popup at (x, y); 1, or 0 when refused.
  int (*track)(XfMenu* menu, uint32_t flags, int32_t x, int32_t y);
  // Destroys a popup later, when the application's queue comes to it: it
  // may be on screen now.
  void (*post_destroy)(int32_t menu);
  // The one menu font of the window system.
  void (*get_font)(std::string* face, int32_t* tenths, uint32_t* style);
  void (*set_font)(const char* face, int32_t tenths, uint32_t style);
};

// The window system's menus.
extern const MenuNativeOps kMenuWindowSystem;
// The functions in use: the window system's, or what a test put in their
// place (null: the window system's again).
const MenuNativeOps& menu_native();
void menu_native_substitute(const MenuNativeOps* ops);

// Item flags: 1 checked, 4 disabled, 8 stored strings, 16 a cascade item,
// 32 passed on to the native item.
inline constexpr uint32_t kMenuChecked = 1, kMenuDisabled = 4, kMenuStored = 8, kMenuCascade = 16, kMenuNativeBit = 32;
// Ids of items macros make; the window list takes ids from 16000.
inline constexpr uint32_t kMenuLastCountedId = 15997, kMenuLastMacroId = 15999;

// The strings of an item; empty means not given.
struct MenuStrings {
  std::string caption, command, categories, help_command, help_message;
};

// ---- internal operations (0 or a handle, or a negative code) ----

// kind 0 a popup, 1 a menu bar for the owner, 2 a record without a native
// menu. -1 when no record or native menu can be had.
int32_t menu_create(WindowObject* owner, int32_t kind);
// flags & 16 makes a cascade item and returns the new submenu's handle; a
// negative position appends.
int32_t menu_insert(int32_t menu, int32_t position, uint32_t flags, const MenuStrings& s);
int32_t menu_delete_item(int32_t menu, int32_t position);
// Frees the menu, its items and its submenus; the native menu too when asked.
void menu_destroy(int32_t menu, bool free_native);
// The macro's destroy: a popup waits for destroy_deferred (it may be on
// screen); a bar goes at once. -2055, or -3015 for an attached menu or one
// without a native menu.
int32_t menu_destroy_by_macro(int32_t menu);
// What the application window does with a deferred destroy.
void menu_destroy_deferred(int32_t menu);
// The frame's message that destroys a popup menu later (mp2 its handle): it
// may have been on screen.
inline constexpr uint32_t kMsgDestroyMenu = 4146;
void menu_destroy_unattached();
int32_t menu_attach(WindowObject* obj, int32_t menu);
int32_t menu_track_popup(WindowObject* obj, int32_t menu, uint32_t flags, int32_t x, int32_t y);
int32_t menu_item_count(int32_t menu);
// The item with the native id below menu; -1 when none. The command is cut
// at its first TAB.
int32_t menu_get_item_info(int32_t menu, uint32_t id, MenuStrings* out);
// flags gets 16 added for a cascade item, whose command is its submenu handle.
int32_t menu_get_item_at(int32_t menu, int32_t position, uint32_t* flags, MenuStrings* out);
// option 'P' (key a position), 'M' (command name) or 'C' (category word).
int32_t menu_get_item(int32_t menu, std::string_view key, char option, uint32_t* flags, MenuStrings* out);
int32_t menu_find_item(int32_t menu, std::string_view key, char option, int32_t* found_menu, int32_t* position);
// Strings are replaced only where `strings` is given and non-empty.
int32_t menu_set_state(int32_t menu, std::string_view key, uint32_t flags, char option, const MenuStrings* strings);
// option 'B' bind, 'U' unbind, 'C' clear.
int32_t menu_set_key_text(int32_t menu, std::string_view command, std::string_view key_text, char option);
int32_t menu_get_font(int32_t menu, std::string* face, int32_t* tenths, uint32_t* style);
int32_t menu_set_font(int32_t menu, std::string_view face, int32_t tenths, uint32_t style);
XfMenu* menu_native(int32_t menu);
// The native menu of the first cascade item captioned exactly `caption`.
XfMenu* menu_find_submenu_by_caption(int32_t menu, std::string_view caption);
// Whether a popup is being tracked; the object and popup of the last
// tracking (they stay after it ends, for the command it posted).
bool menu_popup_tracking(int32_t* object, int32_t* menu);

// The exit path's release of the GUI: cached pictures freed, the frame's
// menu bar replaced by an empty one, every unattached menu destroyed, the
// frame hidden, and free forms (not in the frame, owned by no form) hidden
// and their windows destroyed. The number of font-cache slots still used.
int32_t app_release_gui();

// Forgets every menu (tests and shutdown) and starts ids again from 1.
void menus_reset();
int32_t menus_live();

// ---- helpers shared with the menu resources ----

// Whether `word` is a whole item of a `delimiter`-separated list; an empty
// word is in no list.
bool word_in_list(std::string_view list, std::string_view word, char delimiter);
// "word|!word|...": the first term that matches decides.
bool category_pattern_match(std::string_view categories, std::string_view pattern);
// The caption's text before its first TAB, and the key text after it.
void caption_split_key_text(std::string_view caption, std::string* text, std::string* key_text);
// The new caption of an item for a key-text change, or false when it stays.
bool key_text_caption(std::string_view caption, std::string_view commands, std::string_view command,
                      std::string_view key_text, char option, std::string* out);

// The default font record of menus (the font built-in's id).
inline constexpr int32_t kMenuFontId = 250;

// Binds the menu built-ins.
struct BindResult;
struct OpcodeDispatch;
BindResult menu_register_opcodes(OpcodeDispatch& d);

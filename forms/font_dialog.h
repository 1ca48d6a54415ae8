// The font chooser behind the choose_font built-in: the font text a macro
// passes ("face,size,style,charset") parsed into a choice, a modal dialog of
// our own on the window system (face list, size list and field, bold and
// italic boxes, a sample line in the chosen font, OK and Cancel) and the
// text pushed back.
//
// The dialog's state and its keys are a model of their own (FontDialog),
// so tests drive it without a server; the window only draws the model and
// turns mouse clicks into its operations. A runner seam answers the
// dialog: by default the native dialog when the window system is up, else
// the call fails with -2087 "System call failed".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A cell size "WxH" is kept in a size as this bit with W << 16 | H.
inline constexpr uint32_t kFontCellSize = 0x80000000u;

struct FontChoice {
  std::string face;
  int32_t size = 10;   // points, or kFontCellSize | W << 16 | H
  uint32_t style = 0;  // 1 bold, 2 italic, 4 strike-out, 8 underline
  uint32_t charset = 0;
};

// Parses face, size, style and character set separated by commas into
// *out (defaults 10, 0, 0); *n receives the number of fields. A size may be
// a cell "WxH" (x or X). 1 on a number that is not one (out untouched),
// else 0.
int obj_parse_font_size_list(std::string_view text, FontChoice* out, int* n);

// "12", or "8x16" for a cell size.
std::string font_size_text(int32_t size);
// A size field's text ("12", "8x16", " 8 x 16") as a size; false when it is
// none (zero or out of range too).
bool font_size_from_text(std::string_view text, int32_t* size);

// What the built-in pushes: face, size and style joined by commas, and a
// comma and the character set when flags bit 0x100 is set.
std::string font_choice_text(const FontChoice& c, uint32_t flags);

// Lists faces (face empty) or the sizes of a face, each text as
// font_enum_for_dialog gives it (one leading blank).
using FontLister = std::function<void(uint32_t flags, const std::string& face, std::vector<std::string>* out)>;
// The lister over the window system's font list.
FontLister font_system_lister();

// The dialog's state. Focus order: faces, sizes, bold, italic, OK, Cancel.
enum class FontDlgPart { faces, sizes, bold, italic, ok, cancel };
inline constexpr int kFontDlgParts = 6;

enum class FontDlgKey { up, down, home, end, page_up, page_down, tab, back_tab, space, enter, escape, backspace, text };
enum class FontDlgOutcome { none, ok, cancel };

struct FontDialog {
  uint32_t flags = 0;
  FontLister lister;
  std::vector<std::string> faces;  // without the leading blank
  std::vector<std::string> sizes;  // as listed, blank removed
  int face = -1;                   // index into faces, -1 none
  std::string initial_face;        // answered while no face of the list is chosen
  int size = -1;                   // index into sizes, -1 when the field holds another size
  std::string size_field;
  bool size_fresh = false;  // the next size typed replaces the field
  bool bold = false, italic = false;
  uint32_t other_style = 0;  // style bits the dialog does not show, kept
  uint32_t charset = 0;
  FontDlgPart focus = FontDlgPart::faces;
  int face_top = 0, size_top = 0;  // first rows shown
};

// Lists the faces, selects the initial face (without case; none when
// missing) and size.
void fontdlg_init(FontDialog& d, uint32_t flags, const FontChoice& initial, FontLister lister);
// Selects a face by index and lists its sizes, keeping the size field.
void fontdlg_select_face(FontDialog& d, int index);
void fontdlg_select_size(FontDialog& d, int index);
// Moves the keys to a part (the size field, entered, is replaced by the
// next size typed).
void fontdlg_focus(FontDialog& d, FontDlgPart part);
// One key; `text` is the character typed for FontDlgKey::text. Rows is
// the number of rows a page of the focused list holds.
FontDlgOutcome fontdlg_key(FontDialog& d, FontDlgKey key, char text = 0, int rows = 8);
// The choice the dialog shows; false when no face is chosen or the size
// field holds no size.
bool fontdlg_choice(const FontDialog& d, FontChoice* out);

// The runner that answers the dialog: true and *out filled on OK, false
// on Cancel. A negative *error (set before false) fails the built-in.
using FontDialogRunner = bool (*)(uint32_t flags, const FontChoice& initial, FontChoice* out, int32_t* error);
// null restores the default.
void font_dialog_set_runner(FontDialogRunner runner);
// The native dialog (forms/font_dialog_win.cpp).
bool font_dialog_native(uint32_t flags, const FontChoice& initial, FontChoice* out, int32_t* error);

// ext 180: [flags, default 2], [font]
void bi_choose_font();

// X resources of the window layer: the table of sixteen string resources,
// the reader that fills it from resource files, and the interpretation of
// the strings (numbers, keywords) that needs no server.
//
// Files are read only when ZORVEXUSEXRESOURCE is set and does not start with
// 'n' or 'N': the user's file ($HOME/Halvorn) merged over the application
// defaults (/usr/lib/X11/app-defaults/Halvorn), the user's file winning.
// Every resource not found takes the shared "none" string itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The resource record, in the specified order. A value is either the shared
// kResourceNone pointer or a heap copy owned by the record.
struct XfResources {
  const char* menuFont;
  const char* buttonFont;
  const char* labelFont;
  const char* mdiChildFrameActiveColor;
  const char* mdiClientColor;
  const char* mdiChildIconTextFont;
  const char* mdiChildTitleTextFont;
  const char* mdiChildBorderWidth;
  const char* scrollBarWidth;
  const char* menuColor;
  const char* textBoxColor;
  const char* textBox2Color;
  const char* defaultDialogColor;
  const char* caretColor;
  const char* windowPositioningMode;
  const char* selectionTransferSize;
};

extern const char kResourceNone[];  // "none"

// One row of a resource table (the form of a toolkit resource list); only
// the name, the offset and the default are used.
struct XfResourceEntry {
  const char* name;
  const char* res_class;  // "String"
  const char* type;       // "String"
  uint32_t size;
  size_t offset;  // of the target word in the record
  const char* default_type;
  const char* default_value;
};

// The sixteen resources in the order they are read.
extern const XfResourceEntry kXfResourceTable[16];

// Fills the target word of each entry of `table` in the record at `base`.
void xfLoadResources(void* base, const XfResourceEntry* table, int count);
// Frees the heap copies held by a record and sets every entry to "none".
void xf_free_resources(XfResources* r);
// The user file path for a name: home + '/' + name ("/" + name for home "/").
std::string xfHomeFilePath(const char* name);
// Where the application defaults live ("/usr/lib/X11/app-defaults"); tests
// point it at a directory of their own.
void xf_set_app_defaults_dir(const char* dir);

// An unsigned decimal resource: the value when the text is digits only and
// the value lies in 1..max; otherwise (unparsable, "none", 0, too large) the
// default.
uint32_t xf_resource_number(const char* text, uint32_t default_value, uint32_t max);
// windowPositioningMode: 0..3 for the four keywords (exact case), 4 else.
int xf_positioning_keyword(const char* text);

// External help: help requests handed to outside programs by the help
// file's extension. A ".inf" book is shown by the viewer program "view"; a
// keyword is looked up in ".ndx" index files found along BOOKSHELF, whose
// entries "(pattern,command)" name the command to run; any other file is
// one of our help files, shown in the help instance (help_instance.h): a
// top-level help viewer window, which needs a display.
//
// Programs start asynchronously (found along PATH; an exec failure comes
// back as the start's error). The keyword never becomes shell text: "view"
// gets it as one argument, and an index command's "~" becomes a reference
// to a positional parameter that holds it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Help commands.
inline constexpr int32_t kHelpContents = 3, kHelpOnHelp = 4, kHelpNothing = 9, kHelpKeyword = 257,
                         kHelpPartialKeyword = 261, kHelpIndex = 61441;

// 0, -2, -8, -2087, -3022, an error of opening or reading an index file, or
// the result of starting the program. A help file of ours is looked for
// along ZORVEXPATH, PATH and HELP, then beside the program; -2087 when the
// help instance cannot be made (no display). A file that does not load
// gives its load's error (-5 for a name that is no regular file, -33 for a
// damaged file, -3000 "Incorrect version").
int32_t help_show(std::string_view file, std::string_view keyword, int32_t command);
// The program's directory, where the editor's own help file lies.
void help_set_install_dir(std::string_view dir);

// The first "(pattern,command)" entry of the index text that matches the
// keyword: 0 with the command (its "~" not yet replaced), or -3022.
int32_t help_index_lookup(std::string_view index, std::string_view keyword, std::string* command);

// ext 193: file keyword [command]; rc.
void bi_help();

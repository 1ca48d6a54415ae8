// The help viewer's ini file (font translations and the scale of paragraph
// measures), the automatic scale, and the lookups macros use: keywords,
// topic names, properties and listings.
//
// Loading an ini file replaces the translations and scale options of any
// earlier one, and the fonts of a shown topic are opened again under them.
// A scale of 0 (or below) from the file is refused and the previous scale
// kept.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/messages.h"

struct HelpView;

// Reads and applies a help ini file: 0, or the error of reading it (-5 for
// a name that is no regular file, -8 for one over a megabyte); nothing
// changes on an error.
ErrorCode help_load_ini(HelpView& v, const std::string& path);
// The same over text already read (tests, and the loader itself).
void help_apply_ini(HelpView& v, std::string_view text);
// "name,face,size": every translation of that name gets the new face and size.
void help_set_font_style(HelpView& v, std::string_view text);
void help_auto_scale(HelpView& v);
void help_translate_font(const HelpView& v, std::string* face, int32_t* size);

// 0 without a file; -1 when no entry fits; else help_show_topic's result.
ErrorCode help_goto_keyword(HelpView& v, std::string_view keyword, const std::string_view* topic);
// 0 without a file; 1 when no topic has the name; else help_show_topic's.
ErrorCode help_goto_topic_name(HelpView& v, std::string_view name, int32_t position);
ErrorCode help_contents(HelpView& v);
std::string help_query(const HelpView& v, std::string_view name);

// A non-zero callback result stops the listing and is returned.
using HelpListCallback = std::function<int32_t(std::string_view)>;
int32_t help_list_keywords(const HelpView& v, const HelpListCallback& cb);
int32_t help_list_keyword_topics(const HelpView& v, const HelpListCallback& cb, const std::string_view* keyword);

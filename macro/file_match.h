// File matching: the built-in that walks the files matching a file
// specification one call at a time, and the option parser it shares with
// the directory-listing inserter.
//
// A walk is a run of records on one stack, kept between calls: a bottom
// record (handle -2) holding the walk's options, then one search record per
// directory level being walked. Each search record is in phase 0 while it
// returns the matches of the pattern in its directory, and in phase 1 while
// it scans that directory for subdirectories to walk (with "+T" only).
// Walks nest: a new walk started inside the loop of another is pushed above
// it, and ending it (start 2) uncovers the outer one.
//
// Invariant: every record above a bottom record belongs to that bottom's
// walk; a record's handle is an open directory search or -1.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"

// Option flags of a file specification. T, P and V have the bit values of
// the directory listing's flags (base/filename.h), so the inserter passes
// them on as they are.
inline constexpr uint32_t kMatchRecurse = 1;        // T: walk subdirectories
inline constexpr uint32_t kMatchPrefix = 2;         // P: matching; the listing: directory before names
inline constexpr uint32_t kMatchLong = 4;           // V: long listing lines
inline constexpr uint32_t kMatchDirsOnly = 8;       // X: only directories match
inline constexpr uint32_t kMatchAttrDirs = 0x4000;  // D, in the attribute mask: directories too

// Longest directory path and pattern a record holds.
inline constexpr int32_t kMatchPathCap = 1024;

// Reads the words of line: a word beginning with "+" sets, one beginning
// with "-" clears the options of its letters (any case: D in *attrs; T, P,
// V, X in *flags; A, H, R, S accepted and ignored); any other word, or a
// name in double quotes, is the file pattern (the last one counts; spec
// keeps its earlier value when there is none). *attrs and *flags come in
// with the caller's defaults. 0, or -3030 for another letter (the outputs
// are then partly changed).
ErrorCode file_match_parse_options(std::string_view line, uint32_t* attrs, uint32_t* flags, LStr* spec,
                                   int32_t spec_cap);

// Closes every walk (their searches too).
void file_match_close_all();
// Records on the stack (tests).
int32_t file_match_depth();

// The printing built-ins and what page printing shares with printing into
// a buffer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct BufferRec;

// Splits a comma-separated layout string into fields; an empty field keeps
// the value already there, fields past the span are ignored. False after
// val_to_int raised -3009 for a field that is no number.
bool print_parse_layout(std::string_view text, std::span<int32_t> fields);
// The buffer's file name without its directory.
std::string print_document_name(const BufferRec* buf);

// ext 224: target [document [layout [header centre [footer centre [header
// left [footer left [header right [footer right]]]]]]]]; rc.
void bi_print_text();

// What the macro runtime needs of the live forms above it: the control a
// form's code names (main 61, the push_control instruction).
//
// Forms and their controls belong to the forms layer, which answers here. A
// program without forms has no form to look in: every name is unknown.
#pragma once

#include <cstdint>
#include <string_view>

// The id of the control named `name` (compared without case, '_' equal to
// '-') in the current object's top-level form, a control whose id is
// `excluded` not counting; `bucket` is the name's hash bucket (0..15). 0
// when there is none, or when the top level is not a free-standing form;
// -3002 when the form's name table cannot be built. Without forms: 0.
int32_t form_find_control_by_name(std::string_view name, uint8_t bucket, int32_t excluded);

// The message boxes of the macros: the window system's box with the
// defaults the message-box built-in gives its style.
#pragma once

#include <cstdint>
#include <string_view>

// The style shown for a macro's style: no icon bits (0xF0) give the
// information icon 0x30, all four give none; no modality bits (0x3000) give
// 0x2000, both give none. The button bits pass unchanged.
uint32_t msgbox_style(int32_t style);

// Shows the text (at most 1024 bytes) in a box titled `title` with the style
// and answers the button chosen. A fifth box inside four open ones is not
// shown and answers 2, as does a box without a display.
int32_t app_message_box_styled(std::string_view text, std::string_view title, int32_t style);

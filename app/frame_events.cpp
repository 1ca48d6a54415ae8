// What the layers below post to the frame to run once the editor is idle: a
// lexer file's parse error goes to the "_clex_error" procedure
// (display/lex_error_port.h).
#include <string>

#include "display/lex_error_port.h"
#include "forms/picture_services.h"

void lex_error_post(uint32_t procedure, std::string_view text) {
  const std::string copy(text);
  app_post_frame_event(static_cast<int32_t>(procedure), &copy);
}

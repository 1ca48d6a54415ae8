// The help viewer's canvas on the window system.
#pragma once

#include <cstdint>
#include <memory>

#include "services/help_view.h"

struct XfWindow;

class HelpWinCanvas : public HelpCanvas {
 public:
  // Painting goes through the paint context between these.
  virtual void begin_paint() = 0;
  virtual void end_paint() = 0;
};

std::unique_ptr<HelpWinCanvas> help_make_win_canvas(XfWindow* window);

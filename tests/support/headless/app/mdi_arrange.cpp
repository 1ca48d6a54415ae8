// The frame's MDI client without the application: the frame object a test
// named, and the arrangements recorded.
#include <string>

#include "display/mdi_arrange_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/mdi_arrange_fakes.h"

WindowObject* app_mdi_frame_object() { return mdiarrangefake::arrange.frame; }
void app_mdi_tile(uint32_t flags) { mdiarrangefake::arrange.calls.push_back("tile " + std::to_string(flags)); }
void app_mdi_cascade() { mdiarrangefake::arrange.calls.push_back("cascade"); }
void app_mdi_arrange_icons() { mdiarrangefake::arrange.calls.push_back("arrange"); }
void app_mdi_save_child_layout(int32_t mode) {
  mdiarrangefake::arrange.calls.push_back("save " + std::to_string(mode));
}

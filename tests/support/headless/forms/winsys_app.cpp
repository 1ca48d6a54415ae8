// The application's answer to a closing frame: the flag is recorded.
#include "tests/support/headless/mark.h"
#include "tests/support/headless/winsys_app_fakes.h"
#include "winsys/app_port.h"

void app_set_other_key_flag(bool value) {
  appfake::app.other_key_flag = value;
  ++appfake::app.other_key_sets;
}

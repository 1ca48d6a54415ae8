// The forms layer's side of the seams the layers below declare: native
// windows of window objects, the window the text built-ins work in, and
// where error messages show. app_install_glue() installs them all once the
// window system is up.
#pragma once

void app_install_glue();

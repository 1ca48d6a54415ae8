// The text controls' side of the text-control built-ins: their input
// fields' text, selection and insert mode, and the focus.
#pragma once

// Installs the text-control seam of the display's built-ins. Called once at
// start-up.
void ctl_install_text_ops();

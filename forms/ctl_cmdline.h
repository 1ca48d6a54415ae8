// The command line's input field: what the message line reaches through its
// command-line seam.
#pragma once

// Makes the command line's field through the input field class (the
// command-line object, id 3, owns it) and keeps its text in that field;
// headless, the object's field keeps the text. Called once at start-up.
void ctl_install_cmdline();

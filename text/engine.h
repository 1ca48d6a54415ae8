// Start-up of the text engine as a whole.
//
// The parts of the text engine reach each other through hooks so that each
// builds and tests on its own (the store calls the undo log and the selection
// marks through function pointers). text_engine_init connects them; the
// application calls it once at start-up, before any buffer is made, and tests
// that need the whole engine call it in their set-up. It only sets hooks, so
// calling it again is harmless and puts back any hook a test took out.
//
// Not done here: store_init (it takes the memory limit and spill directory
// from the configuration) and the hooks of other subsystems (the process
// buffer, and the message line, break key and spill question of
// ui_seam.h), which their owners install.
#pragma once

// Installs the undo log's writers in the store, the selections' hooks in
// the store, the buffer layer and the search, and the search's placement of
// the cursor row.
void text_engine_init();

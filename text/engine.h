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
// from the configuration). What the engine needs of the layers above (the
// *_port.h headers) is answered at link time, not installed.
#pragma once

// Installs the undo log's writers in the store and the selections' hooks in
// the store, the buffer layer and the search.
void text_engine_init();

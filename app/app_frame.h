// The frame of the editor: the window procedure of the class
// "zx_mdiframe", the client of the application's main frame. It holds the
// editor windows and the message line below them, lays them out when the
// frame changes size, runs the macro start-up on its first paint (exactly
// once), and takes the close request of the window manager through the
// editor's exit path, asking first when a buffer holds unsaved changes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "forms/app_port.h"
#include "winsys/window_rec.h"

struct StartupConfig;
struct FontAttrs;

inline constexpr const char* kFrameClass = "zx_mdiframe";
// The menu resource the frame's bar is loaded from.
inline constexpr const char* kFrameMenuResource = "frame-menu";

intptr_t app_mdiframe_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

// The start-up the first paint runs: the configuration the command line
// step filled.
void app_frame_set_startup(StartupConfig* cfg);
// Runs the macro start-up when it has not run yet (the first paint, or an
// exit request that comes first). A failed start-up ends the process with
// its code.
void app_frame_start();
bool app_frame_started();

// The frame's client (forms/app_port.h has its query, and the MDI
// client's); setting it makes the MDI client.
void app_frame_set_client(XfWindow* client, const FontAttrs* font);

// Child processes are polled on a timer of the frame's client while any
// runs (the processes start and stop it through services/proc_port.h).
inline constexpr uint32_t kProcessPollTimer = 1;
// A timer message of the poll (also while a macro waits for input): true
// when it was one and the poll ran.
bool app_process_poll_tick(XfWindow* window, uint32_t id);

// A key the editor window leaves to the menu bar (F10, Alt and a
// mnemonic): the frame's bar opens. False when it has no use for it.
bool app_frame_menu_key(intptr_t mp1);

// The message line along the bottom of the frame's client.
void app_show_message(std::string_view text);
void app_show_error(int32_t code);
void app_clear_message();
const std::string& app_message_text();
// Draws the message line when it changed.
void app_paint_message();

// The close request: asks whether to save when a buffer holds unsaved
// changes (Yes runs "-on-exit", which saves; No leaves without saving;
// Cancel stays), then leaves. Returns only when the editor stays.
void app_close_request();
// True when a buffer the user edits holds changes not saved yet.
bool app_unsaved_changes();
// The question's text.
inline constexpr const char* kSaveQuestion = "Save the changes before leaving?";
inline constexpr const char* kSaveQuestionTitle = "Leaving";

// Start-up: the command line and configuration before any window exists,
// then the macro runtime brought to life from the state file.
//
// startup_command_line makes the environment copy, joins ZORVEX and the
// arguments (225 characters at most), takes an early "-sc dir", reads
// zorvex.ini's "environment" and font-translation sections and runs the
// start-option loop, which leaves the file names and passed-on options in
// `args`. startup_macros sizes the variable area, finds the state file and
// starts the interpreter; a missing or unusable state file ends the process
// with the message the user needs. Steps that need the screen (message
// boxes, fonts, colours, the first window) are the layers above's
// (startup_port.h).
//
// Start reading at startup_command_line in startup.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "macro/state_settings.h"

// Longest joined command line the editor accepts.
inline constexpr int32_t kStartupLineMax = 225;

// What the start options select; applied by the owners of each setting.
struct StartOptions {
  std::string state_file_name = "zorvex.stu";
  bool state_file_given = false;  // -x
  bool new_instance = false;      // +ne / -ne
  int save_direct = -1;           // +sb/-sb/-sub; -1 not given
  int no_lock = -1;               // +sul clears (0), -sul sets (1); -1 not given
  int32_t heap_kb = -1;           // -si size slots
  int32_t heap_slots = -1;
  int32_t max_file_mb = -1;           // -sm n
  int32_t cache_kb = -1;              // -st n
  bool raw_alt_keysyms = false;       // -sua
  bool show_diagnostics = false;      // -sui
  int32_t platform = -1;              // -suk n (above 10 taken as 0)
  int keypad_translation = -1;        // +sup / -sup
  std::string keymap_file;            // -supf file
  int32_t window_positioning = -1;    // -suw n (above 3 taken as 0)
  std::string args;                   // file names and passed-on words, each after a blank
  std::vector<std::string> fonts[3];  // font translations: "face,size=face,size" lines as read
};

// The texts the path built-in gives macros, kept by start-up as it finds
// them: E the program path (argv[0]), S the state file's path, R the
// restore file's absolute path (empty when it did not apply), P the
// installation directory with its final '/', V the instance's name.
struct StartupPaths {
  std::string program, state, restore, install;
  std::string instance = "Zorvex";
};
StartupPaths& startup_paths();

struct StartupConfig {
  StartOptions opt;
  std::string program_path;  // argv[0]
  std::string install_dir;   // with its final '/'
  std::string ini_text;      // zorvex.ini, a final Ctrl-Z removed
};

// The start-option loop over a joined line: fills opt (args included).
void startup_parse_options(std::string_view line, StartOptions* opt);

// The whole command-line step. -1 when start-up goes on, else the exit code
// (1 after "Command line too long..." on standard output or an environment
// copy that failed).
int startup_command_line(int argc, const char* const* argv, StartupConfig* cfg);

// The configuration directory, ending with '/', or empty.
std::string config_dir(const std::string& install_dir);

// %NAME% expansion: "%%" gives '%', a name between two '%' signs (at most
// 1023 characters) becomes `expansion_dir`; the output is cut at size.
std::string config_expand_vars(std::string_view in, size_t size, std::string_view expansion_dir);

// The state file's path as the macro start-up looks for it.
std::string startup_state_path(const StartupConfig& cfg);

// zorvex.ini's "macro variables" (in cfg.ini_text): each line, expanded, is
// a name, '=' and a value. An existing global variable of that name gets the
// value, a name that is no variable (a procedure) is left alone, and a new
// name becomes a global variable holding it. Needs a started interpreter.
void startup_macro_variables(const StartupConfig& cfg);

// The text store as the settings ask: its memory limit and spill directory,
// and the -sm maximum file size. A store that already holds text keeps its
// pages and takes the limit and the directory. 0 or -2029.
int32_t startup_text_store(const SettingsBlock& settings, int32_t max_file_mb);

// What the restore file zrestore.zvx gives the frame (its first line
// "SCREEN:" and nine words), and the dialog font of ZORVEXDIALOGFONT.
struct RestoreScreen {
  int32_t x = 0, y = 0, width = 0, height = 0, icon_x = 0, icon_y = 0;
  char state = 0;            // 'I' iconic, 'M' maximized, another letter normal; 0 nothing restored
  std::string path;          // the restore file's absolute path when it applied, else empty
  bool dialog_font = false;  // ZORVEXDIALOGFONT parsed: face, size in points, style
  std::string dialog_face;
  int32_t dialog_size = 10;
  int32_t dialog_style = 0;
};
// The restore file's text as read (only its first 1024 bytes count), for a
// screen of the given size: the geometry and the state letter, or state 0
// when the first word is not exactly "SCREEN:" or the screen size differs.
// A word that is not a number gives 0.
RestoreScreen startup_parse_restore(std::string_view text, int32_t screen_width, int32_t screen_height);
// "face[,size[,style[,n]]]": false when a number does not parse.
bool startup_parse_dialog_font(std::string_view text, RestoreScreen* out);
// ZORVEXPATH with the configuration directory first (unchanged when it
// already begins with it).
void config_path_prepend(const std::string& install_dir);
// The screen half of the command-line step, before the frame is made: the
// dialog font, the search path and the restore file of ZORVEXRESTORE or the
// configuration directory.
RestoreScreen startup_restore_screen(const StartupConfig& cfg, int32_t screen_width, int32_t screen_height);

// The macro start-up: variable area, state file, interpreter, the screen
// half of the settings (startup_apply_settings), "macro variables",
// insert mode, the text store, the screen start, "-firstinit"
// (called by name as the frame's first child, skipped when absent; a global
// "startup_args" of the state gets the start-up line first), pending entry
// procedures. 0 when the editor is ready, else the exit code (1) after the
// message box: "Macro file <name> not found", "If '<path>' is an old local
// state file, erase it and try again.", or the failing code's text.
int startup_macros(StartupConfig* cfg);

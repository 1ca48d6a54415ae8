// Start-up of the editor: the command line, the configuration directory and
// zorvex.ini, the start options, then the macro runtime from the state file.
//
// Order: startup_command_line (environment copy, ZORVEXEXT, the joined line,
// an early -sc, config_environment, the option loop), then startup_macros
// (variable area, the state file's path, vm_init, the pending entries). Every
// failure ends the process with exit code 1 after its message; nothing here
// writes anywhere but the environment copy.
#include "macro/startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/fd.h"
#include "base/filename.h"
#include "base/ini.h"
#include "base/messages.h"
#include "base/regular_file.h"
#include "macro/bi_misc.h"
#include "macro/code_cache.h"
#include "macro/command_exec.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/stack.h"
#include "macro/startup_port.h"
#include "macro/state.h"
#include "macro/state_settings.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/store.h"

namespace {

// The directory that replaces %NAME% in zorvex.ini: where the program lives.
constexpr std::string_view kExpansionFallback = "/usr/local/lib/zorvex/";
// Longest ZORVEX value taken, and the joined line's buffer.
constexpr size_t kLineBuffer = 1024;
// Bounds of -si: the slot count fits the 16-bit slot fields; the string
// space stays below 16 MB.
constexpr int32_t kMaxSlots = 32767;
constexpr int32_t kMaxHeapKb = 16384;
// zorvex.ini is a page or two of settings; a few megabytes leave room for
// generated environments without letting a stray file fill the memory.
constexpr int64_t kIniFileMax = 4 << 20;
// What of the restore file counts: its "SCREEN:" line.
constexpr size_t kRestoreBytes = 1024;

void box(std::string_view text) { startup_message_box(text); }

std::string env_string(const char* name) {
  const char* v = env_get(name);
  return v ? std::string(v) : std::string();
}
bool env_has(const char* name) { return env_get(name) != nullptr; }

bool exists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string absolute(const std::string& name) {
  LStrLine in(name), out;
  if (file_absolute(out, in, LSTR_CAP_LINE) != 0) return name;
  return std::string(out.view());
}

// Plain search of name along ZORVEXPATH, then PATH; empty when not found.
std::string search_path(const std::string& name, bool executable) {
  LStrLine in(name), out;
  int flag = 0, extra = 0;
  if (file_search_path(out, in, executable ? 1 : 0, 256, &flag, &extra) != 0) return {};
  return std::string(out.view());
}

// A signed decimal; anything else is 0.
int32_t number(const std::string& w) {
  char* end = nullptr;
  const long v = std::strtol(w.c_str(), &end, 10);
  return end != w.c_str() && *end == '\0' ? static_cast<int32_t>(v) : 0;
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Takes the first name off the line: a double-quoted name may hold blanks.
std::string take_name(std::string* line) {
  LStrLine l(*line), out;
  if (file_take_name(l, out) != 0) {
    line->clear();
    return {};
  }
  *line = std::string(l.view());
  return std::string(out.view());
}

void append_word(std::string* to, const std::string& w) {
  *to += ' ';
  if (w.find(' ') != std::string::npos)
    *to += '"' + w + '"';
  else
    *to += w;
}

// Step 4: only when ZORVEX was absent, "-sc dir" among the leading options.
void early_config_dir(std::string* line) {
  size_t i = 0;
  for (;;) {
    while (i < line->size() && (*line)[i] == ' ') ++i;
    if (i >= line->size() || ((*line)[i] != '-' && (*line)[i] != '+')) return;
    size_t end = line->find(' ', i);
    if (end == std::string::npos) end = line->size();
    const std::string_view w(line->data() + i, end - i);
    if (w.size() == 3 && lower(w[1]) == 's' && lower(w[2]) == 'c' && end + 1 < line->size()) {
      std::string rest = line->substr(end + 1);
      const std::string dir = take_name(&rest);
      env_set("ZORVEXCONFIG", dir.c_str());
      *line = line->substr(0, i) + rest;
      return;
    }
    i = end;
  }
}

// Each "name=value" line of an ini section, its variables expanded and the
// name trimmed; lines with no name are skipped. `line_size` is the read
// buffer, which cuts longer lines as the section's reader always has.
template <size_t line_size, typename Fn>
void for_each_assignment(const StartupConfig& cfg, const char* section, Fn&& fn) {
  const std::string& t = cfg.ini_text;
  int32_t off = ini_find_section(t.data(), static_cast<int32_t>(t.size()), section);
  if (off < 0) return;
  std::array<char, line_size> line{};
  while (ini_next_line(t.data(), static_cast<int32_t>(t.size()), &off, line.data(), line_size) == 0) {
    const std::string x = config_expand_vars(line.data(), kLineBuffer - 1, cfg.install_dir);
    const size_t eq = x.find('=');
    std::string name = x.substr(0, eq);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    const size_t lead = name.find_first_not_of(" \t");
    name = lead == std::string::npos ? std::string() : name.substr(lead);
    if (name.empty()) continue;
    fn(name, eq == std::string::npos ? std::string() : x.substr(eq + 1));
  }
}

void apply_environment_section(const StartupConfig& cfg) {
  for_each_assignment<INI_NAME_SIZE>(cfg, "environment", [](const std::string& name, const std::string& value) {
    env_set(name.c_str(), value.c_str());
  });
}

void read_font_sections(StartupConfig* cfg) {
  static constexpr const char* kSections[3] = {"font translations", "printer translations", "Screen translations"};
  const std::string& t = cfg->ini_text;
  for (int k = 0; k < 3; ++k) {
    int32_t off = ini_find_section(t.data(), static_cast<int32_t>(t.size()), kSections[k]);
    if (off < 0) continue;
    std::array<char, INI_NAME_SIZE> line{};
    while (ini_next_line(t.data(), static_cast<int32_t>(t.size()), &off, line.data(), INI_NAME_SIZE) == 0)
      cfg->opt.fonts[k].push_back(config_expand_vars(line.data(), kLineBuffer - 1, cfg->install_dir));
  }
}

// zorvex.ini: the configuration directory, the program's directory, the
// search path, then the current directory. Empty when none can be read; a
// name that is no regular file, or too large, is ignored with one line
// that says so (there is no window to tell it in yet).
std::string load_ini(const StartupConfig& cfg) {
  std::string path;
  const std::string dir = config_dir(cfg.install_dir);
  if (!dir.empty() && exists(dir + "zorvex.ini"))
    path = dir + "zorvex.ini";
  else if (exists(cfg.install_dir + "zorvex.ini"))
    path = cfg.install_dir + "zorvex.ini";
  else if (std::string s = search_path("zorvex.ini", false); !s.empty())
    path = s;
  else
    path = "zorvex.ini";
  path = absolute(path);
  std::string text;
  RegularFileRefusal refused = RegularFileRefusal::NotRefused;
  if (regular_file_read(path.c_str(), kIniFileMax, &text, &refused) != 0) {
    if (refused != RegularFileRefusal::NotRefused)
      std::fprintf(stderr, "zorvex: %s %s: ignored\n", path.c_str(), regular_file_refusal_text(refused));
    return {};
  }
  if (!text.empty() && text.back() == 26) text.pop_back();
  return text;
}

void config_environment(const char* argv0, StartupConfig* cfg) {
  cfg->program_path = argv0 ? argv0 : "";
  std::string where = cfg->program_path;
  if (where.find('/') == std::string::npos) {
    LStrLine in(where), out, var("PATH");
    int flag = 0, extra = 0;
    if (file_search_env_path(out, in, var, 1, LSTR_CAP_LINE, &flag, &extra) == 0) where = std::string(out.view());
  }
  where = absolute(where);
  cfg->install_dir = where.substr(0, where.rfind('/') + 1);
  env_set("ZXDIR", cfg->install_dir.c_str());
  if (::getuid() == 0 && !env_has("ZORVEXCONFIG")) {
    std::string home = env_string("HOME");
    if (home.empty() || home.back() != '/') home += '/';
    struct stat st;
    if (::stat((home + ".").c_str(), &st) != 0 || st.st_uid != 0) env_set("ZORVEXCONFIG", "/.zorvex");
  }
  cfg->ini_text = load_ini(*cfg);
  if (cfg->ini_text.empty()) return;
  apply_environment_section(*cfg);
  read_font_sections(cfg);
}

// The -s options (w is the word, lower-cased past its sign). True when
// consumed; false when passed on.
bool s_option(const std::string& w, bool plus, std::string* line, StartOptions* o) {
  const std::string l = [&] {
    std::string s;
    for (char c : w) s += lower(c);
    return s;
  }();
  if (l.size() < 3) return false;
  switch (l[2]) {
    case 'b':
      o->save_direct = plus ? 1 : 0;
      return true;
    case 'k':
      return true;
    case 'c':
      return false;  // -sc here (ZORVEX was set): passed on
    case 'i':
      o->heap_kb = number(take_name(line));
      o->heap_slots = number(take_name(line));
      return true;
    case 'm':
      o->max_file_mb = number(take_name(line));
      return true;
    case 't':
      o->cache_kb = number(take_name(line));
      return true;
    case 'u':
      if (l.size() == 3) return true;
      switch (l[3]) {
        case 'a':
          o->raw_alt_keysyms = true;
          return true;
        case 'b':
          o->save_direct = 1;
          return true;
        case 'i':
          o->show_diagnostics = true;
          return true;
        case 'k': {
          const int32_t n = number(take_name(line));
          o->platform = n > 10 ? 0 : n;
          return true;
        }
        case 'l':
          o->no_lock = plus ? 0 : 1;
          return true;
        case 'p':
          if (l.size() >= 5 && l[4] == 'f') {
            const std::string f = take_name(line);
            if (f.size() <= 1023) o->keymap_file = f;
          } else {
            o->keypad_translation = plus ? 1 : 0;
          }
          return true;
        case 'w': {
          const int32_t n = number(take_name(line));
          o->window_positioning = n > 3 ? 0 : n;
          return true;
        }
        default:
          return false;
      }
    default:
      return false;  // -s1, -s2, -s alone, other letters
  }
}

}  // namespace

RestoreScreen startup_parse_restore(std::string_view text, int32_t screen_width, int32_t screen_height) {
  RestoreScreen r;
  text = text.substr(0, kRestoreBytes);
  std::vector<std::string> words;
  size_t i = 0;
  while (words.size() < 10) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    if (i >= text.size()) break;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') ++i;
    words.emplace_back(text.substr(start, i - start));
  }
  if (words.empty() || words[0] != "SCREEN:") return r;
  words.resize(10);
  int32_t v[8];
  for (int k = 0; k < 8; ++k) v[k] = number(words[static_cast<size_t>(k) + 1]);
  r.x = v[2], r.y = v[3], r.width = v[4], r.height = v[5], r.icon_x = v[6], r.icon_y = v[7];
  r.state = words[9].empty() ? 0 : words[9][0];
  if (v[0] != screen_width || v[1] != screen_height) r.state = 0;  // written for another screen
  return r;
}

bool startup_parse_dialog_font(std::string_view text, RestoreScreen* out) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    f.emplace_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  int32_t nums[3] = {10, 0, 0};
  for (size_t k = 1; k < f.size() && k <= 3; ++k) {
    std::string w = f[k];
    while (!w.empty() && w.front() == ' ') w.erase(0, 1);
    while (!w.empty() && w.back() == ' ') w.pop_back();
    if (w.empty()) continue;  // an empty field keeps its default
    char* end = nullptr;
    const long n = std::strtol(w.c_str(), &end, 10);
    if (*end != '\0') return false;
    nums[k - 1] = static_cast<int32_t>(n);
  }
  out->dialog_font = true;
  out->dialog_face = f[0].substr(0, 63);
  out->dialog_size = nums[0];
  out->dialog_style = nums[1];
  return true;
}

void config_path_prepend(const std::string& install_dir) {
  std::string d = config_dir(install_dir);
  if (!d.empty() && d.back() == '/') d.pop_back();
  if (d.empty()) return;
  const std::string old = env_string("ZORVEXPATH");
  if (!env_has("ZORVEXPATH")) {
    env_set("ZORVEXPATH", d.c_str());
    return;
  }
  if (old.compare(0, d.size(), d) == 0) {
    const std::string_view rest = std::string_view(old).substr(d.size());
    if (rest.empty() || rest[0] == ':' || rest == "/" || rest.substr(0, 2) == "/:") return;
  }
  const std::string joined = (d + "/:" + old).substr(0, 1024);
  env_set("ZORVEXPATH", joined.c_str());
}

RestoreScreen startup_restore_screen(const StartupConfig& cfg, int32_t screen_width, int32_t screen_height) {
  RestoreScreen r;
  if (const char* f = env_get("ZORVEXDIALOGFONT")) {
    RestoreScreen font;
    if (startup_parse_dialog_font(f, &font)) {
      r.dialog_font = true;
      r.dialog_face = font.dialog_face;
      r.dialog_size = font.dialog_size;
      r.dialog_style = font.dialog_style;
    }
  }
  config_path_prepend(cfg.install_dir);
  startup_paths().restore.clear();
  std::string dir = env_has("ZORVEXRESTORE") ? env_string("ZORVEXRESTORE") : config_dir(cfg.install_dir);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  const std::string path = absolute(dir + "zrestore.zvx");
  const RegularFile in = regular_file_open(path.c_str(), INT64_MAX);  // only its start is read
  if (in.error) return r;
  std::string text(kRestoreBytes, '\0');
  const int64_t read = fd_pread_all(in.fd.get(), text.data(), text.size(), 0);
  text.resize(read > 0 ? static_cast<size_t>(read) : 0);
  RestoreScreen got = startup_parse_restore(text, screen_width, screen_height);
  if (got.state == 0) return r;
  got.path = path;
  startup_paths().restore = path;
  got.dialog_font = r.dialog_font;
  got.dialog_face = r.dialog_face;
  got.dialog_size = r.dialog_size;
  got.dialog_style = r.dialog_style;
  return got;
}

void startup_macro_variables(const StartupConfig& cfg) {
  for_each_assignment<kLineBuffer>(cfg, "macro variables", [](const std::string& name, const std::string& value) {
    if (const uint32_t g = name_find(name, NF_GLOBAL); g != 0) {
      if (const int32_t slot = var_slot_of(g); slot > 0)
        var_store_bytes(static_cast<uint32_t>(slot), value.data(), static_cast<int32_t>(value.size()));
      return;
    }
    // Only a variable takes the value: a procedure (or another entry) of
    // that name stays as it is.
    constexpr uint32_t kOther = NF_CALLABLE | NF_EVENT_TABLE | NF_BUFLOCAL | NF_DLL_FUNC;
    if (name_find(name, kOther) != 0) return;
    var_create_global(name, value);
  });
}

int32_t startup_text_store(const SettingsBlock& s, int32_t max_file_mb) {
  const int32_t kb = settings_store_limit_kb(s);
  const char* d = reinterpret_cast<const char*>(s.data() + SET_SPILL_DIR);
  const std::string dir(d, strnlen(d, kSettingsSpillDir));
  if (store_block_capacity() == 0) return store_init(kb, dir, max_file_mb);
  // Already holding text (a host that set the store up first): its pages
  // stay, the limit and the directory follow the settings.
  if (!dir.empty()) store_set_spill_dir(dir);
  int32_t used = kb, limit = 0;
  return store_set_page_limit(used, limit);
}

std::string config_expand_vars(std::string_view in, size_t size, std::string_view expansion_dir) {
  const std::string_view dir = expansion_dir.empty() ? kExpansionFallback : expansion_dir;
  std::string out;
  for (size_t i = 0; i < in.size();) {
    if (in[i] != '%') {
      out += in[i++];
      continue;
    }
    if (i + 1 < in.size() && in[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    const size_t close = in.find('%', i + 1);
    if (close == std::string_view::npos) {  // a lone '%' stays
      out += in.substr(i);
      break;
    }
    if (close - i - 1 <= 1023) out += dir;  // a longer name goes with its signs
    i = close + 1;
  }
  if (out.size() > size) out.resize(size);
  return out;
}

std::string config_dir(const std::string& install_dir) {
  std::string d;
  if (const char* c = env_get("ZORVEXCONFIG")) {
    if (*c == '\0') return install_dir;
    d.assign(c, std::min<size_t>(std::strlen(c), 255));
  } else {
    const char* h = env_get("HOME");
    if (!h) return {};
    d.assign(h, std::min<size_t>(std::strlen(h), 255));
    if (d.empty() || d.back() != '/') d += '/';
    d += ".zorvex";
  }
  if (d.empty() || d.back() != '/') d += '/';
  return exists(d) ? absolute(d.substr(0, d.size() - 1)) + "/" : d;
}

void startup_parse_options(std::string_view text, StartOptions* o) {
  std::string line(text);
  while (true) {
    while (!line.empty() && line.front() == ' ') line.erase(0, 1);
    if (line.empty()) break;
    const bool quoted = line.front() == '"';
    const std::string w = take_name(&line);
    if (w.empty() && !quoted) break;
    const bool option = !quoted && (w[0] == '-' || w[0] == '+');
    if (!option) {
      append_word(&o->args, w);
      continue;
    }
    const bool plus = w[0] == '+';
    const char c1 = w.size() > 1 ? lower(w[1]) : '\0';
    if (c1 == 'k') continue;
    if (c1 == 'x') {
      o->state_file_name = w.size() > 2 ? w.substr(2) : take_name(&line);
      o->state_file_given = true;
      continue;
    }
    if (c1 == 'n') {
      if (w.size() == 3 && lower(w[2]) == 'e') o->new_instance = plus;
      continue;
    }
    if (c1 == 's' && s_option(w, plus, &line, o)) continue;
    append_word(&o->args, w);  // passed on
  }
}

int startup_command_line(int argc, const char* const* argv, StartupConfig* cfg) {
  if (env_copy() != 0) {
    box(msg_text(ERR_NOT_ENOUGH_MEMORY));
    return 1;
  }
  if (const char* ext = env_get("ZORVEXEXT")) {
    const std::string e(ext, std::min<size_t>(std::strlen(ext), 9));
    macro_source_ext.assign(e);
    macro_compiled_ext.assign(e + "x");
  }
  const bool had_zorvex = env_has("ZORVEX");
  std::string line;
  if (had_zorvex) {
    line = env_string("ZORVEX");
    if (line.size() > kLineBuffer) line.resize(kLineBuffer);
  }
  for (int i = 1; i < argc; ++i) {
    std::string joined = line;
    append_word(&joined, argv[i]);
    if (joined.size() >= kLineBuffer || joined.size() > static_cast<size_t>(kStartupLineMax)) {
      std::printf("%s\n", std::string(msg_text(ERR_COMMAND_LINE_TOO_LONG)).c_str());
      std::fflush(stdout);
      return 1;
    }
    line = std::move(joined);
  }
  if (!had_zorvex) early_config_dir(&line);
  config_environment(argc > 0 ? argv[0] : "zorvex", cfg);
  startup_paths().program = cfg->program_path;
  startup_paths().install = cfg->install_dir;
  if (!had_zorvex && env_has("ZORVEX")) line = env_string("ZORVEX") + " " + line;
  startup_parse_options(line, &cfg->opt);
  return -1;
}

StartupPaths& startup_paths() {
  static StartupPaths paths;
  return paths;
}

std::string startup_state_path(const StartupConfig& cfg) {
  const std::string& name = cfg.opt.state_file_name;
  if (cfg.opt.state_file_given) return name;
  const std::string dir = config_dir(cfg.install_dir);
  if (!dir.empty() && exists(dir + name)) return dir + name;
  if (std::string s = search_path(name, false); !s.empty()) return s;
  // The default state file the build puts beside the program.
  if (exists(cfg.install_dir + name)) return cfg.install_dir + name;
  return name;
}

int startup_macros(StartupConfig* cfg) {
  const StartOptions& o = cfg->opt;
  const int32_t slots = o.heap_slots > 0 ? std::min(o.heap_slots, kMaxSlots) : 10000;
  const int32_t heap = o.heap_kb > 0 ? std::min(o.heap_kb, kMaxHeapKb) * 1024 : 200000;
  if (vm_reset(slots, heap) != ERR_OK) {
    box(msg_text(ERR_NOT_ENOUGH_MEMORY));
    return 1;
  }
  const std::string path = startup_state_path(*cfg);
  startup_paths().state = path;
  SettingsBlock& settings = settings_live();
  state_register_settings(settings.data(), static_cast<uint32_t>(settings.size()));
  const uint32_t stored_limit = static_cast<uint32_t>(settings[SET_CACHE_LIMIT]) |
                                static_cast<uint32_t>(settings[SET_CACHE_LIMIT + 1]) << 8 |
                                static_cast<uint32_t>(settings[SET_CACHE_LIMIT + 2]) << 16 |
                                static_cast<uint32_t>(settings[SET_CACHE_LIMIT + 3]) << 24;
  const uint32_t limit = o.cache_kb >= 0 ? static_cast<uint32_t>(o.cache_kb) * 1024u : stored_limit;
  std::string arg = o.args;
  const std::string start_line = arg;  // vm_init hands arg on to the main entry
  const ErrorCode rc = vm_init(&arg, path, limit);
  if (rc != ERR_OK) {
    if (rc == -2) {
      msg_arg.assign(o.state_file_name);
      box(msg_text(ERR_MACRO_FILE_NOT_FOUND));
    } else if (rc == -3000) {
      msg_arg.assign(absolute(path));
      box(msg_text(ERR_OLD_LOCAL_STATE_FILE));
    } else {
      box(msg_text(rc));
    }
    return 1;
  }
  if (o.cache_kb >= 0) cache_set_limit(static_cast<int64_t>(o.cache_kb) * 1024);
  // The screen half of the settings the state file carried.
  const SettingsBlock& s = settings_live();
  startup_apply_settings(s);
  startup_macro_variables(*cfg);
  cfg->ini_text.clear();
  cfg->ini_text.shrink_to_fit();
  edit_settings.insert_mode = settings_insert_mode(s) ? 1 : 0;
  if (startup_text_store(s, o.max_file_mb) != 0) {
    box(msg_text(ERR_NOT_ENOUGH_MEMORY));
    return 1;
  }
  if (const int r = startup_screen_start(); r != 0) {
    box(msg_text(r));
    return 1;
  }
  // "-firstinit" learns the start-up line from the state's own global.
  if (const uint32_t g = name_find("startup_args", NF_GLOBAL)) {
    if (const int32_t slot = var_slot_of(g); slot > 0)
      var_store_bytes(static_cast<uint32_t>(slot), start_line.data(), static_cast<int32_t>(start_line.size()));
  }
  cmd_call_name_on_object(startup_first_child(), "-firstinit", false, {});
  vm_run();
  return 0;
}

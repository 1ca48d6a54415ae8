// zozu command line.
//
//   zozu [-q] [-w] [-o out.ex] source...     assemble each source
//   zozu -d [-o out.txt] module.ex           disassemble (to stdout by default)
//   zozu --state out.stu [--settings file] module.ex...
//                                            link modules into a state file
// A source may hold form templates: form "name" ... end (see usage()).
//
// Exit 0 on success, 1 on any error, with "file:line: message" on stderr.
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "base/fd.h"
#include "base/file_node.h"
#include "macro/code_cache.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "macro/state.h"
#include "macro/state_settings.h"
#include "zozu.h"

bool zozu_write_atomic(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  // A device or FIFO named as the output is written into: renaming a new
  // file over it would replace the node itself.
  const FileTarget kind = file_target_kind(path.c_str());
  if (kind == FileTarget::Other) return error = "not a regular file, FIFO or device", false;
  if (kind == FileTarget::Stream) {
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd) return error = std::strerror(errno), false;
    const int e = fd_write_all(fd.get(), bytes.data(), bytes.size());
    if (e) error = std::strerror(e);
    return e == 0;
  }
  std::string dir = ".";
  size_t slash = path.rfind('/');
  if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
  std::string tmpl = dir + "/.zozu.XXXXXX";
  UniqueFd fd(mkstemp(tmpl.data()));
  if (!fd) return error = std::strerror(errno), false;
  bool ok = fd_write_all(fd.get(), bytes.data(), bytes.size()) == 0;
  ok = ok && fchmod(fd.get(), 0644) == 0 && fsync(fd.get()) == 0;
  ok = fd.close() == 0 && ok;
  if (!ok || rename(tmpl.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    unlink(tmpl.c_str());
    return false;
  }
  return true;
}

namespace {

bool read_all(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  return true;
}

// The compiled name: the source's extension replaced by the compiled one
// (".ex", or ZORVEXEXT followed by "x").
std::string compiled_name(const std::string& source) {
  std::string ext = ".ex";
  if (const char* e = std::getenv("ZORVEXEXT"); e && *e) ext = std::string(*e == '.' ? "" : ".") + e + "x";
  size_t slash = source.rfind('/');
  size_t dot = source.rfind('.');
  std::string out = source;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) out.resize(dot);
  return out + ext;
}

int usage() {
  std::cerr << "usage: zozu [-q] [-w] [-o out.ex] source...\n"
               "       zozu -d [-o out] module.ex\n"
               "       zozu --state out.stu [--settings file] module.ex...\n"
               "\n"
               "A form template in a source:\n"
               "  form \"name\" [type K]        K: 2..19 or form, text, check, command, radio, frame,\n"
               "    prop P VALUE                label, list, hscroll, vscroll, combo, picture, image, gauge, spin\n"
               "    table \"t\" | table2 \"t\"     event tables (27, 76); picture \"file\" (57)\n"
               "    link3 N | words W0..W27     bytes 6-7; all 28 words, no default strings\n"
               "    control K \"name\" ... end    a child record (records numbered in source order)\n"
               "  end\n"
               "P is a property's name or id; string properties take a quoted string.\n";
  return 1;
}

int assemble(const std::vector<std::string>& sources, const std::string& out, bool quiet) {
  if (!out.empty() && sources.size() != 1) return usage();
  int rc = 0;
  for (const std::string& src : sources) {
    std::string text;
    if (!read_all(src, text)) {
      std::cerr << src << ":0: cannot read: " << std::strerror(errno) << '\n';
      rc = 1;
      continue;
    }
    std::vector<uint8_t> bytes;
    std::vector<ZozuDiag> diags;
    if (!zozu_assemble(src, text, bytes, diags)) {
      for (const ZozuDiag& d : diags) std::cerr << d.file << ':' << d.line << ": " << d.message << '\n';
      rc = 1;
      continue;
    }
    std::string target = out.empty() ? compiled_name(src) : out;
    std::string err;
    if (!zozu_write_atomic(target, bytes, err)) {
      std::cerr << target << ":0: cannot write: " << err << '\n';
      rc = 1;
      continue;
    }
    if (!quiet) std::cout << src << " -> " << target << '\n';
  }
  return rc;
}

int disassemble(const std::string& file, const std::string& out) {
  std::string raw;
  if (!read_all(file, raw)) {
    std::cerr << file << ":0: cannot read: " << std::strerror(errno) << '\n';
    return 1;
  }
  std::string text, err;
  if (!zozu_disassemble(std::vector<uint8_t>(raw.begin(), raw.end()), text, err)) {
    std::cerr << file << ":0: " << err << '\n';
    return 1;
  }
  if (out.empty()) {
    std::cout << text;
    return 0;
  }
  if (!zozu_write_atomic(out, std::vector<uint8_t>(text.begin(), text.end()), err)) {
    std::cerr << out << ":0: cannot write: " << err << '\n';
    return 1;
  }
  return 0;
}

// Links modules as the editor's start-up would see them: "rc" at index 1 and
// slot 1, "key-not-defined" at index 2, every module linked in order, and the
// "default-keys" table present; then the runtime's own writer.
int link_state(const std::string& out, const std::string& settings_file, const std::vector<std::string>& modules) {
  // A variable area, so that the modules' globals get their slots and the
  // state keeps their values.
  if (vm_reset() != ERR_OK) {
    std::cerr << out << ":0: out of memory\n";
    return 1;
  }
  state_attach_var_heap();
  name_pool_init();
  cache_set_limit(0);
  NameEntry rc;
  rc.flags = NF_GLOBAL;
  rc.data = 1;
  NameEntry knd;
  knd.flags = NF_COMMAND;
  if (name_insert("rc", rc) != 1 || name_insert("key-not-defined", knd) != 2) {
    std::cerr << out << ":0: out of memory\n";
    return 1;
  }
  SettingsBlock settings = settings_defaults();
  if (!settings_file.empty()) {
    std::string raw;
    if (!read_all(settings_file, raw) || raw.size() != kSettingsBytes) {
      std::cerr << settings_file << ":0: a settings block is " << kSettingsBytes << " bytes\n";
      return 1;
    }
    std::copy(raw.begin(), raw.end(), settings.begin());
  }
  state_register_settings(settings.data(), kSettingsBytes);
  for (const std::string& m : modules) {
    uint32_t index = 0;
    bool module_file = false;
    int e = mod_load_file(m, &index, &module_file, true);
    if (e == 0 && !module_file) e = ERR_INCORRECT_VERSION;
    if (e) {
      std::cerr << m << ":0: cannot link: " << msg_text(e) << " (" << e << ")" << '\n';
      return 1;
    }
  }
  if (!name_find("default-keys", NF_EVENT_TABLE) && name_create("default-keys", NF_EVENT_TABLE, std::nullopt) < 0) {
    std::cerr << out << ":0: out of memory\n";
    return 1;
  }
  uint32_t knd_index = name_find("key-not-defined", NF_CALLABLE);
  if (knd_index != 2) {
    std::cerr << out << ":0: key-not-defined lost its index\n";
    return 1;
  }
  int e = state_write(out);
  if (e) {
    std::cerr << out << ":0: cannot write the state: " << msg_text(e) << " (" << e << ")" << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool quiet = false, dis = false;
  std::string out, state, settings;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-q")
      quiet = true;
    else if (a == "-w") {
    }  // accepted: warnings are always errors here
    else if (a == "-d")
      dis = true;
    else if (a == "-o" && i + 1 < argc)
      out = argv[++i];
    else if (a == "--state" && i + 1 < argc)
      state = argv[++i];
    else if (a == "--settings" && i + 1 < argc)
      settings = argv[++i];
    else if (!a.empty() && a[0] == '-' && a.size() > 1)
      return usage();
    else
      files.push_back(a);
  }
  if (files.empty()) return usage();
  if (!state.empty()) return link_state(state, settings, files);
  if (dis) return files.size() == 1 ? disassemble(files[0], out) : usage();
  return assemble(files, out, quiet);
}

// A fake editor for the tag parser: the buffer text as a string, inserted
// lines in a vector, properties of the current window in a map, variables
// by handle, a prompt log and files read through the OS.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "services/tag_parse.h"

namespace tagfake {

struct Editor {
  std::string text;
  std::vector<std::pair<int32_t, std::string>> inserted;  // window, line
  std::map<int32_t, int32_t> props;
  std::map<int32_t, std::string> vars;
  std::vector<int32_t> args;  // variable handles of the arguments
  std::vector<std::string> prompts;
  std::vector<std::string> exported;
  int32_t reads = 0;
  int32_t read_chunk = 1 << 30;  // the most get_text gives at once
};

inline Editor& ed() {
  static Editor e;
  return e;
}

inline TagEditorApi api() {
  TagEditorApi a;
  a.export_fn = [](const char* d, const char*, int32_t) {
    ed().exported.push_back(d);
    return 0;
  };
  a.get_property_int = [](int32_t, int32_t p) { return ed().props[p]; };
  a.set_property_int = [](int32_t, int32_t p, int32_t v) {
    ed().props[p] = v;
    return 0;
  };
  a.insert_line = [](int32_t w, const char* t, int32_t n) {
    ed().inserted.emplace_back(w, std::string(t, static_cast<size_t>(n)));
    return 0;
  };
  a.get_text = [](int32_t, int32_t off, int32_t count, char* out) {
    ++ed().reads;
    const std::string& t = ed().text;
    if (off < 0 || static_cast<size_t>(off) >= t.size()) return 0;
    const size_t n = std::min(
        {static_cast<size_t>(count), t.size() - static_cast<size_t>(off), static_cast<size_t>(ed().read_chunk)});
    std::memcpy(out, t.data() + off, n);
    return static_cast<int32_t>(n);
  };
  a.prompt = [](int32_t, const char* t, const char*) {
    ed().prompts.emplace_back(t);
    return 0;
  };
  a.var_value = [](int32_t v, char* out, int32_t size) {
    const std::string& s = ed().vars[v];
    const int32_t n = std::min(static_cast<int32_t>(s.size()), size - 1);
    std::memcpy(out, s.data(), static_cast<size_t>(n));
    out[n] = 0;
    return n;
  };
  a.var_int = [](int32_t v) { return std::atoi(ed().vars[v].c_str()); };
  a.var_set_cstr = [](int32_t v, const char* t) { ed().vars[v] = t; };
  a.arg = [](int32_t n) {
    const auto& args = ed().args;
    if (n < 1) return static_cast<int32_t>(args.size());
    return n <= static_cast<int32_t>(args.size()) ? args[static_cast<size_t>(n - 1)] : 0;
  };
  a.file_open = [](const char* path, int32_t) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    return fd < 0 ? -2 : fd;
  };
  a.file_read = [](int32_t h, void* out, int32_t n) {
    const ssize_t r = ::read(h, out, static_cast<size_t>(n));
    return r < 0 ? -33 : static_cast<int32_t>(r);
  };
  a.file_close = [](int32_t h) { return ::close(h) == 0 ? 0 : -1; };
  return a;
}

// A fresh editor and parser.
inline void reset() {
  ed() = Editor{};
  tag_parser_reset();
  tag_api_bind(api());
}

// The tag lines listed for a source held in the current buffer (C or Java).
inline std::vector<std::string> list(const std::string& source, bool java = false, int32_t window = 0) {
  ed().text = source;
  ed().inserted.clear();
  ed().args = {0, 0, 0};
  const int32_t r = java ? zxjava_list_tags(window, "", "") : zxc_list_tags(window, "", "");
  std::vector<std::string> out;
  if (r != 0) out.push_back("rc " + std::to_string(r));
  for (const auto& [w, l] : ed().inserted) out.push_back(l);
  return out;
}

}  // namespace tagfake

// helpc [-o OUT] SOURCE: compiles a help source into a help file (OUT
// defaults to SOURCE with its extension replaced by ".hlp"). The file is
// written to a new file beside the target and renamed over it. Exit 0 on
// success, 1 on an error, each error one line "file:line: message".
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/helpc/helpc.h"

int main(int argc, char** argv) {
  std::string out, source;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
      out = argv[++i];
    else
      source = argv[i];
  }
  if (source.empty()) {
    std::fputs("usage: helpc [-o OUT] SOURCE\n", stderr);
    return 1;
  }
  if (out.empty()) {
    const size_t slash = source.rfind('/'), dot = source.rfind('.');
    out = (dot != std::string::npos && (slash == std::string::npos || dot > slash) ? source.substr(0, dot) : source) +
          ".hlp";
  }
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s:0: cannot be read\n", source.c_str());
    return 1;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const size_t slash = source.rfind('/');
  const std::string base = slash == std::string::npos ? "." : source.substr(0, slash);
  std::vector<uint8_t> bytes;
  std::vector<HelpcDiag> diags;
  if (!helpc_compile(text, base, bytes, diags)) {
    for (const auto& d : diags) std::fprintf(stderr, "%s:%d: %s\n", source.c_str(), d.line, d.message.c_str());
    return 1;
  }
  std::string tmp = out + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  bool ok = fd >= 0;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w <= 0)
      ok = false;
    else
      done += static_cast<size_t>(w);
  }
  if (fd >= 0) {
    ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
  }
  if (!ok || ::rename(tmp.c_str(), out.c_str()) != 0) {
    if (fd >= 0) ::unlink(tmp.c_str());
    std::fprintf(stderr, "%s:0: cannot be written\n", out.c_str());
    return 1;
  }
  return 0;
}

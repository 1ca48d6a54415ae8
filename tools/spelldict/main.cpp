// spelldict [-o DIR] WORDLIST: writes DIR/smain.dct and DIR/scommon.lst
// (DIR defaults to the current directory). Each file is written to a new
// file beside it and renamed over it. Exit 0 on success, 1 on an error,
// with one line on standard error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/spelldict/spelldict.h"

namespace {

bool write_atomic(const std::string& path, const void* data, size_t n) {
  std::string tmp = path + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(fd, p + done, n - done);
    if (w <= 0) break;
    done += static_cast<size_t>(w);
  }
  const bool ok = done == n && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = ".", list;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
      dir = argv[++i];
    else
      list = argv[i];
  }
  if (list.empty()) {
    std::fputs("usage: spelldict [-o DIR] WORDLIST\n", stderr);
    return 1;
  }
  std::ifstream in(list, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "spelldict: %s: cannot be read\n", list.c_str());
    return 1;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  int dropped = 0;
  const auto words = spelldict_read_words(text, &dropped);
  SpellDictFiles files;
  std::string error;
  if (!spelldict_build(words, files, error)) {
    std::fprintf(stderr, "spelldict: %s: %s\n", list.c_str(), error.c_str());
    return 1;
  }
  if (!write_atomic(dir + "/smain.dct", files.main.data(), files.main.size()) ||
      !write_atomic(dir + "/scommon.lst", files.common.data(), files.common.size())) {
    std::fprintf(stderr, "spelldict: %s: cannot write the dictionaries: %s\n", dir.c_str(), std::strerror(errno));
    return 1;
  }
  std::printf("spelldict: %d words in smain.dct (%zu bytes), %d in scommon.lst (%zu bytes), %d lines dropped\n",
              files.main_words, files.main.size(), files.common_words, files.common.size(), dropped);
  return 0;
}

// An extension library for the probe tests: its function api_report calls
// every entry of the editor API table the editor handed to zvx_dll_init,
// with arguments that make sense in the running editor, and writes one probe
// note per entry to descriptor 3 (where the probe harness collects notes):
// "api+N=" and the answer, "null" for an entry the table does not fill. It
// links nothing of the editor.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

struct Api {
  void* word[53];
};
const Api* api = nullptr;

void write_note(const std::string& key, const std::string& value) {
  const std::string line = key + "=" + value + "\n";
  if (::write(3, line.data(), line.size()) < 0) return;  // the notes are all the test sees
}

// The entry at byte offset `at` of the 32-bit table (word at / 4) as F, or
// null after noting "null".
template <typename F>
F entry(int at) {
  void* p = api->word[at / 4];
  if (!p) write_note("api+" + std::to_string(at), "null");
  return reinterpret_cast<F>(p);
}

void answer(int at, const std::string& value) { write_note("api+" + std::to_string(at), value); }
void answer(int at, long value) { answer(at, std::to_string(value)); }

// The window-id entries, the properties and the prompt: an id made current
// around each call, the tag (25), visible (11) and width (39) properties.
void window_entries(int window) {
  constexpr int kVisible = 11, kTag = 25, kWidth = 39;
  char buf[256] = {};
  if (auto f = entry<int (*)(int)>(4)) answer(4, f(window));
  if (auto f = entry<int (*)(int, int)>(8)) answer(8, f(window, kVisible));
  if (auto f = entry<int (*)(int, int, int)>(16)) answer(16, f(window, kVisible, 1));
  if (auto f = entry<int (*)(int, int, const char*)>(20)) answer(20, f(window, kTag, "tag20"));
  if (auto f = entry<int (*)(int, int, char*, int)>(12)) {
    const int n = f(window, kTag, buf, sizeof buf);
    answer(12, std::to_string(n) + ":" + buf);
  }
  if (auto f = entry<int (*)(int, int, int, const char*)>(24)) answer(24, f(window, kTag, 0, "tag24"));
  if (auto f = entry<int (*)(int, int, void*, int)>(84)) {
    std::memset(buf, 0, sizeof buf);
    const int n = f(window, kTag, buf, sizeof buf - 1);
    answer(84, std::to_string(n) + ":" + buf);
  }
  if (auto f = entry<int (*)(int, int)>(204)) answer(204, f(window, kWidth));
  if (auto f = entry<int (*)(int, int, int)>(208)) answer(208, f(window, kVisible, 1));
  alignas(16) unsigned char save[64] = {};
  auto push = entry<int (*)(int, void*)>(76);
  auto pop = entry<void (*)(void*)>(80);
  if (push) answer(76, push(window, save));
  if (pop) {
    pop(save);
    answer(80, "called");
  }
}

// The buffer entries, on the current window's buffer.
void buffer_entries() {
  char buf[256] = {};
  if (auto f = entry<int (*)(const char*)>(40)) answer(40, f("+Q api.txt"));
  if (auto f = entry<int (*)()>(88)) answer(88, f());
  if (auto f = entry<int (*)(const char*, int)>(28)) answer(28, f("api line", -1));
  if (auto f = entry<int (*)(char*, int)>(32)) {
    const int n = f(buf, sizeof buf);
    answer(32, std::to_string(n) + ":" + buf);
  }
  if (auto f = entry<int (*)(int, int, char*)>(36)) {
    std::memset(buf, 0, sizeof buf);
    const int n = f(0, 5, buf);
    answer(36, std::to_string(n) + ":" + std::string(buf, n > 0 ? static_cast<size_t>(n) : 0));
  }
  if (auto f = entry<void (*)(const char*, int)>(192)) {
    f("replaced", -1);
    answer(192, "called");
  }
  if (auto f = entry<int (*)()>(92)) answer(92, f());
  if (auto f = entry<int (*)(int)>(96)) answer(96, f(1));
  if (auto f = entry<int (*)(int)>(100)) answer(100, f(1));
  if (auto f = entry<int (*)()>(196)) answer(196, f());
}

// Names, variables (rc's slot), arguments and memory.
void runtime_entries() {
  char buf[256] = {};
  if (auto f = entry<int (*)(const char*, const char*, int)>(0)) answer(0, f("int api_nothing()", nullptr, 0));
  int rc_index = 0;
  if (auto f = entry<int (*)(const char*, int)>(48)) answer(48, rc_index = f("rc", 4));
  int slot = 0;
  if (auto f = entry<int (*)(int)>(172)) answer(172, slot = f(rc_index));
  if (auto f = entry<void (*)(int, int)>(64)) {
    f(slot, 42);
    answer(64, "called");
  }
  if (auto f = entry<int (*)(int)>(60)) answer(60, f(slot));
  if (auto f = entry<void (*)(int, const void*, int)>(68)) {
    f(slot, "bytes", 5);
    answer(68, "called");
  }
  const void* value = nullptr;
  if (auto f = entry<const void* (*)(int)>(56)) answer(56, (value = f(slot)) ? "counted" : "none");
  if (auto f = entry<char* (*)(char*, const void*, int)>(176)) {
    const char* s = value ? f(buf, value, sizeof buf) : nullptr;
    answer(176, s ? s : "none");
  }
  if (auto f = entry<void (*)(int, const char*)>(72)) {
    f(slot, "cstr");
    answer(72, "called");
  }
  if (auto f = entry<int (*)(int)>(180)) answer(180, f(0));
  if (auto alloc = entry<void* (*)(long)>(184)) {
    void* p = alloc(64);
    answer(184, p ? "memory" : "none");
    if (auto f = entry<void (*)(void*)>(188)) {
      f(p);
      answer(188, "called");
    }
  } else {
    entry<void (*)(void*)>(188);
  }
}

// Files: api-out.txt written, read back from its start, closed.
void file_entries() {
  int fd = -1;
  if (auto f = entry<int (*)(const char*, int)>(104)) answer(104, fd = f("api-out.txt", 1));
  if (auto f = entry<long (*)(int, const void*, long)>(116)) answer(116, f(fd, "xyz", 3));
  if (auto f = entry<long (*)(int, long, int)>(120)) answer(120, f(fd, 0, 0));
  char buf[8] = {};
  if (auto f = entry<long (*)(int, void*, long)>(112)) {
    const long n = f(fd, buf, 3);
    answer(112, std::to_string(n) + ":" + std::string(buf, n > 0 ? static_cast<size_t>(n) : 0));
  }
  if (auto f = entry<int (*)(int)>(108)) answer(108, f(fd));
}

}  // namespace

extern "C" int zvx_dll_init(const Api* a) {
  api = a;
  const auto declare = reinterpret_cast<int (*)(const char*, const char*, int)>(a->word[0]);
  return declare ? declare("ZXPSZ api_report(int)", nullptr, 0) : 1;
}

// Calls every entry; returns "done". The command-line entry (+44) runs the
// probe's command "api-answer" as if typed, with option A: its answer is
// the text rc then holds.
extern "C" const char* api_report(int window) {
  runtime_entries();
  file_entries();
  window_entries(window);
  buffer_entries();
  if (auto f = entry<const char* (*)(const char*, const char*)>(44)) {
    const char* r = f("api-answer", "A");
    answer(44, r ? r : "none");
  }
  // Last: nothing after it may show another message.
  if (auto f = entry<void (*)(const char*)>(200)) {
    f("api message");
    answer(200, "called");
  }
  return "done";
}

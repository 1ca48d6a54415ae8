// A small extension library for the DLL tests: it declares its functions
// from its init through the editor API table and calls back into the
// editor through it. It links nothing of the editor.
#include <cstdint>
#include <string>

namespace {
struct Api {
  void* word[53];
};
using Declare = int (*)(const char*, const char*, int);
using VarSetCstr = void (*)(int, const char*);
using VarInt = int (*)(int);
const Api* api = nullptr;
std::string greeting;
}  // namespace

extern "C" int zvx_dll_init(const Api* a) {
  api = a;
  const auto declare = reinterpret_cast<Declare>(a->word[0]);
  declare("int add_two(int a, int b)", nullptr, 0);
  declare("ZXPSZ greet(ZXPSZ name)", nullptr, 0);
  declare("int lstr_len(ZXPLSTR)", nullptr, 0);
  declare("_command set_it(ZXHREFVAR, ZXPSZ)", "Sets a variable", 1);
  declare("int twice_var(ZXHVAR)", nullptr, 0);
  declare("long minus_one()", nullptr, 0);
  declare("int not_in_the_library()", nullptr, 0);
  declare("int sum14(int,int,int,int,int,int,int,int,int,int,int,int,int,int)", nullptr, 0);
  declare("ZXPSZ roundtrip(ZXHREFVAR, ZXPSZ)", nullptr, 0);
  return 0;
}

extern "C" int add_two(int a, int b) { return a + b; }
extern "C" const char* greet(const char* name) {
  greeting = std::string("hello ") + name;
  return greeting.c_str();
}
extern "C" int lstr_len(const int32_t* counted) { return counted[0]; }
extern "C" int set_it(int handle, const char* text) {
  reinterpret_cast<VarSetCstr>(api->word[18])(handle, text);
  return 0;
}
extern "C" int twice_var(int handle) { return 2 * reinterpret_cast<VarInt>(api->word[15])(handle); }
extern "C" int minus_one() { return -1; }
extern "C" int sum14(int a, int b, int c, int d, int e, int f, int g, int h, int i, int j, int k, int l, int m, int n) {
  return a + b + c + d + e + f + g + h + i + j + k + l + m + n;
}

// Calls every operation of the table once, on the current window, and
// reports each answer as a line "+offset=answer" (in the variable var of
// the caller's, too); scratch is a file the file operations may create.
namespace {
template <class F>
F at(int offset) {
  return reinterpret_cast<F>(api->word[offset / 4]);
}
std::string report;
void put(int offset, const std::string& answer) { report += "+" + std::to_string(offset) + "=" + answer + "\n"; }
std::string n(long v) { return std::to_string(v); }
}  // namespace

extern "C" const char* roundtrip(int var, const char* scratch) {
  report.clear();
  char buf[256] = {};
  put(0, n(at<Declare>(0)("int roundtrip_declared()", nullptr, 0)));
  const auto get_int = at<int (*)(int, int)>(8);
  const int self = get_int(0, 103);  // the current window's handle
  put(4, n(at<int (*)(int)>(4)(self)));
  put(8, n(get_int(0, 107)));
  const int mode_len = at<int (*)(int, int, char*, int)>(12)(0, 115, buf, sizeof buf);
  put(12, n(mode_len) + " " + buf);
  put(16, n(at<int (*)(int, int, int)>(16)(0, 109, 3)));
  put(20, n(at<int (*)(int, int, const char*)>(20)(0, 115, "Roundtrip")));
  put(24, n(at<int (*)(int, int, int, const char*)>(24)(0, 115, 5, "Round trip")));
  char bytes[8] = {};
  put(84, n(at<int (*)(int, int, char*, int)>(84)(0, 115, bytes, 3)) + " " + bytes);
  put(28, n(at<int (*)(const char*, int)>(28)("inserted", -1)));
  buf[0] = '\0';
  const int line_len = at<int (*)(char*, int)>(32)(buf, sizeof buf);
  put(32, n(line_len) + " " + buf);
  buf[0] = '\0';
  put(36, n(at<int (*)(int, int, char*)>(36)(0, 3, buf)) + " " + buf);
  char name[256] = {};
  at<int (*)(int, int, char*, int)>(12)(0, 110, name, sizeof name);
  put(40, n(at<int (*)(const char*)>(40)(name)));
  const char* answer = at<const char* (*)(const char*, const char*)>(44)("go-to-line 2", "A");
  put(44, answer ? answer : "(null)");
  put(48, at<int (*)(const char*, int)>(48)("roundtrip_declared", 0x11) > 0 ? "found" : "missing");
  using Value = const int32_t* (*)(int);  // a counted string: length, then the bytes
  const int32_t* v = at<Value>(56)(var);
  put(56, v ? std::string(reinterpret_cast<const char*>(v + 1), static_cast<size_t>(v[0])) : "(null)");
  put(60, n(at<VarInt>(60)(var)));
  at<void (*)(int, int)>(64)(var, 41);
  put(64, n(at<VarInt>(60)(var)));
  at<void (*)(int, const void*, int)>(68)(var, "bytes", 2);
  put(68, std::string(reinterpret_cast<const char*>(at<Value>(56)(var) + 1), 2));
  at<VarSetCstr>(72)(var, "set by the library");
  put(72, n(at<Value>(56)(var)[0]));
  alignas(8) char save[32] = {};
  put(76, n(at<int (*)(int, void*)>(76)(self, save)));
  at<void (*)(const void*)>(80)(save);
  put(80, "popped");
  put(88, n(at<int (*)()>(88)()));
  put(100, n(at<int (*)(int)>(100)(1)));
  put(92, n(at<int (*)()>(92)()));
  put(96, n(at<int (*)(int)>(96)(1)));
  const int w = at<int (*)(const char*, int)>(104)(scratch, 2);
  put(104, w >= 0 ? "opened" : n(w));
  put(116, n(at<long (*)(int, const void*, long)>(116)(w, "abcdef", 6)));
  put(120, n(at<long (*)(int, long, int)>(120)(w, 2, 0)));
  char back[8] = {};
  put(112, n(at<long (*)(int, void*, long)>(112)(w, back, 3)) + " " + back);
  put(108, n(at<int (*)(int)>(108)(w)));
  const int rc_index = at<int (*)(const char*, int)>(48)("rc", 4);
  put(172, n(at<int (*)(int)>(172)(rc_index)));
  char copy[64] = {};
  at<char* (*)(char*, const int32_t*, int)>(176)(copy, at<Value>(56)(var), sizeof copy);
  put(176, copy);
  put(180, n(at<int (*)(int)>(180)(0)));
  void* memory = at<void* (*)(long)>(184)(64);
  put(184, memory ? "allocated" : "(null)");
  at<void (*)(void*)>(188)(memory);
  put(188, "released");
  at<void (*)(const char*, int)>(192)("replaced", -1);
  buf[0] = '\0';
  at<int (*)(char*, int)>(32)(buf, sizeof buf);
  put(192, buf);
  put(196, n(at<int (*)()>(196)()));
  at<void (*)(const char*)>(200)("from the library");
  put(200, "shown");
  put(204, n(at<int (*)(int, int)>(204)(0, 107)));
  put(208, n(at<int (*)(int, int, int)>(208)(0, 107, 1)));
  // Kept in the variable too: an entry that raised an error stops the
  // caller once the call returns, before it can take the result.
  at<VarSetCstr>(72)(var, report.c_str());
  return report.c_str();
}

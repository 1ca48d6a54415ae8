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

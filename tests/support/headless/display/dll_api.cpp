// The display's answers to the extension libraries: messages and command
// lines are recorded; a command line answers what the test set.
#include <cctype>
#include <cstring>
#include <string>

#include "macro/dll_port.h"
#include "tests/support/headless/dll_fakes.h"
#include "tests/support/headless/mark.h"

void dll_show_message(const char* text) {
  if (text) dlltest::dll.messages.emplace_back(text, strnlen(text, 1023));
}

const char* dll_execute_command(const char* command, const char* options) {
  static std::string answer;
  const std::string opt = options ? options : "";
  for (char c : opt)
    if (!std::strchr("WARZL", std::toupper(static_cast<unsigned char>(c)))) return "-3015";
  dlltest::dll.commands.push_back(std::string(command ? command : "") + "|" + opt);
  answer = dlltest::dll.command_answer;
  return answer.c_str();
}

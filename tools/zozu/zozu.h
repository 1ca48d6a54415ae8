// zozu: the macro assembler, disassembler and state-file linker.
//
// The assembler reads the line-oriented text form documented in README.md
// and builds a module file through ModuleBuilder; instructions, operand kinds
// and stack effects come from the one opcode table (macro/opcodes.h). The
// disassembler prints a module back in a form that assembles to the same
// bytes. The linker loads modules into the runtime's names table and writes
// a state file through the runtime's own writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZozuDiag {
  std::string file;
  int line = 0;
  std::string message;
};

// Assembles `text` (named `file` in diagnostics). True with `out` holding the
// module file, or false with at least one diagnostic.
bool zozu_assemble(const std::string& file, const std::string& text, std::vector<uint8_t>& out,
                   std::vector<ZozuDiag>& diags);

// Disassembles a module file. True with `text`, or false with a message.
bool zozu_disassemble(const std::vector<uint8_t>& module, std::string& text, std::string& error);

// Writes `bytes` to `path` atomically (temporary file, fsync, rename).
bool zozu_write_atomic(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

#!/usr/bin/env python3
"""Writes the table of every port function for the editor's wiring check.

A port is a header named *_port.h in a layer's folder: plain function
declarations that a layer above defines. The table takes each function's
address, so the program cannot link unless every one is defined, and
`zorvex --check-wiring` prints what each resolves to.

usage: gen_port_table.py OUTPUT.cpp SOURCE_DIR LAYER...
"""
import pathlib
import re
import sys

DECL = re.compile(r"^[A-Za-z_][\w:<>,\s\*&]*?[\s\*&](\w+)\s*\(")
SKIP = ("inline ", "struct ", "class ", "using ", "namespace ", "enum ", "template", "typedef ", "#", "}",
        "static ", "constexpr ", "extern \"C\"")


def declarations(text):
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    text = re.sub(r"^\s*#[^\n]*", "", text, flags=re.M)
    # Statements at the top level only: braces hide what is inside them.
    depth, stmt, out = 0, "", []
    for ch in text:
        if ch == "{":
            depth += 1
            stmt = ""
        elif ch == "}":
            depth -= 1
            stmt = ""
        elif depth == 0:
            if ch == ";":
                s = " ".join(stmt.split())
                stmt = ""
                if s and not s.startswith(SKIP):
                    m = DECL.match(s)
                    if m:
                        out.append(m.group(1))
            else:
                stmt += ch
    return out


def main():
    out, src, layers = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3:]
    rows, includes = [], []
    for layer in layers:
        for header in sorted((src / layer).glob("*_port.h")):
            rel = f"{layer}/{header.name}"
            names = declarations(header.read_text())
            if not names:
                sys.exit(f"{rel}: a port header with no function declarations")
            includes.append(rel)
            rows += [(rel, n) for n in names]
    lines = ["// Written by scripts/gen_port_table.py from the *_port.h headers: do not edit.",
             '#include "app/wiring.h"', ""]
    lines += [f'#include "{i}"' for i in includes]
    lines += ["", "const PortFunction kPortFunctions[] = {"]
    lines += [f'    {{"{h}", "{n}", reinterpret_cast<const void*>(&{n})}},' for h, n in rows]
    if not rows:
        lines.append('    {"", "", nullptr},')
    lines += ["};", "const size_t kPortFunctionCount = " + (str(len(rows)) if rows else "0") + ";", ""]
    text = "\n".join(lines)
    path = pathlib.Path(out)
    if not path.exists() or path.read_text() != text:
        path.write_text(text)


if __name__ == "__main__":
    main()

#!/usr/bin/env bash
# Fails when README.md's table of ports and the editor's wiring disagree:
# every port header `zorvex --check-wiring` lists has one row in the table
# (its first column), and the table names no other.
#
#   scripts/check-readme-ports.sh <path to zorvex>
set -euo pipefail
cd "$(dirname "$0")/.."
wiring=$("$1" --check-wiring)
from_program=$(printf '%s\n' "$wiring" | awk '/^ports:/ { p = 1; next } /^[^ ]/ { p = 0 } p { print $1 }' | sort -u)
from_readme=$(awk '/^### Ports/ { p = 1; next } /^### / { p = 0 } p && /^\| `[a-z]+\/[a-z_]+_port\.h`/ { print $2 }' README.md |
  tr -d '`' | sort -u)
if [ "$from_program" != "$from_readme" ]; then
  echo "README.md's table of ports differs from the editor's wiring (< program, > README):"
  diff <(printf '%s\n' "$from_program") <(printf '%s\n' "$from_readme") || true
  exit 1
fi
echo "check-readme-ports: $(printf '%s\n' "$from_program" | wc -l) port headers, README agrees"

#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own.
#
# The layers and what each may use are in cmake/layers.txt. A file's layer is
# its top folder; a file under tests/<layer>/ belongs to that layer. Files of
# no layer (bench/, fuzz/, tools/, tests/tools/ and files directly in tests/)
# may include anything below app, and a file that includes one of them needs
# what that file includes. A headless answer under
# tests/support/headless/<layer>/ stands in for that layer and may include
# only what the layer may.
# Quoted includes are resolved as the compiler does: beside the including
# file first, then from the project root, then from tests/.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(find base text macro winsys display forms services app tools tests bench fuzz \
  -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' -o -name '*.inc' \) \
  -not -path '*/corpus/*' -not -path 'tests/*/data/*' 2>/dev/null | sort)

{
  sed -e 's/#.*//' cmake/layers.txt | awk 'NF { print "L", $0 }'
  printf 'F %s\n' "${files[@]}"
  grep -H -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${files[@]}" | sed 's/^/I /' || true
} | awk '
function norm(p,    n, i, k, parts, out) {
  n = split(p, parts, "/"); k = 0
  for (i = 1; i <= n; i++) {
    if (parts[i] == "" || parts[i] == ".") continue
    if (parts[i] == "..") { if (k > 0) k--; continue }
    out[++k] = parts[i]
  }
  p = ""
  for (i = 1; i <= k; i++) p = p (i > 1 ? "/" : "") out[i]
  return p
}
function dirname(p) { return sub(/\/[^\/]*$/, "", p) ? p : "" }
# The layer of a path, or "free" (a program of no layer), or "" (not checked).
function layer_of(p,    n, parts) {
  n = split(p, parts, "/")
  if (parts[1] in is_layer) return parts[1]
  if (parts[1] == "tests") {
    if (n >= 3 && (parts[2] in is_layer)) return parts[2]
    if (n >= 5 && parts[2] == "support" && parts[3] == "headless" && (parts[4] in is_layer)) return parts[4]
    return "free"
  }
  if (parts[1] == "bench" || parts[1] == "fuzz" || parts[1] == "tools") return "free"
  return ""
}
function resolve(from, inc,    c) {
  c = norm(dirname(from) "/" inc); if (c in exists) return c
  c = norm(inc); if (c in exists) return c
  c = norm("tests/" inc); if (c in exists) return c
  return ""
}
$1 == "L" {
  is_layer[$2] = 1; top = $2; order = order (order ? " " : "") $2
  may[$2, $2] = 1; uses[$2] = ""
  for (i = 3; i <= NF; i++) { may[$2, $i] = 1; uses[$2] = uses[$2] (uses[$2] ? " " : "") $i }
  next
}
$1 == "F" { exists[$2] = 1; next }
$1 == "I" {
  line = substr($0, 3)
  split(line, f, ":"); file = f[1]; lineno = f[2]
  inc = line; sub(/^[^"]*"/, "", inc); sub(/".*$/, "", inc)
  target = resolve(file, inc)
  if (target == "") {  # not found: judge it by its folder if that names a layer
    split(inc, parts, "/")
    if (!(parts[1] in is_layer)) next
    target = inc
  }
  tl = layer_of(target)
  if (tl == "") next
  n++; src[n] = file; at[n] = lineno; what[n] = inc; dest[n] = target
  if (tl != "free") add_need(target, tl)
  next
}
# needs[f]: the layers a file stands for, " a b " (its own, or for a file of
# no layer, those of what it includes).
function add_need(f, l) {
  if (index(needs[f], " " l " ")) return 0
  needs[f] = (needs[f] == "" ? " " : needs[f]) l " "
  return 1
}
END {
  # A file of no layer needs what the files it includes need,
  # until nothing changes.
  do {
    changed = 0
    for (k = 1; k <= n; k++) {
      if (layer_of(src[k]) != "free") continue
      m = split(needs[dest[k]], ls, " ")
      for (j = 1; j <= m; j++) if (add_need(src[k], ls[j])) changed = 1
    }
  } while (changed)
  bad = 0
  for (k = 1; k <= n; k++) {
    sl = layer_of(src[k]); tl = layer_of(dest[k])
    m = split(needs[dest[k]], ls, " ")
    for (j = 1; j <= m; j++) {
      r = ls[j]
      if (sl == "free") { if (r != top) continue }
      else if ((sl, r) in may) continue
      via = (tl == "free") ? ", which needs " r : " (" r ")"
      if (sl == "free")
        printf "%s:%s: includes \"%s\"%s: only %s may use %s\n", src[k], at[k], what[k], via, top, top
      else
        printf "%s:%s: includes \"%s\"%s, but %s may use %s\n", src[k], at[k], what[k], via, sl, \
          (uses[sl] == "" ? "no other layer" : "only: " uses[sl])
      bad++
    }
  }
  if (bad) {
    printf "check-layers: %d include(s) reach up a layer. Layers, lowest first: %s (cmake/layers.txt).\n", bad, order
    printf "A lower layer that needs a higher one declares a seam of its own, which the higher layer installs.\n"
    exit 1
  }
  printf "check-layers: %d includes, none reaches up a layer\n", n
}
'

#!/usr/bin/env bash
# Turns "Name = text" lines (UTF-8) into a C++ header of GBK byte strings.
# usage: gen_gbk_header.sh INPUT OUTPUT NAMESPACE
set -euo pipefail
in=$1 out=$2 ns=$3
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
{
  echo "// Generated from $(basename "$in") by gen_gbk_header.sh. Do not edit."
  echo "#pragma once"
  echo "namespace $ns {"
  while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in ''|'#'*) continue ;; esac
    name=${line%%=*}; name=${name%"${name##*[![:space:]]}"}
    text=${line#*=}; text=${text# }
    bytes=$(printf '%s' "$text" | iconv -f UTF-8 -t GBK | od -An -v -tx1 | tr -d ' \n')
    esc=$(printf '%s' "$bytes" | sed 's/\(..\)/\\x\1/g')
    # Split after every escape so a following hex digit is never swallowed.
    esc=$(printf '%s' "$esc" | sed 's/\(\\x..\)/\1""/g')
    printf '// %s\ninline constexpr char %s[] = "%s";\n' "$text" "$name" "$esc"
  done < "$in"
  echo "}  // namespace $ns"
} > "$tmp"
mv "$tmp" "$out"

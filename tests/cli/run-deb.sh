#!/usr/bin/env bash
# The Linux packaging of the command line: `cmake --install` into a prefix,
# and the .deb that CPack makes, unpacked into a scratch root: the program
# runs from there, its man page renders without a warning, its completion
# loads.   usage: run-deb.sh <native build dir>
set -u
build=$(cd "${1:?usage: run-deb.sh <native build dir>}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() {  # check NAME COMMAND...
  local name=$1; shift
  if "$@" >"$work/out" 2>&1; then passed=$((passed + 1)); echo "PASS $name"
  else failed=$((failed + 1)); echo "FAIL $name"; sed 's/^/    /' "$work/out" | head -20; fi
}
version=$("$build/bin/pixelkite" --version | sed -n 's/^pixelkite //p')

check "cmake --install puts the program, its page and completion under the prefix" \
  bash -c "cmake --install '$build' --prefix '$work/prefix' && cd '$work/prefix' &&
    test -x bin/pixelkite && test -f share/man/man1/pixelkite.1.gz &&
    test -f share/bash-completion/completions/pixelkite"
check "cpack makes the .deb" bash -c "cd '$build' && cpack -G DEB -B '$work/deb' && ls '$work'/deb/*.deb"
deb=$(ls "$work"/deb/pixelkite_*.deb 2>/dev/null | head -1)
check "the package is pixelkite $version with its library dependencies" \
  bash -c "dpkg-deb -f '$deb' Package Version Depends | tr '\n' ' ' |
    grep -E '^Package: pixelkite Version: $version Depends: .*libc6.*libspng0'"
dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr
check "/usr/bin/pixelkite --version" bash -c "'$root/bin/pixelkite' --version | grep -x 'pixelkite $version'"
check "pixelkite COMMAND --help for each command" bash -c "for c in list extract convert; do
    '$root/bin/pixelkite' \$c --help | grep -q \"^usage: pixelkite \$c\" || exit 1; done"
rendered() {
  MANWIDTH=80 man --warnings -l "$root/share/man/man1/pixelkite.1.gz" >"$work/page" 2>"$work/warnings"
  grep -q "pixelkite $version" "$work/page" && [ ! -s "$work/warnings" ] || { cat "$work/warnings"; return 1; }
}
check "man -l renders pixelkite(1) without a warning" rendered
check "the bash completion completes the commands and an extract option" \
  bash -c "source '$root/share/bash-completion/completions/pixelkite' &&
    COMP_WORDS=(pixelkite ex); COMP_CWORD=1; _pixelkite; test \"\${COMPREPLY[*]}\" = extract &&
    COMP_WORDS=(pixelkite extract x --fo); COMP_CWORD=3; _pixelkite; test \"\${COMPREPLY[*]}\" = --format"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

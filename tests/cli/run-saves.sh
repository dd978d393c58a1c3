# Saving checks for run.sh (sourced: uses check, expect_grep, pk, work, ico).
# A target that is read-only keeps its bytes and gets the creation message;
# two programs saving one target at once leave one whole file of one of them;
# no temporary file is left behind either way.
saves=$work/saves
mkdir -p "$saves"
for ext in ico bmp; do
  printf 'old' >"$saves/locked.$ext"
  chmod a-w "$saves/locked.$ext"
done
check "read-only .ico target" 1 "${pk[@]}" extract "$ico" -o "$saves/locked.ico"
expect_grep "read-only .ico message" "locked.ico: 文件建立时出错!" "$work/err"
check "read-only .bmp target" 1 "${pk[@]}" extract "$ico" -o "$saves/locked.bmp"
expect_grep "read-only .bmp message" "locked.bmp: 位图文件建立失败！" "$work/err"
if [ "$(cat "$saves/locked.ico")$(cat "$saves/locked.bmp")" = oldold ] && [ "$(ls -A "$saves" | wc -l)" -eq 2 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); echo "FAIL: a refused save changed the folder:"; ls -lA "$saves" | sed 's/^/  /'
fi
rm -f "$saves"/locked.*

# Two sources of different sizes: the sample, and a module's first group
# where Wine's modules are installed (larger, so the writes overlap).
other=$work/other.ico
{ head -c 126 "$ico"; head -c 128 /dev/zero | tr '\0' '\064'; tail -c 64 "$ico"; } >"$other"
[ -f "${notepad:-}" ] && other=$notepad
"${pk[@]}" extract "$ico" -o "$saves/a.ico" 2>/dev/null
"${pk[@]}" extract "$other" -o "$saves/b.ico" 2>/dev/null
mixed=0
for round in 1 2 3 4 5; do
  "${pk[@]}" extract "$ico" -o "$saves/same.ico" 2>/dev/null &
  first=$!
  "${pk[@]}" extract "$other" -o "$saves/same.ico" 2>/dev/null &
  wait "$first" $!
  if ! cmp -s "$saves/same.ico" "$saves/a.ico" && ! cmp -s "$saves/same.ico" "$saves/b.ico"; then
    mixed=$((mixed + 1))
  fi
done
if [ "$mixed" -eq 0 ] && [ "$(ls -A "$saves" | wc -l)" -eq 3 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); echo "FAIL: two programs saving at once: $mixed of 5 results mixed or missing"
  ls -lA "$saves" | sed 's/^/  /'
fi

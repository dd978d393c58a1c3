# Module checks for run.sh (sourced: uses check, expect_grep, pk, work).
# Wine's own modules serve as real .exe/.dll files; without them the checks
# are left out.
wine_modules=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
if [ -f "$wine_modules/notepad.exe" ]; then
  notepad=$wine_modules/notepad.exe
  check "list module" 0 "${pk[@]}" list "$notepad"
  expect_grep "group line" "^Icon \[768\]" "$work/out"
  expect_grep "group image" "256x256  32 bpp  PNG" "$work/out"
  check "list module json" 0 "${pk[@]}" list --json "$notepad"
  expect_grep "group json" '"entry": "Icon \[768\]", "id": 768, "images": \[{' "$work/out"
  check "extract first group" 0 "${pk[@]}" extract "$notepad" -o "$work/notepad.ico"
  check "list extracted group" 0 "${pk[@]}" list "$work/notepad.ico"
  expect_grep "all images saved" "#9 " "$work/out"
  check "extract group by id" 0 "${pk[@]}" extract "$notepad" --group 768 -o "$work/n768.ico"
  cmp -s "$work/notepad.ico" "$work/n768.ico" && passed=$((passed + 1)) ||
    { failed=$((failed + 1)); echo "FAIL: --group 768 differs from the first group"; }
  check "missing group" 1 "${pk[@]}" extract "$notepad" --group 5 -o "$work/none.ico"
  [ ! -e "$work/none.ico" ] && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAIL: output for a missing group"; }
  check "module without groups" 1 "${pk[@]}" list "$wine_modules/kernel32.dll"
fi
printf 'just text\n' >"$work/notes.dll"
check "text file as module" 1 "${pk[@]}" list "$work/notes.dll"
expect_grep "module message" "notes.dll: 装入文件时出错 - 请选择一个WIN32的DLL或EXE文件!" "$work/err"
check "text file extract" 1 "${pk[@]}" extract "$work/notes.ICL" -o "$work/never2.ico"

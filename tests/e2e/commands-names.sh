# The open, drop and save-as commands on names outside the code page, and
# the boxes that name them (sourced by tests/e2e/commands.sh, whose helpers
# and files it uses).

pixelkite_cli extract "$files/UPPER.ICO" -o "$ref/upper.ico" >/dev/null
pixelkite_cli extract "$files/UPPER.ICO" -o "$ref/upper.bmp" >/dev/null
for name in "$emoji" "$hangul" "$combining"; do
  expect "drop: $name.ico" "$(lines "$(one "$(f "$name.ico")")" "$ON" "preview icon=1")" drop Pixelkite "$(f "$name.ico")"
  expect "open: a missing $name.ico names it in the caption" \
    "$(lines "$OPEN" "box caption=$(f "missing-$name.ico") text=图标文件打开时出错!" "$NO_ICONS" "$EMPTY" "$OFF" "preview icon=0")" \
    open Pixelkite "$(f "missing-$name.ico")"
  expect "open: $name.ico" "$(lines "$OPEN" "$(one "$(f "$name.ico")")" "$ON" "preview icon=1")" open Pixelkite "$(f "$name.ico")"
  expect "open: $name.ico's preview" "" icon Pixelkite "$(f "$name.ico")"
  expect "save as: $name-saved.ico" "$(lines "$SAVE" "$(one "$(f "$name.ico")")" "$ON" "preview icon=1")" \
    save Pixelkite "$(f "$name-saved.ico")"
  check "save as: $name-saved.ico holds every image" cmp "$files/$name-saved.ico" "$ref/upper.ico"
  expect "save as: $name-saved.bmp" "$(lines "$SAVE" "$(one "$(f "$name.ico")")" "$ON" "preview icon=1")" \
    save Pixelkite "$(f "$name-saved.bmp")"
  check "save as: $name-saved.bmp is the first image's picture" cmp "$files/$name-saved.bmp" "$ref/upper.bmp"
done
expect "save as: a target that cannot be made, named outside the code page" \
  "$(lines "$SAVE" "box caption=$(f "no-folder/$hangul.ico") text=文件建立时出错!" "$(one "$(f "$combining.ico")")" \
    "$ON" "preview icon=1")" save Pixelkite "$(f "no-folder/$hangul.ico")"
expect "open: $emoji.exe, not a module: its path before the words" \
  "$(lines "$OPEN" "box caption=错误 text=$(f "$emoji.exe")文件载入错误，必须是WIN32的文件!" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(f "$emoji.exe")"

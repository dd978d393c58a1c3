# The open, save-as and copy commands on modules: PE32+ and PE32, integer
# and text-named groups, other extensions, files that are no module, a module
# removed before Save as (sourced by tests/e2e/commands.sh, whose helpers and
# files it uses).

# ---- a PE32+ module with integer groups: text order, the selected group saved
shell64=$(winpath "$w64/shell32.dll")
expect "open: shell32.dll (PE32+) lists 184 groups in text order" \
  "$(lines "$OPEN" "list count=184 selected=0" "$SHELL_ENTRIES" "$ON" "preview icon=1")" open Pixelkite "$shell64"
expect "open: the preview is group 1's icon" "" icon Pixelkite "$shell64" 1
expect "select: the second entry is group 10" \
  "$(lines "list count=184 selected=1" "$SHELL_ENTRIES" "$ON" "preview icon=1")" select Pixelkite 1
expect "select: the preview follows" "" icon Pixelkite "$shell64" 10
expect "save as: group 10, bitmap filter chosen but an .ico name" \
  "$(lines "$SAVE" "list count=184 selected=1" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  save Pixelkite "$(f shell-10.ico)" 2
ref_group "$w64/shell32.dll" 10 "$ref/shell-10.ico"
check "save as: group 10 as the command line extracts it" cmp "$files/shell-10.ico" "$ref/shell-10.ico"
expect "save as: group 10 as a bitmap" \
  "$(lines "$SAVE" "list count=184 selected=1" "$SHELL_ENTRIES" "$ON" "preview icon=1")" save Pixelkite "$(f shell-10.bmp)"
ref_group "$w64/shell32.dll" 10 "$ref/shell-10.bmp"
check "save as: group 10's bitmap as the command line extracts it" cmp "$files/shell-10.bmp" "$ref/shell-10.bmp"
for filter in 1 2; do
  expect "save as: a name without an extension takes filter $filter's" \
    "$(lines "$SAVE" "list count=184 selected=1" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
    save Pixelkite "$(f "bare-$filter")" $filter
done
check "save as: bare-1 became an icon file, bare-2 a bitmap" \
  eval 'cmp "$files/bare-1.ico" "$ref/shell-10.ico" && cmp "$files/bare-2.bmp" "$ref/shell-10.bmp" && absent "$files/bare-1"'
expect "select: the third entry" "$(lines "list count=184 selected=2" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  select Pixelkite 2
REPLACE="question caption=保存为 text=$(f shell-10.ico)已存在，要替换它吗?"
cp "$files/shell-10.ico" "$work/shell-10-before.ico"
expect "save as: over an existing file, No" \
  "$(lines "$SAVE" "$REPLACE answer=no" "list count=184 selected=2" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  save Pixelkite "$(f shell-10.ico)" 0 no
check "save as: No keeps the file byte for byte" cmp "$files/shell-10.ico" "$work/shell-10-before.ico"
expect "save as: over an existing file, Yes" \
  "$(lines "$SAVE" "$REPLACE answer=yes" "list count=184 selected=2" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  save Pixelkite "$(f shell-10.ico)" 0 yes
ref_group "$w64/shell32.dll" 11 "$ref/shell-11.ico"
check "save as: the file now holds group 11" cmp "$files/shell-10.ico" "$ref/shell-11.ico"
expect "copy: group 11" "$(lines "clipboard dib" "list count=184 selected=2" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  copy Pixelkite "$(winpath "$work/shell-11.dib")"
ref_group "$w64/shell32.dll" 11 "$ref/shell-11.bmp"
check "copy: the clipboard's CF_DIB is group 11's picture" python3 "$root/tests/e2e/files.py" clip "$work/shell-11.dib" "$ref/shell-11.bmp"
expect "copy: a held clipboard is not reported" \
  "$(lines "clipboard none" "list count=184 selected=2" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  copy Pixelkite --held "$(winpath "$work/held.dib")"
expect "save as: a file that cannot be made is reported by the writer" \
  "$(lines "$SAVE" "box caption=$(f no-folder/x.ico) text=文件建立时出错!" "list count=184 selected=2" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  save Pixelkite "$(f no-folder/x.ico)"

# ---- files that do not open as modules or have no icons: the list and the preview empty, Save as and Copy go off
expect "open: a text file named .exe" \
  "$(lines "$OPEN" "box caption=错误 text=$(f text.exe)文件载入错误，必须是WIN32的文件!" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(f text.exe)"
# Nothing is left to save or copy, and the window says so before a click.
expect "save as and copy: then there is nothing to save or copy" "$(lines "$EMPTY" "$OFF" "preview icon=0")" \
  state Pixelkite
expect "open: a missing .exe typed by name" \
  "$(lines "$OPEN" "box caption=错误 text=$(f missing.exe)文件载入错误，必须是WIN32的文件!" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(f missing.exe)"
expect "open: a 16-bit .icl" \
  "$(lines "$OPEN" "box caption=错误 text=$(f old.icl)文件载入错误，必须是WIN32的文件!" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(f old.icl)"
expect "open: a DLL without icons" \
  "$(lines "$OPEN" "box caption=错误 text=列举图标资源名时出错!" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(winpath "$w64/version.dll")"

# ---- a PE32 module
shell32=$(winpath "$w32/shell32.dll")
expect "open: shell32.dll (PE32)" "$(lines "$OPEN" "list count=184 selected=0" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  open Pixelkite "$shell32"
expect "select: PE32 group 10" "$(lines "list count=184 selected=1" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  select Pixelkite 1
expect "save as: PE32 group 10" "$(lines "$SAVE" "list count=184 selected=1" "$SHELL_ENTRIES" "$ON" "preview icon=1")" \
  save Pixelkite "$(f shell32-10.ico)"
ref_group "$w32/shell32.dll" 10 "$ref/shell32-10.ico"
check "save as: PE32 group 10 as the command line extracts it" cmp "$files/shell32-10.ico" "$ref/shell32-10.ico"

# ---- text-named groups
dialogs=$(winpath "$w64/comdlg32.dll")
expect "open: comdlg32.dll's text-named groups" \
  "$(lines "$OPEN" "list count=10 selected=0" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" open Pixelkite "$dialogs"
expect "select: FOLDER" "$(lines "list count=10 selected=2" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" select Pixelkite 2
expect "select: FOLDER's preview" "" icon Pixelkite "$dialogs" FOLDER
expect "save as: FOLDER" "$(lines "$SAVE" "list count=10 selected=2" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" \
  save Pixelkite "$(f folder.ico)"
ref_group "$w64/comdlg32.dll" FOLDER "$ref/folder.ico"
check "save as: FOLDER as the command line extracts it" cmp "$files/folder.ico" "$ref/folder.ico"
expect "copy: FOLDER" "$(lines "clipboard dib" "list count=10 selected=2" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" \
  copy Pixelkite "$(winpath "$work/folder.dib")"
ref_group "$w64/comdlg32.dll" FOLDER "$ref/folder.bmp"
check "copy: FOLDER's picture (a PNG image, decoded)" python3 "$root/tests/e2e/files.py" clip "$work/folder.dib" "$ref/folder.bmp"

# ---- other extensions are modules for every command
for name in dialogs.ocx no-extension; do
  expect "open: $name is a module" "$(lines "$OPEN" "list count=10 selected=0" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" \
    open Pixelkite "$(f $name)"
  expect "select: $name FLOPPY" "$(lines "list count=10 selected=1" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" \
    select Pixelkite 1
  expect "select: $name previews FLOPPY" "" icon Pixelkite "$(f $name)" FLOPPY
  expect "save as: $name FLOPPY" "$(lines "$SAVE" "list count=10 selected=1" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" \
    save Pixelkite "$(f $name-floppy.ico)"
  ref_group "$w64/comdlg32.dll" FLOPPY "$ref/floppy.ico"
  check "save as: $name saves its own group" cmp "$files/$name-floppy.ico" "$ref/floppy.ico"
done

# ---- the module is gone by the time Save as loads the group
expect "open: a module that will be removed" \
  "$(lines "$OPEN" "list count=10 selected=0" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" open Pixelkite "$(f gone.dll)"
rm -f "$files/gone.dll"
expect "save as: the loader's message, then nothing to save" \
  "$(lines "$SAVE" "box caption=$(f gone.dll) text=装入文件时出错 - 请选择一个WIN32的DLL或EXE文件!" "$NOTHING_TO_SAVE" \
    "list count=10 selected=0" "$DIALOG_ENTRIES" "$ON" "preview icon=1")" save Pixelkite "$(f gone.ico)"
check "save as: nothing written for the removed module" absent "$files/gone.ico"

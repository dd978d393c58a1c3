# The open, save-as and copy commands of the real program, driven through its
# real file dialogs by the probe, one step after another on one running
# window (each step starts from what the one before left). Saved files are
# compared with what the command line writes for the same icon. Sourced by
# tests/e2e/run.sh, which provides probe, check, winpath, start, $work.

pixelkite=${PK_E2E_PIXELKITE:-$root/build/native/bin/pixelkite}
if [ ! -x "$pixelkite" ]; then
  pixelkite_cli() { "$PK_WINE" "$build/bin/pixelkite-cli.exe" "$@" </dev/null; }
else
  pixelkite_cli() { "$pixelkite" "$@"; }
fi
w64=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
w32=$root/build/wine32-modules/usr/lib/i386-linux-gnu/wine/i386-windows
files=$work/files
ref=$work/ref
mkdir -p "$files/中文目录" "$ref"
python3 "$root/tests/e2e/files.py" make "$files" "$root/res/pixelkite.ico"
cp "$root/res/pixelkite.ico" "$files/中文目录/图标.Ico"
cp "$root/res/pixelkite.ico" "$files/UPPER.ICO"
cp "$w64/comdlg32.dll" "$files/dialogs.ocx"
cp "$w64/comdlg32.dll" "$files/no-extension"
cp "$w64/comdlg32.dll" "$files/gone.dll"
# Names outside both code pages, 936 and 1252: an emoji, Hangul, a letter
# with a combining accent.
emoji=$(printf '\xf0\x9f\x98\x80') hangul=한글 combining=$(printf 'cafe\xcc\x81')
for name in "$emoji" "$hangul" "$combining"; do cp "$root/res/pixelkite.ico" "$files/$name.ico"; done
cp "$root/res/pixelkite.ico" "$files/中文目录/$emoji.ico"
printf 'not a module\n' >"$files/$emoji.exe"
f() { winpath "$files/$1"; }  # a test file as the program sees it

# The file dialogs' titles are the system's own, in its language; the
# filters are the program's.
if [ "${codepage:-936}" = 936 ]; then open_title=打开 save_title=另存为; else open_title=Open save_title="Save As"; fi
OPEN="dialog title=$open_title filters=资源文件(*.ICO,*.BMP,*.EXE,*.DLL,*.ICL) readonly=1"
SAVE="dialog title=$save_title filters=图标文件(*.ICO)|位图文件(*.BMP) readonly=0"
EMPTY="list count=0 selected=-1"
ON="buttons save=1 copy=1"
OFF="buttons save=0 copy=0"
NO_ICONS="box caption=错误 text=此文件中没有图标资源!"
NOTHING_TO_SAVE="box caption=错误 text=没有可保存的图标资源!"
NOTHING_TO_COPY="box caption=错误 text=没有可复制的图标资源!"
lines() { printf '%s\n' "$@"; }
one() { lines "list count=1 selected=0" "entry 0 value=0 text=$1"; }  # an icon or bitmap file listed
SHELL_ENTRIES=$(lines "entry 0 value=1 text=Icon [1]" "entry 1 value=10 text=Icon [10]" \
  "entry 2 value=11 text=Icon [11]" "entry 3 value=12 text=Icon [12]")
DIALOG_ENTRIES=$(lines "entry 0 value=name text=Icon [CDROM]" "entry 1 value=name text=Icon [FLOPPY]" \
  "entry 2 value=name text=Icon [FOLDER]" "entry 3 value=name text=Icon [FOLDER2]")

# expect NAME WANT PROBE-ARGS...: the probe's report, its ok and info lines
# aside, must be WANT line for line (and every probe check must pass).
expect() {
  local name=$1 want=$2; shift 2
  probe "$@" >"$work/out" 2>&1 </dev/null
  local status=$?
  grep -av -e '^ok ' -e '^info ' "$work/out" | tr -d '\r' >"$work/got"
  if [ -n "$want" ]; then printf '%s\n' "$want" >"$work/want"; else : >"$work/want"; fi
  if [ $status -eq 0 ] && cmp -s "$work/want" "$work/got"; then
    passed=$((passed + 1)); echo "PASS $name"
  else
    failed=$((failed + 1)); echo "FAIL $name (exit $status)"
    diff "$work/want" "$work/got" | sed 's/^/    /'
    grep -a -e '^FAIL' "$work/out" | sed 's/^/    /'
  fi
}
same_image() {  # same_image A.ico I B.ico J
  [ "$(python3 "$root/tests/e2e/files.py" image "$1" "$2")" = "$(python3 "$root/tests/e2e/files.py" image "$3" "$4")" ]
}
absent() { [ ! -e "$1" ] || { echo "$1 was written"; return 1; }; }
ref_group() {  # ref_group MODULE GROUP OUT: what the command line extracts
  pixelkite_cli extract "$1" --group "$2" -o "$3" >/dev/null 2>&1
}

# ---- a fresh start: a bitmap becomes an icon of its own size and depth
expect "open: cancelling the dialog changes nothing" \
  "$(lines "$OPEN" "$EMPTY" "$OFF" "preview icon=0")" open Pixelkite --cancel
expect "open: a bitmap after start-up is listed under its path" \
  "$(lines "$OPEN" "$(one "$(f small.bmp)")" "$ON" "preview icon=1")" open Pixelkite "$(f small.bmp)"
expect "save as: the bitmap's icon" "$(lines "$SAVE" "$(one "$(f small.bmp)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f small.ico)"
pixelkite_cli convert "$files/small.bmp" --size 40x30 --bits 24 -o "$ref/small.ico" >/dev/null
check "save as: a bitmap opened at start-up is one 40x30 24-bit image" cmp "$files/small.ico" "$ref/small.ico"

# ---- no record after a failed read: a bitmap over 256 pixels is fitted
expect "open: a missing .ico typed by name" \
  "$(lines "$OPEN" "box caption=$(f missing.ico) text=图标文件打开时出错!" "$NO_ICONS" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(f missing.ico)"
expect "open: a bitmap the reader refuses gives no icon" \
  "$(lines "$OPEN" "box caption=$(f two-bit.bmp) text=每像素2位或64位的位图不支持!" "$NO_ICONS" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(f two-bit.bmp)"
expect "open: a 600x300 bitmap without a record" "$(lines "$OPEN" "$(one "$(f big.bmp)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f big.bmp)"
expect "save as: the fitted bitmap" "$(lines "$SAVE" "$(one "$(f big.bmp)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f big.ico)"
pixelkite_cli convert "$files/big.bmp" --size 256x128 --bits 8 -o "$ref/big.ico" >/dev/null
check "save as: the 600x300 bitmap became 256x128 at 8 bits" cmp "$files/big.ico" "$ref/big.ico"

# ---- an icon with a 32x32 4-bit first image, then a bitmap replaces that image
expect "open: an icon file is listed under its full path" \
  "$(lines "$OPEN" "$(one "$(f four.ico)")" "$ON" "preview icon=1")" open Pixelkite "$(f four.ico)"
expect "open: the preview is the shell's icon of the file" "" icon Pixelkite "$(f four.ico)"
expect "open: a bitmap the reader refuses leaves the first image, which is still listed" \
  "$(lines "$OPEN" "box caption=$(f os2.bmp) text=OS/2风格的位图不支持!" "$(one "$(f os2.bmp)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f os2.bmp)"
expect "save as: the icon as it was" "$(lines "$SAVE" "$(one "$(f os2.bmp)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f four-again.ico)"
pixelkite_cli extract "$files/four.ico" -o "$ref/four.ico" >/dev/null
check "save as: every image unchanged" cmp "$files/four-again.ico" "$ref/four.ico"
expect "open: an upper-case .BMP after it" "$(lines "$OPEN" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f photo.BMP)"
expect "save as: the icon with its first image replaced" \
  "$(lines "$SAVE" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" save Pixelkite "$(f four-photo.ico)"
pixelkite_cli convert "$files/photo.BMP" --size 32x32 --bits 4 -o "$ref/photo-32x4.ico" >/dev/null
check "save as: all three images written" test "$(python3 "$root/tests/e2e/files.py" count "$files/four-photo.ico")" = 3
check "save as: the first is the bitmap at 32x32, 4 bits" same_image "$files/four-photo.ico" 0 "$ref/photo-32x4.ico" 0
check "save as: the second and third are the icon's own" \
  eval 'same_image "$files/four-photo.ico" 1 "$files/four.ico" 1 && same_image "$files/four-photo.ico" 2 "$files/four.ico" 2'
expect "save as: an upper-case .BMP name writes a bitmap" \
  "$(lines "$SAVE" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" save Pixelkite "$(f four-photo.BMP)"
pixelkite_cli extract "$files/four-photo.ico" -o "$ref/four-photo.bmp" >/dev/null
check "save as: the bitmap is the first image's picture" cmp "$files/four-photo.BMP" "$ref/four-photo.bmp"
expect "save as: cancelling writes nothing and shows nothing" \
  "$(lines "$SAVE" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" save Pixelkite --cancel
expect "save as: a .png name writes nothing and says why" \
  "$(lines "$SAVE" "box caption=错误 text=只能保存为图标(ICO)或位图(BMP)文件!" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f picture.png)"
check "save as: no .png file" absent "$files/picture.png"

# ---- icon files whatever the case of .ico, in a GBK folder
expect "open: .Ico in a Chinese folder" "$(lines "$OPEN" "$(one "$(f 中文目录/图标.Ico)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f 中文目录/图标.Ico)"
expect "open: its preview" "" icon Pixelkite "$(f 中文目录/图标.Ico)"
expect "open: .ICO" "$(lines "$OPEN" "$(one "$(f UPPER.ICO)")" "$ON" "preview icon=1")" open Pixelkite "$(f UPPER.ICO)"
expect "save as: the icon file again" "$(lines "$SAVE" "$(one "$(f UPPER.ICO)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f 中文目录/副本.ico)"
pixelkite_cli extract "$files/UPPER.ICO" -o "$ref/upper.ico" >/dev/null
check "save as: every image of the icon file, under a Chinese name" cmp "$files/中文目录/副本.ico" "$ref/upper.ico"

# ---- refused by the reader, shown by the shell: listed, but nothing to save or copy
expect "open: an .ico the reader refuses and the shell shows" \
  "$(lines "$OPEN" "box caption=$(f short-mask.ico) text=图标内部格式转换出错!" "$(one "$(f short-mask.ico)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f short-mask.ico)"
expect "save as: nothing to save without a record" \
  "$(lines "$SAVE" "$NOTHING_TO_SAVE" "$(one "$(f short-mask.ico)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f refused.ico)"
check "save as: nothing written" absent "$files/refused.ico"
expect "copy: nothing to copy without a record" \
  "$(lines "$NOTHING_TO_COPY" "clipboard none" "$(one "$(f short-mask.ico)")" "$ON" "preview icon=1")" \
  copy Pixelkite --held "$(winpath "$work/none.dib")"

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

# ---- names outside the code page: open, drop, save as, and the boxes that name them
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
no_temporary_files() {
  local left
  left=$(find "$files" -iname 'pk*.tmp')
  [ -z "$left" ] || { echo "left behind: $left"; return 1; }
}
check "no temporary file is left by any save" no_temporary_files

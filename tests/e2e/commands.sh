# The open, save-as and copy commands of the real program, driven through its
# real file dialogs by the probe, one step after another on one running
# window (each step starts from what the one before left). Saved files are
# compared with what the command line writes for the same icon. Sourced by
# tests/e2e/run.sh, which provides probe, check, winpath, start, $work and
# `has PART`: the commands on icon files and bitmaps (commands-files.sh), on
# names outside the code page (commands-names.sh), on modules
# (commands-modules.sh), each when its part runs.

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
python3 "$root/tests/e2e/files.py" make "$files"
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
    since_last; passed=$((passed + 1)); echo "PASS $name ($since s)"
  else
    since_last; failed=$((failed + 1)); echo "FAIL $name (exit $status, $since s)"
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

for commands in files names modules; do
  ! has $commands || source "$root/tests/e2e/commands-$commands.sh"
done
no_temporary_files() {
  local left
  left=$(find "$files" -iname 'pk*.tmp')
  [ -z "$left" ] || { echo "left behind: $left"; return 1; }
}
check "no temporary file is left by any save" no_temporary_files

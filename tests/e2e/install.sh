#!/usr/bin/env bash
# The installer end to end, as a new user meets it: a fresh Wine prefix (64-bit,
# Chinese, private Xvfb), the 64-bit installer run silently, the installed
# program started, its setting stored, an update announced by a loopback
# server installed on Exit, the refusals, an upgrade that waits for a closing
# program and one that cannot replace a file, and the uninstaller.
#   usage: tests/e2e/install.sh <win64 build dir>
# The installers are made here from the build's files (bin/: this version,
# with the update library of the build's test key; bin/next/: a newer one),
# signed with a certificate made for this run.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: install.sh <win64 build dir>}" && pwd)
probe_exe=$build/bin/pk_e2e_probe.exe
key=$build/tests/updater/test_key.pem
for f in "$probe_exe" "$key" "$build/bin/next/Pixelkite.exe" "$build/bin/updater-test/NubUpdater.dll"; do
  [ -f "$f" ] || { echo "install: $f is missing (build the win64 preset)" >&2; exit 1; }
done
started=$(date +%s)
work=$(mktemp -d)
export PK_WINE_RERUNS=${PK_WINE_RERUNS:-$work/reruns}
export PK_WINEPREFIX=$build/wineprefix-install
rm -rf "$PK_WINEPREFIX"
source "$root/scripts/gui-env.sh"
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  pk_gui_stop
  rm -rf "$work" "$PK_WINEPREFIX"
}
trap cleanup EXIT

passed=0 failed=0
check() {  # check NAME COMMAND...: output to a file (Wine's processes would hold a pipe open)
  local name=$1 began=$SECONDS; shift
  if "$@" >"$work/out" 2>&1; then passed=$((passed + 1)); echo "PASS $name ($((SECONDS - began)) s)"
  else failed=$((failed + 1)); echo "FAIL $name ($((SECONDS - began)) s)"; sed 's/^/    /' "$work/out"; fi
}
wine() { "$PK_WINE" "$@" </dev/null; }
probe() { pk_probe "$@" </dev/null; }
# The registry as text (reg prints in the console's code page).
reg_query() { LANG=C LC_ALL=C pk_wine_sys reg query "$@" </dev/null 2>&1 | iconv -f gbk -t utf-8 | tr -d '\r'; }
has() {  # has TEXT COMMAND...: the command's output holds TEXT
  local text=$1; shift
  "$@" >"$work/has" 2>&1
  grep -qF -- "$text" "$work/has" || { echo "no '$text' in:"; cat "$work/has"; return 1; }
}
lacks() { ! has "$@" >/dev/null || { echo "'$1' is there"; return 1; }; }
version_is() {  # version_is VERSION FILE...
  local want=$1 f; shift
  for f in "$@"; do has "version $want" probe version "$f" || return 1; done
}

dir='C:\Program Files\Pixelkite'
unix_dir=$PK_WINEPREFIX/drive_c/Program\ Files/Pixelkite
setting='HKLM\SOFTWARE\Pixelkite'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pixelkite'
application_key='HKLM\Software\Classes\Applications\Pixelkite.exe'
shortcut=$PK_WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Pixelkite.lnk
installed=("$dir\\Pixelkite.exe" "$dir\\NubUpdater.dll" "$dir\\pixelkite-cli.exe")

# The display first: a kept wineserver (make test) then needs no wait for
# it to end after each setting, and Wine's services start once.
pk_wine_prefix
pk_gui_start_xvfb || exit 1
pk_gui_prepare || exit 1
# Wine keeps a key's security only while its wineserver runs: keep it up.
"$PK_WINESERVER" -p
pk_probe_serve "$probe_exe" "$work"
old=$(probe version "$build/bin/Pixelkite.exe" | sed -n 's/^version //p' | tr -d '\r')
new=$(probe version "$build/bin/next/Pixelkite.exe" | sed -n 's/^version //p' | tr -d '\r')
newer=${new%.*}.$((${new##*.} + 1))  # announced, never installed

# A throw-away code-signing certificate; both installers are signed with it.
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Pixelkite test" -days 2 -keyout "$work/sign.key" \
  -out "$work/sign.pem" >/dev/null 2>&1
openssl pkcs12 -export -passout pass:test -in "$work/sign.pem" -inkey "$work/sign.key" -out "$work/sign.p12"
make_installer() {  # make_installer VERSION FOLDER UPDATER-FOLDER OUT
  PK_SIGN_PKCS12=$work/sign.p12 PK_SIGN_PASSWORD=test bash "$root/packaging/make-installer.sh" --arch amd64 \
    --version "$1" --out "$4" --program "$2/Pixelkite.exe" --updater "$3/NubUpdater.dll" \
    --cli "$2/pixelkite-cli.exe" --publisher Pixelkite --web-site https://www.pixelkite.example >/dev/null
}
www=$work/www
mkdir -p "$www/up" "$www/files"
setup_old=$www/files/pixelkite-$old-setup.exe
setup_new=$www/files/pixelkite-$new-setup.exe
make_both() {  # side by side: makensis packs on one core
  make_installer "$new" "$build/bin/next" "$build/bin/next" "$setup_new" &
  local other=$!
  make_installer "$old" "$build/bin" "$build/bin/updater-test" "$setup_old" && wait "$other"
}
check "the installers of $old and $new are made" make_both
signed() {
  local f
  for f in "$@"; do osslsigncode verify -CAfile "$work/sign.pem" -in "$f" >/dev/null || { echo "$f"; return 1; }; done
}
check "the installer and the files it holds are signed" signed "$setup_old" "${setup_old%.exe}.files"/*

# The update server: a folder on the loopback address, its requests logged.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$www" >"$work/server.out" 2>"$work/requests" &
server=$!
for _ in $(seq 50); do grep -q 'port' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.out")
# Only the test's libraries take their location from here.
export PK_TEST_UPDATE_LOCATION=http://127.0.0.1:$port/up/
announce() {  # announce VERSION INSTALLER [--unsigned]: the manifest the server offers
  printf '修复了保存位图时的错误。\nFaster module listing.\n' >"$work/notes.txt"
  python3 "$root/tools/update_manifest.py" sign --key "$key" --version "$1" \
    --url "http://127.0.0.1:$port/files/$(basename "$2")" --installer "$2" --notes "$work/notes.txt" \
    -o "$www/up/manifest.txt" >/dev/null
  [ "${3:-}" = --unsigned ] && sed -i '$d' "$www/up/manifest.txt"
  : >"$work/requests"
}
fetched() { grep -c "GET $1" "$work/requests"; }  # fetched PATH-PREFIX: how many requests
before_exit() {
  # Each Exit must reach the server: the library checks once a day, by its
  # record of the last check.
  pk_wine_sys reg delete 'HKCU\Software\Pixelkite\NubUpdater' /f </dev/null >/dev/null 2>&1 || true
}
program=
start_program() {
  "$PK_WINE" "$dir\\Pixelkite.exe" >/dev/null 2>&1 </dev/null &
  program=$!
  probe wait Pixelkite 60000
}
exit_program() {  # the Exit button; the program ends once the library returns
  before_exit
  probe click Pixelkite 2 && pk_gone_within 60 "$program"
}
downloads() { find "$PK_WINEPREFIX/drive_c/users" -path '*pixelkite-update-*' 2>/dev/null; }

# ---- a fresh machine: no key, then the silent install
check "a fresh prefix has no key $setting" lacks AutoUpdate reg_query "$setting"
check "the installer with /S exits 0" wine "$setup_old" /S
check "the three files are installed, version $old" version_is "$old" "${installed[@]}"
check "the uninstaller is installed and signed" signed "$unix_dir/uninstall.exe"
check "the key is created with AutoUpdate 0" has "AutoUpdate    REG_DWORD    0x0" reg_query "$setting"
check "the users of the machine may store the setting" probe users-may-set 64 'SOFTWARE\Pixelkite'
uninstall_entry() {
  local v
  for v in "DisplayName    REG_SZ    Pixelkite" "DisplayVersion    REG_SZ    $old" "Publisher    REG_SZ    Pixelkite" \
    "DisplayIcon    REG_SZ    $dir\\Pixelkite.exe,0" "InstallLocation    REG_SZ    $dir" \
    "UninstallString    REG_SZ    \"$dir\\uninstall.exe\"" "QuietUninstallString    REG_SZ    \"$dir\\uninstall.exe\" /S" \
    "EstimatedSize    REG_DWORD" "NoModify    REG_DWORD    0x1" "NoRepair    REG_DWORD    0x1" \
    "URLInfoAbout    REG_SZ    https://www.pixelkite.example"; do
    has "$v" reg_query "$uninstall_key" || return 1
  done
}
check "the uninstall entry" uninstall_entry
open_with() {
  local t
  has "\"$dir\\Pixelkite.exe\" \"%1\"" reg_query "$application_key\\shell\\open\\command" &&
    for t in .ico .icl .exe .dll .bmp; do has "$t    REG_SZ" reg_query "$application_key\\SupportedTypes" || return 1; done &&
    lacks Pixelkite reg_query 'HKLM\Software\Classes\.ico'
}
check "Open with: the program and its types, no extension's default taken" open_with
check "the start-menu shortcut" test -f "$shortcut"

# ---- the installed program: Settings stores the automatic mode without a box
check "the installed program starts" start_program
store_automatic() {
  probe click Pixelkite 1007 && probe wait 软件设置 20000 && probe click 软件设置 1009 && probe click 软件设置 1 &&
    for _ in $(seq 50); do [ "$(probe count 软件设置 | tr -d '\r')" = 0 ] && break; sleep 0.2; done &&
    sleep 1 && has 0 probe count 错误 && has "AutoUpdate    REG_DWORD    0x1" reg_query "$setting"
}
check "Settings stores 自动升级，不用提示 without a message" store_automatic

# ---- Exit installs the newer version the server announces, silently
announce "$new" "$setup_new"
updated() {
  exit_program && probe gone "setup-$new" 120000 && version_is "$new" "${installed[@]}" &&
    has "DisplayVersion    REG_SZ    $new" reg_query "$uninstall_key" || return 1
  # The installer stays in its folder in the temp folder; the next checks look for new ones.
  downloads | xargs -r rm -rf
}
check "Exit: the newer installer runs silently and installs $new" updated
check "the update fetched the manifest and the installer once each" \
  test "$(fetched "/up/manifest.txt ")$(fetched "/files/$(basename "$setup_new") ")" = 11
check "the upgrade kept AutoUpdate 1" has "AutoUpdate    REG_DWORD    0x1" reg_query "$setting"

# ---- prompt mode: the box shows the version and the notes; No installs nothing
wine reg add "$setting" /v AutoUpdate /t REG_DWORD /d 0 /f >/dev/null 2>&1
announce "$newer" "$setup_old"
declined() {
  start_program && before_exit && probe click Pixelkite 2 &&
    probe answer 软件升级 no 30000 >"$work/box" && pk_gone_within 60 "$program" &&
    grep -q "$newer" "$work/box" && grep -q "修复了保存位图时的错误。" "$work/box" &&
    [ "$(fetched "/files/")" = 0 ] && version_is "$new" "${installed[@]}"
}
check "prompt mode: the box names $newer and the notes; No installs nothing" declined

# ---- automatic mode refuses what it should not install (each would put back $old)
wine reg add "$setting" /v AutoUpdate /t REG_DWORD /d 1 /f >/dev/null 2>&1
refused() {  # refused INSTALLER-FETCHES: Exit installs nothing and leaves no download
  start_program && exit_program && sleep 2 || return 1
  [ "$(fetched "/files/")" = "$1" ] || { echo "installer fetched $(fetched "/files/") times"; return 1; }
  [ -z "$(downloads)" ] || { echo "left in the temp folder: $(downloads)"; return 1; }
  version_is "$new" "${installed[@]}"
}
announce "$old" "$setup_old"
check "an older version's manifest installs nothing" refused 0
announce "$newer" "$setup_old" --unsigned
check "an unsigned manifest installs nothing" refused 0
cp "$setup_new" "$www/files/tampered.exe"
announce "$newer" "$www/files/tampered.exe"
cp "$setup_old" "$www/files/tampered.exe"  # the server now sends other bytes than those signed
check "an installer whose SHA-256 differs from the manifest's is not started" refused 1
rm -f "$www/up/manifest.txt"

# ---- upgrades over a running program
waits_for_program() {
  start_program || return 1
  wine "$setup_old" /S >/dev/null 2>&1 &
  local setup=$!
  sleep 3
  kill -0 "$setup" 2>/dev/null || { echo "the installer did not wait"; return 1; }
  version_is "$new" "${installed[@]}" || return 1
  probe close Pixelkite
  wait "$setup" || { echo "the installer failed"; return 1; }
  version_is "$old" "${installed[@]}"
}
check "an install waits for a running program to close, then replaces it" waits_for_program
held_file() {
  "$PK_WINE" "$probe_exe" hold "$dir\\NubUpdater.dll" 20000 >"$work/held" </dev/null &
  local holder=$!
  for _ in $(seq 100); do grep -q held "$work/held" && break; sleep 0.1; done
  wine "$setup_new" /S
  local status=$?
  kill "$holder" 2>/dev/null
  wait "$holder" 2>/dev/null
  [ "$status" -ne 0 ] || { echo "the installer exited 0"; return 1; }
  version_is "$old" "${installed[@]}" &&
    [ -z "$(find "$unix_dir" -name '*.new' -o -name '*.old')" ] && start_program && probe close Pixelkite &&
    pk_gone_within 30 "$program"
}
check "a file that cannot be replaced: non-zero exit, $old stays whole and starts" held_file

# ---- the uninstaller leaves nothing behind
nothing_left() {
  [ ! -e "$unix_dir" ] || { echo "left: $(ls "$unix_dir")"; return 1; }
  [ ! -e "$shortcut" ] || { echo "left: the shortcut"; return 1; }
  lacks AutoUpdate reg_query "$setting" && lacks DisplayName reg_query "$uninstall_key" &&
    lacks FriendlyAppName reg_query "$application_key"
}
uninstalled() {
  # The uninstaller runs on from a copy of itself in the temp folder.
  wine "$dir\\uninstall.exe" /S || return 1
  for _ in $(seq 60); do nothing_left >/dev/null && break; sleep 0.5; done
  nothing_left
}
check "uninstall.exe /S removes the files, shortcut, registrations and the key" uninstalled

echo "install suite took $(($(date +%s) - started)) s"
pk_wine_reruns_report
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

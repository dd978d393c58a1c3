#!/usr/bin/env bash
# Signs one Windows file in place with osslsigncode (Authenticode, SHA-256)
# when a certificate is given, and says so; without one it leaves the file
# unsigned and says that instead.
#   PK_SIGN_PKCS12=<file.p12> PK_SIGN_PASSWORD=<password> sign-file.sh FILE
# PK_SIGN_TIMESTAMP_URL (optional): a time-stamping server, so that the
# signature outlives the certificate.
set -euo pipefail
file=${1:?usage: sign-file.sh FILE}
# makensis hands over the uninstaller under a temporary name.
name=$(basename "$file")
case $name in makensis*) name="the uninstaller" ;; esac
if [ -z "${PK_SIGN_PKCS12:-}" ]; then
  echo "sign: no certificate (PK_SIGN_PKCS12): $name is NOT signed"
  exit 0
fi
[ -f "$PK_SIGN_PKCS12" ] || { echo "sign: $PK_SIGN_PKCS12: no such certificate file" >&2; exit 1; }
options=(-pkcs12 "$PK_SIGN_PKCS12" -h sha256 -n Pixelkite)
[ -n "${PK_SIGN_URL:-}" ] && options+=(-i "$PK_SIGN_URL")
[ -n "${PK_SIGN_TIMESTAMP_URL:-}" ] && options+=(-ts "$PK_SIGN_TIMESTAMP_URL")
signed=$file.signing
rm -f "$signed"
# The password goes through a pipe, never onto a command line.
osslsigncode sign "${options[@]}" -readpass <(printf '%s' "${PK_SIGN_PASSWORD:-}") \
  -in "$file" -out "$signed" >/dev/null
mv -f "$signed" "$file"
echo "sign: $name signed"

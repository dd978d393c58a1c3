#!/usr/bin/env python3
"""Keys and signed manifests for Pixelkite's update library (NubUpdater.dll).

  update_manifest.py keygen PRIVATE.pem PUBLIC.pub [--no-passphrase]
  update_manifest.py sign --key PRIVATE.pem --version 5.4.1.0 --url URL --installer FILE
                          [--product Pixelkite] [--notes NOTES.txt] [--days 30] [-o manifest.txt]
  update_manifest.py verify --public PUBLIC.pub MANIFEST
  update_manifest.py check BODY...

keygen makes an ECDSA P-256 key pair: the private key as PEM (encrypted with
a passphrase unless --no-passphrase), the public key as the 128 hex digits
the library is built with (X then Y). sign computes the installer's size and
SHA-256, writes the manifest (release notes from a UTF-8 file, stored as GBK;
an expiry --days ahead) and prints it, or writes it to -o; it refuses to sign
anything the library would refuse. verify checks a manifest as the library
does before it trusts one: signature, every field, expiry. check reads
unsigned bodies by the same rules and prints the rule that refuses each
("none" when accepted). See docs/updates.md.

Needs python3-cryptography (Debian's package).
"""
import argparse
import calendar
import datetime
import getpass
import hashlib
import os
import re
import sys
import time

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import (
    decode_dss_signature, encode_dss_signature)

HEADER = b"pixelkite-update 1"
MAX_MANIFEST = 16 * 1024
MAX_NOTES = 4 * 1024
MAX_PRODUCT = 64
MAX_INSTALLER = 256 * 1024 * 1024
MAX_URL = 2048
DEFAULT_DAYS = 30


def generate_key():
    return ec.generate_private_key(ec.SECP256R1())


def public_hex(private_key):
    numbers = private_key.public_key().public_numbers()
    return (numbers.x.to_bytes(32, "big") + numbers.y.to_bytes(32, "big")).hex()


def load_private_key(path, passphrase=None):
    with open(path, "rb") as f:
        data = f.read()
    try:
        return serialization.load_pem_private_key(data, password=passphrase)
    except TypeError:  # encrypted, and no passphrase given
        secret = getpass.getpass("passphrase for %s: " % path).encode()
        return serialization.load_pem_private_key(data, password=secret)


def load_public_key(path):
    text = open(path).read().strip()
    if not re.fullmatch(r"[0-9a-fA-F]{128}", text):
        raise SystemExit("%s: not a public key (128 hex digits)" % path)
    raw = bytes.fromhex(text)
    return ec.EllipticCurvePublicKey.from_encoded_point(ec.SECP256R1(), b"\x04" + raw)


class Refused(ValueError):
    """A manifest the library would refuse. `reason` is the library's own name
    for the check (updater/manifest.cpp, ManifestErrorName)."""

    def __init__(self, reason, detail=""):
        super().__init__(reason + (": " + detail if detail else ""))
        self.reason = reason


# The library's rules, check for check and in the same order
# (updater/manifest.cpp, updater/update_url.cpp).

def _decimal(text, max_digits):
    if not 0 < len(text) <= max_digits or not all(c in "0123456789" for c in text):
        return None
    return int(text)


def _loopback(host):
    if host == "[::1]":
        return True
    parts = host.split(".")
    for i, part in enumerate(parts):
        value = _decimal(part, 3)
        if value is None or value > 255 or (len(part) > 1 and part[0] == "0") or (i == 0 and value != 127):
            return False
    return len(parts) == 4


def _valid_host(host):
    if not 0 < len(host) <= 255:
        return False
    if host[0] == "[":
        return len(host) >= 4 and host[-1] == "]" and all(c in "0123456789abcdefABCDEF:." for c in host[1:-1])
    return all(c.isascii() and (c.isalnum() or c in "-.") for c in host) and host[0] not in ".-"


def url_problem(text):
    """What the library says against an installer's address, or None."""
    if len(text) > MAX_URL:
        return "too long"
    if any(ord(c) <= 0x20 or ord(c) >= 0x7F or c == "\\" for c in text):
        return "a space, control character, backslash or non-ASCII character"
    lowered = text[:8].lower()
    if lowered.startswith("https://"):
        scheme, rest = "https", text[8:]
    elif lowered.startswith("http://"):
        scheme, rest = "http", text[7:]
    else:
        return "neither https:// nor http://"
    if "#" in rest:
        return "a fragment"
    ends = [i for i in (rest.find("/"), rest.find("?")) if i >= 0]
    authority = rest[:min(ends)] if ends else rest
    if "@" in authority:
        return "user information"
    host = authority
    colon, bracket = authority.rfind(":"), authority.rfind("]")
    if colon >= 0 and (bracket < 0 or colon > bracket):
        port = _decimal(authority[colon + 1:], 5)
        if not port or port > 65535:
            return "a bad port"
        host = authority[:colon]
    if not _valid_host(host):
        return "a bad host"
    if scheme == "http" and not _loopback(host):
        return "plain http to another address than the loopback one"
    return None


def parse_version(text):
    parts = text.split(".")
    values = [_decimal(p, 5) for p in parts]
    if len(parts) > 4 or any(v is None or v > 65535 for v in values):
        return None
    return tuple(values + [0] * (4 - len(values)))


def parse_time(text):
    """"YYYY-MM-DDTHH:MM:SSZ" as seconds since 1970, or None."""
    if not re.fullmatch(r"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z", text):
        return None
    try:
        moment = datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%SZ")
    except ValueError:
        return None
    return calendar.timegm(moment.timetuple()) if moment.year >= 1970 else None


def format_time(seconds):
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def _gbk_text(data):
    i = 0
    while i < len(data):
        c = data[i]
        if 0x20 <= c < 0x7F:
            i += 1
            continue
        if c < 0x81 or c == 0xFF or i + 1 == len(data) or data[i + 1] < 0x40 or data[i + 1] in (0x7F, 0xFF):
            return False
        i += 2
    return True


def parse_body(body):
    """The fields of a manifest's signed part, read as the library reads them;
    Refused when the library would refuse them."""
    if len(body) > MAX_MANIFEST:
        raise Refused("too large", "%d bytes of at most %d" % (len(body), MAX_MANIFEST))
    if not body.endswith(b"\n"):
        raise Refused("not text", "no LF at the end")
    lines = iter(body[:-1].split(b"\n"))
    if next(lines) != HEADER:
        raise Refused("bad header")

    def field(key):
        line = next(lines, None)
        if line is None or not line.startswith(key + b" "):
            raise Refused("unexpected field", "expected %r, found %r" % (key.decode(), line))
        return line[len(key) + 1:]

    fields = {}
    product = field(b"product")
    if not 0 < len(product) <= MAX_PRODUCT or not _gbk_text(product):
        raise Refused("bad product", repr(product))
    fields["product"] = product.decode("gbk", errors="replace")
    version = field(b"version").decode("latin-1")
    if not parse_version(version):
        raise Refused("bad version", "1 to 4 dotted numbers of 0 to 65535, not %r" % version)
    fields["version"] = version
    url = field(b"url").decode("latin-1")
    problem = url_problem(url)
    if problem:
        raise Refused("bad url", "%r: %s" % (url, problem))
    fields["url"] = url
    size = field(b"size").decode("latin-1")
    if _decimal(size, 10) is None or size[0] == "0" or int(size) > MAX_INSTALLER:
        raise Refused("bad size", "1 to %d bytes without leading zeros, not %r" % (MAX_INSTALLER, size))
    fields["size"] = int(size)
    sha256 = field(b"sha256").decode("latin-1")
    if not re.fullmatch(r"[0-9a-fA-F]{64}", sha256):
        raise Refused("bad sha256", repr(sha256))
    fields["sha256"] = sha256
    expires = field(b"expires").decode("latin-1")
    if parse_time(expires) is None:
        raise Refused("bad expires", "YYYY-MM-DDTHH:MM:SSZ from 1970 on, not %r" % expires)
    fields["expires"] = parse_time(expires)
    notes = b""
    for count, line in enumerate(lines):
        if not line.startswith(b"notes "):
            raise Refused("unexpected field", "expected 'notes', found %r" % line)
        note = line[len(b"notes "):]
        if not _gbk_text(note):
            raise Refused("bad notes", "control characters or broken GBK: %r" % note)
        notes += (b"\r\n" if count else b"") + note
        if len(notes) > MAX_NOTES:
            raise Refused("bad notes", "more than %d bytes" % MAX_NOTES)
    fields["notes"] = notes.decode("gbk", errors="replace")
    return fields


def check_expiry(fields, now=None):
    if fields["expires"] <= (time.time() if now is None else now):
        raise Refused("expired", "on " + format_time(fields["expires"]))


def split_signature(manifest):
    """(signed part, 64-byte signature), as the library finds them."""
    if len(manifest) > MAX_MANIFEST:
        raise Refused("too large", "%d bytes of at most %d" % (len(manifest), MAX_MANIFEST))
    if any((b < 0x20 and b != 0x0A) or b == 0x7F for b in manifest) or not manifest.endswith(b"\n"):
        raise Refused("not text")
    start = manifest.rfind(b"\n", 0, len(manifest) - 1) + 1
    last = manifest[start:-1]
    if start == 0 or not last.startswith(b"signature "):
        raise Refused("no signature")
    digits = last[len(b"signature "):]
    if not re.fullmatch(rb"[0-9a-fA-F]{128}", digits):
        raise Refused("bad signature field")
    return manifest[:start], bytes.fromhex(digits.decode())


def manifest_body(product, version, url, size, sha256, notes_lines, expires):
    """The signed part of a manifest, as bytes, written as given (see parse_body
    for what the library accepts). `expires`: seconds since 1970."""
    lines = [HEADER + b"\n",
             b"product " + product.encode("gbk") + b"\n",
             b"version " + version.encode() + b"\n",
             b"url " + url.encode() + b"\n",
             b"size %d\n" % size,
             b"sha256 " + sha256.encode() + b"\n",
             b"expires " + format_time(expires).encode() + b"\n"]
    lines += [b"notes " + line.encode("gbk") + b"\n" for line in notes_lines]
    return b"".join(lines)


def sign_body(body, private_key):
    """The whole manifest: the body and its signature line (r then s, 32 bytes each)."""
    r, s = decode_dss_signature(private_key.sign(body, ec.ECDSA(hashes.SHA256())))
    return body + b"signature " + (r.to_bytes(32, "big") + s.to_bytes(32, "big")).hex().encode() + b"\n"


def verify(manifest, public_key, now=None):
    """The fields of a manifest the library would trust; Refused otherwise."""
    body, raw = split_signature(manifest)
    signature = encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big"))
    try:
        public_key.verify(signature, body, ec.ECDSA(hashes.SHA256()))
    except InvalidSignature:
        raise Refused("signature", "does not match this key")
    fields = parse_body(body)
    check_expiry(fields, now)
    return fields


def file_digest(path):
    digest = hashlib.sha256()
    size = 0
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 16), b""):
            digest.update(chunk)
            size += len(chunk)
    return size, digest.hexdigest()


def command_keygen(args):
    key = generate_key()
    if args.no_passphrase:
        encryption = serialization.NoEncryption()
    else:
        secret = getpass.getpass("passphrase for the new private key: ")
        if secret != getpass.getpass("again: ") or not secret:
            raise SystemExit("the passphrases differ or are empty")
        encryption = serialization.BestAvailableEncryption(secret.encode())
    pem = key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8, encryption)
    fd = os.open(args.private, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    with os.fdopen(fd, "wb") as f:
        f.write(pem)
    with open(args.public, "w") as f:
        f.write(public_hex(key) + "\n")
    print("private key: %s (keep it offline)\npublic key: %s" % (args.private, args.public))


def command_sign(args):
    key = load_private_key(args.key)
    size, sha256 = file_digest(args.installer)
    notes = []
    if args.notes:
        with open(args.notes, encoding="utf-8") as f:
            notes = f.read().splitlines()
    try:
        body = manifest_body(args.product, args.version, args.url, size, sha256, notes,
                             int(time.time()) + args.days * 86400)
    except UnicodeEncodeError as error:
        raise SystemExit("not expressible in GBK: %s" % error)
    # Nothing is signed that the library would refuse.
    check_expiry(parse_body(body))
    manifest = sign_body(body, key)
    split_signature(manifest)
    if args.output:
        with open(args.output, "wb") as f:
            f.write(manifest)
    sys.stdout.write(manifest.decode("gbk"))


def command_verify(args):
    with open(args.manifest, "rb") as f:
        manifest = f.read()
    try:
        fields = verify(manifest, load_public_key(args.public))
    except Refused as error:
        raise SystemExit("%s: refused: %s" % (args.manifest, error))
    print("%s: signed by this key, valid until %s" % (args.manifest, format_time(fields["expires"])))


def command_check(args):
    refused = False
    for path in args.bodies:
        with open(path, "rb") as f:
            body = f.read()
        try:
            parse_body(body)
            print("%s: none" % path)
        except Refused as error:
            print("%s: %s" % (path, error.reason))
            refused = True
    return 1 if refused else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    keygen = sub.add_parser("keygen", help="make a key pair")
    keygen.add_argument("private")
    keygen.add_argument("public")
    keygen.add_argument("--no-passphrase", action="store_true", help="leave the private key unencrypted")
    sign = sub.add_parser("sign", help="make and sign a manifest")
    sign.add_argument("--key", required=True)
    sign.add_argument("--product", default="Pixelkite")
    sign.add_argument("--version", required=True)
    sign.add_argument("--url", required=True)
    sign.add_argument("--installer", required=True)
    sign.add_argument("--notes", help="release notes, UTF-8, one manifest line per line")
    sign.add_argument("--days", type=int, default=DEFAULT_DAYS,
                      help="days until the manifest expires (default %d)" % DEFAULT_DAYS)
    sign.add_argument("-o", "--output")
    check = sub.add_parser("verify", help="check a manifest as the library does: signature, every field, expiry")
    check.add_argument("--public", required=True)
    check.add_argument("manifest")
    bodies = sub.add_parser("check", help="read unsigned manifest bodies as the library reads the signed part; "
                                          "prints the check that refuses each (none when accepted)")
    bodies.add_argument("bodies", nargs="+")
    args = parser.parse_args()
    commands = {"keygen": command_keygen, "sign": command_sign, "verify": command_verify, "check": command_check}
    try:
        sys.exit(commands[args.command](args))
    except ValueError as error:
        raise SystemExit("refused: %s" % error)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Keys and signed manifests for Pixelkite's update library (NubUpdater.dll).

  update_manifest.py keygen PRIVATE.pem PUBLIC.pub [--no-passphrase]
  update_manifest.py sign --key PRIVATE.pem --version 5.4.1.0 --url URL --installer FILE
                          [--product Pixelkite] [--notes NOTES.txt] [-o manifest.txt]
  update_manifest.py verify --public PUBLIC.pub MANIFEST

keygen makes an ECDSA P-256 key pair: the private key as PEM (encrypted with
a passphrase unless --no-passphrase), the public key as the 128 hex digits
the library is built with (X then Y). sign computes the installer's size and
SHA-256, writes the manifest (release notes from a UTF-8 file, stored as GBK)
and prints it, or writes it to -o. verify checks a manifest as the library
does before it trusts one. See docs/updates.md.

Needs python3-cryptography (Debian's package).
"""
import argparse
import getpass
import hashlib
import os
import re
import sys

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import (
    decode_dss_signature, encode_dss_signature)

HEADER = b"pixelkite-update 1\n"
MAX_MANIFEST = 16 * 1024
MAX_NOTES = 4 * 1024
MAX_INSTALLER = 256 * 1024 * 1024


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


def manifest_body(product, version, url, size, sha256, notes_lines):
    """The signed part of a manifest, as bytes."""
    if not re.fullmatch(r"\d{1,5}(\.\d{1,5}){0,3}", version) or any(int(p) > 65535 for p in version.split(".")):
        raise ValueError("version must be 1 to 4 dotted numbers of 0 to 65535: %r" % version)
    if not re.fullmatch(r"https://[!-~]+|http://(127\.\d+\.\d+\.\d+|\[::1\])(:\d+)?/[!-~]*", url):
        raise ValueError("the url must be https (plain http only to the loopback address): %r" % url)
    if not 0 < size <= MAX_INSTALLER:
        raise ValueError("installer size out of range: %d" % size)
    lines = [HEADER,
             b"product " + product.encode("gbk") + b"\n",
             b"version " + version.encode() + b"\n",
             b"url " + url.encode() + b"\n",
             b"size %d\n" % size,
             b"sha256 " + sha256.encode() + b"\n"]
    notes = 0
    for line in notes_lines:
        encoded = line.encode("gbk")
        if any(b < 0x20 or b == 0x7F for b in encoded):
            raise ValueError("release notes may not hold control characters: %r" % line)
        notes += len(encoded) + 2
        lines.append(b"notes " + encoded + b"\n")
    if notes > MAX_NOTES:
        raise ValueError("release notes too long: %d bytes of at most %d" % (notes, MAX_NOTES))
    return b"".join(lines)


def sign_body(body, private_key):
    """The whole manifest: the body and its signature line (r then s, 32 bytes each)."""
    r, s = decode_dss_signature(private_key.sign(body, ec.ECDSA(hashes.SHA256())))
    manifest = body + b"signature " + (r.to_bytes(32, "big") + s.to_bytes(32, "big")).hex().encode() + b"\n"
    if len(manifest) > MAX_MANIFEST:
        raise ValueError("manifest too large: %d bytes of at most %d" % (len(manifest), MAX_MANIFEST))
    return manifest


def verify(manifest, public_key):
    """True when the manifest's signature line matches the bytes before it."""
    if not manifest.endswith(b"\n"):
        return False
    start = manifest.rfind(b"\n", 0, len(manifest) - 1) + 1
    last = manifest[start:-1]
    if start == 0 or not last.startswith(b"signature "):
        return False
    try:
        raw = bytes.fromhex(last[len(b"signature "):].decode())
    except ValueError:
        return False
    if len(raw) != 64:
        return False
    signature = encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big"))
    try:
        public_key.verify(signature, manifest[:start], ec.ECDSA(hashes.SHA256()))
        return True
    except InvalidSignature:
        return False


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
    manifest = sign_body(manifest_body(args.product, args.version, args.url, size, sha256, notes), key)
    if args.output:
        with open(args.output, "wb") as f:
            f.write(manifest)
    sys.stdout.write(manifest.decode("gbk"))


def command_verify(args):
    with open(args.manifest, "rb") as f:
        manifest = f.read()
    if not verify(manifest, load_public_key(args.public)):
        raise SystemExit("%s: the signature does not match" % args.manifest)
    print("%s: signed by this key" % args.manifest)


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
    sign.add_argument("-o", "--output")
    check = sub.add_parser("verify", help="check a manifest's signature")
    check.add_argument("--public", required=True)
    check.add_argument("manifest")
    args = parser.parse_args()
    try:
        {"keygen": command_keygen, "sign": command_sign, "verify": command_verify}[args.command](args)
    except ValueError as error:
        raise SystemExit(str(error))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""make dist as a test build, checked file by file.

  run.py

Runs scripts/dist.sh into a scratch folder with a code-signing certificate
made for this run, then checks what it wrote: the 32-bit installer is a 32-bit
NSIS installer holding the zip's 32-bit files, everything is signed,
SHA256SUMS, the winget and Scoop manifests and the .deb agree with the files.
First it checks that dist refuses to make release files with the
repository's placeholder key.
"""
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

import yaml

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
failures = []
passes = []


def check(ok, what, detail=""):
    print("%s %s" % ("PASS" if ok else "FAIL", what))
    (passes if ok else failures).append(what)
    if not ok:
        failures.append(what)
        if detail:
            print("    " + str(detail).replace("\n", "\n    "))


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def pe_machine(data):
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, offset + 4)[0] if data[offset:offset + 4] == b"PE\0\0" else None


def dist(out, env):
    return subprocess.run(["bash", os.path.join(ROOT, "scripts", "dist.sh")], capture_output=True, text=True,
                          env=dict(os.environ, PK_DIST_DIR=out, **env))


def main():
    work = tempfile.mkdtemp(prefix="pk-dist-")
    key = open(os.path.join(ROOT, "updater", "release_key.pub")).read().strip()
    if set(key) == {"0"}:
        refused = dist(os.path.join(work, "refused"), {"PK_DIST_TEST_BUILD": "0"})
        check(refused.returncode != 0 and "refusing" in refused.stderr and not os.path.exists(
            os.path.join(work, "refused")), "dist refuses release files with the placeholder key", refused.stderr)

    cert, p12 = os.path.join(work, "sign.pem"), os.path.join(work, "sign.p12")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Pixelkite test",
                    "-days", "2", "-keyout", os.path.join(work, "sign.key"), "-out", cert], check=True,
                   capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-passout", "pass:test", "-in", cert, "-inkey",
                    os.path.join(work, "sign.key"), "-out", p12], check=True, capture_output=True)
    out = os.path.join(work, "dist")
    made = dist(out, {"PK_DIST_TEST_BUILD": "1", "PK_SIGN_PKCS12": p12, "PK_SIGN_PASSWORD": "test"})
    check(made.returncode == 0, "make dist (a test build, signed)", made.stdout[-2000:] + made.stderr[-2000:])
    if made.returncode != 0:
        return 1
    names = sorted(os.listdir(out))
    setup = next(n for n in names if n.endswith("-setup.exe"))
    archive = next(n for n in names if n.endswith("-win32.zip"))
    deb = next(n for n in names if n.endswith(".deb"))
    version = re.match(r"pixelkite-(.*)-setup\.exe", setup).group(1)
    check(os.path.exists(os.path.join(out, "NOT-FOR-RELEASE.txt")), "a test build says it is not for release")

    # The zip's files and the installer's are the same signed 32-bit files.
    unpacked = os.path.join(work, "zip")
    with zipfile.ZipFile(os.path.join(out, archive)) as z:
        check(sorted(z.namelist()) == ["NubUpdater.dll", "Pixelkite.exe", "pixelkite-cli.exe"],
              "the zip holds the program, the library and the command line", z.namelist())
        z.extractall(unpacked)
    with open(os.path.join(out, setup), "rb") as f:
        check(pe_machine(f.read()) == 0x14C, "the installer is a 32-bit (i386) program")
    listing = subprocess.run(["7z", "l", os.path.join(out, setup)], capture_output=True, text=True).stdout
    check("NSIS-3 Unicode" in listing and "64-bit" not in listing, "it is a 32-bit Unicode NSIS installer",
          listing[:600])
    inside = os.path.join(work, "setup")
    subprocess.run(["7z", "x", "-y", "-o" + inside, os.path.join(out, setup)], capture_output=True)
    for name in ("Pixelkite.exe", "NubUpdater.dll", "pixelkite-cli.exe"):
        packed = os.path.join(inside, name + ".new")
        with open(os.path.join(unpacked, name), "rb") as f:
            data = f.read()
        check(os.path.exists(packed) and sha256(packed) == hashlib.sha256(data).hexdigest(),
              "the installer holds the zip's %s" % name)
        check(pe_machine(data) == 0x14C, "%s is a 32-bit program" % name)
    uninstaller = os.path.join(inside, "uninstall.exe.new")
    for path in [os.path.join(out, setup), uninstaller] + [os.path.join(unpacked, n) for n in os.listdir(unpacked)]:
        verified = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path], capture_output=True,
                                  text=True)
        check(verified.returncode == 0, "%s is signed" % os.path.basename(path), verified.stdout[-400:])

    with open(os.path.join(out, "SHA256SUMS")) as f:
        sums = dict(reversed(line.split()) for line in f)
    check(sums == {n: sha256(os.path.join(out, n)) for n in (setup, archive, deb)},
          "SHA256SUMS lists the installer, the zip and the .deb", sums)

    folder = os.path.join(out, "winget", "manifests", "p", "Pixelkite", "Pixelkite", version)
    manifests = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            manifests[name] = yaml.safe_load(f)
    installer = manifests.get("Pixelkite.Pixelkite.installer.yaml", {})
    entry = (installer.get("Installers") or [{}])[0]
    check(len(manifests) == 3 and {m["ManifestType"] for m in manifests.values()} == {
        "version", "installer", "defaultLocale"} and all(
        m["PackageIdentifier"] == "Pixelkite.Pixelkite" and str(m["PackageVersion"]) == version
        for m in manifests.values()), "winget: a version, installer and locale manifest for %s" % version)
    check(installer.get("InstallerType") == "nullsoft" and installer.get("Scope") == "machine" and
          installer.get("InstallerSwitches", {}).get("Silent") == "/S" and
          installer["InstallerSwitches"].get("SilentWithProgress") == "/S",
          "winget: a per-machine nullsoft installer with its silent switches", installer)
    check(entry.get("Architecture") == "x86" and entry.get("InstallerSha256") == sha256(
        os.path.join(out, setup)).upper() and entry.get("InstallerUrl", "").endswith("/" + setup),
        "winget: the installer's address and SHA-256", entry)

    with open(os.path.join(out, "scoop", "pixelkite.json")) as f:
        scoop = json.load(f)
    check(scoop.get("version") == version and scoop.get("hash") == sha256(os.path.join(out, archive)) and
          scoop.get("url", "").endswith("/" + archive) and ["pixelkite-cli.exe", "pixelkite"] in scoop.get("bin", []),
          "scoop: the zip's address and SHA-256, the command line on the path", scoop)

    fields = subprocess.run(["dpkg-deb", "-f", os.path.join(out, deb), "Package", "Version"], capture_output=True,
                            text=True).stdout
    check(fields.split() == ["Package:", "pixelkite", "Version:", version], "the .deb is pixelkite " + version, fields)

    subprocess.run(["rm", "-rf", work])
    print("%d passed, %d failed" % (len(passes), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

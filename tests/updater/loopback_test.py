#!/usr/bin/env python3
"""NubUpdater.dll against a loopback HTTP server, under 64-bit Wine.

  loopback_test.py <win64 build dir> <test private key>

The server runs in this process on 127.0.0.1 (a free port) and is stopped
when the run ends. Each case gives it a manifest and an installer to serve,
or a misbehaviour, runs pk_update_client.exe (which calls CheckForUpdate as
the program does, with the test key built into its NubUpdater.dll), answers
or cancels what the library shows through the e2e probe, and checks what the
library returned, what it fetched, whether the installer ran (it is
pk_record_args.exe, which notes each run, its folder's access list and what
lies beside it in a file) and what it left in the temp folder. A second
server speaks TLS with a certificate made for the run, which the library must
refuse. The client clears the library's once-a-day record before each case
unless the case keeps it. Needs a display for the prompt and the progress window.
PK_UPDATER_CASES=PATTERN runs only the cases whose names match.
"""
import datetime
import hashlib
import http.server
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import update_manifest  # noqa: E402

WINE = "/usr/lib/wine/wine64"
# By its full path: by its bare name Wine starts it through start.exe, a second process.
REG = r"C:\windows\system32\reg.exe"
CAPTION = "软件升级"  # the prompt's and the progress window's caption

# What CheckForUpdate returns (updater/nub_updater.h).
NOT_DUE, STARTED, UP_TO_DATE, DECLINED, CANCELLED = 2, 1, 0, -1, -2
BAD_LOCATION, UNREACHABLE, REFUSED, BAD_SIGNATURE = -4, -6, -7, -8
DOWNLOAD_FAILED, VERIFICATION_FAILED, EXPIRED, STALLED, TOO_SLOW = -9, -10, -12, -13, -14

CASES = os.environ.get("PK_UPDATER_CASES", "")

# The manifest and the files each case serves, and how.
routes = {}
requests = []
sent = {}  # path: body bytes written before the client went away
tls_connections = []
stop_serving = threading.Event()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        requests.append(self.path)
        route = routes.get(self.path)
        if route is None:
            self.send_error(404)
            return
        kind, value = route
        if kind == "silent":
            # Accepts the request and never answers.
            stop_serving.wait(30)
            return
        if kind == "redirect":
            self.send_response(302)
            self.send_header("Location", value)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if kind == "endless":
            # No length announced: the body runs until the connection closes.
            self.close_connection = True
            self.send_response(200)
            self.end_headers()
            sent[self.path] = 0
            while sent[self.path] < len(value) and not stop_serving.is_set():
                self.wfile.write(value[sent[self.path]:sent[self.path] + 65536])
                sent[self.path] += min(65536, len(value) - sent[self.path])
            return
        announced = len(value)
        if kind == "truncated":
            announced = len(value) * 2
        self.send_response(200)
        self.send_header("Content-Length", str(announced))
        self.end_headers()
        if kind == "stall":
            # Some bytes, then nothing more, the connection held open.
            self.wfile.write(value[:4096])
            self.wfile.flush()
            stop_serving.wait(30)
            return
        if kind in ("slow", "trickle"):
            # slow: a kilobyte every 50 ms, long enough to be cancelled midway;
            # trickle: 50 bytes a second, never a long pause and never much.
            step, pause = (1024, 0.05) if kind == "slow" else (50, 1.0)
            for i in range(0, len(value), step):
                if stop_serving.is_set():
                    return
                self.wfile.write(value[i:i + step])
                self.wfile.flush()
                time.sleep(pause)
            return
        self.wfile.write(value)
        if kind == "truncated":
            self.close_connection = True

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Clients that give up (a cancel, a timeout) reset their connections.
        pass


class TlsServer(Server):
    """The same routes over TLS, with a self-signed certificate for 127.0.0.1."""

    def __init__(self, folder):
        super().__init__(("127.0.0.1", 0), Handler)
        from cryptography import x509
        from cryptography.hazmat.primitives import hashes, serialization
        from cryptography.x509.oid import NameOID
        import ipaddress
        key = update_manifest.generate_key()
        name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "127.0.0.1")])
        now = datetime.datetime.now(datetime.timezone.utc)
        cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name).public_key(key.public_key())
                .serial_number(x509.random_serial_number())
                .not_valid_before(now - datetime.timedelta(days=1)).not_valid_after(now + datetime.timedelta(days=1))
                .add_extension(x509.SubjectAlternativeName([x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]),
                               critical=False)
                .sign(key, hashes.SHA256()))
        pem = os.path.join(folder, "tls.pem")
        with open(pem, "wb") as f:
            f.write(cert.public_bytes(serialization.Encoding.PEM))
            f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                      serialization.NoEncryption()))
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(pem)

    def get_request(self):
        sock, address = super().get_request()
        tls_connections.append(address)
        # The handshake happens in the handler's thread.
        return self.context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False), address


def wine_path_to_unix(path):
    drive, rest = path[0].lower(), path[2:].replace("\\", "/")
    return os.path.join(os.environ["WINEPREFIX"], "drive_" + drive) + rest


def set_auto_update(value):
    key = r"HKLM\SOFTWARE\Pixelkite"
    if value is None:
        subprocess.run([WINE, REG, "delete", key, "/f"], capture_output=True)
    else:
        subprocess.run([WINE, REG, "add", key, "/v", "AutoUpdate", "/t", "REG_DWORD", "/d", str(value), "/f"],
                       capture_output=True, check=True)


class Run:
    def __init__(self, build, key_path):
        self.bin = os.path.join(build, "bin")
        self.client = os.path.join(self.bin, "updater-test", "pk_update_client.exe")
        self.probe = os.path.join(self.bin, "pk_e2e_probe.exe")
        self.key = update_manifest.load_private_key(key_path)
        self.other_key = update_manifest.generate_key()
        with open(os.path.join(self.bin, "pk_record_args.exe"), "rb") as f:
            self.installer = f.read()
        self.work = tempfile.mkdtemp(prefix="pk-updater-")
        self.server = Server(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.tls = TlsServer(self.work)
        self.tls_port = self.tls.server_address[1]
        for server in (self.server, self.tls):
            threading.Thread(target=server.serve_forever, daemon=True).start()
        self.record = os.path.join(self.work, "installer-runs.txt")
        self.temp = None
        self.passed = self.failed = 0

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def manifest(self, version="2.6.0.0", product="Pixelkite", size=None, sha256=None, url=None, key=None,
                 notes=("修复了保存位图时的错误。", "", "Faster module listing."), expires_in=30 * 86400,
                 installer=None):
        installer = installer or self.installer
        body = update_manifest.manifest_body(
            product, version, url or self.url("/files/setup.exe"),
            len(installer) if size is None else size,
            sha256 or hashlib.sha256(installer).hexdigest(), list(notes), int(time.time()) + expires_in)
        return update_manifest.sign_body(body, key or self.key)

    def leftovers(self):
        if not self.temp:
            return set()
        return {name for name in os.listdir(self.temp) if re.fullmatch(r"pixelkite-update-[0-9a-f]{16}", name)}

    def emptied(self, folders, seconds=5):
        """True once the folders are empty: the system deletes a file marked so
        when its last handle closes, which the end of a process may delay."""
        deadline = time.time() + seconds
        while True:
            if all(not os.listdir(os.path.join(self.temp, n)) for n in folders):
                return True
            if time.time() > deadline:
                return False
            time.sleep(0.1)

    def case(self, name, serve, expect, location=None, answer=None, cancel=False, installer_runs=False,
             fetches=None, max_ms=None, prompt_has=(), empty_folder=False, keep_record=False, tls_contacted=None,
             cut_short=None, plant=False, silent=None):
        """Runs the client once. `serve` maps paths to (kind, bytes or target).
        Download folders stay from case to case: a check must remove those of
        earlier runs, and leave at most the folder of the installer it started."""
        if CASES and not re.search(CASES, name):
            return
        routes.clear()
        routes.update(serve)
        requests.clear()
        sent.clear()
        del tls_connections[:]
        if os.path.exists(self.record):
            os.remove(self.record)
        problems = []
        planted = [os.path.join(self.temp or "", n) for n in ("pixelkite-update-0123456789abcdef", "pixelkite-update-x")]
        for folder in planted if plant else ():
            os.makedirs(folder, exist_ok=True)
            open(os.path.join(folder, "setup-1.0.0.0.exe"), "wb").close()
        before = self.leftovers()
        env = dict(os.environ, PK_RECORD_FILE=self.record)
        helper = None
        if answer or cancel:
            args = ["answer", CAPTION, answer, "20000"] if answer else ["cancel", CAPTION, "20000"]
            helper = subprocess.Popen([WINE, self.probe] + args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      stdin=subprocess.DEVNULL, env=env)
        command = [WINE, self.client] + (["--keep-record"] if keep_record else []) + [location or self.url("/up/")]
        try:
            run = subprocess.run(command, capture_output=True, env=env, stdin=subprocess.DEVNULL, timeout=90)
            out = run.stdout.decode(errors="replace")
        except subprocess.TimeoutExpired:
            run, out = None, ""
            problems.append("did not return within 90 s")
        fields = dict(line.split(" ", 1) for line in out.splitlines() if " " in line)
        if run and "result" not in fields:
            errors = run.stderr.decode(errors="replace").strip().splitlines()[-8:]
            problems.append("the client printed no result (exit %d): %s" % (run.returncode, "\n".join(errors)))
        result = int(fields.get("result", "999"))
        took = int(fields.get("milliseconds", "0"))
        if "temp" in fields and not self.temp:
            self.temp = wine_path_to_unix(fields["temp"].strip())
        if result != expect:
            problems.append("returned %d, expected %d" % (result, expect))
        if helper:
            said = helper.communicate(timeout=30)[0].decode(errors="replace")
            if helper.returncode != 0:
                problems.append("the probe could not %s: %s" % ("answer" if answer else "cancel", said.strip()))
            for text in prompt_has:
                if text not in said:
                    problems.append("the prompt lacks %r: %s" % (text, said.strip()))
        ran = os.path.exists(self.record)
        if ran != installer_runs:
            problems.append("the installer %s" % ("ran" if ran else "did not run"))
        if max_ms is not None and took > max_ms:
            problems.append("took %d ms, more than %d" % (took, max_ms))
        if fetches is not None and requests != fetches:
            problems.append("fetched %s, expected %s" % (requests, fetches))
        if tls_contacted is not None and bool(tls_connections) != tls_contacted:
            problems.append("the TLS server was %scontacted" % ("not " if tls_contacted else ""))
        for path in [cut_short] if cut_short else ():
            if sent.get(path, 0) >= len(serve[path][1]):
                problems.append("%s was read to its end (%d bytes)" % (path, sent.get(path, 0)))
        after = self.leftovers()
        new = after - before
        if expect not in (NOT_DUE, BAD_LOCATION) and before & after:
            problems.append("earlier download folders stayed: %s" % sorted(before & after))
        if plant:
            if not os.path.isdir(planted[1]):
                problems.append("a folder of another name was removed")
            shutil.rmtree(planted[1], ignore_errors=True)
        if installer_runs:
            # The installer ran from its own new folder, alone in it, and the
            # folder is the user's alone; it stays until the next check.
            with open(self.record) as f:
                lines = f.read()
            folder = re.search(r"cwd (.*pixelkite-update-[0-9a-f]{16})", lines)
            if len(new) != 1 or not folder:
                problems.append("expected one new private folder holding the installer: %s / %s" % (new, lines))
            if silent is not None and bool(re.search(r"^run .* /S\s*$", lines, re.M)) != silent:
                problems.append("the installer was%s started with /S: %s" % ("" if silent else " not", lines))
            if not re.search(r"^files setup-[0-9.]+\.exe$", lines, re.M):
                problems.append("the installer was not alone in its folder: %s" % lines)
            # Wine keeps no protection flag and no Administrators' entry (it
            # stores the list as the folder's mode), but it drops everyone else.
            acl = re.search(r"^acl D:P?(.*)$", lines, re.M)
            user = re.search(r"^user (.*)$", lines, re.M)
            aces = re.findall(r"\(([^)]*)\)", acl.group(1)) if acl and user else []
            allowed = ["A;OICI;FA;;;" + sid for sid in (user.group(1), "SY", "BA")] if user else []
            if not aces or not set(allowed[:2]) <= set(aces) <= set(allowed):
                problems.append("the folder's access list is not the user's, SYSTEM's and the Administrators' "
                                "alone: %s" % (acl.group(0) if acl else "none"))
        elif new and empty_folder and self.emptied(new):
            pass  # the folder of a download left to end on its own, its file gone with the program
        elif new:
            problems.append("left behind in the temp folder: %s" % sorted(new))
        label = "%s (returned %d in %d ms)" % (name, result, took)
        if problems:
            self.failed += 1
            print("FAIL " + label)
            for p in problems:
                print("    " + p)
        else:
            self.passed += 1
            print("PASS " + label)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    # The environment of scripts/wine.sh: the project's prefix, a Chinese code page.
    os.environ.setdefault("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix"))
    os.environ.setdefault("WINEDEBUG", "-all")
    os.environ.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    os.environ["LANG"] = os.environ["LC_ALL"] = os.environ.get("PK_WINE_LANG", "zh_CN.UTF-8")
    if not os.environ.get("DISPLAY"):
        print("SKIP: needs a display (run under Xvfb: scripts/test.sh does)")
        return 77
    run = Run(sys.argv[1], sys.argv[2])
    # Warm the wineserver before two programs start at once.
    subprocess.run([WINE, run.probe, "count", "none"], capture_output=True)
    installer = ("plain", run.installer)
    up = "/up/manifest.txt"
    setup = "/files/setup.exe"
    big = run.installer + b"\0" * (1024 * 1024)
    big_manifest = run.manifest(size=len(big), sha256=hashlib.sha256(big).hexdigest())
    try:
        set_auto_update(None)  # no setting: the library asks first
        run.case("no manifest at the location", {}, UNREACHABLE, fetches=[up])
        run.case("a newer version, the user declines",
                 {up: ("plain", run.manifest("2.10")), setup: installer}, DECLINED, answer="no", fetches=[up],
                 prompt_has=("2.10.0.0", "修复了保存位图时的错误。", "Faster module listing."))
        run.case("a newer version, the user agrees",
                 {up: ("plain", run.manifest("2.5.0.1")), setup: installer}, STARTED, answer="yes",
                 installer_runs=True, fetches=[up, setup], prompt_has=("Pixelkite", "2.5.0.1"), silent=False)

        # Automatic from here on: a check that failed to refuse would go on to
        # download and start the installer.
        set_auto_update(1)
        run.case("a newer version, automatic", {up: ("plain", run.manifest()), setup: installer}, STARTED,
                 installer_runs=True, fetches=[up, setup], silent=True)
        run.case("the same version", {up: ("plain", run.manifest("2.5.0.0")), setup: installer}, UP_TO_DATE,
                 fetches=[up], plant=True)
        run.case("a second exit the same day", {up: ("plain", run.manifest()), setup: installer}, NOT_DUE,
                 fetches=[], keep_record=True)
        run.case("an older version", {up: ("plain", run.manifest("2.4.9.9")), setup: installer}, UP_TO_DATE,
                 fetches=[up])
        run.case("another product's manifest",
                 {up: ("plain", run.manifest(product="Otherkite")), setup: installer}, REFUSED, fetches=[up])
        run.case("an expired manifest", {up: ("plain", run.manifest(expires_in=-60)), setup: installer}, EXPIRED,
                 fetches=[up])
        unsigned = run.manifest()
        unsigned = unsigned[:unsigned.rindex(b"signature ")]
        run.case("an unsigned manifest", {up: ("plain", unsigned), setup: installer}, REFUSED, fetches=[up])
        forged = run.manifest().replace(b"version 2.6.0.0", b"version 9.6.0.0")
        run.case("a manifest changed after signing", {up: ("plain", forged), setup: installer}, BAD_SIGNATURE,
                 fetches=[up])
        run.case("a manifest signed by another key",
                 {up: ("plain", run.manifest(key=run.other_key)), setup: installer}, BAD_SIGNATURE, fetches=[up])
        run.case("an oversized manifest", {up: ("plain", run.manifest() + b"x" * 16384)}, REFUSED, fetches=[up])
        run.case("a manifest that never ends", {up: ("endless", run.manifest() + b"x" * (64 << 20))}, REFUSED,
                 fetches=[up], cut_short=up)
        run.case("a truncated manifest", {up: ("truncated", run.manifest())}, UNREACHABLE, fetches=[up])
        run.case("a server that accepts and never answers", {up: ("silent", b"")}, UNREACHABLE, fetches=[up],
                 max_ms=5000)
        # 50 bytes a second: whole after some 8 s, if the library waited.
        run.case("a manifest trickled out", {up: ("trickle", run.manifest("2.5"))}, UNREACHABLE, fetches=[up])
        with socket.socket() as unused:
            unused.bind(("127.0.0.1", 0))
            dead = "http://127.0.0.1:%d/up/" % unused.getsockname()[1]
        run.case("nothing listening", {}, UNREACHABLE, location=dead, max_ms=5000, fetches=[])
        run.case("a second exit after a failed check", {up: ("plain", run.manifest())}, NOT_DUE, fetches=[],
                 keep_record=True)
        run.case("a location over plain http off the loopback address", {}, BAD_LOCATION,
                 location="http://www.pixelkite.example/up/pixelkite/", fetches=[], max_ms=1000)
        run.case("https with a certificate no one vouches for", {up: ("plain", run.manifest())}, UNREACHABLE,
                 location="https://127.0.0.1:%d/up/" % run.tls_port, fetches=[], tls_contacted=True)
        run.case("a redirect to another scheme",
                 {up: ("redirect", "https://127.0.0.1:%d/up/manifest.txt" % run.tls_port)}, UNREACHABLE,
                 fetches=[up], tls_contacted=False)
        run.case("a redirect to a host name",
                 {up: ("redirect", "http://localhost:%d/m" % run.port), "/m": ("plain", run.manifest())},
                 UNREACHABLE, fetches=[up])
        hops = {up: ("redirect", "/r1"), "/r1": ("redirect", "/r2"), "/r2": ("redirect", "/r3"),
                "/r3": ("plain", run.manifest("2.5"))}
        run.case("three redirects that keep the scheme", hops, UP_TO_DATE, fetches=[up, "/r1", "/r2", "/r3"])
        hops.update({"/r3": ("redirect", "/r4"), "/r4": ("plain", run.manifest("2.5"))})
        run.case("four redirects", hops, UNREACHABLE, fetches=[up, "/r1", "/r2", "/r3"])

        run.case("an installer with another SHA-256",
                 {up: ("plain", run.manifest(sha256="00" * 32)), setup: installer}, VERIFICATION_FAILED,
                 fetches=[up, setup])
        run.case("an installer shorter than the manifest says",
                 {up: ("plain", run.manifest(size=len(run.installer) + 1)), setup: installer}, VERIFICATION_FAILED,
                 fetches=[up, setup])
        run.case("an installer longer than the manifest says",
                 {up: ("plain", run.manifest(size=len(run.installer) - 1)), setup: installer}, VERIFICATION_FAILED,
                 fetches=[up, setup])
        run.case("an installer that runs on past its size",
                 {up: ("plain", run.manifest()), setup: ("endless", run.installer + b"\0" * (64 << 20))},
                 VERIFICATION_FAILED, fetches=[up, setup], cut_short=setup)
        run.case("an installer redirected to another scheme",
                 {up: ("plain", run.manifest()), setup: ("redirect", "ftp://127.0.0.1/setup.exe")}, DOWNLOAD_FAILED,
                 fetches=[up, setup])
        # The tests' library gives up after 4 s without a byte, or 8 s with
        # less than a kilobyte; the client's own timeout is only a safety net.
        run.case("an installer that stalls", {up: ("plain", big_manifest), setup: ("stall", big)}, STALLED,
                 fetches=[up, setup], empty_folder=True)
        run.case("an installer trickled out", {up: ("plain", big_manifest), setup: ("trickle", big)}, TOO_SLOW,
                 fetches=[up, setup], empty_folder=True)
        run.case("the user cancels the download", {up: ("plain", big_manifest), setup: ("slow", big)}, CANCELLED,
                 cancel=True, fetches=[up, setup], max_ms=20000)
        # The transfer cannot notice the cancel while no byte comes: the
        # library returns after a grace period, and the unfinished file goes
        # when the program ends (its empty folder stays).
        run.case("the user cancels a download that has stalled",
                 {up: ("plain", big_manifest), setup: ("stall", big)}, CANCELLED, cancel=True, fetches=[up, setup],
                 max_ms=20000, empty_folder=True)
    finally:
        set_auto_update(None)
        subprocess.run([WINE, REG, "delete", r"HKCU\Software\Pixelkite\NubUpdater", "/f"], capture_output=True)
        stop_serving.set()
        run.server.shutdown()
        run.tls.shutdown()
        shutil.rmtree(run.work, ignore_errors=True)
    print("%d passed, %d failed" % (run.passed, run.failed))
    return 1 if run.failed else 0


if __name__ == "__main__":
    sys.exit(main())

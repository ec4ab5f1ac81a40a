#!/usr/bin/env python3
"""Local HTTP server used as a test fixture ("portal server").

The installer under test reaches this server as an HTTP proxy, so a request
target may be an absolute URI ("GET http://host/a/b.bin HTTP/1.1") or a plain
path ("GET /a/b.bin HTTP/1.1"). Both map to <root>/a/b.bin; the host is
ignored. Only GET and HEAD are supported.

Faults are read from <root>/.faults on every request (missing or unreadable
file: no faults). One rule per line, blank lines and '#' lines ignored:

    <url-path> <option> [<option> ...]

<url-path> is percent-decoded (so "%20" can stand for a space) and compared
exactly with the percent-decoded request path.
Options: status=N, nolength, cut=N, trickle=N, delay=MS, redirect=URL, length=N.
redirect=URL answers 302 with that Location, or status=N when both are given.

With --tls DIR the server also answers CONNECT: it opens a TLS tunnel to this
same portal, with the certificate DIR/<host>.crt (key DIR/<host>.key) for the
tunnel's host where there is one, else DIR/portal.crt (tests/portal/
make-test-certs makes them). Requests in a tunnel are logged with their https
URL ("GET https://host:443/a/b.bin -> 200"), the tunnel itself as
"CONNECT host:443 -> 200".

Signatures: started with --sign-key PEM, a request for "X.sig" that names no
file answers the RSA PKCS#1 v1.5 SHA-256 signature of X made with that key
(openssl CLI). Rules on the .sig path may change it: signof=URL-PATH signs that
file instead of X, signwith=other signs with a second key the server makes.
"""
import argparse
import os
import subprocess
import tempfile
import signal
import socketserver
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote, urlsplit

INT_OPTIONS = ("status", "cut", "trickle", "delay", "length")


def load_faults(root):
    """Return {url-path: {option: value}}; later rules for a path add to earlier ones."""
    try:
        with open(os.path.join(root, ".faults"), encoding="utf-8") as f:
            lines = f.read().splitlines()
    except (OSError, UnicodeDecodeError):
        return {}
    faults = {}
    for line in lines:
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        options = faults.setdefault(unquote(words[0]), {})
        for word in words[1:]:
            name, has_value, value = word.partition("=")
            if name == "nolength" and not has_value:
                options[name] = True
            elif name in ("redirect", "signof", "signwith") and value:
                options[name] = value
            elif name in INT_OPTIONS and value.isdigit():
                options[name] = int(value)
            else:
                print(f"portal: ignoring fault option {word!r} for {words[0]}",
                      file=sys.stderr, flush=True)
    return faults


class PortalHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 60  # drop idle keep-alive connections eventually

    tunnel = None  # "host:port" of the CONNECT that this connection turned into TLS

    def do_CONNECT(self):
        host = self.path.rsplit(":", 1)[0]
        context = self.server.tls_context(host)
        if context is None:
            return self.send_error(501, f"Unsupported method ({self.command!r})")
        self.send_response(200, "Connection established")
        self.end_headers()
        self.rfile.close()
        self.wfile.close()
        try:
            self.request = context.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError):
            self.close_connection = True
            return
        self.tunnel = self.path
        self.setup()  # reads and writes go through the tunnel from now on
        self.close_connection = False  # whatever the CONNECT said, the tunnel stays open

    def finish(self):
        super().finish()
        if self.tunnel:
            self.request.close()

    def do_GET(self):
        self.serve(send_body=True)

    def do_HEAD(self):
        self.serve(send_body=False)

    def url_path(self):
        """Decoded path of the request target, for both origin and absolute form."""
        target = self.path
        path = target.split("?", 1)[0] if target.startswith("/") else urlsplit(target).path
        return unquote(path) or "/"

    def serve(self, send_body):
        root = self.server.root
        path = self.url_path()
        segments = path.split("/")
        if ".." in segments or "\0" in path:
            return self.reply(403, b"forbidden\n", send_body)
        full = os.path.realpath(os.path.join(root, *[s for s in segments if s]))
        if os.path.commonpath([root, full]) != root:
            return self.reply(403, b"forbidden\n", send_body)

        fault = load_faults(root).get(path, {})
        if "redirect" in fault:
            return self.reply(fault.get("status", 302), b"redirected\n", send_body, fault,
                              headers=[("Location", fault["redirect"])])
        if "status" in fault:
            code = fault["status"]
            return self.reply(code, f"status {code}\n".encode(), send_body, fault)
        if not os.path.isfile(full) and path.endswith(".sig") and self.server.sign_key:
            signed = self.sign(fault.get("signof", path[:-4]), fault.get("signwith"))
            if signed is not None:
                return self.reply(200, signed, send_body, fault, ctype="application/octet-stream")
        if not os.path.isfile(full):
            return self.reply(404, b"not found\n", send_body)
        try:
            with open(full, "rb") as f:
                data = f.read()
        except OSError:
            return self.reply(403, b"unreadable\n", send_body)
        self.reply(200, data, send_body, fault, ctype="application/octet-stream")

    def sign(self, url_path, key_name):
        """The signature of the served file at url_path, or None when there is none."""
        root = self.server.root
        full = os.path.realpath(os.path.join(root, *[s for s in url_path.split("/") if s]))
        if os.path.commonpath([root, full]) != root or not os.path.isfile(full):
            return None
        key = self.server.other_key() if key_name == "other" else self.server.sign_key
        done = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, full],
                              capture_output=True, check=False)
        return done.stdout if done.returncode == 0 else None

    def reply(self, code, data, send_body, fault=None, ctype="text/plain", headers=()):
        """Send one response, applying the body-shaping fault options."""
        fault = fault or {}
        if code < 200 or code in (204, 304):
            data = b""  # these statuses never carry a body
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        for name, value in headers:
            self.send_header(name, value)
        if "nolength" not in fault:
            self.send_header("Content-Length", str(fault.get("length", len(data))))
        # Without a correct length the client can only find the end of the
        # body (or notice it is short) when the connection closes.
        if fault.keys() & {"nolength", "cut", "length"}:
            self.send_header("Connection", "close")
        self.end_headers()
        if not send_body:
            return
        if "cut" in fault:
            data = data[:fault["cut"]]
        step = fault.get("trickle") or len(data) or 1
        delay = fault.get("delay", 50) / 1000.0
        try:
            for offset in range(0, len(data), step):
                if offset:
                    time.sleep(delay)
                self.wfile.write(data[offset:offset + step])
                self.wfile.flush()
        except OSError:  # client went away mid-body (e.g. a cancelled download)
            self.close_connection = True

    def log_request(self, code="-", size="-"):
        words = (self.requestline or "").split()
        target = words[1] if len(words) > 1 else "-"
        if self.tunnel and target.startswith("/"):
            target = f"https://{self.tunnel}{target}"
        self.server.log_line(f"{self.command or '-'} {target} -> {int(code)}")


class PortalServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, root, log_path=None, tls_dir=None, sign_key=None):
        self.root = os.path.realpath(root)
        self.tls_dir = tls_dir
        self.tls_contexts = {}
        self.tls_lock = threading.Lock()
        self.sign_key = sign_key
        self.key_folder = None
        self.key_lock = threading.Lock()
        self.log_file = open(log_path, "a", encoding="utf-8") if log_path else None
        self.log_lock = threading.Lock()
        super().__init__(("127.0.0.1", port), PortalHandler)

    def server_bind(self):
        # Skip HTTPServer's reverse name lookup; the address is always loopback.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    def tls_context(self, host):
        """The server context of a tunnel to `host`; None without --tls."""
        if not self.tls_dir:
            return None
        own = os.path.join(self.tls_dir, f"{host}.crt")
        name = host if os.path.basename(own) == f"{host}.crt" and os.path.isfile(own) else "portal"
        with self.tls_lock:
            if name not in self.tls_contexts:
                context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                path = os.path.join(self.tls_dir, name)
                context.load_cert_chain(f"{path}.crt", f"{path}.key")
                self.tls_contexts[name] = context
            return self.tls_contexts[name]

    def other_key(self):
        """A second signing key, made on first use and gone with the server."""
        with self.key_lock:
            if self.key_folder is None:
                self.key_folder = tempfile.TemporaryDirectory(prefix="portal-key-")
                subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048",
                                "-out", os.path.join(self.key_folder.name, "other.pem")],
                               capture_output=True, check=True)
            return os.path.join(self.key_folder.name, "other.pem")

    def log_line(self, line):
        if self.log_file:
            with self.log_lock:
                self.log_file.write(line + "\n")
                self.log_file.flush()

    def server_close(self):
        super().server_close()
        if self.key_folder:
            self.key_folder.cleanup()
        if self.log_file:
            self.log_file.close()
            self.log_file = None


def write_state(path, port):
    """Publish the port atomically so a reader never sees a partial file."""
    tmp = f"{path}.{os.getpid()}.tmp"
    with open(tmp, "w", encoding="ascii") as f:
        f.write(f"{port}\n")
    os.replace(tmp, path)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local HTTP portal/proxy test server.")
    parser.add_argument("--root", required=True, help="directory to serve")
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: any free port)")
    parser.add_argument("--state-file", help="file receiving the bound port")
    parser.add_argument("--log", help="file to append '<METHOD> <target> -> <status>' lines to")
    parser.add_argument("--tls", metavar="DIR", help="answer CONNECT with TLS tunnels, certificates from DIR")
    parser.add_argument("--sign-key", help="PEM private key that answers requests for X.sig")
    args = parser.parse_args(argv)
    if not os.path.isdir(args.root):
        parser.error(f"--root {args.root!r} is not a directory")
    if args.tls and not os.path.isfile(os.path.join(args.tls, "portal.crt")):
        parser.error(f"--tls {args.tls!r} holds no portal.crt")

    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())

    server = PortalServer(args.port, args.root, args.log, args.tls, args.sign_key)
    port = server.server_address[1]
    if args.state_file:
        write_state(args.state_file, port)
    print(f"PORT {port}", flush=True)

    worker = threading.Thread(target=server.serve_forever, args=(0.1,), daemon=True)
    worker.start()
    while not stop.wait(0.2):
        pass
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

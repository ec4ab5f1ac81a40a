"""Tests for the portal test server (run from the repo root with
python3 -m unittest discover -s tests/portal -p 'test_*.py')."""
import http.client
import os
import signal
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "portal_server.py")
MAKE_CERTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-test-certs")
PAYLOAD = bytes(range(256)) * 4  # 1024 bytes, every byte value
APP_PATH = "/orbina/velsetup/control/control.xml"


class PortalServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.certs = tempfile.TemporaryDirectory()
        subprocess.run([MAKE_CERTS, cls.certs.name], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.certs.cleanup()

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.root = os.path.join(self.tmp.name, "root")
        os.makedirs(os.path.join(self.root, "orbina", "velsetup", "control"))
        self.write(APP_PATH, PAYLOAD)
        self.write("/small.bin", b"0123456789")
        self.write("/with space.bin", b"spaced")
        with open(os.path.join(self.tmp.name, "secret.txt"), "wb") as f:
            f.write(b"outside root")
        self.state = os.path.join(self.tmp.name, "port")
        self.log = os.path.join(self.tmp.name, "requests.log")
        self.stdout = open(os.path.join(self.tmp.name, "stdout"), "w+b")
        self.stderr = open(os.path.join(self.tmp.name, "stderr"), "w+b")
        self.proc = subprocess.Popen(
            [sys.executable, SERVER, "--root", self.root, "--port", "0",
             "--state-file", self.state, "--log", self.log, "--tls", self.certs.name],
            stdout=self.stdout, stderr=self.stderr)
        self.port = self.wait_for_port()

    def tearDown(self):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGKILL)
        self.proc.wait(timeout=5)
        self.stdout.close()
        self.stderr.close()

    # helpers

    def wait_for_port(self):
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            if os.path.exists(self.state):
                with open(self.state) as f:
                    return int(f.read())
            self.assertIsNone(self.proc.poll(), "server exited during startup")
            time.sleep(0.02)
        self.fail("server did not write its state file")

    def write(self, url_path, data):
        with open(os.path.join(self.root, url_path.lstrip("/")), "wb") as f:
            f.write(data)

    def faults(self, text):
        with open(os.path.join(self.root, ".faults"), "w") as f:
            f.write(text)

    def conn(self):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        self.addCleanup(c.close)
        return c

    def get(self, target, method="GET"):
        c = self.conn()
        c.request(method, target)
        return c.getresponse()

    def tunnel(self, host, trusted="ca.crt"):
        """An HTTPS connection through a CONNECT tunnel of the server to `host`."""
        context = ssl.create_default_context(cafile=os.path.join(self.certs.name, trusted))
        c = http.client.HTTPSConnection("127.0.0.1", self.port, timeout=5, context=context)
        c.set_tunnel(host, 443)
        self.addCleanup(c.close)
        return c

    def log_lines(self):
        with open(self.log) as f:
            return f.read().splitlines()

    # plain serving

    def test_startup_announces_port(self):
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            self.stdout.seek(0)
            out = self.stdout.read().decode()
            if out.endswith("\n"):
                break
            time.sleep(0.02)
        self.assertEqual(out, f"PORT {self.port}\n")
        self.assertEqual([n for n in os.listdir(self.tmp.name) if n.endswith(".tmp")], [])

    def test_get_origin_form(self):
        r = self.get(APP_PATH)
        self.assertEqual(r.status, 200)
        self.assertEqual(r.getheader("Content-Length"), str(len(PAYLOAD)))
        self.assertEqual(r.getheader("Content-Type"), "application/octet-stream")
        self.assertEqual(r.read(), PAYLOAD)

    def test_get_absolute_form(self):
        r = self.get("http://update.orbina.com" + APP_PATH)
        self.assertEqual(r.status, 200)
        self.assertEqual(r.read(), PAYLOAD)

    def test_percent_decoding_and_query(self):
        self.assertEqual(self.get("/with%20space.bin?x=1").read(), b"spaced")
        self.assertEqual(self.get("http://h.example/with%20space.bin").read(), b"spaced")

    def test_via_proxy_handler(self):
        opener = urllib.request.build_opener(
            urllib.request.ProxyHandler({"http": f"http://127.0.0.1:{self.port}"}))
        with opener.open("http://update.orbina.com" + APP_PATH, timeout=5) as r:
            self.assertEqual(r.read(), PAYLOAD)
        self.assertEqual(self.log_lines(), [f"GET http://update.orbina.com{APP_PATH} -> 200"])

    def test_keep_alive(self):
        c = self.conn()
        for target in (APP_PATH, "/small.bin", "http://x.example/small.bin"):
            c.request("GET", target)
            r = c.getresponse()
            self.assertFalse(r.will_close)
            self.assertEqual(r.status, 200)
            r.read()

    def test_head(self):
        r = self.get(APP_PATH, "HEAD")
        self.assertEqual(r.status, 200)
        self.assertEqual(r.getheader("Content-Length"), str(len(PAYLOAD)))
        self.assertEqual(r.read(), b"")

    def test_missing_and_directory(self):
        for target in ("/nope.bin", "/orbina/velsetup", "/", "http://h.example"):
            with self.subTest(target=target):
                r = self.get(target)
                self.assertEqual(r.status, 404)
                r.read()

    def test_escape_refused(self):
        for target in ("/../secret.txt", "/orbina/../../secret.txt", "/%2e%2e/secret.txt",
                       "http://h.example/../secret.txt", "/..%2fsecret.txt"):
            with self.subTest(target=target):
                r = self.get(target)
                self.assertEqual(r.status, 403)
                self.assertNotIn(b"outside", r.read())

    def test_unsupported_method(self):
        r = self.get("/small.bin", "POST")
        self.assertEqual(r.status, 501)

    # faults

    def test_fault_status(self):
        self.faults("# comment\n\n/small.bin status=500\n/nope.bin status=403\n")
        r = self.get("/small.bin")
        self.assertEqual(r.status, 500)
        self.assertNotEqual(r.read(), b"0123456789")
        self.assertEqual(self.get("/nope.bin").status, 403)
        r = self.get("/small.bin", "HEAD")
        self.assertEqual((r.status, r.read()), (500, b""))

    def test_faults_reread_each_request(self):
        c = self.conn()
        c.request("GET", "/small.bin")
        self.assertEqual(c.getresponse().read(), b"0123456789")
        self.faults("/small.bin status=404\n")
        c.request("GET", "/small.bin")
        r = c.getresponse()
        r.read()
        self.assertEqual(r.status, 404)
        os.remove(os.path.join(self.root, ".faults"))
        c.request("GET", "/small.bin")
        self.assertEqual(c.getresponse().status, 200)

    def test_fault_nolength(self):
        self.faults(f"{APP_PATH} nolength\n")
        r = self.get(APP_PATH)
        self.assertIsNone(r.getheader("Content-Length"))
        self.assertTrue(r.will_close)
        self.assertEqual(r.read(), PAYLOAD)

    def test_fault_cut(self):
        self.faults(f"{APP_PATH} cut=100\n")
        r = self.get(APP_PATH)
        self.assertEqual(r.getheader("Content-Length"), str(len(PAYLOAD)))
        with self.assertRaises(http.client.IncompleteRead) as cm:
            r.read()
        self.assertEqual(cm.exception.partial, PAYLOAD[:100])

    def test_fault_trickle(self):
        self.faults(f"{APP_PATH} trickle=256 delay=60\n/small.bin nolength trickle=3 delay=10\n")
        start = time.monotonic()
        self.assertEqual(self.get(APP_PATH).read(), PAYLOAD)
        self.assertGreaterEqual(time.monotonic() - start, 0.17)  # 3 pauses of 60 ms
        r = self.get("/small.bin")
        self.assertIsNone(r.getheader("Content-Length"))
        self.assertEqual(r.read(), b"0123456789")

    def test_trickle_cancel(self):
        self.faults(f"{APP_PATH} trickle=64 delay=50\n")
        c = self.conn()
        c.request("GET", APP_PATH)
        r = c.getresponse()
        self.assertEqual(r.read(64), PAYLOAD[:64])
        c.close()  # cancel mid-body; the server must carry on
        self.assertEqual(self.get("/small.bin").read(), b"0123456789")

    def test_fault_redirect(self):
        self.faults("/old.bin redirect=http://update.orbina.com/small.bin\n")
        r = self.get("http://update.orbina.com/old.bin")
        self.assertEqual(r.status, 302)
        self.assertEqual(r.getheader("Location"), "http://update.orbina.com/small.bin")
        r.read()

    def test_fault_redirect_with_status(self):
        self.faults("/old.bin redirect=small.bin status=307\n")
        r = self.get("/old.bin")
        self.assertEqual((r.status, r.getheader("Location")), (307, "small.bin"))
        r.read()

    def test_fault_length(self):
        self.faults("/small.bin length=4\n/with%20space.bin length=50\n")
        r = self.get("/small.bin")
        self.assertEqual(r.getheader("Content-Length"), "4")
        self.assertEqual(r.read(), b"0123")
        r = self.get("/with%20space.bin")
        with self.assertRaises(http.client.IncompleteRead) as cm:
            r.read()
        self.assertEqual(cm.exception.partial, b"spaced")

    def test_unknown_option_ignored(self):
        self.faults("/small.bin bogus=1 status=500\n")
        self.assertEqual(self.get("/small.bin").status, 500)
        self.stderr.seek(0)
        self.assertIn(b"bogus=1", self.stderr.read())

    # TLS tunnels

    def test_tunnel_serves_the_portal_over_tls(self):
        self.faults("/old.bin redirect=http://update.orbina.com/small.bin\n")
        c = self.tunnel("update.orbina.com")
        for target, status, body in ((APP_PATH, 200, PAYLOAD), ("/old.bin", 302, b"redirected\n"),
                                     ("/nope.bin", 404, b"not found\n")):
            c.request("GET", target)
            r = c.getresponse()
            self.assertEqual((r.status, r.read()), (status, body))
        self.assertEqual(c.sock.getpeercert()["subject"], ((("commonName", "update.orbina.com"),),))
        self.assertEqual(self.log_lines(), [
            "CONNECT update.orbina.com:443 -> 200",
            f"GET https://update.orbina.com:443{APP_PATH} -> 200",
            "GET https://update.orbina.com:443/old.bin -> 302",
            "GET https://update.orbina.com:443/nope.bin -> 404",
        ])

    def test_tunnel_certificate_chosen_by_host(self):
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.tunnel("untrusted.orbina.com").request("GET", APP_PATH)
        # Its own CA vouches for it: only the trust differs.
        c = self.tunnel("untrusted.orbina.com", trusted="untrusted-ca.crt")
        c.request("GET", "/small.bin")
        self.assertEqual(c.getresponse().read(), b"0123456789")
        # Another host gets the portal's leaf, which does not name it.
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.tunnel("other.orbina.com").request("GET", APP_PATH)
        # The server carries on.
        self.assertEqual(self.get("/small.bin").read(), b"0123456789")

    def test_connect_without_tls_unsupported(self):
        port_file = os.path.join(self.tmp.name, "plain.port")
        plain = subprocess.Popen([sys.executable, SERVER, "--root", self.root, "--state-file", port_file],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(plain.wait, 5)
        self.addCleanup(plain.terminate)
        deadline = time.monotonic() + 5
        while not os.path.exists(port_file) and time.monotonic() < deadline:
            time.sleep(0.02)
        with open(port_file) as f:
            c = http.client.HTTPConnection("127.0.0.1", int(f.read()), timeout=5)
        self.addCleanup(c.close)
        c.request("CONNECT", "update.orbina.com:443")
        self.assertEqual(c.getresponse().status, 501)

    # log and shutdown

    def test_request_log(self):
        self.faults("/small.bin status=500\n")
        self.get(APP_PATH).read()
        self.get("http://update.orbina.com" + APP_PATH, "HEAD").read()
        self.get("/small.bin").read()
        self.get("/missing%20file").read()
        self.assertEqual(self.log_lines(), [
            f"GET {APP_PATH} -> 200",
            f"HEAD http://update.orbina.com{APP_PATH} -> 200",
            "GET /small.bin -> 500",
            "GET /missing%20file -> 404",
        ])

    def test_sigterm_exits_cleanly(self):
        c = self.conn()  # an idle keep-alive connection must not block shutdown
        c.request("GET", "/small.bin")
        c.getresponse().read()
        os.kill(self.proc.pid, signal.SIGTERM)
        self.assertEqual(self.proc.wait(timeout=5), 0)

    def test_sigint_exits_cleanly(self):
        os.kill(self.proc.pid, signal.SIGINT)
        self.assertEqual(self.proc.wait(timeout=5), 0)


if __name__ == "__main__":
    unittest.main()

"""A local stand-in for the update service, for the Windows-side tests of the HTTP client.

Runs in a thread of the test runner on a free port of 127.0.0.1:
  /echo             the request's headers, one "Name: value" line each, in arrival order
  /text             UTF-8 text while the answer declares ISO-8859-1
  /status/404       an error page with a body
  /size/N           N bytes of "a"; /chunked/N the same in chunked transfer coding
  /short/N          declares 2N bytes, sends N and closes the connection
  /redirect         302 to /text
  /answer           an answer that offers an update and a notice
  /record/TAG       answers like /answer and keeps the headers; /log/TAG gives them back like /echo
  /proxied          the targets of the requests that came to it as to a proxy, one a line
It is also its own proxy: a request for another host is noted and served from its path.
A second address, closed_url, has its port taken but not listening: connections are refused.
"""
import http.client
import http.server
import os
import socket
import threading
import time
import urllib.parse

ANSWER = (b'{"update":"https://update.invalid/Quorvane.exe","notify":"https://update.invalid/notice",'
          b'"info":{"style":"hold","text":"\\uc54c\\ub9bc","flag":"","url":""}}')


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _send(self, body, status=200, content_type="text/plain; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        # A request for another host came to it as to a proxy: by its absolute address, or (as
        # Wine 8's WinHTTP sends it) by its path, with the other host in Host.
        own = f"127.0.0.1:{self.server.server_address[1]}"
        target = self.path if self.path.startswith("http://") else f"http://{self.headers.get('Host', own)}{self.path}"
        if not target.startswith(f"http://{own}/"):
            with self.server.lock:
                self.server.proxied.append(target)
        path = urllib.parse.urlsplit(self.path).path
        lines = "".join(f"{k}: {v}\n" for k, v in self.headers.items()).encode("utf-8")
        if path == "/echo":
            self._send(lines)
        elif path == "/text":
            self._send("caf\u00e9 \u20ac \U0001F600".encode("utf-8"), content_type="text/plain; charset=iso-8859-1")
        elif path == "/status/404":
            self._send(b"no such page", status=404)
        elif path.startswith("/size/"):
            self._send(b"a" * int(path[6:]))
        elif path.startswith("/short/"):
            size = int(path[7:])
            self.send_response(200)
            self.send_header("Content-Length", str(2 * size))
            self.end_headers()
            self.wfile.write(b"a" * size)
            self.close_connection = True
        elif path.startswith("/chunked/"):
            size = int(path[9:])
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for start in range(0, size, 1000):
                part = b"a" * min(1000, size - start)
                self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part))
            self.wfile.write(b"0\r\n\r\n")
        elif path == "/redirect":
            self._send(b"", status=302, headers=[("Location", "/text")])
        elif path == "/answer":
            self._send(ANSWER, content_type="application/json")
        elif path.startswith("/record/"):
            with self.server.lock:
                self.server.records.setdefault(path[8:], []).append(lines)
            self._send(ANSWER, content_type="application/json")
        elif path == "/proxied":
            with self.server.lock:
                self._send("".join(p + "\n" for p in self.server.proxied).encode())
        elif path.startswith("/log/"):
            with self.server.lock:
                self._send(b"".join(self.server.records.get(path[5:], [])))
        else:
            self._send(b"unknown", status=404)


class _Served:
    """A threaded HTTP server of the tests' on a loopback port (0: a free one), its state on the
    server object under `server.lock` (`server.changed` wakes who waits on it), stopped on exit."""

    def _serve(self, port, handler, **state):
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
        self.server.daemon_threads = True
        self.server.lock = threading.Lock()
        self.server.changed = threading.Condition(self.server.lock)
        for name, value in state.items():
            setattr(self.server, name, value)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def requests(self):
        with self.server.lock:
            return list(self.server.requests)

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(timeout=10)
        return False


class TestService(_Served):
    """Context manager: starts the service, gives its base URL, stops it on exit."""

    def __enter__(self):
        self._serve(0, _Handler, records={}, proxied=[])
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}"
        self.closed = socket.socket()
        self.closed.bind(("127.0.0.1", 0))
        self.closed_url = f"http://127.0.0.1:{self.closed.getsockname()[1]}"
        return self

    def __exit__(self, *exc):
        super().__exit__(*exc)
        self.closed.close()
        return False


# The test build's update address (CMake's QUORVANE_TEST_UPDATE_URL); a second checkout that
# runs its tests beside this one builds and tests with another port.
UPDATE_PORT = int(os.environ.get("QUORVANE_TEST_UPDATE_PORT", "47380"))
UPDATE_PATH = "/api.init.php"


class _UpdateHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _serve(self):
        parts = urllib.parse.urlsplit(self.path)
        with self.server.lock:
            self.server.requests.append({"method": self.command, "path": parts.path, "query": parts.query,
                                         "headers": list(self.headers.items())})
            body = self.server.answer if parts.path == UPDATE_PATH else b"unknown"
            delay = self.server.delay
            self.server.changed.notify_all()
        time.sleep(delay)  # a slow service: the request stays in progress meanwhile
        try:
            self.send_response(200 if parts.path == UPDATE_PATH else 404)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(body)
        except OSError:
            pass  # the program went away meanwhile, as some tests mean it to

    do_GET = do_POST = do_HEAD = _serve


class UpdateService(_Served):
    """The update service of the test build, on its fixed loopback port: records every request
    (method, path, query, headers in their order) and answers with `answer`."""

    def __enter__(self):
        self._serve(UPDATE_PORT, _UpdateHandler, requests=[], answer=b"{}", delay=0.0)
        return self

    def reset(self, answer=b"{}", delay=0.0):
        with self.server.lock:
            self.server.requests = []
            self.server.answer = answer
            self.server.delay = delay

    def wait_requests(self, count, timeout):
        """The requests once there are `count` of them, or whatever came by the deadline."""
        with self.server.lock:
            self.server.changed.wait_for(lambda: len(self.server.requests) >= count, timeout)
            return list(self.server.requests)


class _ProxyHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # A proxy's own headers, which it takes off before passing the request on.
    HOP_BY_HOP = {"proxy-connection", "proxy-authorization", "proxy-authenticate"}

    def log_message(self, *args):
        pass

    def _relay(self):
        # By absolute address, or (as Wine 8's WinHTTP sends it) by path with the host in Host.
        parts = urllib.parse.urlsplit(self.path)
        host = parts.netloc or self.headers.get("Host", "")
        path = urllib.parse.urlunsplit(("", "", parts.path, parts.query, "")) or "/"
        with self.server.lock:
            self.server.requests.append({"method": self.command, "target": f"http://{host}{path}",
                                         "headers": list(self.headers.items())})
        name, _, port = host.partition(":")
        if name != "127.0.0.1":  # nothing a test starts may reach another host
            self.send_error(403)
            return
        head = [f"{self.command} {path} HTTP/1.1"]
        head += [f"{k}: {v}" for k, v in self.headers.items() if k.lower() not in self.HOP_BY_HOP]
        try:
            with socket.create_connection(("127.0.0.1", int(port or 80)), timeout=30) as upstream:
                upstream.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
                response = http.client.HTTPResponse(upstream, method=self.command)
                response.begin()
                body = response.read()
            self.send_response(response.status)
            for k, v in response.getheaders():
                if k.lower() not in ("content-length", "transfer-encoding", "connection"):
                    self.send_header(k, v)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        except OSError:
            self.send_error(502)

    do_GET = do_HEAD = _relay


class LoopbackProxy(_Served):
    """A forward proxy on a free loopback port: notes every request (method, target, headers as
    they came) and relays it, without its proxy headers, to the loopback address it names."""

    def __enter__(self):
        self._serve(0, _ProxyHandler, requests=[])
        self.address = f"127.0.0.1:{self.server.server_address[1]}"
        return self

#!/usr/bin/env python3
# A server taking HTTP Digest only (MD5, qop=auth), passing what it accepts on to a CardDAV
# server with Basic: digest_proxy.py PORT_FILE UPSTREAM_URL USER PASSWORD. Writes its port.
import base64, hashlib, http.client, http.server, os, re, secrets, sys, urllib.parse

PORT_FILE, UPSTREAM, USER, PASSWORD = sys.argv[1:5]
NONCE, UP = secrets.token_hex(16), urllib.parse.urlsplit(UPSTREAM)
md5 = lambda text: hashlib.md5(text.encode()).hexdigest()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def accepted(self):
        f = dict(re.findall(r'(\w+)="?([^",]*)"?', self.headers.get("Authorization", "")))
        if not self.headers.get("Authorization", "").startswith("Digest ") or \
                f.get("username") != USER or f.get("nonce") != NONCE or f.get("uri") != self.path:
            return False
        ha1, ha2 = md5(f"{USER}:dav:{PASSWORD}"), md5(f"{self.command}:{self.path}")
        return f.get("response") == md5(f"{ha1}:{NONCE}:{f.get('nc')}:{f.get('cnonce')}:auth:{ha2}")

    def __getattr__(self, name):
        if not name.startswith("do_"):
            raise AttributeError(name)
        return self.forward

    def forward(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        status, headers, data = 401, [("WWW-Authenticate",
                                       f'Digest realm="dav", nonce="{NONCE}", qop="auth"')], b""
        if self.accepted():
            sent = {k: v for k, v in self.headers.items() if k.lower() not in ("authorization", "host")}
            sent["Authorization"] = "Basic " + base64.b64encode(f"{USER}:{PASSWORD}".encode()).decode()
            upstream = http.client.HTTPConnection(UP.hostname, UP.port, timeout=30)
            upstream.request(self.command, self.path, body, sent)
            answer = upstream.getresponse()
            status, data = answer.status, answer.read()
            headers = [h for h in answer.getheaders()
                       if h[0].lower() not in ("content-length", "connection", "transfer-encoding")]
        self.send_response(status)
        for name, value in headers + [("Content-Length", str(len(data)))]:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(PORT_FILE + ".part", "w") as out:
    out.write(str(server.server_address[1]))
os.replace(PORT_FILE + ".part", PORT_FILE)
server.serve_forever()

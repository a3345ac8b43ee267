#!/usr/bin/env python3
"""A server that asks for HTTP Digest (RFC 7616, MD5, qop=auth) and passes each request it
accepts on to a CardDAV server with Basic credentials, answer and all.

    digest_proxy.py PORT_FILE UPSTREAM_URL USER PASSWORD

Listens on a free loopback port and writes the port to PORT_FILE once it listens. A request
with Basic credentials, or none, or a wrong digest, gets 401 with a Digest challenge only."""

import base64
import hashlib
import http.client
import http.server
import os
import re
import secrets
import sys
import urllib.parse

PORT_FILE, UPSTREAM, USER, PASSWORD = sys.argv[1:5]
REALM = "carddav"
NONCE = secrets.token_hex(16)
UP = urllib.parse.urlsplit(UPSTREAM)


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def accepted(self):
        header = self.headers.get("Authorization", "")
        if not header.startswith("Digest "):
            return False
        fields = dict(re.findall(r'(\w+)="?([^",]*)"?', header[7:]))
        if fields.get("username") != USER or fields.get("nonce") != NONCE:
            return False
        ha1 = md5(f"{USER}:{REALM}:{PASSWORD}")
        ha2 = md5(f"{self.command}:{fields.get('uri', '')}")
        expected = md5(f"{ha1}:{NONCE}:{fields.get('nc')}:{fields.get('cnonce')}:"
                       f"{fields.get('qop')}:{ha2}")
        return fields.get("response") == expected and fields.get("uri") == self.path

    def handle_any(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0) or 0))
        if not self.accepted():
            self.send_response(401)
            self.send_header("WWW-Authenticate",
                             f'Digest realm="{REALM}", nonce="{NONCE}", qop="auth", '
                             'algorithm=MD5')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        headers = {k: v for k, v in self.headers.items()
                   if k.lower() not in ("authorization", "host", "connection")}
        headers["Authorization"] = "Basic " + base64.b64encode(
            f"{USER}:{PASSWORD}".encode()).decode()
        upstream = http.client.HTTPConnection(UP.hostname, UP.port, timeout=30)
        upstream.request(self.command, self.path, body, headers)
        answer = upstream.getresponse()
        data = answer.read()
        self.send_response(answer.status)
        for name, value in answer.getheaders():
            if name.lower() not in ("content-length", "connection", "transfer-encoding"):
                self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def __getattr__(self, name):
        if name.startswith("do_"):
            return self.handle_any
        raise AttributeError(name)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(PORT_FILE + ".part", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(PORT_FILE + ".part", PORT_FILE)
server.serve_forever()

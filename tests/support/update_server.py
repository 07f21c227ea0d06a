#!/usr/bin/env python3
"""A local update host for tests: 127.0.0.1 on a free port (printed first), ends after 120 s.

/<version>/update/Update.ini  a descriptor offering <version> ("none" offers no Ver key)
/huge/update/Update.ini       a 1 MiB body
/silent/update/Update.ini     accepts the request and never answers
/damaged/update/Update.ini    bytes that are no initialisation file
/blank/update/Update.ini      a descriptor whose Ver is empty
/bom-<v>, /utf16le-<v>, /utf16be-<v>
                              the descriptor of <v> after a UTF-8 byte order mark, or in
                              UTF-16 with its byte order mark
anything else                 404
"""
import http.server
import sys
import threading
import time


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        parts = self.path.split("/")
        if len(parts) != 4 or parts[2:] != ["update", "Update.ini"]:
            self.send_error(404)
            return
        name = parts[1]
        if name == "silent":
            time.sleep(60)
            return
        if name == "huge":
            body = b"[Version]\r\nVer=9.9\r\n" + b";" * (1024 * 1024)
        elif name == "damaged":
            body = b"\x00\xff\xfe[Vers\x00ion\r\nVer\x01=\xff\xff"
        elif name == "none":
            body = b"[Other]\r\nVer=9.9\r\n"
        elif name == "blank":
            body = b"[Version]\r\nVer=\r\n"
        elif name.startswith("bom-"):
            body = b"\xef\xbb\xbf[Version]\r\nVer=" + name[4:].encode() + b"\r\n"
        elif name.startswith("utf16le-"):
            body = ("\ufeff[Version]\r\nVer=" + name[8:] + "\r\n").encode("utf-16-le")
        elif name.startswith("utf16be-"):
            body = ("\ufeff[Version]\r\nVer=" + name[8:] + "\r\n").encode("utf-16-be")
        else:
            body = b"; release notes\r\n[Version]\r\nVer=" + name.encode() + b"\r\n"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
threading.Timer(120, server.shutdown).start()
server.serve_forever()

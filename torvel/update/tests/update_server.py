#!/usr/bin/env python3
"""HTTP server on 127.0.0.1 for the update tests.

usage: update_server.py MODE FOLDER
MODE: serve (files of FOLDER), 404, 500, stall (accepts and never answers) or
trickle (answers 200 and sends one byte every 0.2 s, never finishing).
Prints the port it listens on, then serves until killed.
"""
import http.server
import socketserver
import sys
import threading
import time

mode, folder = sys.argv[1], sys.argv[2]


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=folder, **kwargs)

    def do_GET(self):
        if mode == "serve":
            return super().do_GET()
        if mode == "stall":
            time.sleep(3600)
            return
        if mode == "trickle":
            self.send_response(200)
            self.send_header("Content-Length", "1000000")
            self.end_headers()
            while True:
                self.wfile.write(b"x")
                self.wfile.flush()
                time.sleep(0.2)
        self.send_error(int(mode))

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()

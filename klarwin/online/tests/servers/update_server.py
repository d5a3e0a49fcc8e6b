#!/usr/bin/env python3
"""Klarwin's update server for the tests: serves the version, size and program
files on loopback, with faults the tests switch on through /control.

  update_server.py PORTFILE    listens on 127.0.0.1 (a free port), writes the port

/control?key=value&...  resets to the defaults, then applies:
  version=TEXT     the version file's text (default 3.0.5)
  version_big=N    a version file of N digits instead
  appsize=TEXT     the size file's text (default: the program size)
  exe_size=N       bytes of the program file (default 10000; byte i is i % 251)
  exe_file=PATH    serve this file as the program file instead
  nolength=NAME    answer NAME (version, appsize, exe) without Content-Length
  cut=N            send only N bytes of the program file, then drop the connection
  exe_pad=N        with exe_file: zero bytes added up to N bytes in all
  hold=NAME        answer NAME (version, appsize, exe) with its headers (and the
                   program file's first 4096 bytes), then hold the connection
                   open without a word
"""
import http.server
import socketserver
import sys
import time
import urllib.parse

DEFAULTS = {"version": "3.0.5", "version_big": "", "appsize": "", "exe_size": "10000", "nolength": "", "cut": "",
            "exe_file": "", "exe_pad": "", "hold": ""}
HOLD_SECONDS = 120
state = dict(DEFAULTS)


def program_bytes(n):
    return bytes(i % 251 for i in range(n))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, name, body, blocks=False):
        nolength = state["nolength"] == name
        cut = state["cut"] if name == "exe" else ""
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if nolength:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        if cut:
            self.send_header("Connection", "close")
        self.end_headers()
        if state["hold"] == name:
            # The program file: its first block; a small file: nothing.
            self.wfile.write(body[: min(4096, len(body) - 1)] if name == "exe" else b"")
            self.wfile.flush()
            time.sleep(HOLD_SECONDS)
            self.close_connection = True
            return
        if cut:
            self.wfile.write(body[: int(cut)])
            self.wfile.flush()
            time.sleep(0.2)
            self.close_connection = True
            return
        if blocks:
            for i in range(0, len(body), 4096):
                self.wfile.write(body[i : i + 4096])
                self.wfile.flush()
                time.sleep(0.05)
        else:
            self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/control":
            state.clear()
            state.update(DEFAULTS)
            for key, value in urllib.parse.parse_qsl(url.query, keep_blank_values=True):
                state[key] = value
            body = b"ok"
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        if state["exe_file"]:
            with open(state["exe_file"], "rb") as f:
                program = f.read()
            if state["exe_pad"]:
                program += bytes(max(0, int(state["exe_pad"]) - len(program)))
        else:
            program = program_bytes(int(state["exe_size"]))
        size = len(program)
        if url.path == "/klarwin-latest-version/klarwin_version.txt":
            text = "9" * int(state["version_big"]) if state["version_big"] else state["version"]
            self.send_body("version", text.encode("latin-1"))
        elif url.path == "/klarwin-latest-version/klarwin_appsize.txt":
            self.send_body("appsize", (state["appsize"] or str(size)).encode("ascii"))
        elif url.path == "/klarwin-latest-version/Klarwin.exe":
            self.send_body("exe", program, blocks=True)
        else:
            self.send_error(404)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    server = Server(("127.0.0.1", 0), Handler)
    with open(sys.argv[1], "w") as f:
        f.write(str(server.server_address[1]))
    server.serve_forever()


if __name__ == "__main__":
    main()

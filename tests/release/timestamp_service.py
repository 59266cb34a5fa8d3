"""A time-stamping service (RFC 3161) on a free local port, for the signing
checks: `openssl ts -reply` answers each query, signed by the given
certificate. Prints the port, then serves until it is killed.

    timestamp_service.py <openssl-config> <certificate> <key>"""
import http.server
import subprocess
import sys

CONFIG, CERT, KEY = sys.argv[1:4]


class Stamp(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", CONFIG, "-queryfile", "/dev/stdin",
             "-signer", CERT, "-inkey", KEY, "-out", "/dev/stdout"],
            input=query, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Stamp)
print(server.server_address[1], flush=True)
server.serve_forever()

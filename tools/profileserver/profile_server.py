#!/usr/bin/env python3
"""Local profile server: the vendor's archive service as the programs use it, on loopback over HTTPS.

  GET  /v3/ColorCalibration/GetFileBySn?sn=ID   the address of ID's archive (in double quotes by default)
  GET  /v3/ColorCalibration/Archives/KEY         the archive itself (with --generated-archive, as many
                                                 bytes as asked, streamed; with --no-content-length,
                                                 ended by closing the connection)
  POST /v3/ColorCalibration/UpdateTheColorFile   multipart upload ("updateFile", "sn", "timestamp",
                                                 "updateToken"; header "ClientID") stored under "sn"

Certificates come from a test certificate authority that the openssl command makes in --tls-dir
(reused when present): "ca.pem" is what a simulated machine is told to trust. Once listening, the
server prints one JSON line: {"port": N, "host": "127.0.0.1:N", "ca": PATH}. It stops after
--lifetime seconds, or when its standard input closes with --watch-stdin.
"""

import argparse
import hashlib
import http.server
import json
import os
import shutil
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

CLIENT_ID = "Wm4qTz8vRk2NcJ7pLx0bQe5HsY1uGd9aKf3iVo6rBt0="
CLIENT_NAME = "KorvelTintwise"
LOOKUP_PATH = "/v3/ColorCalibration/GetFileBySn"
ARCHIVE_PATH = "/v3/ColorCalibration/Archives/"
UPLOAD_PATH = "/v3/ColorCalibration/UpdateTheColorFile"
PHASES = ("lookup", "archive", "upload")


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(directory):
    """A CA, a server certificate it signs and a self-signed one it does not, for localhost and 127.0.0.1.

    Made once in a private folder and moved into place whole, so servers started at once can share them."""
    names = ("ca.pem", "server.pem", "server.key", "untrusted.pem", "untrusted.key")
    if all(os.path.exists(os.path.join(directory, name)) for name in names):
        return
    parent = os.path.dirname(os.path.abspath(directory))
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".tls-", dir=parent)
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"]
    san = "subjectAltName=DNS:localhost,IP:127.0.0.1"
    openssl("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "3650",
            "-subj", "/CN=Korvel Test Profile CA",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            cwd=work)
    with open(os.path.join(work, "server.ext"), "w") as extensions:
        extensions.write(san + "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n"
                         "keyUsage=critical,digitalSignature\n")
    openssl("req", "-new", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost", cwd=work)
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "3650", "-extfile", "server.ext", "-out", "server.pem", cwd=work)
    openssl("req", "-x509", *ec, "-keyout", "untrusted.key", "-out", "untrusted.pem", "-days", "3650",
            "-subj", "/CN=localhost", "-addext", san, cwd=work)
    try:
        os.rename(work, directory)
    except OSError:
        shutil.rmtree(work, ignore_errors=True)  # another server was quicker
        if not os.path.exists(os.path.join(directory, "ca.pem")):
            raise


def archive_key(identity):
    return hashlib.sha256(identity.encode("utf-8")).hexdigest()[:32]


def upload_token(md5, timestamp, identity):
    """SHA-256 of the UTF-8 text with its ASCII letters lower-cased (other bytes as they are)."""
    return hashlib.sha256((md5 + CLIENT_NAME + timestamp + identity).encode("utf-8").lower()).hexdigest()


def split_multipart(content_type, body):
    """The parts of a multipart/form-data body as {name: (filename, bytes)}."""
    parameters = {}
    for item in content_type.split(";")[1:]:
        key, _, value = item.strip().partition("=")
        parameters[key.lower()] = value.strip('"')
    boundary = parameters.get("boundary")
    if not content_type.lower().startswith("multipart/form-data") or not boundary:
        raise ValueError("not multipart/form-data")
    parts = {}
    for chunk in body.split(b"--" + boundary.encode("latin-1"))[1:]:
        if chunk.startswith(b"--"):
            break
        head, separator, data = chunk.partition(b"\r\n\r\n")
        if not separator or not data.endswith(b"\r\n"):
            raise ValueError("malformed part")
        disposition = {}
        for line in head.decode("utf-8").split("\r\n"):
            name, _, value = line.partition(":")
            if name.strip().lower() == "content-disposition":
                for item in value.split(";")[1:]:
                    key, _, text = item.strip().partition("=")
                    disposition[key.lower()] = text.strip('"')
        if "name" not in disposition:
            raise ValueError("part without a name")
        parts[disposition["name"]] = (disposition.get("filename"), data[:-2])
    return parts


class Store:
    def __init__(self):
        self.lock = threading.Lock()
        self.archives = {}  # key -> (identity, bytes)

    def put(self, identity, data):
        with self.lock:
            self.archives[archive_key(identity)] = (identity, data)

    def by_identity(self, identity):
        with self.lock:
            entry = self.archives.get(archive_key(identity))
        return None if entry is None else entry[1]

    def by_key(self, key):
        with self.lock:
            entry = self.archives.get(key)
        return None if entry is None else entry[1]


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "KorvelProfileServer/1"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def record(self, phase, extra=None):
        options = self.server.options
        if not options.requests:
            return
        entry = {"phase": phase, "method": self.command, "path": self.path,
                 "headers": [[name, value] for name, value in self.headers.items()]}
        if extra:
            entry.update(extra)
        with self.server.record_lock, open(options.requests, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry) + "\n")

    def wait(self, phase):
        options = self.server.options
        if phase in options.stall:
            time.sleep(options.lifetime)
        release = options.hold.get(phase)
        while release is not None and not os.path.exists(release):
            time.sleep(0.05)
        time.sleep(options.delay.get(phase, 0))

    def reply(self, status, body=b"", content_type="application/octet-stream"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def reply_json(self, status, ok, message):
        body = json.dumps({"Status": ok, "Message": message}).encode("utf-8")
        self.reply(status, body, "application/json")

    def reply_phase(self, phase, status, body, content_type="application/octet-stream"):
        """The normal answer, unless --reply overrides this phase's status or body."""
        override = self.server.options.reply.get(phase)
        if override is not None:
            status, kind = override
            if kind == "empty":
                body, content_type = b"", "text/plain"
            elif kind == "json":
                body = json.dumps({"Status": False, "Message": "Request refused by test switch"}).encode("utf-8")
                content_type = "application/json"
        self.reply(status, body, content_type)

    def client_known(self):
        return self.headers.get("ClientId") == CLIENT_ID

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == LOOKUP_PATH:
            self.lookup(url)
        elif url.path.startswith(ARCHIVE_PATH):
            self.record("archive")
            self.wait("archive")
            key = url.path[len(ARCHIVE_PATH):]
            data = self.server.store.by_key(key)
            generated = self.server.generated.get(key)
            if generated is not None and self.server.options.reply.get("archive") is None:
                self.stream_generated(generated)
            elif data is None:
                self.reply_json(404, False, "No such archive")
            else:
                self.reply_phase("archive", 200, data, "application/zip")
        else:
            self.record("other")
            self.reply_json(404, False, "Not found")

    def stream_generated(self, size):
        """`size` bytes in blocks of 1 MiB until the client stops reading; records how many went out."""
        self.send_response(200)
        self.send_header("Content-Type", "application/zip")
        if self.server.options.no_content_length:
            self.close_connection = True  # HTTP/1.0: the body ends with the connection
        else:
            self.send_header("Content-Length", str(size))
        self.end_headers()
        block = hashlib.shake_256(b"generated archive").digest(1 << 20)
        sent = 0
        try:
            while sent < size:
                part = block[:min(len(block), size - sent)]
                self.wfile.write(part)
                sent += len(part)
            self.wfile.flush()
        except (OSError, ssl.SSLError):
            pass
        self.record("archive-sent", {"bytes": sent, "complete": sent == size})

    def lookup(self, url):
        self.record("lookup")
        self.wait("lookup")
        if not self.client_known():
            self.reply_json(401, False, "Unknown client")
            return
        identity = urllib.parse.parse_qs(url.query).get("sn", [""])[0]
        options = self.server.options
        known = (self.server.store.by_identity(identity) is not None or
                 archive_key(identity) in self.server.generated)
        if not known and options.address is None:
            self.reply_json(404, False, "No profile archive for this serial number")
            return
        host = self.headers.get("Host") or "127.0.0.1:%d" % self.server.server_port
        address = "https://%s%s%s" % (host, ARCHIVE_PATH, archive_key(identity))
        if options.address is not None:
            address = options.address.replace("{host}", host).replace("{key}", archive_key(identity))
        text = address if options.address_form == "plain" else '"%s"' % address
        self.reply_phase("lookup", 200, text.encode("utf-8"), "application/json")

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length)
        if url.path != UPLOAD_PATH:
            self.record("other")
            self.reply_json(404, False, "Not found")
            return
        try:
            parts = split_multipart(self.headers.get("Content-Type", ""), body)
        except (ValueError, UnicodeDecodeError) as error:
            self.record("upload", {"error": str(error)})
            self.reply_json(400, False, "Malformed upload: %s" % error)
            return
        sn = parts.get("sn", (None, None))[1]
        self.record("upload", {"parts": list(parts), "filename": parts.get("updateFile", (None,))[0],
                               "sn": None if sn is None else sn.decode("utf-8", "replace")})
        self.wait("upload")
        if self.headers.get("ClientID") != CLIENT_ID:
            self.reply_json(401, False, "Unknown client")
            return
        missing = [name for name in ("updateFile", "sn", "timestamp", "updateToken") if name not in parts]
        if missing:
            self.reply_json(400, False, "Missing parts: " + ", ".join(missing))
            return
        archive = parts["updateFile"][1]
        identity, timestamp, token = (parts[name][1].decode("utf-8") for name in ("sn", "timestamp", "updateToken"))
        if token != upload_token(hashlib.md5(archive).hexdigest(), timestamp, identity):
            self.reply_json(403, False, "Invalid update token")
            return
        if self.server.options.reply.get("upload") is None:
            self.server.store.put(identity, archive)
        self.reply_phase("upload", 200, json.dumps({"Status": True, "Message": "Stored"}).encode("utf-8"),
                         "application/json")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, options, context):
        super().__init__(("127.0.0.1", options.port), Handler)
        self.options = options
        self.store = Store()
        self.record_lock = threading.Lock()
        self.context = context
        self.generated = {}  # key -> size of a generated archive

    def get_request(self):
        connection, address = super().get_request()
        return self.context.wrap_socket(connection, server_side=True, do_handshake_on_connect=False), address

    def finish_request(self, request, client_address):
        try:
            request.do_handshake()
        except (ssl.SSLError, OSError):
            return  # the client refused the certificate
        super().finish_request(request, client_address)


def phase_value(text, convert):
    phase, separator, value = text.partition("=")
    if phase not in PHASES or not separator:
        raise argparse.ArgumentTypeError("expected PHASE=VALUE with PHASE one of " + ", ".join(PHASES))
    return phase, convert(value)


def reply_value(text):
    status, _, kind = text.partition(",")
    kind = kind or "normal"
    if kind not in ("normal", "empty", "json"):
        raise argparse.ArgumentTypeError("body must be normal, empty or json")
    return int(status), kind


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tls-dir", required=True, help="folder of the test CA and server certificates")
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (default: any free one)")
    parser.add_argument("--archive", action="append", default=[], metavar="SN=FILE",
                        help="serve FILE as the archive of identity SN")
    parser.add_argument("--generated-archive", action="append", default=[], metavar="SN=BYTES",
                        help="serve BYTES generated bytes as the archive of identity SN, without holding them; "
                             "once the reply ends, one request line with the phase \"archive-sent\" tells "
                             "how many bytes went out")
    parser.add_argument("--no-content-length", action="store_true",
                        help="send generated archives without Content-Length (the end of the connection ends them)")
    parser.add_argument("--untrusted", action="store_true",
                        help="present a self-signed certificate instead of the one the test CA signed")
    parser.add_argument("--address-form", choices=("quoted", "plain"), default="quoted",
                        help="archive address in double quotes (default) or plain")
    parser.add_argument("--address", help="archive address to hand out for any identity; "
                                          "{host} and {key} are replaced")
    parser.add_argument("--reply", action="append", default=[], metavar="PHASE=STATUS[,normal|empty|json]",
                        type=lambda text: phase_value(text, reply_value),
                        help="answer PHASE (lookup, archive, upload) with this status and body")
    parser.add_argument("--delay", action="append", default=[], metavar="PHASE=SECONDS",
                        type=lambda text: phase_value(text, float), help="wait before answering PHASE")
    parser.add_argument("--stall", action="append", default=[], choices=PHASES,
                        help="never answer PHASE (the connection stays open)")
    parser.add_argument("--hold", action="append", default=[], metavar="PHASE=FILE",
                        type=lambda text: phase_value(text, str),
                        help="answer PHASE only once FILE exists (its creation releases the answers)")
    parser.add_argument("--requests", help="append one JSON line per request to this file")
    parser.add_argument("--lifetime", type=float, default=3600, help="seconds until the server stops (3600)")
    parser.add_argument("--watch-stdin", action="store_true", help="stop when standard input closes")
    options = parser.parse_args()
    options.reply = dict(options.reply)
    options.delay = dict(options.delay)
    options.hold = dict(options.hold)

    make_certificates(options.tls_dir)
    certificate = "untrusted" if options.untrusted else "server"
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(os.path.join(options.tls_dir, certificate + ".pem"),
                            os.path.join(options.tls_dir, certificate + ".key"))

    server = Server(options, context)
    for item in options.archive:
        identity, separator, path = item.partition("=")
        if not separator:
            parser.error("--archive needs SN=FILE")
        with open(path, "rb") as archive:
            server.store.put(identity, archive.read())

    for item in options.generated_archive:
        identity, separator, size = item.partition("=")
        if not separator or not size.isdigit():
            parser.error("--generated-archive needs SN=BYTES")
        server.generated[archive_key(identity)] = int(size)

    def stop_after(seconds):
        time.sleep(seconds)
        os._exit(0)

    def stop_on_stdin_eof():
        sys.stdin.buffer.read()
        os._exit(0)

    threading.Thread(target=stop_after, args=(options.lifetime,), daemon=True).start()
    if options.watch_stdin:
        threading.Thread(target=stop_on_stdin_eof, daemon=True).start()

    port = server.server_address[1]
    print(json.dumps({"port": port, "host": "127.0.0.1:%d" % port,
                      "ca": os.path.abspath(os.path.join(options.tls_dir, "ca.pem"))}), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()

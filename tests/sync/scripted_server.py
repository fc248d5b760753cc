#!/usr/bin/env python3
"""An HTTP server on 127.0.0.1 that answers every request the same way, for answers a real CalDAV
server does not give: scripted_server.py PORT MODE, MODE one of
  status:N   the status N with a short body
  malformed  207 Multi-Status whose body is not well-formed XML
  entity     207 Multi-Status declaring an entity
  huge       207 Multi-Status of 50 MB with no Content-Length
  cut        a Content-Length of 100000, then 1000 bytes and the connection closed
  redirect   307 to the same path on 127.0.0.2 (another host)
  elsewhere  207 Multi-Status naming a user principal on 127.0.0.2
  stall      the status line, then nothing for a minute
  paged      a sync-collection answer in two parts (507 on the collection in the first), and
             calendar-multiget answers for whatever is asked
  slow       201 Created after 0.3 s, the ETag telling how many requests were in at most
"""
import http.server
import re
import sys
import threading
import time

port, mode = int(sys.argv[1]), sys.argv[2]
lock = threading.Lock()
inside = 0
most = 0


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def multistatus(self, inner):
        body = ('<?xml version="1.0"?><d:multistatus xmlns:d="DAV:" '
                'xmlns:c="urn:ietf:params:xml:ns:caldav">%s</d:multistatus>' % inner).encode()
        self.send_response(207)
        self.send_header("Content-Type", "application/xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        request = self.rfile.read(length).decode() if length else ""
        if mode == "paged":
            member = ('<d:response><d:href>/cal/%s</d:href><d:propstat><d:prop><d:getetag>"%s"</d:getetag>'
                      '%s</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>')
            if "calendar-multiget" in request:
                names = re.findall(r"<d:href>/cal/([^<]+)</d:href>", request)
                self.multistatus("".join(member % (name, name, "<c:calendar-data>BEGIN:VCALENDAR\r\n"
                                                   "END:VCALENDAR\r\n</c:calendar-data>") for name in names))
            elif "<d:sync-token>page2</d:sync-token>" in request:
                self.multistatus(member % ("b.ics", "b.ics", "") + "<d:sync-token>done</d:sync-token>")
            else:
                self.multistatus(member % ("a.ics", "a.ics", "") +
                                 '<d:response><d:href>/cal/</d:href><d:status>HTTP/1.1 507 Insufficient Storage'
                                 '</d:status></d:response><d:sync-token>page2</d:sync-token>')
        elif mode.startswith("status:"):
            body = b"scripted failure"
            self.send_response(int(mode.split(":")[1]))
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif mode in ("malformed", "entity"):
            body = (b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:"><d:response><d:href>/a'
                    if mode == "malformed" else
                    b'<?xml version="1.0"?><!DOCTYPE d [<!ENTITY x "y">]>'
                    b'<d:multistatus xmlns:d="DAV:"><d:response><d:href>&x;</d:href></d:response></d:multistatus>')
            self.send_response(207)
            self.send_header("Content-Type", "application/xml")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif mode == "huge":
            self.send_response(207)
            self.send_header("Content-Type", "application/xml")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:"><d:response><d:href>/')
            chunk = b"x" * 65536
            try:
                for _ in range(50 * 1024 * 1024 // len(chunk)):
                    self.wfile.write(chunk)
            except (BrokenPipeError, ConnectionResetError):
                pass
            self.close_connection = True
        elif mode == "cut":
            self.send_response(207)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"<" * 1000)
            self.wfile.flush()
            self.close_connection = True
        elif mode == "stall":
            self.send_response(207)
            self.send_header("Content-Length", "100")
            self.end_headers()
            self.wfile.flush()
            time.sleep(60)
        elif mode == "slow":
            global inside, most
            with lock:
                inside += 1
                most = max(most, inside)
            time.sleep(0.3)
            with lock:
                inside -= 1
                seen = most
            self.send_response(201)
            self.send_header("ETag", '"%d"' % seen)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif mode == "elsewhere":
            body = ('<?xml version="1.0"?><d:multistatus xmlns:d="DAV:"><d:response><d:href>/</d:href>'
                    '<d:propstat><d:prop><d:current-user-principal><d:href>http://127.0.0.2:%d/alice/</d:href>'
                    '</d:current-user-principal></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>'
                    '</d:response></d:multistatus>' % port).encode()
            self.send_response(207)
            self.send_header("Content-Type", "application/xml")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif mode == "redirect":
            self.send_response(307)
            self.send_header("Location", "http://127.0.0.2:%d%s" % (port, self.path))
            self.send_header("Content-Length", "0")
            self.end_headers()

    do_GET = do_PUT = do_DELETE = do_REPORT = do_PROPFIND = answer

    def log_message(self, *args):
        pass


http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()

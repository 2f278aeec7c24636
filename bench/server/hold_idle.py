#!/usr/bin/env python3
"""Opens N idle keep-alive connections to 127.0.0.1:PORT (each makes one
/health call first, as a desktop host does on connecting) and holds them
until killed. Prints a line when they are all open."""
import signal, socket, sys, time

port, count = int(sys.argv[1]), int(sys.argv[2])
held = []
for _ in range(count):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"GET /health HTTP/1.1\r\nHost: x\r\n\r\n")
    s.recv(4096)
    held.append(s)
print(f"{len(held)} conexões ociosas abertas", flush=True)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
while True:
    time.sleep(3600)

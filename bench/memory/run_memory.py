#!/usr/bin/env python3
"""Memory under large deltas: N clients at once each send a valid delta just
under the body limit (8 MiB, about 133,000 band inserts) to one cot-server.
Reports the server's resident memory (start, peak, 10 s after), what each
client got back, and how many /health probes (every 100 ms, 1 s timeout)
answered in time meanwhile.

    bench/memory/run_memory.py [--build build] [--clients 16] [--database URL]
"""
import argparse, http.client, json, os, subprocess, sys, tempfile, threading, time

def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1

def delta_body(code, limit):
    fields = [{"name": "CDPRECOPROP", "type": "string", "size": 10}, {"name": "QTINISISTEMAS", "type": "string", "size": 5},
              {"name": "QTFINSISTEMAS", "type": "string", "size": 5}, {"name": "VRPERCDESCSIST", "type": "float"}]
    head = '{"jsonrpc":"2.0","id":1,"method":"setDescSis","params":[{"fields":' + json.dumps(fields) + ',"changes":['
    one = '{"op":"insert","new":["%s","00001","00005",10.5]}' % code
    n = (limit - len(head) - 8) // (len(one) + 1)
    return (head + ",".join([one] * n) + "]}]}").encode(), n

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--clients", type=int, default=16)
    ap.add_argument("--database", default="")
    ap.add_argument("--limit", type=int, default=8 * 1024 * 1024)
    a = ap.parse_args()
    tmp = tempfile.mkdtemp(prefix="cot-mem-")
    db = a.database or os.path.join(tmp, "cot.db")
    log = open(os.path.join(tmp, "server.log"), "wb")
    p = subprocess.Popen([os.path.join(a.build, "bin", "cot-server"), "--listen", "127.0.0.1:0", "--database", db, "--demo"],
                         stdout=subprocess.PIPE, stderr=log)
    port = int(p.stdout.readline().decode().strip().rsplit(":", 1)[1])
    body, changes = delta_body("0000000001", a.limit - 1024)
    time.sleep(0.5)
    start = rss_kib(p.pid)
    peak = [start]
    health = {"ok": 0, "late": 0}
    done = threading.Event()

    def probe():
        while not done.is_set():
            t = time.time()
            try:
                c = http.client.HTTPConnection("127.0.0.1", port, timeout=1)
                c.request("GET", "/health"); r = c.getresponse(); r.read()
                health["ok" if r.status == 200 and time.time() - t <= 1 else "late"] += 1
            except Exception:
                health["late"] += 1
            peak[0] = max(peak[0], rss_kib(p.pid))
            time.sleep(0.1)

    answers = {}
    lock = threading.Lock()
    def client(i):
        try:
            c = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
            c.request("POST", "/rpc/Cot00300.rdmTbPreProCom", body, {"Content-Type": "application/json"})
            r = c.getresponse(); data = json.loads(r.read() or b"{}")
            key = "%d %s" % (r.status, (data.get("error") or {}).get("message", "ok")[:90])
        except Exception as e:
            key = "falha " + repr(e)[:80]
        with lock:
            answers[key] = answers.get(key, 0) + 1

    prober = threading.Thread(target=probe); prober.start()
    t0 = time.time()
    threads = [threading.Thread(target=client, args=(i,)) for i in range(a.clients)]
    for t in threads: t.start()
    for t in threads: t.join()
    elapsed = time.time() - t0
    time.sleep(10)
    after = rss_kib(p.pid)
    done.set(); prober.join()
    p.terminate(); p.wait()
    print(f"clientes={a.clients} corpo={len(body)} bytes ({changes} mudanças) tempo={elapsed:.1f}s")
    print(f"RSS início={start/1024:.0f} MiB pico={peak[0]/1024:.0f} MiB 10s depois={after/1024:.0f} MiB")
    print(f"/health em até 1 s: {health['ok']}/{health['ok']+health['late']}")
    for k, v in sorted(answers.items()): print(f"  {v:3d} x {k}")

if __name__ == "__main__":
    main()

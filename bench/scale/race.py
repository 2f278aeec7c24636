#!/usr/bin/env python3
"""Racing writers through HAProxy (so across the servers behind it):
  1. overlapping bands: in each round every writer inserts a band into the same
     region of one price table; at most one may get in, and the stored bands
     must overlap nowhere;
  2. lost updates: every writer adds 0.25 to one band's percentage by an update
     whose old value is the one it read, retrying on a conflict; the final value
     must be the start plus 0.25 for every accepted update.
Prints one line per check with 0 when nothing went wrong.
    race.py PORT [WRITERS] [ROUNDS]
"""
import http.client, json, sys, threading

port = int(sys.argv[1]); writers = int(sys.argv[2]) if len(sys.argv) > 2 else 8; rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 20
BAND = [{"name": "CDPRECOPROP", "type": "string", "size": 10}, {"name": "QTINIUSUARIOS", "type": "string", "size": 5},
        {"name": "QTFINUSUARIOS", "type": "string", "size": 5}, {"name": "VRPERCDESCUSU", "type": "float"}]
TABLE = [{"name": "CDPRECOPROP", "type": "string", "size": 10}, {"name": "NMPRECOPROP", "type": "string", "size": 50},
         {"name": "DTINIPRECOPROP", "type": "datetime"}, {"name": "DTFINPRECOPROP", "type": "datetime"},
         {"name": "VRPRECOUNITSIST", "type": "float"}, {"name": "VRPERCMANUTANO", "type": "float"}, {"name": "NRMESPRAZOLOCA", "type": "float"},
         {"name": "VRPEDESFILIMATR", "type": "float"}, {"name": "VRPEDESFILIFILI", "type": "float"}]

def call(conn, method, *params):
    conn.request("POST", "/rpc/Cot00300.rdmTbPreProCom", json.dumps({"jsonrpc": "2.0", "id": 1, "method": method, "params": list(params)}),
                 {"Content-Type": "application/json"})
    return json.loads(conn.getresponse().read())

def connect(): return http.client.HTTPConnection("127.0.0.1", port, timeout=30)

c = connect()
code = call(c, "PrxPrecoProp")["result"]["data"]
r = call(c, "SetIncTbPre", {"fields": TABLE, "changes": [{"op": "insert", "new": [code, "Corrida", "2026-01-01T00:00:00", "2026-12-31T00:00:00",
                                                                                  1000, 10, 12, 5, 5]}]})
assert "error" not in r, r
r = call(c, "setDescUsu", {"fields": BAND, "changes": [{"op": "insert", "new": [code, "00001", "00001", 0.0]}]})
assert "error" not in r, r

# 1. overlapping bands
stats = {"accepted": 0, "refused": 0, "other": 0}
lock = threading.Lock()
barrier = threading.Barrier(writers)
def racer(w):
    conn = connect()
    for rnd in range(rounds):
        lo = 5 * rnd + 2
        first, last = lo + w % 3, lo + 2 + (w // 3) % 3
        barrier.wait()
        a = call(conn, "setDescUsu", {"fields": BAND, "changes": [{"op": "insert", "new": [code, "%05d" % first, "%05d" % last, float(w)]}]})
        with lock:
            stats["accepted" if "error" not in a else "refused" if a["error"]["code"] == -32000 else "other"] += 1
ts = [threading.Thread(target=racer, args=(w,)) for w in range(writers)]
for t in ts: t.start()
for t in ts: t.join()
rows = call(c, "getDescUsu", code)["result"]["data"]["rows"]
bands = sorted((int(r[1]), int(r[2])) for r in rows)
overlaps = sum(1 for a, b in zip(bands, bands[1:]) if b[0] <= a[1])
print(f"faixas: {stats['accepted']} aceitas, {stats['refused']} recusadas, {stats['other']} outros erros; sobreposições: {overlaps}")

# 2. lost updates on band 00001-00001
accepted = [0]
def updater(w):
    conn = connect()
    done = 0
    while done < rounds:
        cur = [r for r in call(conn, "getDescUsu", code)["result"]["data"]["rows"] if r[1] == "00001"][0]
        a = call(conn, "setDescUsu", {"fields": BAND, "changes": [{"op": "update", "old": cur, "new": cur[:3] + [cur[3] + 0.25]}]})
        if "error" not in a:
            done += 1
            with lock: accepted[0] += 1
        elif a["error"]["code"] != -32001:
            with lock: stats["other"] += 1
            break
ts = [threading.Thread(target=updater, args=(w,)) for w in range(writers)]
for t in ts: t.start()
for t in ts: t.join()
final = [r for r in call(c, "getDescUsu", code)["result"]["data"]["rows"] if r[1] == "00001"][0][3]
lost = round((accepted[0] * 0.25 - final) / 0.25)
print(f"atualizações: {accepted[0]} aceitas, valor final {final} (esperado {accepted[0] * 0.25}); perdidas: {lost}; outros erros: {stats['other']}")
sys.exit(1 if overlaps or lost or stats["other"] else 0)

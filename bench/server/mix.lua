-- wrk script: 70% reads (getTbPreco, getDescSis, getVdIntervSis in equal
-- parts) and 30% writes (setDescSis: a band inserted, later deleted again).
-- Read tables 0000000001..0000000008; each wrk thread writes bands [q,q] into
-- its own 16 tables starting at 0000000009 (see bench_server_load --prepare).
-- Answers are matched to requests by their JSON-RPC id.

local path = "/rpc/Cot00300.rdmTbPreProCom"
local headers = { ["Content-Type"] = "application/json" }
local threads = {}
local created = 0

function setup(thread)
   thread:set("tid", created)
   created = created + 1
   table.insert(threads, thread)
end

function init(args)
   reads, writes, errors, firsterror = 0, 0, 0, ""
   nextid = 0
   pending = {}
   slots = {}
   for t = 0, 15 do
      for q = 1, 20 do
         table.insert(slots, { tab = string.format("%010d", 9 + tid * 16 + t), q = q, has = false, busy = false })
      end
   end
   cursor = 0
   math.randomseed(4242 + tid)
end

local fields = '[{"name":"CDPRECOPROP","type":"string","size":10},{"name":"QTINISISTEMAS","type":"string","size":5},' ..
               '{"name":"QTFINSISTEMAS","type":"string","size":5},{"name":"VRPERCDESCSIST","type":"float"}]'

local function call(method, params)
   return '{"jsonrpc":"2.0","id":' .. nextid .. ',"method":"' .. method .. '","params":' .. params .. '}'
end

function request()
   nextid = nextid + 1
   local r = math.random(100)
   local body
   if r <= 70 then
      local t = string.format("%010d", math.random(8))
      if r <= 23 then
         body = call("getTbPreco", "[]")
      elseif r <= 47 then
         body = call("getDescSis", '["' .. t .. '"]')
      else
         body = call("getVdIntervSis", '["I","' .. t .. '","' .. string.format("%05d", math.random(20)) .. '",""]')
      end
      pending[nextid] = "r"
   else
      local s
      for i = 1, #slots do
         cursor = cursor % #slots + 1
         if not slots[cursor].busy then s = slots[cursor] break end
      end
      s.busy = true
      local q = string.format("%05d", s.q)
      local row = '["' .. s.tab .. '","' .. q .. '","' .. q .. '",5]'
      local change = s.has and ('{"op":"delete","old":' .. row .. '}') or ('{"op":"insert","new":' .. row .. '}')
      body = call("setDescSis", '[{"fields":' .. fields .. ',"changes":[' .. change .. ']}]')
      pending[nextid] = s
   end
   return wrk.format("POST", path, headers, body)
end

function response(status, hdrs, body)
   local id = tonumber(string.match(body, '"id":(%d+)'))
   local p = id and pending[id]
   if id then pending[id] = nil end
   local ok = status == 200 and string.find(body, '"result":', 1, true) ~= nil
   if p == "r" then
      reads = reads + 1
   elseif p then
      writes = writes + 1
      p.busy = false
      if ok then p.has = not p.has end
   end
   if not ok then
      errors = errors + 1
      if firsterror == "" then firsterror = string.sub(body, 1, 200) end
   end
end

function done(summary, latency, requests)
   local r, w, e, first = 0, 0, 0, ""
   for _, t in ipairs(threads) do
      r = r + t:get("reads")
      w = w + t:get("writes")
      e = e + t:get("errors")
      if first == "" then first = t:get("firsterror") end
   end
   local secs = summary.duration / 1e6
   io.write(string.format("  requisições/s %.0f: leituras %.0f/s (meta >= 10000), escritas %.0f/s (meta >= 1000)\n", (r + w) / secs, r / secs, w / secs))
   io.write(string.format("  latência p50 %.2f ms, p99 %.2f ms (meta < 20 ms), máxima %.2f ms\n",
      latency:percentile(50) / 1000, latency:percentile(99) / 1000, latency.max / 1000))
   io.write(string.format("  erros: %d (respostas de erro) + %d (conexão) + %d (tempo esgotado)%s\n", e,
      summary.errors.connect + summary.errors.read + summary.errors.write, summary.errors.timeout,
      first ~= "" and ("; primeiro: " .. first) or ""))
end

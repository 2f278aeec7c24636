-- wrk script: getDescSis of one read table (0000000001), nothing else.
wrk.method = "POST"
wrk.path = "/rpc/Cot00300.rdmTbPreProCom"
wrk.headers["Content-Type"] = "application/json"
wrk.body = '{"jsonrpc":"2.0","id":1,"method":"getDescSis","params":["0000000001"]}'

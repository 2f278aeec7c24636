-- wrk script: a call to a method that does not exist. It is parsed, logged and
-- handed to a worker like any other, and answered without touching the
-- database: the floor under every remote method.
wrk.method = "POST"
wrk.path = "/rpc/Cot00300.rdmTbPreProCom"
wrk.headers["Content-Type"] = "application/json"
wrk.body = '{"jsonrpc":"2.0","id":1,"method":"semBanco","params":[]}'

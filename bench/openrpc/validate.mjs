// Checks the server's description with the OpenRPC project's own validator and
// calls the server through a standard JSON-RPC client (jayson): a call, an
// error, a refusal and a notification.
import { validateOpenRPCDocument } from "@open-rpc/schema-utils-js";
import jayson from "jayson";

const base = process.argv[2];
const doc = await (await fetch(base + "/openrpc.json")).json();
const verdict = validateOpenRPCDocument(doc);
if (verdict !== true) {
  console.error("documento OpenRPC inválido:", JSON.stringify(verdict, null, 2));
  process.exit(1);
}
console.log(`OpenRPC: válido (${doc.methods.length} métodos, servidor ${doc.servers[0].url})`);

const url = new URL(doc.servers[0].url);
const client = jayson.client.http({ hostname: url.hostname, port: url.port, path: url.pathname });
const call = (method, params) => new Promise((ok, fail) => client.request(method, params, (e, r) => (e ? fail(e) : ok(r))));
const tables = await call("getTbPreco", []);
console.log("getTbPreco:", tables.result.data.rows.length, "tabelas");
const unknown = await call("naoExiste", []);
console.log("método desconhecido:", unknown.error.code, unknown.error.message);
const refused = await call("getDescSis", ["x"]);
console.log("recusa:", refused.error.code, refused.error.message);
const note = await new Promise((ok, fail) => client.request("getTbPreco", [], null, (e, r) => (e ? fail(e) : ok(r))));
console.log("notificação: resposta", note === undefined ? "nenhuma" : JSON.stringify(note));

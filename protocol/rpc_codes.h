#pragma once
// The error codes of the wire protocol, shared by the server that answers them
// and the connection that reads them. The first nine travel in a JSON-RPC
// error; the last ones are the connection's own, for answers that never
// reached the remote data module (no server, a refused key, an oversized body);
// an answer that is not JSON reads as ParseError.

namespace RpcCode {
constexpr int ParseError = -32700;      // unreadable JSON
constexpr int InvalidRequest = -32600;  // not a request
constexpr int MethodNotFound = -32601;  // unknown method
constexpr int InvalidParams = -32602;   // wrong number or kind of arguments
constexpr int Refused = -32000;         // refused by a business rule
constexpr int Conflict = -32001;        // another user changed or removed the record
constexpr int Storage = -32002;         // storage failure
constexpr int OutcomeUnknown = -32003;  // the connection to the database dropped after a commit was sent
constexpr int NotAllowed = -32004;      // the person's role does not allow the method

// Told by the connection, not by the remote data module.
constexpr int Transport = -32098;     // no answer: not reachable or timed out
constexpr int Unauthorized = -32097;  // HTTP 401: missing or wrong key
constexpr int TooLarge = -32096;      // HTTP 413: body over the server's limit
}  // namespace RpcCode

#pragma once
// JSON-RPC 2.0 batches: a body holding an array of calls is answered with an
// array of answers, one per call that has an id, in the order of the calls.
// Each call goes through the dispatcher exactly as a call sent alone would,
// so each keeps its own checks and its own transaction (a write in a batch
// commits or rolls back by itself). A body that is not an array goes to the
// dispatcher untouched.

#include "rpc_dispatcher.h"

namespace RpcBatch {

// More calls than this in one body are refused whole: a batch is the calls of
// one user action, and a worker runs them one after the other.
constexpr int MaxCalls = 100;

// The answer to a body: a single call's or a batch's. For a batch, `method`
// lists the methods called (for the log), `code` is the first failure's
// code (0 when every call succeeded) and `notification` is set when no call
// has an id (the client then gets no body).
// A batch's idempotency key stands for each of its calls in turn: call i
// goes under a key of its own made from the batch's key and i, so a batch
// sent again is answered call by call as the first time.
RpcDispatcher::Outcome handle(const RpcDispatcher &dispatcher, const QByteArray &body, DbSession &session,
                              const Caller &caller = RpcDispatcher::localCaller(), const QByteArray &idempotencyKey = QByteArray());

}  // namespace RpcBatch

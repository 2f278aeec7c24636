#pragma once
// The tables of the server and their migrations. Keys, foreign keys and CHECK
// constraints hold the invariants in the database as well; the server's rules
// give the messages.

#include "db_session.h"

namespace Schema {

int currentVersion();
// Creates the schema (and, on PostgreSQL, the named schema) or brings it up to
// date, in one transaction; concurrent starts on one database wait for each other.
void migrate(DbSession &session);  // throws DbError

// True when the schema reads back at the current version and, on SQLite, the
// file passes a quick check of its structure. Throws DbError when it cannot read.
bool readable(DbSession &session);

}  // namespace Schema

#pragma once
// Backups of the database while the server runs. SQLite: VACUUM INTO writes a
// consistent copy from one read transaction, without stopping writers (WAL).
// PostgreSQL: pg_dump does the same; the command says how.

#include "db_config.h"

#include <QString>

namespace Backup {

// Writes a copy of the SQLite database to `file` (which must not exist).
// False with a Portuguese reason; for PostgreSQL the reason tells how to use pg_dump.
bool save(const DbConfig &db, const QString &file, QString *error);

// Replaces the SQLite database with the copy in `file`, after checking the copy
// (structure and schema version). The server must be stopped.
bool restore(const DbConfig &db, const QString &file, QString *error);

}  // namespace Backup

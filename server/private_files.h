#pragma once
// Files that hold what opens the shared data (the database, its log, backups,
// the TLS key, the access key) are the server's user's alone: they are made
// 0600 whatever the process's umask, and the server warns about one that
// others may read.

#include <QByteArray>
#include <QString>

namespace PrivateFiles {

// Writes the whole file, created 0600 (an existing one is made 0600 first).
bool write(const QString &path, const QByteArray &bytes, QString *error);
// Creates an empty file 0600 when it does not exist yet (a new SQLite
// database: SQLite gives its -wal and -shm files the database's mode).
bool createEmpty(const QString &path, QString *error);
// Makes an existing file 0600.
void restrict(const QString &path);
// True when a user other than the owner and the owning group may read it.
bool readableByOthers(const QString &path);

}  // namespace PrivateFiles

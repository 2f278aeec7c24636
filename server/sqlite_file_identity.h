#pragma once
// The SQLite file a server opened, as it was when it opened it. A file
// replaced under a running server (renamed over, restored by hand) leaves
// the server's connections on the old, unlinked one: writes there would be
// answered as done and lost: the server must refuse to write.

#include <QString>

#include <sys/types.h>

class SqliteFileIdentity {
public:
    explicit SqliteFileIdentity(const QString &path);  // what the path names now
    // True while the path still names that same file.
    bool intact() const;

private:
    QString m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_known = false;
};

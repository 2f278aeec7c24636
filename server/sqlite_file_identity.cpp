#include "sqlite_file_identity.h"

#include <QFile>

#include <sys/stat.h>

SqliteFileIdentity::SqliteFileIdentity(const QString &path) : m_path(path) {
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
        m_known = true;
    }
}

bool SqliteFileIdentity::intact() const {
    if (!m_known) return true;  // nothing to compare with (the file came later): SQLite decides
    // stat() only: opening and closing the file here would drop this
    // process's POSIX locks on it (SQLite's), and with them another
    // process's guarantee. A file overwritten in place SQLite finds itself.
    struct stat st{};
    return ::stat(QFile::encodeName(m_path).constData(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode;
}

#include "sqlite_file_identity.h"

#include <QFile>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st{};
    static const char kMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    char header[16] = {};
    const bool same = ::fstat(fd, &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode;
    // An empty file is a database SQLite has not written yet.
    const ssize_t n = ::pread(fd, header, sizeof header, 0);
    ::close(fd);
    return same && (n == 0 || (n == ssize_t(sizeof header) && std::memcmp(header, kMagic, sizeof header) == 0));
}

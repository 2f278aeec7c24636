#include "private_files.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFiles {

namespace {

QString reason(const QString &path) {
    return QStringLiteral("Não foi possível gravar o arquivo %1: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

bool write(const QString &path, const QByteArray &bytes, QString *error) {
    const QByteArray name = QFile::encodeName(path);
    // O_CREAT's mode is filtered by the umask, which can only take bits away.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = reason(path);
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    if (!ok && error) *error = reason(path);
    ::close(fd);
    return ok;
}

bool createEmpty(const QString &path, QString *error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return true;
        if (error) *error = reason(path);
        return false;
    }
    ::fchmod(fd, 0600);
    ::close(fd);
    return true;
}

void restrict(const QString &path) { ::chmod(QFile::encodeName(path).constData(), 0600); }

bool readableByOthers(const QString &path) {
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    return (st.st_mode & S_IROTH) != 0;
}

}  // namespace PrivateFiles

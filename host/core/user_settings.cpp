#include "user_settings.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {
QString g_folder;
}  // namespace

void SetSettingsFolder(const QString &folder) { g_folder = folder; }

QString SettingsFilePath() {
    QString folder = g_folder;
    if (folder.isEmpty()) folder = qEnvironmentVariable("COT_CONFIG_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/cot");
    return QDir(folder).filePath(QStringLiteral("cot-host.ini"));
}

std::unique_ptr<QSettings> UserSettings() {
    return std::make_unique<QSettings>(SettingsFilePath(), QSettings::IniFormat);
}

namespace {
QString pinKey(const QString &address) {
    QString key = address.toLower();
    key.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("certificados/") + key;
}
}  // namespace

QString PinnedCertificate(const QString &address) { return UserSettings()->value(pinKey(address)).toString(); }

void PinCertificate(const QString &address, const QString &fingerprint) {
    auto s = UserSettings();
    s->setValue(pinKey(address), fingerprint);
    s->sync();
}

bool ReadTokenFile(const QString &path, QString *token, QString *error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Não foi possível ler o arquivo de chave de acesso %1.").arg(path);
        return false;
    }
    *token = QString::fromUtf8(f.read(4096)).trimmed();
    if (token->isEmpty()) {
        *error = QStringLiteral("O arquivo de chave de acesso %1 está vazio.").arg(path);
        return false;
    }
    return true;
}

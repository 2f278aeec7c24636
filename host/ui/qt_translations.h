#pragma once
// Qt's own texts in Brazilian Portuguese: the standard dialogs (file, print,
// page set-up, input), their buttons and the print preview's tool tips come
// from Qt's catalogue (Debian qt6-translations-l10n), loaded at start.

class QCoreApplication;

// Installs Qt's pt_BR catalogue on the application and makes pt_BR the
// default locale; false when the catalogue is not installed (the texts then
// stay as Qt ships them).
bool LoadQtTranslations(QCoreApplication &app);

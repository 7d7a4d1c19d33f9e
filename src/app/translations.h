#pragma once
// Qt's own texts (standard buttons, file dialogs, the input box) in Chinese,
// as the rest of the program speaks.
class QCoreApplication;

namespace app {

// Installs Qt's Simplified Chinese translations into the application, which
// owns them. false when they are not installed on this machine (Debian's
// qt6-translations-l10n); Qt's English texts then stay.
bool installQtTranslations(QCoreApplication& application);

} // namespace app

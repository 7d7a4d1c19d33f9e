#include "app/application.h"
#include "app/guard.h"
#include "app/translations.h"

namespace app {

QuilletApplication::QuilletApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // Not setApplicationDisplayName: Qt would append it to every window
    // caption, and the main window has a caption of its own.
    setApplicationName(QString::fromUtf8(kApplicationTitle));
    installQtTranslations(*this);
}

bool QuilletApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    runGuarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

} // namespace app

// Quillet: browses Domino and Notes databases and exports views to Excel.
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/qtprompts.h"
#include "platform/registry.h"
#include <QScreen>
#include <QTimer>
#include <memory>

int main(int argc, char** argv)
{
    app::QuilletApplication application(argc, argv);
    app::QtPrompts prompts;
    platform::setPrompts(&prompts);
    platform::setMachineHivePath(QCoreApplication::applicationDirPath() +
                                 QStringLiteral("/hklm.reg"));

    int result = 0;
    {
        auto window = std::make_unique<TfrmMain>();
        window->showMaximized();
        // Without a window manager nobody carries out the maximise request
        // (a bare X server, a kiosk session): fill the screen ourselves then.
        QTimer::singleShot(300, window.get(), [w = window.get()] {
            const QRect screen = w->screen()->availableGeometry();
            if (w->isMaximized() && w->frameGeometry().width() < screen.width())
                w->setGeometry(screen);
        });
        result = application.exec();
    }
    platform::setPrompts(nullptr);
    return result;
}

// Quillet: browses Domino and Notes databases and exports views to Excel.
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/qtprompts.h"
#include "platform/registry.h"
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
        result = application.exec();
    }
    platform::setPrompts(nullptr);
    return result;
}

#include "app/translations.h"
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace app {

bool installQtTranslations(QCoreApplication& application)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // The interface is Chinese whatever the machine's locale says.
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    auto translator = std::make_unique<QTranslator>(&application);
    // "qt" gathers the modules' catalogues; "qtbase" alone covers the widgets.
    if (!translator->load(chinese, QStringLiteral("qt"), QStringLiteral("_"), folder) &&
        !translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return false;
    return QCoreApplication::installTranslator(translator.release());
}

} // namespace app

#include "app/qtprompts.h"
#include "app/guard.h"
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace app {
namespace {

QWidget* dialogParent()
{
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    return QApplication::activeWindow();
}

QString title() { return QString::fromUtf8(kApplicationTitle); }

} // namespace

QString toQtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        if (description.isEmpty() && pattern.isEmpty())
            continue;
        // Qt reads the patterns from the parentheses; several are separated by
        // ';' in the Windows form and by spaces in Qt's.
        QString patterns = pattern;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries.append(patterns.isEmpty() ? description
                                          : description + QStringLiteral(" (") + patterns +
                                                QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

void QtPrompts::message(const QString& text, platform::MessageIcon icon)
{
    QMessageBox box(icon == platform::MessageIcon::Error ? QMessageBox::Critical
                                                         : QMessageBox::NoIcon,
                    title(), text, QMessageBox::Ok, dialogParent());
    box.exec();
}

bool QtPrompts::confirm(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    dialogParent());
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> QtPrompts::input(const QString& caption, const QString& prompt,
                                        const QString& text)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(dialogParent(), caption, prompt, QLineEdit::Normal, text, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

std::optional<QString> QtPrompts::openFile(const QString& filter)
{
    const QString path =
        QFileDialog::getOpenFileName(dialogParent(), QString(), QString(), toQtFileFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtPrompts::saveFile(const QString& filter)
{
    const QString path =
        QFileDialog::getSaveFileName(dialogParent(), QString(), QString(), toQtFileFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace app

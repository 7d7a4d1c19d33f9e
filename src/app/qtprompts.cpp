#include "app/qtprompts.h"
#include "app/guard.h"
#include <algorithm>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

namespace app {
namespace {

QWidget* dialogParent()
{
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    return QApplication::activeWindow();
}

QString title() { return QString::fromUtf8(kApplicationTitle); }

int widestLine(const QFontMetrics& fm, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(u'\n'))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

int screenWidth(const QWidget& w)
{
    const QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().width() : 1024;
}

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

void fitMessageBox(QMessageBox& box)
{
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    // Qt wraps a message at about 500 pixels; the label's own minimum keeps
    // it on one line where the screen has the room.
    const int room = screenWidth(box) - 160;
    label->setMinimumWidth(std::min(widestLine(label->fontMetrics(), label->text()) + 4, room));
}

void fitInputDialog(QInputDialog& dialog)
{
    // The window manager draws the caption in a bold font, beside an icon
    // and three buttons.
    QFont captionFont = dialog.font();
    captionFont.setBold(true);
    const int caption = QFontMetrics(captionFont).horizontalAdvance(dialog.windowTitle()) * 6 / 5 + 150;
    const int prompt = dialog.fontMetrics().horizontalAdvance(dialog.labelText()) + 60;
    const int width = std::min(std::max(caption, prompt), screenWidth(dialog) - 40);
    // The box takes its size from its layout, so the edit carries the width.
    if (auto* edit = dialog.findChild<QLineEdit*>())
        edit->setMinimumWidth(width - 2 * dialog.style()->pixelMetric(QStyle::PM_LayoutLeftMargin));
}

void QtPrompts::message(const QString& text, platform::MessageIcon icon)
{
    QMessageBox box(icon == platform::MessageIcon::Error ? QMessageBox::Critical
                                                         : QMessageBox::NoIcon,
                    title(), text, QMessageBox::Ok, dialogParent());
    fitMessageBox(box);
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
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(text);
    dialog.setTextEchoMode(QLineEdit::Normal);
    fitInputDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> QtPrompts::openFile(const QString& filter)
{
    const QString path =
        QFileDialog::getOpenFileName(dialogParent(), QString(), QString(), toQtFileFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<platform::Prompts::SaveChoice> QtPrompts::saveFileChoice(const QString& filter)
{
    const QString filters = toQtFileFilter(filter);
    QString selected;
    const QString path = QFileDialog::getSaveFileName(dialogParent(), QString(), QString(), filters, &selected);
    if (path.isEmpty())
        return std::nullopt;
    return SaveChoice{path, std::max<int>(0, int(filters.split(QStringLiteral(";;")).indexOf(selected)))};
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

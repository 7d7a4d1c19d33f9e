#pragma once
// The prompts as real dialogs: message boxes under the application title, the
// OK/Cancel question, the input box and the file dialogs.
#include "platform/prompts.h"

class QInputDialog;
class QMessageBox;

namespace app {

// "NSF文件|*.nsf|Excel文件|*.xls" (description and pattern pairs joined by
// '|') in Qt's form: "NSF文件 (*.nsf);;Excel文件 (*.xls)". A description
// without its pattern is kept as a filter of its own name.
QString toQtFileFilter(const QString& filter);

// A message box wide enough for its longest line, so that a folder path is
// not broken after its first "/" (within the screen's width; past it the
// text wraps).
void fitMessageBox(QMessageBox& box);
// An input box wide enough for its caption in the title bar and its prompt.
void fitInputDialog(QInputDialog& dialog);

class QtPrompts : public platform::Prompts {
public:
    void message(const QString& text, platform::MessageIcon icon) override;
    bool confirm(const QString& text, const QString& caption) override;
    std::optional<QString> input(const QString& caption, const QString& prompt,
                                 const QString& text) override;
    std::optional<QString> openFile(const QString& filter) override;
    std::optional<QString> saveFile(const QString& filter) override;
    std::optional<SaveChoice> saveFileChoice(const QString& filter) override;
};

} // namespace app

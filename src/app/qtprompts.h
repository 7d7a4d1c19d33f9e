#pragma once
// The prompts as real dialogs: message boxes under the application title, the
// OK/Cancel question, the input box and the file dialogs.
#include "platform/prompts.h"

namespace app {

// "NSF文件|*.nsf|Excel文件|*.xls" (description and pattern pairs joined by
// '|') in Qt's form: "NSF文件 (*.nsf);;Excel文件 (*.xls)". A description
// without its pattern is kept as a filter of its own name.
QString toQtFileFilter(const QString& filter);

class QtPrompts : public platform::Prompts {
public:
    void message(const QString& text, platform::MessageIcon icon) override;
    bool confirm(const QString& text, const QString& caption) override;
    std::optional<QString> input(const QString& caption, const QString& prompt,
                                 const QString& text) override;
    std::optional<QString> openFile(const QString& filter) override;
    std::optional<QString> saveFile(const QString& filter) override;
};

} // namespace app

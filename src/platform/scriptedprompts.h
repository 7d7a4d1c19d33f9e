#pragma once
// Prompts answered from a script, recording everything that was asked, for
// tests: "the next save dialog returns X", later "these messages were shown".
#include "platform/prompts.h"
#include <QList>
#include <QStringList>
#include <deque>

namespace platform {

class ScriptedPrompts : public Prompts {
public:
    struct Asked {
        enum class Kind { Message, Confirm, Input, OpenFile, SaveFile } kind;
        QString text;     // message or question text, input prompt, dialog filter
        QString caption;  // confirm and input caption
        MessageIcon icon = MessageIcon::None;
    };

    // Answers, taken in order per kind; with none left: Cancel.
    void answerConfirm(bool ok) { confirms_.push_back(ok); }
    void answerInput(std::optional<QString> text) { inputs_.push_back(std::move(text)); }
    void answerOpenFile(std::optional<QString> path) { opens_.push_back(std::move(path)); }
    void answerSaveFile(std::optional<QString> path, int filter = 0)
    {
        saves_.push_back(std::move(path));
        saveFilters_.push_back(filter);
    }

    const QList<Asked>& asked() const { return asked_; }
    QStringList messages() const;  // texts of the plain messages, in order
    void clear();

    void message(const QString& text, MessageIcon icon) override;
    bool confirm(const QString& text, const QString& caption) override;
    std::optional<QString> input(const QString& caption, const QString& prompt,
                                 const QString& text) override;
    std::optional<QString> openFile(const QString& filter) override;
    std::optional<QString> saveFile(const QString& filter) override;
    std::optional<SaveChoice> saveFileChoice(const QString& filter) override;

private:
    QList<Asked> asked_;
    std::deque<bool> confirms_;
    std::deque<std::optional<QString>> inputs_, opens_, saves_;
    std::deque<int> saveFilters_;
};

} // namespace platform

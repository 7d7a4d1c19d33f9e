#pragma once
// Message boxes, the one question, the input box and the file dialogs go
// through this interface, so that tests can answer them from a script.
#include <QString>
#include <optional>

namespace platform {

enum class MessageIcon { None, Error };

class Prompts {
public:
    virtual ~Prompts() = default;
    // A plain message: the application title as caption, one OK button.
    virtual void message(const QString& text, MessageIcon icon = MessageIcon::None) = 0;
    // OK and Cancel under the given caption; true for OK.
    virtual bool confirm(const QString& text, const QString& caption) = 0;
    // The text confirmed, or nullopt after Cancel.
    virtual std::optional<QString> input(const QString& caption, const QString& prompt,
                                         const QString& text) = 0;
    // Full path chosen, or nullopt after Cancel. filter is "Description|*.ext" entries joined by '|'.
    virtual std::optional<QString> openFile(const QString& filter) = 0;
    virtual std::optional<QString> saveFile(const QString& filter) = 0;
    // The same, with the entry of the filter (from 0) that was chosen.
    struct SaveChoice {
        QString path;
        int filter = 0;
    };
    virtual std::optional<SaveChoice> saveFileChoice(const QString& filter)
    {
        const std::optional<QString> path = saveFile(filter);
        return path ? std::optional<SaveChoice>(SaveChoice{*path, 0}) : std::nullopt;
    }
};

Prompts& prompts();
// Installs the prompts in use (not owned); nullptr restores the default,
// which writes messages to standard error and cancels every question.
void setPrompts(Prompts* p);

} // namespace platform

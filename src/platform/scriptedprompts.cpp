#include "platform/scriptedprompts.h"

namespace platform {

namespace {
std::optional<QString> take(std::deque<std::optional<QString>>& answers)
{
    std::optional<QString> a;
    if (!answers.empty()) {
        a.swap(answers.front());
        answers.pop_front();
    }
    return a;
}
} // namespace

QStringList ScriptedPrompts::messages() const
{
    QStringList out;
    for (const Asked& a : asked_)
        if (a.kind == Asked::Kind::Message)
            out << a.text;
    return out;
}

void ScriptedPrompts::clear()
{
    asked_.clear();
    confirms_.clear();
    inputs_.clear();
    opens_.clear();
    saves_.clear();
}

void ScriptedPrompts::message(const QString& text, MessageIcon icon)
{
    asked_.append({Asked::Kind::Message, text, {}, icon});
}

bool ScriptedPrompts::confirm(const QString& text, const QString& caption)
{
    asked_.append({Asked::Kind::Confirm, text, caption});
    if (confirms_.empty())
        return false;
    const bool ok = confirms_.front();
    confirms_.pop_front();
    return ok;
}

std::optional<QString> ScriptedPrompts::input(const QString& caption, const QString& prompt,
                                              const QString&)
{
    asked_.append({Asked::Kind::Input, prompt, caption});
    return take(inputs_);
}

std::optional<QString> ScriptedPrompts::openFile(const QString& filter)
{
    asked_.append({Asked::Kind::OpenFile, filter, {}});
    return take(opens_);
}

std::optional<QString> ScriptedPrompts::saveFile(const QString& filter)
{
    asked_.append({Asked::Kind::SaveFile, filter, {}});
    if (!saveFilters_.empty())
        saveFilters_.pop_front();
    return take(saves_);
}

std::optional<Prompts::SaveChoice> ScriptedPrompts::saveFileChoice(const QString& filter)
{
    const int chosen = saveFilters_.empty() ? 0 : saveFilters_.front();
    const std::optional<QString> path = saveFile(filter);
    return path ? std::optional<SaveChoice>(SaveChoice{*path, chosen}) : std::nullopt;
}

} // namespace platform

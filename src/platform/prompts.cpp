#include "platform/prompts.h"
#include <cstdio>

namespace platform {

namespace {

// Without a user interface: messages go to standard error, every question is cancelled.
class StderrPrompts : public Prompts {
public:
    void message(const QString& text, MessageIcon) override { print(text); }
    bool confirm(const QString& text, const QString&) override
    {
        print(text);
        return false;
    }
    std::optional<QString> input(const QString&, const QString& prompt, const QString&) override
    {
        print(prompt);
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString&) override { return std::nullopt; }
    std::optional<QString> saveFile(const QString&) override { return std::nullopt; }

private:
    static void print(const QString& text)
    {
        const QByteArray bytes = text.toLocal8Bit();
        std::fprintf(stderr, "%s\n", bytes.constData());
        std::fflush(stderr);
    }
};

StderrPrompts& defaultPrompts()
{
    static StderrPrompts p;
    return p;
}

Prompts* installed = nullptr;

} // namespace

Prompts& prompts() { return installed ? *installed : defaultPrompts(); }

void setPrompts(Prompts* p) { installed = p; }

} // namespace platform

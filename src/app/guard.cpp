#include "app/guard.h"
#include "platform/error.h"
#include "platform/prompts.h"
#include <exception>

namespace app {

QString errorReportText(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void reportError(const QString& text)
{
    platform::prompts().message(errorReportText(text), platform::MessageIcon::Error);
}

bool runGuarded(const std::function<void()>& fn) noexcept
{
    // The report itself must not throw out of here either: a failing prompt
    // implementation would otherwise take the program down.
    try {
        try {
            fn();
            return true;
        } catch (const platform::Error& e) {
            reportError(e.text());
        } catch (const std::exception& e) {
            reportError(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            reportError(QStringLiteral("Unknown error"));
        }
    } catch (...) {
    }
    return false;
}

} // namespace app

#include "platform/clock.h"

namespace platform {

namespace {
std::function<QDateTime()>& clockFunction()
{
    static std::function<QDateTime()> f;
    return f;
}
} // namespace

QDateTime now()
{
    const auto& f = clockFunction();
    return f ? f() : QDateTime::currentDateTime();
}

void setClock(std::function<QDateTime()> clock) { clockFunction() = std::move(clock); }

bool clockReplaced() { return static_cast<bool>(clockFunction()); }

} // namespace platform

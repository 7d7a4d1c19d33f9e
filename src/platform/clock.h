#pragma once
// The clock behind log time stamps and the day's log file name; tests set it.
#include <QDateTime>
#include <functional>

namespace platform {

QDateTime now();
// Replaces the clock (an empty function restores the system clock).
void setClock(std::function<QDateTime()> clock);
// True while a clock given to setClock replaces the system clock.
bool clockReplaced();

} // namespace platform

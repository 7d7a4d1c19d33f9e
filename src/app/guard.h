#pragma once
// The central error report and the guard every handler runs in, so that no
// exception ever reaches the Qt event loop: a failure that a command does not
// catch itself is shown with an error icon and the program goes on.
#include <QString>
#include <functional>

namespace app {

// The application title: task-bar name and caption of every plain message box.
inline constexpr const char* kApplicationTitle = "QuilletV3.4";

// The text the error report shows: the failure's text with "." added when
// its last character sorts after "." (nothing added to an empty text).
QString errorReportText(const QString& text);

// Shows the error report through platform::prompts().
void reportError(const QString& text);

// Runs fn; a platform::Error, std::exception or anything else it throws goes
// to the error report. Returns false when fn threw.
bool runGuarded(const std::function<void()>& fn) noexcept;

// A slot that runs fn inside the guard: connect(sender, signal, ctx, guarded(...)).
template <class F>
auto guarded(F fn)
{
    return [fn = std::move(fn)]() mutable { runGuarded(fn); };
}

} // namespace app

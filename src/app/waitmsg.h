#pragma once
// The progress window of long commands: a small borderless window on top of
// the others with a message, an optional progress bar and a running
// animation. There is at most one; these routines open, change and close it,
// and do nothing harmful when none is open. Every change repaints the window
// at once, because the command that calls them keeps the event loop waiting.
#include <QRect>
#include <QString>

void ShowWait();
void ShowWaitText(const QString& message);
void SetWaitText(const QString& message);
void SetWaitProgress(int max, int position);
void CloseWait();

namespace app {

// What the progress window shows, for tests and diagnostics.
struct WaitState {
    bool open = false;
    QString text;
    QRect labelGeometry;
    bool barVisible = false;
    int barMinimum = 0;
    int barMaximum = 0;
    int barPosition = 0;
    bool animating = false;
    int animationFrame = -1;  // 0..7
    int serial = 0;  // which window: each new window gets the next number
};
WaitState waitState();

} // namespace app

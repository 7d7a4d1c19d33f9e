#pragma once
// Texts the browsing shows for what it reads.
#include <QString>

namespace browse {

// How a view is named on screen: its name, or "(无名视图)" for a name that is
// empty or blank, which would otherwise be an invisible node. Everything
// below the screen keeps the real name.
QString viewLabel(const QString& viewName);

// What the status bar says of a database without views.
QString noViewsText();
// "3个视图", or noViewsText() for none.
QString viewCountText(qsizetype views);

// A bounded excerpt of a long text for a tool tip: at most maxLines lines
// and maxChars characters, "…" marking the cut.
QString excerpt(const QString& text, int maxChars = 500, int maxLines = 12);

} // namespace browse

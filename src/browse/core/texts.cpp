#include "browse/core/texts.h"
#include <algorithm>

namespace browse {

QString viewLabel(const QString& viewName)
{
    for (QChar c : viewName)
        if (c.unicode() > 32)
            return viewName;
    return QStringLiteral("(无名视图)");
}

QString noViewsText() { return QStringLiteral("没有视图"); }

QString viewCountText(qsizetype views)
{
    return views == 0 ? noViewsText() : QStringLiteral("%1个视图").arg(views);
}

QString excerpt(const QString& text, int maxChars, int maxLines)
{
    qsizetype end = std::min<qsizetype>(text.size(), maxChars);
    int lines = 1;
    for (qsizetype i = 0; i < end; ++i) {
        if (text[i] == u'\n' && ++lines > maxLines) {
            end = i;
            break;
        }
    }
    if (end >= text.size())
        return text;
    // Never split a surrogate pair.
    if (end > 0 && text[end - 1].isHighSurrogate())
        --end;
    return text.left(end) + QStringLiteral("…");
}

} // namespace browse

#include "browse/core/pager.h"
#include <algorithm>

namespace browse {

std::optional<int> pageStart(PageMove move, int shownFrom, int docPos, int docCount)
{
    if (docCount <= 0)
        return std::nullopt;
    const int lastStart = (docCount - 1) / kPageSize * kPageSize;
    switch (move) {
    case PageMove::First:
        return 0;
    case PageMove::Previous:
        return std::clamp(shownFrom - kPageSize, 0, docCount - 1);
    case PageMove::Next:
        if (docCount <= docPos)
            return std::nullopt;
        return std::max(0, docPos);
    case PageMove::Last:
        if (docCount <= docPos)
            return std::nullopt;
        return lastStart;
    }
    return std::nullopt;
}

QString shownRowsText(int shownFrom, int docPos)
{
    if (docPos <= shownFrom)
        return QStringLiteral("没有文档");
    return QStringLiteral("第%1-%2个").arg(shownFrom + 1).arg(docPos);
}

} // namespace browse

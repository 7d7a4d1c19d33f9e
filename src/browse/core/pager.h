#pragma once
// Where the four paging buttons move in a view. A page load starts at a
// zero-based position and reads up to kPageSize documents; afterwards the
// window's DocPos points one past the last document shown.
#include <QString>
#include <optional>

namespace browse {

inline constexpr int kPageSize = 100;

enum class PageMove { First, Previous, Next, Last };

// The position the next load starts at, or nullopt when the button does
// nothing. shownFrom: where the page on show started; docPos: one past its
// last document; docCount: the view's document count (0: no paging at all).
// Every answer lies within 0 and docCount - 1.
std::optional<int> pageStart(PageMove move, int shownFrom, int docPos, int docCount);

// "第101-200个" for the documents shownFrom + 1 to docPos; "没有文档" when
// the page holds none.
QString shownRowsText(int shownFrom, int docPos);

} // namespace browse

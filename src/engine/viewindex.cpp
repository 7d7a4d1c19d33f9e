#include "engine/viewindex.h"
#include "engine/notecontext.h"
#include "platform/error.h"
#include <QCollator>
#include <QCollatorSortKey>
#include <algorithm>
#include <numeric>

namespace engine {
namespace {

// One column's sort key of one entry: empty values first, then numbers,
// date-times and texts (Chinese texts last).
struct SortKey {
    int rank = 0;
    double number = 0;
    std::optional<QCollatorSortKey> text;
};

bool isHan(char32_t c) { return QChar::script(c) == QChar::Script_Han; }

// The text as the collator sees it: accents stripped (NFD without non-spacing
// marks), and every Chinese character preceded by U+FFFF, which the collator
// weighs above every other character. Chinese then sorts after other scripts at
// every position, not only at the first one ("Release plan Beta" before
// "Release plan 草稿" as "Weekly" before "采购"), while Chinese texts still
// compare among themselves in pinyin order.
QString collationText(const QString& s)
{
    bool plain = true;
    for (QChar c : s)
        if (c.unicode() >= 0x80) {
            plain = false;
            break;
        }
    if (plain)
        return s;
    const QString d = s.normalized(QString::NormalizationForm_D);
    QString stripped;
    stripped.reserve(d.size());
    for (QChar c : d)
        if (c.category() != QChar::Mark_NonSpacing)
            stripped += c;
    const QString composed = stripped.normalized(QString::NormalizationForm_C);
    QString out;
    out.reserve(composed.size() * 2);
    for (qsizetype i = 0; i < composed.size(); ++i) {
        char32_t c = composed[i].unicode();
        const bool pair = composed[i].isHighSurrogate() && i + 1 < composed.size() && composed[i + 1].isLowSurrogate();
        if (pair)
            c = QChar::surrogateToUcs4(composed[i], composed[i + 1]);
        if (isHan(c))
            out += QChar(0xFFFF);
        out += composed[i];
        if (pair)
            out += composed[++i];
    }
    return out;
}

SortKey keyOf(const domino::NotesValue& v, const QCollator& collator)
{
    SortKey k;
    if (v.isList())
        return v.elements().isEmpty() ? k : keyOf(v.elements().first(), collator);
    if (v.isNumber()) {
        k.rank = 1;
        k.number = v.number();
    } else if (v.isDateTime()) {
        const domino::NotesDateTime dt = v.dateTime();
        if (!dt.date.isValid() && !dt.time.isValid())
            return k;
        k.rank = 2;
        double ms = dt.time.isValid() ? dt.time.msecsSinceStartOfDay() : 0;
        if (dt.date.isValid())
            ms += double(dt.date.toJulianDay()) * 86400000.0;
        if (dt.offsetSeconds && dt.date.isValid() && dt.time.isValid())
            ms -= *dt.offsetSeconds * 1000.0;
        k.number = ms;
    } else {
        const QString t = v.text();
        if (t.isEmpty())
            return k;
        // Latin and other scripts first, then Chinese in pinyin order, as a
        // Chinese user of Notes sees them (the zh collation alone would put
        // Chinese before Latin). The rank decides at the first character,
        // collationText at every later one, by the same rule.
        const char32_t first = t.size() > 1 && t[0].isHighSurrogate() && t[1].isLowSurrogate()
                                   ? QChar::surrogateToUcs4(t[0], t[1])
                                   : char32_t(t.front().unicode());
        k.rank = isHan(first) ? 4 : 3;
        k.text = collator.sortKey(collationText(t));
    }
    return k;
}

int compareKeys(const SortKey& a, const SortKey& b)
{
    if (a.rank != b.rank)
        return a.rank < b.rank ? -1 : 1;
    if (a.rank == 1 || a.rank == 2)
        return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    if (a.rank >= 3)
        return a.text->compare(*b.text);
    return 0;
}

QCollator makeCollator()
{
    QCollator c{QLocale(QLocale::Chinese, QLocale::China)};
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
}

// The texts of the two column warnings, for qWarning and warnings() alike.
QString unusableColumnText(const QString& view, size_t column, const QString& error)
{
    // One multi-argument arg(): a "%2" inside a view name stays as it is.
    return QStringLiteral("视图\"%1\"的第%2列公式无法使用，该列留空: %3").arg(view, QString::number(column + 1), error);
}

QString failedColumnText(const QString& view, size_t column, int documents, const QString& error)
{
    return QStringLiteral("视图\"%1\"的第%2列公式对%3个文档无法计算，这些单元格留空: %4")
        .arg(view, QString::number(column + 1), QString::number(documents), error);
}

// "SELECT ... | @AllChildren" (or @AllDescendants) also selects the direct
// responses (or the responses at every depth) of the documents it selects.
void addResponses(const Database& db, Formula::Responses which, std::vector<char>& selected)
{
    const size_t n = selected.size();
    std::vector<int32_t> parentOf(n, -1);
    for (size_t i = 0; i < n; ++i)
        if (db.notes[i].hasParent) {
            const int p = db.noteByUnid(QString::fromLatin1(db.notes[i].parent.data(), 32));
            parentOf[i] = p >= 0 && size_t(p) != i ? p : -1;
        }
    const std::vector<char> direct = selected;
    if (which == Formula::Responses::Children) {
        for (size_t i = 0; i < n; ++i)
            if (parentOf[i] >= 0 && direct[size_t(parentOf[i])])
                selected[i] = 1;
        return;
    }
    // Whether a selected document lies above: each chain is walked once, and a
    // loop in broken $REF links ends as "no".
    enum : char { Unknown, Visiting, No, Yes };
    std::vector<char> reach(n, Unknown);
    std::vector<size_t> path;
    for (size_t i = 0; i < n; ++i) {
        if (direct[i])
            reach[i] = Yes;
    }
    for (size_t i = 0; i < n; ++i) {
        path.clear();
        int32_t p = int32_t(i);
        while (p >= 0 && reach[size_t(p)] == Unknown) {
            reach[size_t(p)] = Visiting;
            path.push_back(size_t(p));
            p = parentOf[size_t(p)];
        }
        const char r = p >= 0 && reach[size_t(p)] == Yes ? Yes : No;
        for (size_t q : path)
            reach[q] = r;
        if (reach[i] == Yes)
            selected[i] = 1;
    }
}

} // namespace

ViewIndex::ViewIndex(const Database& db, const ViewDesign& design) : db_(db), design_(design)
{
    if (design.compiledOnly)
        throw platform::Error(
            QStringLiteral("视图\"%1\"只以编译后的形式导出(<note class='view'>)，无法读取它的设计; "
                           "请以DXL的设计元素格式重新导出")
                .arg(design.name));

    // Column formulas are compiled now. One outside the language leaves its
    // column empty (and sorted as empty), as Notes shows a view whatever one
    // column does; the view itself still opens.
    formulas_.resize(design.columns.size());
    formulaErrors_.resize(design.columns.size());
    failures_.resize(design.columns.size());
    for (size_t c = 0; c < design.columns.size(); ++c) {
        const ColumnDesign& col = design.columns[c];
        if (col.categorized && !col.responsesOnly)
            ++categoryLevels_;
        if (col.formula.trimmed().isEmpty())
            continue;
        try {
            formulas_[c] = Formula::compile(col.formula);
        } catch (const platform::Error& e) {
            formulaErrors_[c] = e.text();
            qWarning("%s", qUtf8Printable(unusableColumnText(design.name, c, e.text())));
        }
    }

    // Selection.
    const uint32_t n = uint32_t(db.notes.size());
    std::vector<char> selected(n, 0);
    if (design.isFolder && design.hasEntries) {
        for (const QString& e : design.entries) {
            int note = e.size() == 32 ? db.noteByUnid(e) : db.noteByNoteId(e);
            if (note >= 0)
                selected[size_t(note)] = 1;
        }
    } else if (design.isFolder && !design.hasSelection) {
        // A folder holds what was put into it; none listed: empty.
    } else {
        std::optional<Formula> selection;
        if (design.hasSelection) {
            try {
                selection = Formula::compile(design.selection);
            } catch (const platform::Error& e) {
                throw platform::Error(QStringLiteral("视图\"%1\"的选择公式无法计算: %2").arg(design.name, e.text()));
            }
            if (selection->isSelectAll())
                selection.reset();
        }
        for (uint32_t i = 0; i < n; ++i) {
            if (!selection) {
                selected[i] = 1;
                continue;
            }
            try {
                selected[i] = selection->selects(NoteContext(db, i)) ? 1 : 0;
            } catch (const platform::Error&) {
                selected[i] = 0;  // as Notes: a document the formula fails on is not in the view
            }
        }
        if (selection && selection->selectsResponses() != Formula::Responses::None)
            addResponses(db, selection->selectsResponses(), selected);
    }

    // Responses go below their parents when the view shows the hierarchy.
    std::vector<std::vector<uint32_t>> children;
    std::vector<uint32_t> mains;
    bool anyResponse = false;
    if (design.hierarchy)
        for (uint32_t i = 0; i < n && !anyResponse; ++i)
            anyResponse = selected[i] && db.notes[i].hasParent;
    if (anyResponse)
        children.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        if (!selected[i])
            continue;
        if (anyResponse && db.notes[i].hasParent) {
            const int parent = db.noteByUnid(QString::fromLatin1(db.notes[i].parent.data(), 32));
            if (parent >= 0 && selected[size_t(parent)] && uint32_t(parent) != i)
                children[size_t(parent)].push_back(i);
            // A response whose parent is not in the view is not shown, as in Notes.
            continue;
        }
        mains.push_back(i);
    }

    // Sorting by the sorted columns, left to right.
    std::vector<size_t> sortColumns;
    for (size_t c = 0; c < design.columns.size(); ++c)
        if (design.columns[c].sort != SortOrder::None && !design.columns[c].responsesOnly)
            sortColumns.push_back(c);
    for (size_t c : sortColumns)
        if (design.columns[c].separateMultipleValues) {
            splitColumn_ = int(c);
            break;
        }

    struct Pending {
        uint32_t note;
        int32_t split;
    };
    std::vector<Pending> top;
    top.reserve(mains.size());
    std::vector<std::vector<SortKey>> keys(sortColumns.size());
    if (sortColumns.empty()) {
        for (uint32_t m : mains)
            top.push_back({m, -1});
    } else {
        const QCollator collator = makeCollator();
        for (auto& k : keys)
            k.reserve(mains.size());
        for (uint32_t m : mains) {
            std::vector<domino::NotesValueList> values;
            values.reserve(sortColumns.size());
            int splits = 1;
            for (size_t s = 0; s < sortColumns.size(); ++s) {
                values.push_back(columnOrEmpty(sortColumns[s], m, {}, nullptr));
                if (int(sortColumns[s]) == splitColumn_ && values.back().size() > 1)
                    splits = int(values.back().size());
            }
            for (int sp = 0; sp < splits; ++sp) {
                top.push_back({m, splitColumn_ >= 0 ? sp : -1});
                for (size_t s = 0; s < sortColumns.size(); ++s) {
                    const domino::NotesValueList& v = values[s];
                    const bool split = int(sortColumns[s]) == splitColumn_;
                    keys[s].push_back(v.isEmpty() ? SortKey{}
                                                  : keyOf(split ? v[sp] : v.first(), collator));
                }
            }
        }
        std::vector<uint32_t> order(top.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            for (size_t s = 0; s < sortColumns.size(); ++s) {
                int c = compareKeys(keys[s][a], keys[s][b]);
                if (c != 0)
                    return design.columns[sortColumns[s]].sort == SortOrder::Descending ? c > 0 : c < 0;
            }
            return false;
        });
        std::vector<Pending> sorted;
        sorted.reserve(top.size());
        for (uint32_t o : order)
            sorted.push_back(top[o]);
        top.swap(sorted);
    }

    entries_.reserve(top.size());
    mainCount_ = int(top.size());
    std::vector<char> shown(anyResponse ? n : 0, 0);
    uint32_t ordinal = 0;
    struct Open {
        int32_t entry;
        size_t next = 0;      // the next of its children to look at
        uint32_t shown = 0;   // children placed below it so far: their ordinals
    };
    for (const Pending& p : top) {
        entries_.push_back({p.note, -1, ++ordinal, p.split});
        if (!anyResponse)
            continue;
        // Depth-first through the responses, in file order; a note is shown
        // below one parent only, so a broken chain of $REF cannot loop.
        std::vector<Open> stack{{int32_t(entries_.size() - 1)}};
        shown[p.note] = 1;
        while (!stack.empty()) {
            Open& open = stack.back();
            const auto& kids = children[entries_[size_t(open.entry)].note];
            if (open.next >= kids.size()) {
                stack.pop_back();
                continue;
            }
            const uint32_t child = kids[open.next++];
            if (shown[child])
                continue;
            shown[child] = 1;
            entries_.push_back({child, open.entry, ++open.shown, -1});
            stack.push_back({int32_t(entries_.size() - 1)});
        }
    }

    if (anyResponse) {
        // Children follow their parent, so one backward pass adds every
        // subtree into its parent.
        childCount_.assign(entries_.size(), 0);
        descendantCount_.assign(entries_.size(), 0);
        for (size_t i = entries_.size(); i-- > 0;) {
            const int32_t parent = entries_[i].parent;
            if (parent < 0)
                continue;
            ++childCount_[size_t(parent)];
            descendantCount_[size_t(parent)] += 1 + descendantCount_[i];
        }
    }

    // One line for the sorted columns that failed while the view was built;
    // those the document list meets later are reported as they come.
    for (size_t c = 0; c < failures_.size(); ++c)
        if (failures_[c].documents > 0 && formulaErrors_[c].isEmpty())
            qWarning("%s", qUtf8Printable(failedColumnText(design_.name, c, failures_[c].documents, failures_[c].first)));
}

int ViewIndex::positionOf(uint32_t note) const
{
    if (firstPosition_.empty()) {
        firstPosition_.assign(db_.notes.size() + 1, -1);
        for (size_t i = entries_.size(); i-- > 0;)
            firstPosition_[entries_[i].note] = int32_t(i);
    }
    return note < db_.notes.size() ? firstPosition_[note] : -1;
}

QString ViewIndex::docNumber(int position) const
{
    QString out;
    for (int p = position; p >= 0; p = entries_[size_t(p)].parent)
        out = out.isEmpty() ? QString::number(entries_[size_t(p)].ordinal)
                            : QString::number(entries_[size_t(p)].ordinal) + u'.' + out;
    return out;
}

domino::NotesValueList ViewIndex::rawColumn(size_t column, uint32_t note, const QString& docNumber,
                                            const ViewPlace* place) const
{
    const ColumnDesign& col = design_.columns[column];
    if (!formulaErrors_[column].isEmpty())
        return {};
    const NoteContext ctx(db_, note, docNumber, place);
    if (formulas_[column])
        return formulas_[column]->evaluate(ctx);
    if (col.itemName.isEmpty())
        return {};
    const ItemRecord* item = db_.findItem(note, col.itemName);
    return item ? db_.itemValues(*item) : domino::NotesValueList{};
}

domino::NotesValueList ViewIndex::columnOrEmpty(size_t column, uint32_t note, const QString& docNumber,
                                                const ViewPlace* place) const
{
    try {
        return rawColumn(column, note, docNumber, place);
    } catch (const platform::Error& e) {
        noteFailure(column, note, e.text());
        return {};
    }
}

void ViewIndex::noteFailure(size_t column, uint32_t note, const QString& error) const
{
    const std::lock_guard<std::mutex> lock(failuresMutex_);
    ColumnFailures& f = failures_[column];
    if (f.failed.empty())
        f.failed.assign(db_.notes.size(), 0);
    if (note >= f.failed.size() || f.failed[note])
        return;
    f.failed[note] = 1;
    if (++f.documents == 1) {
        f.first = error;
        // While the view is being built the constructor reports the total once.
        if (!entries_.empty())
            qWarning("%s", qUtf8Printable(QStringLiteral("视图\"%1\"的第%2列公式对文档%3无法计算，单元格留空: %4")
                                              .arg(design_.name, QString::number(column + 1),
                                                   documentIdText(db_.notes[note]), error)));
    }
}

QStringList ViewIndex::warnings() const
{
    QStringList out;
    const std::lock_guard<std::mutex> lock(failuresMutex_);
    for (size_t c = 0; c < failures_.size(); ++c) {
        if (!formulaErrors_[c].isEmpty())
            out << unusableColumnText(design_.name, c, formulaErrors_[c]);
        else if (failures_[c].documents > 0)
            out << failedColumnText(design_.name, c, failures_[c].documents, failures_[c].first);
    }
    return out;
}

ViewPlace ViewIndex::placeOf(int position, const QString& docNumber) const
{
    const Entry& e = entries_[size_t(position)];
    ViewPlace p;
    if (!childCount_.empty()) {
        p.children = int(childCount_[size_t(position)]);
        p.descendants = int(descendantCount_[size_t(position)]);
    }
    p.siblings = e.parent >= 0 ? int(childCount_[size_t(e.parent)]) : mainCount_;
    // The number is the parent's number, a dot and the ordinal.
    const qsizetype dot = docNumber.lastIndexOf(u'.');
    if (dot >= 0)
        p.parentNumber = docNumber.left(dot);
    p.level = categoryLevels_ + int(docNumber.count(u'.')) + 1;
    return p;
}

domino::NotesValueList ViewIndex::columnValues(int position) const
{
    const Entry& e = entries_[size_t(position)];
    const bool response = e.parent >= 0;
    const QString number = docNumber(position);
    const ViewPlace place = placeOf(position, number);
    domino::NotesValueList out;
    out.reserve(qsizetype(design_.columns.size()));
    for (size_t c = 0; c < design_.columns.size(); ++c) {
        const ColumnDesign& col = design_.columns[c];
        if (col.responsesOnly && !response) {
            out.append(QString());
            continue;
        }
        domino::NotesValueList v = columnOrEmpty(c, e.note, number, &place);
        if (int(c) == splitColumn_ && e.split >= 0 && e.split < v.size())
            out.append(v[e.split]);
        else if (v.isEmpty())
            out.append(QString());
        else if (v.size() == 1)
            out.append(v.first());
        else
            out.append(domino::NotesValue::list(std::move(v)));
    }
    return out;
}

} // namespace engine

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

QString withoutAccents(const QString& s)
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
    QString out;
    out.reserve(d.size());
    for (QChar c : d)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.normalized(QString::NormalizationForm_C);
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
        // Chinese before Latin).
        k.rank = t.front().script() == QChar::Script_Han ? 4 : 3;
        k.text = collator.sortKey(withoutAccents(t));
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

} // namespace

ViewIndex::ViewIndex(const Database& db, const ViewDesign& design) : db_(db), design_(design)
{
    if (design.compiledOnly)
        throw platform::Error(
            QStringLiteral("视图\"%1\"只以编译后的形式导出(<note class='view'>)，无法读取它的设计; "
                           "请以DXL的设计元素格式重新导出")
                .arg(design.name));

    // Column formulas are compiled now; one outside the language fails the
    // view only when the view sorts by it, otherwise the documents' values.
    formulas_.resize(design.columns.size());
    formulaErrors_.resize(design.columns.size());
    for (size_t c = 0; c < design.columns.size(); ++c) {
        const ColumnDesign& col = design.columns[c];
        if (col.formula.trimmed().isEmpty())
            continue;
        try {
            formulas_[c] = Formula::compile(col.formula);
        } catch (const platform::Error& e) {
            if (col.sort != SortOrder::None)
                throw platform::Error(QStringLiteral("视图\"%1\"的第%2列公式无法计算: %3")
                                          .arg(design.name)
                                          .arg(c + 1)
                                          .arg(e.text()));
            formulaErrors_[c] = e.text();
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
                values.push_back(rawColumn(sortColumns[s], m, {}));
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
    std::vector<char> shown(anyResponse ? n : 0, 0);
    uint32_t ordinal = 0;
    for (const Pending& p : top) {
        entries_.push_back({p.note, -1, ++ordinal, p.split});
        if (!anyResponse)
            continue;
        // Depth-first through the responses, in file order; a note is shown
        // below one parent only, so a broken chain of $REF cannot loop.
        std::vector<std::pair<int32_t, size_t>> stack{{int32_t(entries_.size() - 1), 0}};
        shown[p.note] = 1;
        while (!stack.empty()) {
            auto& [entry, next] = stack.back();
            const auto& kids = children[entries_[size_t(entry)].note];
            if (next >= kids.size()) {
                stack.pop_back();
                continue;
            }
            const uint32_t child = kids[next++];
            if (shown[child])
                continue;
            shown[child] = 1;
            const int32_t parentEntry = entry;
            entries_.push_back({child, parentEntry, uint32_t(next), -1});
            stack.push_back({int32_t(entries_.size() - 1), 0});
        }
    }
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

domino::NotesValueList ViewIndex::rawColumn(size_t column, uint32_t note, const QString& docNumber) const
{
    const ColumnDesign& col = design_.columns[column];
    if (!formulaErrors_[column].isEmpty())
        throw platform::Error(formulaErrors_[column]);
    const NoteContext ctx(db_, note, docNumber);
    if (formulas_[column])
        return formulas_[column]->evaluate(ctx);
    if (col.itemName.isEmpty())
        return {};
    const ItemRecord* item = db_.findItem(note, col.itemName);
    return item ? db_.itemValues(*item) : domino::NotesValueList{};
}

domino::NotesValueList ViewIndex::columnValues(int position) const
{
    const Entry& e = entries_[size_t(position)];
    const bool response = e.parent >= 0;
    const QString number = docNumber(position);
    domino::NotesValueList out;
    out.reserve(qsizetype(design_.columns.size()));
    for (size_t c = 0; c < design_.columns.size(); ++c) {
        const ColumnDesign& col = design_.columns[c];
        if (col.responsesOnly && !response) {
            out.append(QString());
            continue;
        }
        domino::NotesValueList v = rawColumn(c, e.note, number);
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

#pragma once
// The documents of one view in view order, built once from the view's design:
// selection, categorized and sorted columns (Domino's case- and
// accent-insensitive order), multiple values as separate entries, responses
// after their parents. Positions are plain vector indexes, so NthDocument and
// NextDocument cost O(1).
#include "engine/formula.h"
#include "engine/store.h"
#include <mutex>
#include <optional>

namespace engine {

class ViewIndex {
public:
    struct Entry {
        uint32_t note = 0;
        int32_t parent = -1;   // entry of the parent document, for responses
        uint32_t ordinal = 1;  // 1-based rank among its siblings
        int32_t split = -1;    // which value of the split column this entry shows
    };

    // Throws platform::Error when the view cannot be read (a design exported in
    // compiled form only, or a selection formula outside the supported language).
    // A column formula never fails the view: see warnings().
    ViewIndex(const Database& db, const ViewDesign& design);

    int count() const { return int(entries_.size()); }
    const Entry& at(int position) const { return entries_[size_t(position)]; }
    // The first position showing the note, or -1.
    int positionOf(uint32_t note) const;
    QString docNumber(int position) const;
    // One value per column for the entry at that position. A column formula that
    // fails for this document gives an empty cell (and is counted in warnings()).
    domino::NotesValueList columnValues(int position) const;

    // One line per column whose formula could not be used or failed for some
    // documents, with the number of those documents and the first error. Each
    // column is also reported once through qWarning, when it first goes wrong.
    QStringList warnings() const;

private:
    domino::NotesValueList rawColumn(size_t column, uint32_t note, const QString& docNumber,
                                     const ViewPlace* place) const;
    // rawColumn, with a failure recorded and given as no value.
    domino::NotesValueList columnOrEmpty(size_t column, uint32_t note, const QString& docNumber,
                                         const ViewPlace* place) const;
    void noteFailure(size_t column, uint32_t note, const QString& error) const;
    ViewPlace placeOf(int position, const QString& docNumber) const;

    const Database& db_;
    const ViewDesign& design_;
    std::vector<std::optional<Formula>> formulas_;
    std::vector<QString> formulaErrors_;  // a column whose formula did not compile
    int splitColumn_ = -1;
    int categoryLevels_ = 0;  // categorized columns: the levels above a main document
    int mainCount_ = 0;       // main entries, the siblings of a main document
    std::vector<Entry> entries_;
    // Responses below each entry, directly and at every depth; empty without responses.
    std::vector<uint32_t> childCount_;
    std::vector<uint32_t> descendantCount_;

    struct ColumnFailures {
        int documents = 0;
        QString first;
        std::vector<char> failed;  // by note, so a document counts once
    };
    mutable std::mutex failuresMutex_;
    mutable std::vector<ColumnFailures> failures_;
    mutable std::vector<int32_t> firstPosition_;  // by note, built on first use
};

} // namespace engine

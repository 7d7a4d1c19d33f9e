#pragma once
// The documents of one view in view order, built once from the view's design:
// selection, categorized and sorted columns (Domino's case- and
// accent-insensitive order), multiple values as separate entries, responses
// after their parents. Positions are plain vector indexes, so NthDocument and
// NextDocument cost O(1).
#include "engine/formula.h"
#include "engine/store.h"
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
    // compiled form only, or a formula outside the supported language).
    ViewIndex(const Database& db, const ViewDesign& design);

    int count() const { return int(entries_.size()); }
    const Entry& at(int position) const { return entries_[size_t(position)]; }
    // The first position showing the note, or -1.
    int positionOf(uint32_t note) const;
    QString docNumber(int position) const;
    // One value per column for the entry at that position; throws platform::Error
    // when a column's formula cannot be evaluated.
    domino::NotesValueList columnValues(int position) const;

private:
    domino::NotesValueList rawColumn(size_t column, uint32_t note, const QString& docNumber) const;

    const Database& db_;
    const ViewDesign& design_;
    std::vector<std::optional<Formula>> formulas_;
    std::vector<QString> formulaErrors_;
    int splitColumn_ = -1;
    std::vector<Entry> entries_;
    mutable std::vector<int32_t> firstPosition_;  // by note, built on first use
};

} // namespace engine

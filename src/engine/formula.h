#pragma once
// The Notes formula language, in the subset that view selection and column
// formulas use. A formula is compiled once (syntax and the functions it calls
// are checked then) and evaluated per document against a FormulaContext.
#include "domino/notesvalue.h"
#include <QString>
#include <QStringList>
#include <memory>

namespace engine {

// What a formula can ask of the document it is evaluated against.
class FormulaContext {
public:
    virtual ~FormulaContext() = default;
    virtual bool hasItem(const QString& name) const = 0;                  // case-insensitive names
    virtual domino::NotesValueList itemValue(const QString& name) const = 0; // empty: absent
    virtual domino::NotesDateTime created() const = 0;
    virtual domino::NotesDateTime modified() const = 0;
    virtual bool isResponse() const = 0;
    virtual QString noteId() const = 0;      // as DXL gives it (hex, e.g. "946"); @NoteID adds "NT"
    virtual QString universalId() const = 0;
    virtual QString docNumber() const = 0;   // e.g. "3" or "3.1" in a view; "" otherwise
    virtual qint64 docLength() const = 0;
    virtual QStringList attachmentNames() const = 0;
    virtual QStringList authors() const = 0;  // $UpdatedBy
};

namespace formula {
struct Program;
}

class Formula {
public:
    // An empty formula: evaluates to nothing and selects every document.
    Formula();

    // Throws platform::Error on a syntax error (with the position) or a function outside the
    // subset (the error names the function, e.g. "不支持的公式函数: @DbLookup").
    static Formula compile(const QString& source);

    // The value list of the formula's last expression (every value is a list in Notes).
    // Throws platform::Error on a type error (e.g. text added to a number).
    domino::NotesValueList evaluate(const FormulaContext& doc) const;

    // For selection formulas: true when the SELECT expression (or the last one) is true.
    bool selects(const FormulaContext& doc) const;

    // "SELECT @All" or equivalent: lets views skip evaluation.
    bool isSelectAll() const;

    // The formula as written.
    const QString& source() const;

private:
    std::shared_ptr<const formula::Program> program_;
};

} // namespace engine

#pragma once
// The Notes formula language, in the subset that view selection and column
// formulas use. A formula is compiled once (syntax and the functions it calls
// are checked then) and evaluated per document against a FormulaContext.
#include "domino/notesvalue.h"
#include <QString>
#include <QStringList>
#include <memory>

namespace engine {

// Where a document stands in the view a column formula is evaluated for
// (@DocChildren, @DocLevel and their kin). Categories are not entries of our
// views; they count only in `level`, as Notes counts them there.
struct ViewPlace {
    int children = 0;       // responses directly below it
    int descendants = 0;    // responses at every depth below it
    int siblings = 1;       // entries below the same parent (or main entries), itself included
    int level = 1;          // 1 for a main document outside categories
    QString parentNumber;   // @DocNumber of the parent; "" for a main document
};

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
    // The document's place in the view being read; nullptr outside a view.
    virtual const ViewPlace* viewPlace() const { return nullptr; }
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

    // The selection also takes the responses of what it selects:
    // @AllChildren (direct responses) or @AllDescendants (every depth).
    enum class Responses { None, Children, Descendants };
    Responses selectsResponses() const;

    // The formula as written.
    const QString& source() const;

private:
    std::shared_ptr<const formula::Program> program_;
};

} // namespace engine

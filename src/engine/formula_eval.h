#pragma once
// The evaluator of compiled formulas and the helpers the @functions share.
#include "engine/formula_ast.h"
#include <vector>

namespace engine::formula {

class Evaluator {
public:
    Evaluator(const FormulaContext& doc, NotesValueList* slots) : doc_(doc), slots_(slots) {}

    const FormulaContext& doc() const { return doc_; }
    // The value of a node: never an empty list (a missing field is "", as in Notes).
    NotesValueList eval(const Node& n);
    // The node as a condition: its first value must be a number; non-zero is true.
    bool truth(const Node& n);
    bool slotAssigned(int slot) const { return !slots_[slot].isEmpty(); }
    void assign(int slot, NotesValueList v) { slots_[slot] = std::move(v); }

private:
    NotesValueList binary(const Node& n);
    bool compare(const Node& n);

    const FormulaContext& doc_;
    NotesValueList* slots_;
};

// Shared results, so that returning them costs a reference count.
const NotesValueList& emptyTextList();
const NotesValueList& boolList(bool b);

// The value a condition stands for. Throws on text or time values.
bool truthOf(const NotesValueList& v, const char* where);

// Type checks with messages that name the operator or function and both types.
QString typeName(const NotesValue& v);
[[noreturn]] void typeError(const char* where, const QString& expected, const NotesValue& got);
QString needText(const NotesValue& v, const char* where);
double needNumber(const NotesValue& v, const char* where);
NotesDateTime needTime(const NotesValue& v, const char* where);

// Time arithmetic: milliseconds on one scale (UTC when the value has a zone).
qint64 timeKey(const NotesDateTime& t);
NotesDateTime addSeconds(const NotesDateTime& t, double seconds);

// Values as text for @Text and @Implode-like functions.
QString numberToText(double d, QStringView format);
QString timeToText(const NotesDateTime& t, QStringView format);

} // namespace engine::formula

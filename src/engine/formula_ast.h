#pragma once
// The compiled form of a formula: statements over a tree of nodes. Names are
// resolved at compile time (field or temporary variable slot), functions are
// looked up once, constants are pre-built value lists, so evaluating touches
// no text it does not have to.
#include "domino/notesvalue.h"
#include "engine/formula.h"
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace engine::formula {

using domino::NotesDateTime;
using domino::NotesValue;
using domino::NotesValueList;

enum class Op { Add, Sub, Mul, Div, Eq, Ne, Lt, Gt, Le, Ge, And, Or };

struct Node;
class Evaluator;
using FuncImpl = NotesValueList (*)(Evaluator&, const Node&);
// Compile-time check of a call's arguments beyond their count (keywords, field names);
// may store what it found in the node's `tag`. Throws platform::Error.
using FuncCheck = void (*)(Node&);

struct FuncInfo {
    const char* name;  // as documented, e.g. "@IsAvailable"
    int minArgs;
    int maxArgs;       // -1: any number
    FuncImpl impl;
    FuncCheck check = nullptr;
};

// Case-insensitive lookup; nullptr for a function outside the subset.
const FuncInfo* findFunction(QStringView name);

struct Node {
    enum class Kind {
        Constant,   // value
        Keyword,    // [CN] etc.: only meaningful as a function argument; name holds it upper-case
        Field,      // name
        Variable,   // slot
        Negate,     // kids[0]
        Not,        // kids[0]
        Binary,     // op, permuted, kids[0..1]
        List,       // kids: concatenated with ':'
        Subscript,  // kids[0][kids[1]]
        Call,       // func, kids: arguments
    };
    Kind kind = Kind::Constant;
    int pos = 0;  // 0-based offset in the source, for messages
    Op op = Op::Add;
    bool permuted = false;
    int slot = -1;
    int tag = 0;  // per-function compile-time data (e.g. the @Name action)
    int depth = 1;  // height of the subtree: bounds the evaluator's recursion
    const FuncInfo* func = nullptr;
    QString name;
    NotesValueList value;
    std::vector<std::unique_ptr<Node>> kids;
};
using NodePtr = std::unique_ptr<Node>;

struct Statement {
    enum class Kind { Expr, Select, Assign, Default };
    Kind kind = Kind::Expr;
    int slot = -1;      // Assign/Default: the variable written
    QString fieldName;  // Default: the field whose value wins when present
    NodePtr expr;
};

struct Program {
    QString source;
    std::vector<Statement> statements;
    int slotCount = 0;
    int resultIndex = -1;  // last Expr or Select statement
    int selectIndex = -1;  // last Select statement
    bool selectAll = true;
    Formula::Responses responses = Formula::Responses::None;  // @AllChildren / @AllDescendants
};

// Parses and resolves a whole formula. Throws platform::Error.
std::shared_ptr<const Program> parse(const QString& source);

// Date-time text as @TextToTime and [..] constants read it: ISO "yyyy-MM-dd[ HH:mm[:ss]]",
// "M/d/yyyy" (also with - or .), "HH:mm[:ss] [AM|PM]", and with `relative` Today/Tomorrow/
// Yesterday (not in [..] constants: those are fixed at compile time).
std::optional<NotesDateTime> parseDateTimeText(QStringView text, bool relative = true);

} // namespace engine::formula

// Evaluation of nodes and the list-wise operators. Pair-wise operators repeat
// the last element of the shorter list; permuted ones (*+, *=, ...) pair every
// element of the left list with every element of the right one, left-major.
// Comparisons are true when one pair satisfies them.
#include "engine/formula_eval.h"
#include "platform/error.h"
#include <QDateTime>
#include <cmath>

namespace engine::formula {

const NotesValueList& emptyTextList()
{
    static const NotesValueList v{NotesValue(QString())};
    return v;
}

const NotesValueList& boolList(bool b)
{
    static const NotesValueList t{NotesValue(1.0)};
    static const NotesValueList f{NotesValue(0.0)};
    return b ? t : f;
}

QString typeName(const NotesValue& v)
{
    if (v.isNumber())
        return QStringLiteral("数字");
    if (v.isDateTime())
        return QStringLiteral("日期时间");
    return QStringLiteral("文本");
}

void typeError(const char* where, const QString& expected, const NotesValue& got)
{
    throw platform::Error(QStringLiteral("公式类型错误: %1 需要%2，得到%3")
                              .arg(QString::fromUtf8(where), expected, typeName(got)));
}

QString needText(const NotesValue& v, const char* where)
{
    if (!v.isText())
        typeError(where, QStringLiteral("文本"), v);
    return v.text();
}

double needNumber(const NotesValue& v, const char* where)
{
    if (!v.isNumber())
        typeError(where, QStringLiteral("数字"), v);
    return v.number();
}

NotesDateTime needTime(const NotesValue& v, const char* where)
{
    if (!v.isDateTime())
        typeError(where, QStringLiteral("日期时间"), v);
    return v.dateTime();
}

bool truthOf(const NotesValueList& v, const char* where)
{
    if (v.isEmpty())
        return false;
    return needNumber(v.first(), where) != 0;
}

qint64 timeKey(const NotesDateTime& t)
{
    const qint64 day = t.date.isValid() ? t.date.toJulianDay() : 0;
    const qint64 ms = t.time.isValid() ? t.time.msecsSinceStartOfDay() : 0;
    return day * 86400000 + ms - qint64(t.offsetSeconds.value_or(0)) * 1000;
}

NotesDateTime addSeconds(const NotesDateTime& t, double seconds)
{
    // Beyond about 30,000 years the result is no date Domino can hold.
    if (!(std::fabs(seconds) < 1e12))
        throw platform::Error(QStringLiteral("公式错误: 日期时间超出范围"));
    const qint64 delta = qint64(std::llround(seconds * 1000));
    NotesDateTime r = t;
    if (!t.time.isValid()) {  // a date alone moves by whole days
        r.date = t.date.addDays(delta / 86400000);
        return r;
    }
    const qint64 day = t.date.isValid() ? t.date.toJulianDay() : 0;
    qint64 total = day * 86400000 + t.time.msecsSinceStartOfDay() + delta;
    qint64 newDay = total / 86400000;
    qint64 ms = total % 86400000;
    if (ms < 0) {
        ms += 86400000;
        --newDay;
    }
    r.time = QTime::fromMSecsSinceStartOfDay(int(ms));
    if (t.date.isValid())
        r.date = QDate::fromJulianDay(newDay);
    return r;
}

namespace {

const char* opName(Op op, bool permuted)
{
    static const char* const names[] = {"+", "-", "*", "/", "=", "!=", "<", ">", "<=", ">=", "&", "|"};
    static const char* const pnames[] = {"*+", "*-", "**", "*/", "*=", "*!=", "*<", "*>", "*<=", "*>="};
    return permuted ? pnames[int(op)] : names[int(op)];
}

[[noreturn]] void operandError(Op op, bool permuted, const NotesValue& a, const NotesValue& b)
{
    throw platform::Error(QStringLiteral("公式类型错误: 运算符 %1 不能用于%2和%3")
                              .arg(QLatin1StringView(opName(op, permuted)), typeName(a), typeName(b)));
}

NotesValue arith(Op op, bool permuted, const NotesValue& a, const NotesValue& b)
{
    if (a.isNumber() && b.isNumber()) {
        const double x = a.number(), y = b.number();
        switch (op) {
        case Op::Add: return x + y;
        case Op::Sub: return x - y;
        case Op::Mul: return x * y;
        default:
            if (y == 0)
                throw platform::Error(QStringLiteral("公式错误: 除数为零"));
            return x / y;
        }
    }
    if (op == Op::Add && a.isText() && b.isText())
        return NotesValue(a.text() + b.text());
    if (a.isDateTime() && b.isNumber() && (op == Op::Add || op == Op::Sub))
        return NotesValue(addSeconds(a.dateTime(), op == Op::Add ? b.number() : -b.number()));
    if (a.isNumber() && b.isDateTime() && op == Op::Add)
        return NotesValue(addSeconds(b.dateTime(), a.number()));
    if (a.isDateTime() && b.isDateTime() && op == Op::Sub)  // seconds between two times
        return NotesValue(double(timeKey(a.dateTime()) - timeKey(b.dateTime())) / 1000.0);
    operandError(op, permuted, a, b);
}

// -1, 0, 1; text compares case-sensitively for equality, and orders without case first.
int order(Op op, bool permuted, const NotesValue& a, const NotesValue& b)
{
    if (a.isText() && b.isText()) {
        const QString x = a.text();  // shares the data: no copy of the characters
        const QString y = b.text();
        if (op == Op::Eq || op == Op::Ne)
            return x == y ? 0 : 1;
        const int ci = x.compare(y, Qt::CaseInsensitive);
        const int c = ci != 0 ? ci : x.compare(y, Qt::CaseSensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (a.isNumber() && b.isNumber()) {
        const double x = a.number(), y = b.number();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.isDateTime() && b.isDateTime()) {
        const qint64 x = timeKey(a.dateTime()), y = timeKey(b.dateTime());
        return x < y ? -1 : x > y ? 1 : 0;
    }
    operandError(op, permuted, a, b);
}

bool holds(Op op, int c)
{
    switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Gt: return c > 0;
    case Op::Le: return c <= 0;
    default: return c >= 0;
    }
}

void flattenInto(NotesValueList& out, const NotesValue& v)
{
    if (v.isList()) {
        for (const NotesValue& e : v.elements())
            flattenInto(out, e);
    } else {
        out.append(v);
    }
}

} // namespace

bool Evaluator::compare(const Node& n)
{
    const NotesValueList a = eval(*n.kids[0]);
    const NotesValueList b = eval(*n.kids[1]);
    const qsizetype la = a.size(), lb = b.size();
    if (n.permuted) {
        for (const NotesValue& x : a)
            for (const NotesValue& y : b)
                if (holds(n.op, order(n.op, true, x, y)))
                    return true;
        return false;
    }
    const qsizetype len = std::max(la, lb);
    for (qsizetype i = 0; i < len; ++i)
        if (holds(n.op, order(n.op, false, a[std::min(i, la - 1)], b[std::min(i, lb - 1)])))
            return true;
    return false;
}

NotesValueList Evaluator::binary(const Node& n)
{
    switch (n.op) {
    case Op::And: return boolList(truth(*n.kids[0]) && truth(*n.kids[1]));
    case Op::Or: return boolList(truth(*n.kids[0]) || truth(*n.kids[1]));
    case Op::Add:
    case Op::Sub:
    case Op::Mul:
    case Op::Div: break;
    default: return boolList(compare(n));
    }
    const NotesValueList a = eval(*n.kids[0]);
    const NotesValueList b = eval(*n.kids[1]);
    const qsizetype la = a.size(), lb = b.size();
    if (la == 1 && lb == 1)  // the common case: one value each, one allocation
        return NotesValueList{arith(n.op, n.permuted, a[0], b[0])};
    NotesValueList out;
    if (n.permuted) {
        out.reserve(la * lb);
        for (const NotesValue& x : a)
            for (const NotesValue& y : b)
                out.append(arith(n.op, true, x, y));
        return out;
    }
    const qsizetype len = std::max(la, lb);
    out.reserve(len);
    for (qsizetype i = 0; i < len; ++i)
        out.append(arith(n.op, false, a[std::min(i, la - 1)], b[std::min(i, lb - 1)]));
    return out;
}

bool Evaluator::truth(const Node& n)
{
    switch (n.kind) {
    case Node::Kind::Binary:
        if (n.op == Op::And)
            return truth(*n.kids[0]) && truth(*n.kids[1]);
        if (n.op == Op::Or)
            return truth(*n.kids[0]) || truth(*n.kids[1]);
        if (n.op >= Op::Eq)
            return compare(n);
        break;
    case Node::Kind::Not:
        return !truth(*n.kids[0]);
    default:
        break;
    }
    return truthOf(eval(n), "条件");
}

NotesValueList Evaluator::eval(const Node& n)
{
    switch (n.kind) {
    case Node::Kind::Constant:
        return n.value;
    case Node::Kind::Keyword:
        throw platform::Error(QStringLiteral("公式错误: 关键字 [%1] 不能用作值").arg(n.name));
    case Node::Kind::Field: {
        NotesValueList v = doc_.itemValue(n.name);
        if (v.isEmpty())
            return emptyTextList();
        for (const NotesValue& e : std::as_const(v)) {  // const: the list stays shared with the item
            if (e.isList()) {  // nested lists are flattened: every formula value is one flat list
                NotesValueList flat;
                for (const NotesValue& x : v)
                    flattenInto(flat, x);
                return flat.isEmpty() ? emptyTextList() : flat;
            }
        }
        return v;
    }
    case Node::Kind::Variable:
        return slots_[n.slot].isEmpty() ? emptyTextList() : slots_[n.slot];
    case Node::Kind::Negate: {
        NotesValueList v = eval(*n.kids[0]);
        for (NotesValue& e : v)
            e = NotesValue(-needNumber(e, "一元 -"));
        return v;
    }
    case Node::Kind::Not:
        return boolList(!truth(*n.kids[0]));
    case Node::Kind::Binary:
        return binary(n);
    case Node::Kind::List: {
        NotesValueList out;
        for (const auto& k : n.kids)
            out += eval(*k);
        return out;
    }
    case Node::Kind::Subscript: {
        const NotesValueList v = eval(*n.kids[0]);
        const NotesValueList idx = eval(*n.kids[1]);
        const double i = needNumber(idx.first(), "下标 []");
        if (i < 1 || i > double(v.size()) || i != std::floor(i))
            throw platform::Error(QStringLiteral("公式错误: 下标 %1 超出列表范围 (1 到 %2)")
                                      .arg(NotesValue(i).toText())
                                      .arg(v.size()));
        return {v[qsizetype(i) - 1]};
    }
    case Node::Kind::Call: {
        NotesValueList r = n.func->impl(*this, n);
        return r.isEmpty() ? emptyTextList() : r;
    }
    }
    return emptyTextList();
}

} // namespace engine::formula

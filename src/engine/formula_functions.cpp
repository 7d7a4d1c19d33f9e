// The @functions of the subset. Each works list-wise where Notes does (the
// function applies to every element), checks the types it is given, and
// raises platform::Error naming itself rather than returning a wrong value.
#include "engine/formula_eval.h"
#include "platform/clock.h"
#include "platform/error.h"
#include <QHash>
#include <algorithm>
#include <cmath>

namespace engine::formula {
namespace {

NotesValueList arg(Evaluator& ev, const Node& n, int i)
{
    return ev.eval(*n.kids[size_t(i)]);
}

NotesValueList textList(const QStringList& l)
{
    NotesValueList out;
    out.reserve(l.size());
    for (const QString& s : l)
        out.append(NotesValue(s));
    return out;
}

template <class F>
NotesValueList mapText(const NotesValueList& in, const char* where, F f)
{
    NotesValueList out;
    out.reserve(in.size());
    for (const NotesValue& e : in)
        out.append(NotesValue(f(needText(e, where))));
    return out;
}

template <class F>
NotesValueList mapTime(const NotesValueList& in, const char* where, F f)
{
    NotesValueList out;
    out.reserve(in.size());
    for (const NotesValue& e : in)
        out.append(f(needTime(e, where)));
    return out;
}

// A count or position from a formula number: whole, and kept in a range that converts
// without overflow (a list or text never comes near it).
qsizetype toCount(double d)
{
    if (std::isnan(d))
        return 0;
    return qsizetype(std::clamp(d, -1e9, 1e9));
}

QString firstText(Evaluator& ev, const Node& n, int i, const char* where)
{
    return needText(arg(ev, n, i).first(), where);
}

double firstNumber(Evaluator& ev, const Node& n, int i, const char* where)
{
    return needNumber(arg(ev, n, i).first(), where);
}

// --- constants and the document -------------------------------------------------------

NotesValueList fTrue(Evaluator&, const Node&) { return boolList(true); }
NotesValueList fFalse(Evaluator&, const Node&) { return boolList(false); }

NotesDateTime nowValue()
{
    const QDateTime now = platform::now();
    NotesDateTime t;
    t.date = now.date();
    const QTime tm = now.time();
    t.time = QTime(tm.hour(), tm.minute(), tm.second(), tm.msec() / 10 * 10);  // Domino keeps hundredths
    t.offsetSeconds = now.offsetFromUtc();
    return t;
}

NotesValueList fNow(Evaluator&, const Node&) { return {NotesValue(nowValue())}; }

template <int Shift>
NotesValueList fDay0(Evaluator&, const Node&)
{
    NotesDateTime t;
    t.date = platform::now().date().addDays(Shift);
    return {NotesValue(t)};
}

NotesValueList fCreated(Evaluator& ev, const Node&) { return {NotesValue(ev.doc().created())}; }
NotesValueList fModified(Evaluator& ev, const Node&) { return {NotesValue(ev.doc().modified())}; }
NotesValueList fIsResponseDoc(Evaluator& ev, const Node&) { return boolList(ev.doc().isResponse()); }
NotesValueList fDocNumber(Evaluator& ev, const Node&) { return {NotesValue(ev.doc().docNumber())}; }
NotesValueList fDocLength(Evaluator& ev, const Node&) { return {NotesValue(double(ev.doc().docLength()))}; }
NotesValueList fUnid(Evaluator& ev, const Node&) { return {NotesValue(ev.doc().universalId())}; }
NotesValueList fAuthor(Evaluator& ev, const Node&) { return textList(ev.doc().authors()); }
NotesValueList fAttachmentNames(Evaluator& ev, const Node&) { return textList(ev.doc().attachmentNames()); }
NotesValueList fAttachments(Evaluator& ev, const Node&)
{
    return {NotesValue(double(ev.doc().attachmentNames().size()))};
}

// The note ID as Notes shows it: "NT" and eight hex digits.
NotesValueList fNoteId(Evaluator& ev, const Node&)
{
    const QString id = ev.doc().noteId();
    if (id.startsWith(u"NT", Qt::CaseInsensitive) || id.isEmpty())
        return {NotesValue(id)};
    bool hex = false;
    id.toULongLong(&hex, 16);
    return {NotesValue(hex ? u"NT" + id.toUpper().rightJustified(8, u'0') : id)};
}

// --- the document's place in the view ----------------------------------------------------
// Outside a view these give "" (Notes leaves them undefined there).

// The count, or with texts (default), (zero; default) or (zero; one; default) the text
// that fits the count, with "%" standing for it.
NotesValueList countText(Evaluator& ev, const Node& n, int count, const char* where)
{
    const QString number = QString::number(count);
    const int argc = int(n.kids.size());
    if (argc == 0)
        return {NotesValue(number)};
    int pick = argc - 1;
    if (count == 0 && argc >= 2)
        pick = 0;
    else if (count == 1 && argc == 3)
        pick = 1;
    QString t = firstText(ev, n, pick, where);
    t.replace(u'%', number);
    return {NotesValue(t)};
}

NotesValueList fDocChildren(Evaluator& ev, const Node& n)
{
    const ViewPlace* p = ev.doc().viewPlace();
    return p ? countText(ev, n, p->children, "@DocChildren") : emptyTextList();
}
NotesValueList fDocDescendants(Evaluator& ev, const Node& n)
{
    const ViewPlace* p = ev.doc().viewPlace();
    return p ? countText(ev, n, p->descendants, "@DocDescendants") : emptyTextList();
}
NotesValueList fDocSiblings(Evaluator& ev, const Node&)
{
    const ViewPlace* p = ev.doc().viewPlace();
    return p ? NotesValueList{NotesValue(QString::number(p->siblings))} : emptyTextList();
}
NotesValueList fDocLevel(Evaluator& ev, const Node&)
{
    const ViewPlace* p = ev.doc().viewPlace();
    return p ? NotesValueList{NotesValue(QString::number(p->level))} : emptyTextList();
}
NotesValueList fDocParentNumber(Evaluator& ev, const Node&)
{
    const ViewPlace* p = ev.doc().viewPlace();
    return p ? NotesValueList{NotesValue(p->parentNumber)} : emptyTextList();
}
NotesValueList fResponses(Evaluator& ev, const Node&)
{
    const ViewPlace* p = ev.doc().viewPlace();
    return {NotesValue(double(p ? p->descendants : 0))};
}

// Our view entries are documents, never category rows.
NotesValueList fIsCategory(Evaluator& ev, const Node& n)
{
    return n.kids.size() == 2 ? NotesValueList{NotesValue(firstText(ev, n, 1, "@IsCategory"))} : emptyTextList();
}

// Every entry is shown expanded, so a row is expandable when it has responses.
NotesValueList fIsExpandable(Evaluator& ev, const Node& n)
{
    const ViewPlace* p = ev.doc().viewPlace();
    const bool expandable = p && p->children > 0;
    if (n.kids.empty())
        return {NotesValue(expandable ? QStringLiteral("+") : QStringLiteral("-"))};
    if (expandable)
        return {NotesValue(firstText(ev, n, 0, "@IsExpandable"))};
    return n.kids.size() == 2 ? NotesValueList{NotesValue(firstText(ev, n, 1, "@IsExpandable"))} : emptyTextList();
}

// In a selection "... | @AllDescendants" adds the responses of what the rest selects;
// the view does that after the documents' own evaluation, where these are false.
NotesValueList fAllResponses(Evaluator&, const Node&) { return boolList(false); }

void checkFieldName(Node& n)
{
    const Node& a = *n.kids[0];
    if (a.kind != Node::Kind::Field && a.kind != Node::Kind::Variable)
        throw platform::Error(QStringLiteral("公式语法错误(位置 %1): %2 的参数必须是域名")
                                  .arg(a.pos + 1)
                                  .arg(QLatin1StringView(n.func->name)));
}

NotesValueList fIsAvailable(Evaluator& ev, const Node& n)
{
    const Node& a = *n.kids[0];
    return boolList(a.kind == Node::Kind::Variable ? ev.slotAssigned(a.slot) : ev.doc().hasItem(a.name));
}
NotesValueList fIsUnavailable(Evaluator& ev, const Node& n)
{
    return boolList(!truthOf(fIsAvailable(ev, n), "@IsUnavailable"));
}

// --- control and types -----------------------------------------------------------------

void checkIf(Node& n)
{
    if (n.kids.size() % 2 == 0)
        throw platform::Error(QStringLiteral("公式语法错误(位置 %1): @If 需要奇数个参数 (条件; 值; ...; 否则的值)")
                                  .arg(n.pos + 1));
}

NotesValueList fIf(Evaluator& ev, const Node& n)
{
    const size_t last = n.kids.size() - 1;
    for (size_t i = 0; i < last; i += 2)
        if (ev.truth(*n.kids[i]))
            return ev.eval(*n.kids[i + 1]);
    return ev.eval(*n.kids[last]);
}

template <bool (NotesValue::*Is)() const>
NotesValueList fIsType(Evaluator& ev, const Node& n)
{
    const NotesValueList v = arg(ev, n, 0);
    for (const NotesValue& e : v)
        if (!(e.*Is)())
            return boolList(false);
    return boolList(true);
}

NotesValueList fText(Evaluator& ev, const Node& n)
{
    const QString format = n.kids.size() > 1 ? firstText(ev, n, 1, "@Text") : QString();
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v) {
        if (e.isNumber())
            e = NotesValue(numberToText(e.number(), format));
        else if (e.isDateTime())
            e = NotesValue(timeToText(e.dateTime(), format));
    }
    return v;
}

// The leading number of a text, as Notes reads "12 pcs"; nothing numeric is an error.
NotesValueList fTextToNumber(Evaluator& ev, const Node& n)
{
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v) {
        if (e.isNumber())
            continue;
        const QString s = needText(e, "@TextToNumber");
        const QStringView t = QStringView(s).trimmed();
        qsizetype i = 0;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        const qsizetype digitsStart = i;
        while (i < t.size() && t[i].isDigit())
            ++i;
        qsizetype digits = i - digitsStart;
        if (i < t.size() && t[i] == u'.') {
            ++i;
            const qsizetype f = i;
            while (i < t.size() && t[i].isDigit())
                ++i;
            digits += i - f;
        }
        if (digits > 0 && i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
            qsizetype k = i + 1;
            if (k < t.size() && (t[k] == u'+' || t[k] == u'-'))
                ++k;
            if (k < t.size() && t[k].isDigit()) {
                while (k < t.size() && t[k].isDigit())
                    ++k;
                i = k;
            }
        }
        bool ok = false;
        const double d = digits > 0 ? t.left(i).toDouble(&ok) : 0;
        if (!ok)
            throw platform::Error(QStringLiteral("公式错误: @TextToNumber 不能把 \"%1\" 转换为数字").arg(s));
        e = NotesValue(d);
    }
    return v;
}

// Text that is no time gives "" (a blank), as in Notes.
NotesValueList fTextToTime(Evaluator& ev, const Node& n)
{
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v) {
        const auto t = parseDateTimeText(needText(e, "@TextToTime"));
        e = t ? NotesValue(*t) : NotesValue(QString());
    }
    return v;
}

// --- time parts ------------------------------------------------------------------------

template <int Part>
NotesValueList fTimePart(Evaluator& ev, const Node& n)
{
    static const char* const names[] = {"@Year", "@Month", "@Day", "@Hour", "@Minute", "@Second", "@Weekday"};
    return mapTime(arg(ev, n, 0), names[Part], [](const NotesDateTime& t) {
        // A part the value does not have is -1, as in Notes.
        const QDate& d = t.date;
        const QTime& tm = t.time;
        switch (Part) {
        case 0: return NotesValue(d.isValid() ? d.year() : -1);
        case 1: return NotesValue(d.isValid() ? d.month() : -1);
        case 2: return NotesValue(d.isValid() ? d.day() : -1);
        case 3: return NotesValue(tm.isValid() ? tm.hour() : -1);
        case 4: return NotesValue(tm.isValid() ? tm.minute() : -1);
        case 5: return NotesValue(tm.isValid() ? tm.second() : -1);
        default: return NotesValue(d.isValid() ? d.dayOfWeek() % 7 + 1 : -1);  // Sunday is 1
        }
    });
}

void checkDate(Node& n)
{
    const size_t c = n.kids.size();
    if (c != 1 && c != 3 && c != 6)
        throw platform::Error(QStringLiteral("公式语法错误(位置 %1): @Date 需要 1、3 或 6 个参数").arg(n.pos + 1));
}

NotesValueList fDate(Evaluator& ev, const Node& n)
{
    if (n.kids.size() == 1)
        return mapTime(arg(ev, n, 0), "@Date", [](const NotesDateTime& t) {
            NotesDateTime d;
            d.date = t.date;
            return NotesValue(d);
        });
    const double y = firstNumber(ev, n, 0, "@Date"), m = firstNumber(ev, n, 1, "@Date"),
                 d = firstNumber(ev, n, 2, "@Date");
    NotesDateTime t;
    if (y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= 31)
        t.date = QDate(int(y), int(m), int(d));
    if (!t.date.isValid())
        throw platform::Error(QStringLiteral("公式错误: @Date 的日期无效 (%1-%2-%3)").arg(y).arg(m).arg(d));
    return {NotesValue(t)};
}

// --- names -----------------------------------------------------------------------------

enum NameAction { CN, Abbreviate, Canonicalize, O, C, OU1, OU2, OU3, OU4, HierarchyOnly };

void checkName(Node& n)
{
    const Node& a = *n.kids[0];
    if (a.kind != Node::Kind::Keyword)
        throw platform::Error(QStringLiteral("公式语法错误(位置 %1): @Name 的第一个参数必须是关键字，如 [CN]")
                                  .arg(a.pos + 1));
    static const QHash<QString, int> actions{
        {QStringLiteral("CN"), CN},       {QStringLiteral("ABBREVIATE"), Abbreviate},
        {QStringLiteral("CANONICALIZE"), Canonicalize},
        {QStringLiteral("O"), O},         {QStringLiteral("C"), C},
        {QStringLiteral("OU1"), OU1},     {QStringLiteral("OU2"), OU2},
        {QStringLiteral("OU3"), OU3},     {QStringLiteral("OU4"), OU4},
        {QStringLiteral("HIERARCHYONLY"), HierarchyOnly}};
    auto it = actions.constFind(a.name);
    if (it == actions.constEnd())
        throw platform::Error(QStringLiteral("不支持的公式函数: @Name([%1])").arg(a.name));
    n.tag = *it;
}

struct NameParts {
    bool hierarchical = false;
    QString cn, o, c;
    QStringList ous;  // as written, left to right: the last one is OU1
};

NameParts splitName(const QString& name)
{
    NameParts p;
    const QStringList parts = name.split(u'/');
    if (parts.size() < 2 && !name.contains(u'='))
        return p;
    p.hierarchical = true;
    if (name.contains(u'=')) {  // canonical: labelled components
        for (const QString& part : parts) {
            const qsizetype eq = part.indexOf(u'=');
            const QString label = part.left(eq).trimmed().toUpper();
            const QString value = part.mid(eq + 1).trimmed();
            if (label == u"CN")
                p.cn = value;
            else if (label == u"OU")
                p.ous << value;
            else if (label == u"O")
                p.o = value;
            else if (label == u"C")
                p.c = value;
            else if (eq < 0 && p.cn.isEmpty())
                p.cn = value;
        }
        return p;
    }
    // Abbreviated: common name first, organization last, a two-letter last part after
    // an organization is the country.
    qsizetype last = parts.size() - 1;
    p.cn = parts.first().trimmed();
    if (parts.size() >= 3 && parts[last].trimmed().size() == 2) {
        p.c = parts[last].trimmed();
        --last;
    }
    p.o = parts[last].trimmed();
    for (qsizetype i = 1; i < last; ++i)
        p.ous << parts[i].trimmed();
    return p;
}

QString nameAction(int action, const QString& name)
{
    const NameParts p = splitName(name);
    if (!p.hierarchical)
        return action == CN || action == Abbreviate || action == Canonicalize ? name : QString();
    auto ou = [&](int k) { return k <= p.ous.size() ? p.ous[p.ous.size() - k] : QString(); };
    auto canonical = [&](bool withCn) {
        QStringList out;
        if (withCn && !p.cn.isEmpty())
            out << u"CN=" + p.cn;
        for (const QString& u : p.ous)
            out << u"OU=" + u;
        if (!p.o.isEmpty())
            out << u"O=" + p.o;
        if (!p.c.isEmpty())
            out << u"C=" + p.c;
        return out.join(u'/');
    };
    switch (action) {
    case CN: return p.cn;
    case O: return p.o;
    case C: return p.c;
    case OU1: return ou(1);
    case OU2: return ou(2);
    case OU3: return ou(3);
    case OU4: return ou(4);
    case Canonicalize: return canonical(true);
    case HierarchyOnly: return canonical(false);
    default: {
        QStringList out;
        if (!p.cn.isEmpty())
            out << p.cn;
        out += p.ous;
        if (!p.o.isEmpty())
            out << p.o;
        if (!p.c.isEmpty())
            out << p.c;
        return out.join(u'/');
    }
    }
}

NotesValueList fName(Evaluator& ev, const Node& n)
{
    const int action = n.tag;
    return mapText(arg(ev, n, 1), "@Name", [action](const QString& s) { return nameAction(action, s); });
}

// --- text ------------------------------------------------------------------------------

template <bool Left>
NotesValueList fLeftRight(Evaluator& ev, const Node& n)
{
    const char* where = Left ? "@Left" : "@Right";
    const NotesValue how = arg(ev, n, 1).first();
    const NotesValueList v = arg(ev, n, 0);
    if (how.isNumber()) {
        const qsizetype k = std::max<qsizetype>(0, toCount(how.number()));
        return mapText(v, where, [k](const QString& s) { return Left ? s.left(k) : s.right(k); });
    }
    // With a text: what stands before (Left) or after (Right) its first occurrence, else "".
    const QString sub = needText(how, where);
    return mapText(v, where, [&sub](const QString& s) {
        const qsizetype at = s.indexOf(sub);
        if (at < 0)
            return QString();
        return Left ? s.left(at) : s.mid(at + sub.size());
    });
}

// @LeftBack and @RightBack: a count drops that many characters from the other end;
// a text takes what stands before (LeftBack) or after (RightBack) its last occurrence.
template <bool Left>
NotesValueList fBack(Evaluator& ev, const Node& n)
{
    const char* where = Left ? "@LeftBack" : "@RightBack";
    const NotesValue how = arg(ev, n, 1).first();
    const NotesValueList v = arg(ev, n, 0);
    if (how.isNumber()) {
        const qsizetype k = std::max<qsizetype>(0, toCount(how.number()));
        return mapText(v, where, [k](const QString& s) { return Left ? s.chopped(std::min(k, s.size())) : s.mid(k); });
    }
    const QString sub = needText(how, where);
    return mapText(v, where, [&sub](const QString& s) {
        const qsizetype at = s.lastIndexOf(sub);
        if (at < 0 || sub.isEmpty())
            return QString();
        return Left ? s.left(at) : s.mid(at + sub.size());
    });
}

NotesValueList fNewLine(Evaluator&, const Node&) { return {NotesValue(QStringLiteral("\n"))}; }

NotesValueList fChar(Evaluator& ev, const Node& n)
{
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v) {
        const double d = needNumber(e, "@Char");
        const char32_t c = d >= 0 && d <= 0x10FFFF ? char32_t(d) : 0;
        e = NotesValue(c ? QString::fromUcs4(&c, 1) : QString());
    }
    return v;
}

NotesValueList fWord(Evaluator& ev, const Node& n)
{
    const QString sep = firstText(ev, n, 1, "@Word");
    const double k = firstNumber(ev, n, 2, "@Word");
    return mapText(arg(ev, n, 0), "@Word", [&](const QString& s) {
        const QStringList words = sep.isEmpty() ? QStringList{s} : s.split(sep);
        qsizetype i = toCount(k);
        if (i < 0)  // counted from the end
            i = words.size() + i + 1;
        return i >= 1 && i <= words.size() ? words[i - 1] : QString();
    });
}

NotesValueList fImplode(Evaluator& ev, const Node& n)
{
    const QString sep = n.kids.size() > 1 ? firstText(ev, n, 1, "@Implode") : QStringLiteral(" ");
    QString out;
    bool first = true;
    for (const NotesValue& e : arg(ev, n, 0)) {
        if (!first)
            out += sep;
        out += needText(e, "@Implode");
        first = false;
    }
    return {NotesValue(out)};
}

// Each character of the separator text separates; empty pieces are dropped.
NotesValueList fExplode(Evaluator& ev, const Node& n)
{
    const QString seps = n.kids.size() > 1 ? firstText(ev, n, 1, "@Explode") : QStringLiteral(" ,;");
    NotesValueList out;
    for (const NotesValue& e : arg(ev, n, 0)) {
        const QString s = needText(e, "@Explode");
        qsizetype start = 0;
        for (qsizetype i = 0; i <= s.size(); ++i) {
            if (i == s.size() || seps.contains(s[i])) {
                if (i > start)
                    out.append(NotesValue(s.mid(start, i - start)));
                start = i + 1;
            }
        }
    }
    return out;
}

NotesValueList fSubset(Evaluator& ev, const Node& n)
{
    const double k = firstNumber(ev, n, 1, "@Subset");
    if (k == 0)
        throw platform::Error(QStringLiteral("公式错误: @Subset 的个数不能为 0"));
    const NotesValueList v = arg(ev, n, 0);
    const qsizetype count = std::min(v.size(), std::abs(toCount(k)));
    return k > 0 ? v.mid(0, count) : v.mid(v.size() - count);
}

enum class Match { Contains, Begins, Ends };

template <Match M>
NotesValueList fMatch(Evaluator& ev, const Node& n)
{
    static const char* const names[] = {"@Contains", "@Begins", "@Ends"};
    const char* where = names[int(M)];
    const NotesValueList hay = arg(ev, n, 0);
    const NotesValueList needles = arg(ev, n, 1);
    for (const NotesValue& h : hay) {
        const QString s = needText(h, where);
        for (const NotesValue& nd : needles) {
            const QString t = needText(nd, where);
            const bool hit = M == Match::Contains ? s.contains(t) : M == Match::Begins ? s.startsWith(t) : s.endsWith(t);
            if (hit)
                return boolList(true);
        }
    }
    return boolList(false);
}

// Leading, trailing and repeated inner spaces go; in a list, elements left empty go too.
NotesValueList fTrim(Evaluator& ev, const Node& n)
{
    const NotesValueList v = arg(ev, n, 0);
    NotesValueList out;
    for (const NotesValue& e : v) {
        const QString t = needText(e, "@Trim").simplified();
        if (!t.isEmpty() || v.size() == 1)
            out.append(NotesValue(t));
    }
    return out;
}

NotesValueList fUpper(Evaluator& ev, const Node& n)
{
    return mapText(arg(ev, n, 0), "@UpperCase", [](const QString& s) { return s.toUpper(); });
}
NotesValueList fLower(Evaluator& ev, const Node& n)
{
    return mapText(arg(ev, n, 0), "@LowerCase", [](const QString& s) { return s.toLower(); });
}
NotesValueList fProper(Evaluator& ev, const Node& n)
{
    return mapText(arg(ev, n, 0), "@ProperCase", [](const QString& s) {
        QString r = s.toLower();
        bool start = true;
        for (QChar& c : r) {
            if (start && c.isLetter())
                c = c.toUpper();
            start = c.isSpace();
        }
        return r;
    });
}

NotesValueList fLength(Evaluator& ev, const Node& n)
{
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v)
        e = NotesValue(double(needText(e, "@Length").size()));
    return v;
}

NotesValueList fReplaceSubstring(Evaluator& ev, const Node& n)
{
    const NotesValueList from = arg(ev, n, 1), to = arg(ev, n, 2);
    return mapText(arg(ev, n, 0), "@ReplaceSubstring", [&](QString s) {
        for (qsizetype i = 0; i < from.size(); ++i) {
            const QString f = needText(from[i], "@ReplaceSubstring");
            if (!f.isEmpty())
                s.replace(f, needText(to[std::min(i, to.size() - 1)], "@ReplaceSubstring"));
        }
        return s;
    });
}

// --- lists -----------------------------------------------------------------------------

// A single empty text counts as no element at all.
NotesValueList fElements(Evaluator& ev, const Node& n)
{
    const NotesValueList v = arg(ev, n, 0);
    const bool none = v.size() == 1 && v[0].isText() && v[0].text().isEmpty();
    return {NotesValue(none ? 0.0 : double(v.size()))};
}
NotesValueList fCount(Evaluator& ev, const Node& n)
{
    return {NotesValue(double(arg(ev, n, 0).size()))};
}

NotesValueList fUnique(Evaluator& ev, const Node& n)
{
    NotesValueList out;
    for (const NotesValue& e : arg(ev, n, 0))
        if (!out.contains(e))
            out.append(e);
    return out;
}

template <bool Member>
NotesValueList fIsMember(Evaluator& ev, const Node& n)
{
    const NotesValueList a = arg(ev, n, 0), b = arg(ev, n, 1);
    for (const NotesValue& e : a)
        if (b.contains(e) != Member)
            return boolList(false);
    return boolList(true);
}

NotesValueList fSum(Evaluator& ev, const Node& n)
{
    double s = 0;
    for (size_t i = 0; i < n.kids.size(); ++i)
        for (const NotesValue& e : arg(ev, n, int(i)))
            s += needNumber(e, "@Sum");
    return {NotesValue(s)};
}

NotesValueList fAbs(Evaluator& ev, const Node& n)
{
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v)
        e = NotesValue(std::fabs(needNumber(e, "@Abs")));
    return v;
}

// Whole elements of the first list found in the second are replaced by the element at the
// same place of the third ("" when the third is shorter).
NotesValueList fReplace(Evaluator& ev, const Node& n)
{
    NotesValueList v = arg(ev, n, 0);
    const NotesValueList from = arg(ev, n, 1), to = arg(ev, n, 2);
    for (NotesValue& e : v) {
        const qsizetype at = from.indexOf(e);
        if (at >= 0)
            e = at < to.size() ? to[at] : NotesValue(QString());
    }
    return v;
}

// The 1-based place of the value in the list, 0 when absent.
NotesValueList fMember(Evaluator& ev, const Node& n)
{
    const NotesValue value = arg(ev, n, 0).first();
    return {NotesValue(double(arg(ev, n, 1).indexOf(value) + 1))};
}

// With one list, its largest (smallest) number; with two, pair-wise.
template <bool Max>
NotesValueList fMaxMin(Evaluator& ev, const Node& n)
{
    const char* where = Max ? "@Max" : "@Min";
    auto pick = [](double a, double b) { return Max ? std::max(a, b) : std::min(a, b); };
    const NotesValueList a = arg(ev, n, 0);
    if (n.kids.size() == 1) {
        double r = needNumber(a.first(), where);
        for (const NotesValue& e : a)
            r = pick(r, needNumber(e, where));
        return {NotesValue(r)};
    }
    const NotesValueList b = arg(ev, n, 1);
    NotesValueList out;
    const qsizetype len = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < len; ++i)
        out.append(NotesValue(pick(needNumber(a[std::min(i, a.size() - 1)], where),
                                   needNumber(b[std::min(i, b.size() - 1)], where))));
    return out;
}

// To the nearest whole number, or the nearest multiple of the second argument.
NotesValueList fRound(Evaluator& ev, const Node& n)
{
    const double factor = n.kids.size() > 1 ? firstNumber(ev, n, 1, "@Round") : 1;
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v) {
        const double d = needNumber(e, "@Round");
        e = NotesValue(factor == 0 ? d : std::round(d / factor) * factor);
    }
    return v;
}

NotesValueList fInteger(Evaluator& ev, const Node& n)
{
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v)
        e = NotesValue(std::trunc(needNumber(e, "@Integer")));
    return v;
}

NotesValueList fModulo(Evaluator& ev, const Node& n)
{
    const double d = firstNumber(ev, n, 1, "@Modulo");
    if (d == 0)
        throw platform::Error(QStringLiteral("公式错误: 除数为零"));
    NotesValueList v = arg(ev, n, 0);
    for (NotesValue& e : v)
        e = NotesValue(std::fmod(needNumber(e, "@Modulo"), d));
    return v;
}

// @Adjust(time; years; months; days; hours; minutes; seconds): calendar steps for the
// date parts (31 January plus one month is the last day of February), then the clock.
NotesValueList fAdjust(Evaluator& ev, const Node& n)
{
    double parts[6];
    for (int i = 0; i < 6; ++i)
        parts[i] = firstNumber(ev, n, i + 1, "@Adjust");
    for (double p : parts)
        if (!(std::fabs(p) < 1e6))
            throw platform::Error(QStringLiteral("公式错误: 日期时间超出范围"));
    return mapTime(arg(ev, n, 0), "@Adjust", [&](const NotesDateTime& t) {
        NotesDateTime r = t;
        if (r.date.isValid())
            r.date = r.date.addYears(int(parts[0])).addMonths(int(parts[1])).addDays(qint64(parts[2]));
        const double seconds = parts[3] * 3600 + parts[4] * 60 + parts[5];
        return NotesValue(seconds != 0 && r.time.isValid() ? addSeconds(r, seconds) : r);
    });
}

const FuncInfo functions[] = {
    {"@All", 0, 0, fTrue},
    {"@True", 0, 0, fTrue},
    {"@Yes", 0, 0, fTrue},
    {"@False", 0, 0, fFalse},
    {"@No", 0, 0, fFalse},
    {"@Now", 0, 0, fNow},
    {"@Today", 0, 0, fDay0<0>},
    {"@Tomorrow", 0, 0, fDay0<1>},
    {"@Yesterday", 0, 0, fDay0<-1>},
    {"@Created", 0, 0, fCreated},
    {"@Modified", 0, 0, fModified},
    {"@IsResponseDoc", 0, 0, fIsResponseDoc},
    {"@DocNumber", 0, 0, fDocNumber},
    {"@DocChildren", 0, 3, fDocChildren},
    {"@DocDescendants", 0, 3, fDocDescendants},
    {"@DocSiblings", 0, 0, fDocSiblings},
    {"@DocLevel", 0, 0, fDocLevel},
    {"@DocParentNumber", 0, 0, fDocParentNumber},
    {"@Responses", 0, 0, fResponses},
    {"@IsCategory", 0, 2, fIsCategory},
    {"@IsExpandable", 0, 2, fIsExpandable},
    {"@AllChildren", 0, 0, fAllResponses},
    {"@AllDescendants", 0, 0, fAllResponses},
    {"@DocLength", 0, 0, fDocLength},
    {"@DocumentUniqueID", 0, 0, fUnid},
    {"@NoteID", 0, 0, fNoteId},
    {"@Author", 0, 0, fAuthor},
    {"@AttachmentNames", 0, 0, fAttachmentNames},
    {"@Attachments", 0, 0, fAttachments},
    {"@IsAvailable", 1, 1, fIsAvailable, checkFieldName},
    {"@IsUnavailable", 1, 1, fIsUnavailable, checkFieldName},
    {"@If", 3, -1, fIf, checkIf},
    {"@IsNumber", 1, 1, fIsType<&NotesValue::isNumber>},
    {"@IsText", 1, 1, fIsType<&NotesValue::isText>},
    {"@IsTime", 1, 1, fIsType<&NotesValue::isDateTime>},
    {"@Text", 1, 2, fText},
    {"@TextToNumber", 1, 1, fTextToNumber},
    {"@TextToTime", 1, 1, fTextToTime},
    {"@Year", 1, 1, fTimePart<0>},
    {"@Month", 1, 1, fTimePart<1>},
    {"@Day", 1, 1, fTimePart<2>},
    {"@Hour", 1, 1, fTimePart<3>},
    {"@Minute", 1, 1, fTimePart<4>},
    {"@Second", 1, 1, fTimePart<5>},
    {"@Weekday", 1, 1, fTimePart<6>},
    {"@Date", 1, 6, fDate, checkDate},
    {"@Name", 2, 2, fName, checkName},
    {"@Left", 2, 2, fLeftRight<true>},
    {"@Right", 2, 2, fLeftRight<false>},
    {"@LeftBack", 2, 2, fBack<true>},
    {"@RightBack", 2, 2, fBack<false>},
    {"@NewLine", 0, 0, fNewLine},
    {"@Char", 1, 1, fChar},
    {"@Replace", 3, 3, fReplace},
    {"@Member", 2, 2, fMember},
    {"@Max", 1, 2, fMaxMin<true>},
    {"@Min", 1, 2, fMaxMin<false>},
    {"@Round", 1, 2, fRound},
    {"@Integer", 1, 1, fInteger},
    {"@Modulo", 2, 2, fModulo},
    {"@Adjust", 7, 8, fAdjust},
    {"@Word", 3, 3, fWord},
    {"@Implode", 1, 2, fImplode},
    {"@Explode", 1, 2, fExplode},
    {"@Subset", 2, 2, fSubset},
    {"@Contains", 2, 2, fMatch<Match::Contains>},
    {"@Begins", 2, 2, fMatch<Match::Begins>},
    {"@Ends", 2, 2, fMatch<Match::Ends>},
    {"@Trim", 1, 1, fTrim},
    {"@UpperCase", 1, 1, fUpper},
    {"@LowerCase", 1, 1, fLower},
    {"@ProperCase", 1, 1, fProper},
    {"@Length", 1, 1, fLength},
    {"@ReplaceSubstring", 3, 3, fReplaceSubstring},
    {"@Elements", 1, 1, fElements},
    {"@Count", 1, 1, fCount},
    {"@Unique", 1, 1, fUnique},
    {"@IsMember", 2, 2, fIsMember<true>},
    {"@IsNotMember", 2, 2, fIsMember<false>},
    {"@Sum", 1, -1, fSum},
    {"@Abs", 1, 1, fAbs},
};

} // namespace

const FuncInfo* findFunction(QStringView name)
{
    static const QHash<QString, const FuncInfo*> byName = [] {
        QHash<QString, const FuncInfo*> h;
        for (const FuncInfo& f : functions)
            h.insert(QString::fromLatin1(f.name).toLower(), &f);
        return h;
    }();
    return byName.value(name.toString().toLower(), nullptr);
}

} // namespace engine::formula

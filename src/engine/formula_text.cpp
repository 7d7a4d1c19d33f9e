// Conversions between formula values and text: @TextToTime and [..] constants
// (a hand-written scanner, since it runs per document), and the number and
// time formats of @Text. Dates are written as the rest of the program writes
// them (yyyy-MM-dd HH:mm:ss), not in the US forms of the Notes client.
#include "engine/formula_eval.h"
#include "platform/clock.h"
#include <QLocale>
#include <cmath>

namespace engine::formula {
namespace {

struct Scanner {
    QStringView s;
    qsizetype i = 0;

    bool atEnd() const { return i >= s.size(); }
    QChar peek() const { return atEnd() ? QChar() : s[i]; }
    void skipSpace()
    {
        while (!atEnd() && s[i].isSpace())
            ++i;
    }
    // Digits as a number; -1 when there are none. `digits` receives their count.
    int number(int* digits = nullptr)
    {
        int v = 0, n = 0;
        while (!atEnd() && s[i].isDigit() && n < 9) {
            v = v * 10 + s[i].digitValue();
            ++i;
            ++n;
        }
        if (digits)
            *digits = n;
        return n ? v : -1;
    }
};

int fullYear(int y, int digits)
{
    if (digits > 2)
        return y;
    return y < 50 ? 2000 + y : 1900 + y;  // the pivot Notes uses for two-digit years
}

bool scanDate(Scanner& sc, QDate& out)
{
    int d1 = 0, d2 = 0, d3 = 0;
    const int a = sc.number(&d1);
    if (a < 0)
        return false;
    const QChar sep = sc.peek();
    if (sep != u'-' && sep != u'/' && sep != u'.')
        return false;
    ++sc.i;
    const int b = sc.number(&d2);
    if (b < 0 || sc.peek() != sep)
        return false;
    ++sc.i;
    const int c = sc.number(&d3);
    if (c < 0)
        return false;
    out = d1 == 4 ? QDate(a, b, c) : QDate(fullYear(c, d3), a, b);  // ISO, else month/day/year
    return out.isValid();
}

bool scanTime(Scanner& sc, QTime& out)
{
    int h = sc.number();
    if (h < 0 || sc.peek() != u':')
        return false;
    ++sc.i;
    const int m = sc.number();
    if (m < 0)
        return false;
    int s = 0, ms = 0;
    if (sc.peek() == u':') {
        ++sc.i;
        s = sc.number();
        if (s < 0)
            return false;
        if (sc.peek() == u'.' || sc.peek() == u',') {
            ++sc.i;
            int digits = 0;
            int frac = sc.number(&digits);
            if (frac < 0)
                return false;
            while (digits > 3) { frac /= 10; --digits; }
            while (digits < 3) { frac *= 10; ++digits; }
            ms = frac;
        }
    }
    const qsizetype save = sc.i;
    sc.skipSpace();
    const QStringView rest = sc.s.mid(sc.i);
    if (rest.startsWith(u"AM", Qt::CaseInsensitive) || rest.startsWith(u"PM", Qt::CaseInsensitive)) {
        if (h < 1 || h > 12)
            return false;
        const bool pm = rest[0].toUpper() == u'P';
        h = h % 12 + (pm ? 12 : 0);
        sc.i += 2;
    } else {
        sc.i = save;
    }
    out = QTime(h, m, s, ms);
    return out.isValid();
}

} // namespace

std::optional<NotesDateTime> parseDateTimeText(QStringView text, bool relative)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    const int shift = text.compare(u"Today", Qt::CaseInsensitive) == 0       ? 0
                      : text.compare(u"Tomorrow", Qt::CaseInsensitive) == 0  ? 1
                      : text.compare(u"Yesterday", Qt::CaseInsensitive) == 0 ? -1
                                                                             : 2;
    if (shift != 2 && relative) {
        NotesDateTime r;
        r.date = platform::now().date().addDays(shift);
        return r;
    }
    Scanner sc{text};
    NotesDateTime r;
    const qsizetype start = sc.i;
    if (!scanDate(sc, r.date)) {
        sc.i = start;
        r.date = QDate();
        if (!scanTime(sc, r.time))
            return std::nullopt;
    } else {
        sc.skipSpace();
        if (sc.peek() == u'T')
            ++sc.i;
        if (!sc.atEnd() && !scanTime(sc, r.time))
            return std::nullopt;
    }
    sc.skipSpace();
    if (!sc.atEnd())
        return std::nullopt;
    return r;
}

QString numberToText(double d, QStringView format)
{
    if (format.isEmpty())
        return NotesValue(d).toText();
    char style = 'G';
    bool grouped = false, percent = false, parens = false;
    int decimals = -1;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i].toUpper();
        if (c == u'G' || c == u'F' || c == u'S' || c == u'C')
            style = char(c.unicode());
        else if (c == u',')
            grouped = true;
        else if (c == u'%')
            percent = true;
        else if (c == u'(')
            parens = true;
        else if (c.isDigit()) {
            decimals = c.digitValue();
            while (i + 1 < format.size() && format[i + 1].isDigit())
                decimals = decimals * 10 + format[++i].digitValue();
        }
    }
    if (percent)
        d *= 100;
    const bool negative = d < 0;
    const double a = parens ? std::fabs(d) : d;
    QString out;
    QLocale c = QLocale::c();
    if (grouped)
        c.setNumberOptions(QLocale::DefaultNumberOptions);
    else
        c.setNumberOptions(QLocale::OmitGroupSeparator);
    switch (style) {
    case 'F':
    case 'C':
        out = c.toString(a, 'f', decimals < 0 ? 2 : decimals);
        break;
    case 'S':
        out = c.toString(a, 'e', decimals < 0 ? 2 : decimals).toUpper();
        break;
    default:
        out = decimals < 0 ? (grouped ? c.toString(a, 'f', QLocale::FloatingPointShortest)
                                      : NotesValue(a).toText())
                           : c.toString(a, 'f', decimals);
        break;
    }
    if (percent)
        out += u'%';
    if (parens && negative)
        out = u'(' + out + u')';
    return out;
}

QString timeToText(const NotesDateTime& t, QStringView format)
{
    if (format.isEmpty())
        return t.toText();
    QString datePattern = QStringLiteral("yyyy-MM-dd");
    QString timePattern = QStringLiteral("HH:mm:ss");
    bool showDate = t.date.isValid(), showTime = t.time.isValid();
    for (qsizetype i = 0; i + 1 < format.size(); ++i) {
        const QChar k = format[i].toUpper();
        const int n = format[i + 1].digitValue();
        if (n < 0)
            continue;
        if (k == u'D')
            datePattern = n == 2 ? QStringLiteral("MM-dd") : n == 3 ? QStringLiteral("yyyy-MM") : QStringLiteral("yyyy-MM-dd");
        else if (k == u'T')
            timePattern = n == 1 ? QStringLiteral("HH:mm") : QStringLiteral("HH:mm:ss");
        else if (k == u'S') {
            if (n == 0)
                showTime = false;
            else if (n == 1)
                showDate = false;
        }
    }
    QString out;
    if (showDate && t.date.isValid())
        out = t.date.toString(datePattern);
    if (showTime && t.time.isValid()) {
        if (!out.isEmpty())
            out += u' ';
        out += t.time.toString(timePattern);
    }
    return out;
}

} // namespace engine::formula

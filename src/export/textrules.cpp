#include "export/textrules.h"
#include "platform/error.h"

namespace exporting {

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

std::optional<qint32> parseInteger(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text.at(i) == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text.at(i) == u'$' || text.at(i) == u'x' || text.at(i) == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;  // no digit after the sign and the prefix

    quint64 value = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int d = hexDigit(text.at(i));
            if (d < 0)
                return std::nullopt;
            value = value * 16 + quint64(d);
            if (value > 0xFFFFFFFFull)
                return std::nullopt;
        }
        // 32 bits taken as a signed value, then the sign applied.
        const qint32 bits = qint32(quint32(value));
        return negative ? qint32(0u - quint32(bits)) : bits;
    }
    for (; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        value = value * 10 + (u - u'0');
        if (value > 2147483648ull)
            return std::nullopt;
    }
    if (negative)
        return qint32(-qint64(value));
    if (value > 2147483647ull)
        return std::nullopt;
    return qint32(value);
}

bool IsInteger(const QString& text) { return parseInteger(text).has_value(); }

qint32 StrToInt(const QString& text)
{
    if (const auto v = parseInteger(text))
        return *v;
    throw platform::Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

QString CleanFileName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        switch (c.unicode()) {
        case u'"':
        case u'\\':
        case u':':
        case u'>':
        case u'<':
        case u'|':
        case u'*':
        case u'?':
        case u'/':
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace exporting

#include "domino/notesvalue.h"
#include "platform/error.h"
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace domino {

QString NotesDateTime::toText() const
{
    QString t;
    if (time.isValid()) {
        t = time.toString(QStringLiteral("HH:mm:ss"));
        if (time.msec() != 0)  // Domino keeps hundredths of a second
            t += u'.' + QString::number(time.msec() / 10).rightJustified(2, u'0');
    }
    if (date.isValid() && time.isValid())
        return date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + t;
    if (date.isValid())
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    return t;
}

NotesValue NotesValue::list(NotesValueList values)
{
    NotesValue v;
    v.v_ = ListBox{std::make_shared<const NotesValueList>(std::move(values))};
    return v;
}

QString NotesValue::text() const
{
    if (auto* s = std::get_if<QString>(&v_))
        return *s;
    return {};
}

double NotesValue::number() const
{
    if (auto* d = std::get_if<double>(&v_))
        return *d;
    return 0;
}

NotesDateTime NotesValue::dateTime() const
{
    if (auto* d = std::get_if<NotesDateTime>(&v_))
        return *d;
    return {};
}

const NotesValueList& NotesValue::elements() const
{
    static const NotesValueList none;
    if (auto* l = std::get_if<ListBox>(&v_))
        return *l->items;
    return none;
}

static QString numberText(double d)
{
    if (std::isnan(d))
        return QStringLiteral("NaN");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(static_cast<qint64>(d));
    // Shortest representation that reads back as the same double.
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

QString NotesValue::toText() const
{
    return std::visit(
        [](const auto& x) -> QString {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, QString>)
                return x;
            else if constexpr (std::is_same_v<T, double>)
                return numberText(x);
            else if constexpr (std::is_same_v<T, NotesDateTime>)
                return x.toText();
            else {
                QStringList parts;
                parts.reserve(x.items->size());
                for (const NotesValue& e : *x.items)
                    parts << e.toText();
                return parts.join(QStringLiteral(", "));
            }
        },
        v_);
}

bool NotesValue::operator==(const NotesValue& o) const
{
    if (v_.index() != o.v_.index())
        return false;
    if (isList())
        return elements() == o.elements();
    if (isText())
        return text() == o.text();
    if (isNumber())
        return number() == o.number();
    return dateTime() == o.dateTime();
}

QString firstValueText(const NotesValueList& values)
{
    if (values.isEmpty())
        throw platform::Error(QStringLiteral("域值为空"));
    return values.first().toText();
}

} // namespace domino

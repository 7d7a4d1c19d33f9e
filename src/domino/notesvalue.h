#pragma once
// Item and column values as the Domino Objects hand them over: text, number,
// date-time, or a list of such values. toText() is the one conversion to text
// used everywhere (list, detail grid, export cells and log lines, quillet-cli).
#include <QDate>
#include <QList>
#include <QString>
#include <QTime>
#include <memory>
#include <optional>
#include <variant>

namespace domino {

// A Domino time: a date, a time, or both, with the zone offset it was stored
// with (seconds east of UTC) when it has one.
struct NotesDateTime {
    QDate date;                 // invalid for a time-only value
    QTime time;                 // invalid for a date-only value
    std::optional<int> offsetSeconds;
    // "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd" or "HH:mm:ss" (hundredths when present).
    QString toText() const;
    bool operator==(const NotesDateTime&) const = default;
};

class NotesValue;
using NotesValueList = QList<NotesValue>;

class NotesValue {
public:
    NotesValue() = default;                                  // empty text
    NotesValue(QString text) : v_(std::move(text)) {}        // NOLINT: implicit by design
    NotesValue(const char* text) : v_(QString::fromUtf8(text)) {}
    NotesValue(double number) : v_(number) {}
    NotesValue(int number) : v_(double(number)) {}
    NotesValue(NotesDateTime dt) : v_(std::move(dt)) {}
    static NotesValue list(NotesValueList values);

    bool isText() const { return std::holds_alternative<QString>(v_); }
    bool isNumber() const { return std::holds_alternative<double>(v_); }
    bool isDateTime() const { return std::holds_alternative<NotesDateTime>(v_); }
    bool isList() const { return std::holds_alternative<ListBox>(v_); }

    QString text() const;          // the text of a text value, else empty
    double number() const;         // the number of a number value, else 0
    NotesDateTime dateTime() const;
    const NotesValueList& elements() const;  // a list's elements (empty for a scalar)

    // Text: as stored. Number: shortest form that reads back, no trailing ".0"
    // for whole numbers. Date-time: NotesDateTime::toText. List: the elements'
    // texts joined with ", ".
    QString toText() const;

    bool operator==(const NotesValue& o) const;

private:
    struct ListBox {
        std::shared_ptr<const NotesValueList> items;
    };
    std::variant<QString, double, NotesDateTime, ListBox> v_;
};

// The first element of a value list as text: what the detail grid and the
// export cells show. Throws platform::Error when the list is empty.
QString firstValueText(const NotesValueList& values);

} // namespace domino

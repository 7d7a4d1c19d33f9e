#pragma once
// Small OLE objects for DXL fixtures: a compound file written with libgsf,
// a package's Ole10Native stream, and the $FILE items that store an object
// as byte-array pages the way Notes exports it.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace fixtures {

// The 16 bytes of a class id as a compound file stores it, from "{XXXXXXXX-...}".
QByteArray classIdBytes(const char* text);

// A compound file holding the object's streams in a storage of that class id:
// below an unclassed root in a storage named `storage`, as Notes keeps an
// object, or as the root itself when `storage` is empty.
QByteArray compoundFile(const QByteArray& classId, const QList<QPair<QByteArray, QByteArray>>& streams,
                        const QByteArray& storage = {});

// Of a compound file: the stream of that name at its root, and the root's
// class id (16 bytes) into classId; null when either is not there.
QByteArray rootStream(const QByteArray& compound, const QByteArray& name, QByteArray* classId);

// A package's "\1Ole10Native" stream holding data; with a Unicode label the
// newer packager's trailer follows the data.
QByteArray packageNative(const QByteArray& label, const QByteArray& sourcePath, const QByteArray& data,
                         const QString& unicodeLabel = {});

// The $FILE items of an OLE object named `name` (EXTnnnnn): its pages of
// pageSize bytes (the last one padded, as Notes writes it), named from
// STG + firstPage on, and the extent that lists them.
QByteArray objectItems(const QString& name, const QByteArray& compound, int pageSize, int firstPage);

// A rich-text paragraph that embeds the object.
QByteArray objectRef(const QString& name, const char* classId);

} // namespace fixtures

#pragma once
// Small helpers that many tests share.
#include "platform/error.h"
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>
#include <functional>

namespace testutil {

// The text of the platform::Error that f throws; empty when it throws none.
inline QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const platform::Error& e) {
        return e.text();
    }
    return {};
}

// A file's bytes; empty when it cannot be read.
inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Replaces a file's bytes; fails the calling test when it cannot.
inline void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace testutil

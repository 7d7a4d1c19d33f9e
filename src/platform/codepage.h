#pragma once
// Code page 936 (GBK as Windows has it), where bytes meet a file that holds it.
#include <QByteArray>
#include <QString>

namespace platform {

QByteArray toCp936(const QString& text);
QString fromCp936(const QByteArray& bytes);

} // namespace platform

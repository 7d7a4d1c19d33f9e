#pragma once
// Windows profile (INI) files with the semantics callers rely on: sections and
// keys compare case-insensitively, values are trimmed, at most 2047 characters
// are read, the file is created by the first write. The bytes are code page
// 936. Writes replace the file atomically, keep every other line, and leave the
// file with mode 0600 whatever mode it had (it holds a password). Reading
// costs the file's size and one pass, however long the file or its lines.
#include <QString>

namespace platform {

QString ReadProfileString(const QString& file, const QString& section, const QString& key,
                          const QString& defaultValue = {});
// false when the file cannot be written.
bool WriteProfileString(const QString& file, const QString& section, const QString& key,
                        const QString& value);

} // namespace platform

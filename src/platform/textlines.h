#pragma once
// Text files read as they are stored: the bytes stay as read and are split
// into lines on demand, each line decoded only when asked for, so a reader
// costs the file's size and one pass, and a rewrite changes only the bytes it
// means to change. Shared by the registry hive and the profile files.
#include <QByteArray>
#include <QString>
#include <optional>

namespace platform::detail {

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Cp936 };

// One physical line: [begin, contentEnd) is its content, [contentEnd, end) its
// line end as read (CR LF or LF; empty for a last line without one).
struct LineSpan {
    qsizetype begin = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;
};

struct TextBytes {
    QByteArray bytes;  // the whole file, BOM included
    qsizetype bodyStart = 0;  // where the text begins, after the BOM
    TextEncoding encoding = TextEncoding::Utf8;

    int unitSize() const;
    // The line that begins at `begin` (a line start, at most bytes.size()).
    LineSpan lineAt(qsizetype begin) const;
    QString decode(qsizetype begin, qsizetype end) const;
    QString text(const LineSpan& line) const { return decode(line.begin, line.contentEnd); }
    QByteArray encode(const QString& text) const;
    // The line end new lines get: LF when every line end read is a bare LF, else CR LF.
    QByteArray newLine() const;
    // Whether the unit at byte offset i is the ASCII character c.
    bool isChar(qsizetype i, char c) const;
};

// Calls f(LineSpan) for each line of t, in order; f returns false to stop.
template <class F>
void forEachLine(const TextBytes& t, F f)
{
    for (qsizetype at = t.bodyStart; at < t.bytes.size();) {
        const LineSpan line = t.lineAt(at);
        if (!f(line))
            return;
        at = line.end;
    }
}

// Writes bytes to path through a temporary file renamed into place. A new
// file gets newFileMode (an existing one keeps its mode, unless forceMode
// says every write sets newFileMode). False on failure.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, int newFileMode = -1, bool forceMode = false);

// The whole file; nullopt when it cannot be opened or read.
std::optional<QByteArray> readWholeFile(const QString& path);

} // namespace platform::detail

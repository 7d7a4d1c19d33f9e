#pragma once
// Line-preserving text files: the bytes are split into physical lines, each
// kept as read (content and line end), so a rewrite changes only the lines it
// means to change. Shared by the registry hive and the profile files.
#include <QByteArray>
#include <QList>
#include <QString>

namespace platform::detail {

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Cp936 };

struct TextLine {
    QByteArray raw;  // content bytes, without the line end
    QByteArray eol;  // the line end bytes as read (empty for a last line without one)
    QString text;    // the content decoded
};

struct TextFile {
    TextEncoding encoding = TextEncoding::Utf8;
    QByteArray bom;        // written back as read
    QByteArray newLine;    // the line end new lines get, in the file's encoding
    QList<TextLine> lines;

    // Splits bytes already known to be in `encoding` (after the BOM).
    static TextFile split(const QByteArray& body, TextEncoding encoding, QByteArray bom);
    QByteArray encode(const QString& text) const;
    QString decode(const QByteArray& bytes) const;
    // A new line holding text, ended with the file's line end.
    TextLine makeLine(const QString& text) const;
    // Gives the last line a line end when it has none (before appending after it).
    void terminateLastLine();
    QByteArray serialize() const;
};

// Writes bytes to path through a temporary file renamed into place. A new
// file gets newFileMode (an existing one keeps its mode). False on failure.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, int newFileMode = -1);

} // namespace platform::detail

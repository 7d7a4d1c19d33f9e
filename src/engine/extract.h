#pragma once
// Attachments and embedded objects leave the DXL file only here: their base64
// text is decoded in a stream from the file straight into the target file.
#include "engine/store.h"
#include <functional>

namespace engine {

// Writes the decoded bytes of the file record (an attachment, or an OLE object
// reassembled from its byte-array pages) to target. Throws platform::Error.
void extractFile(const Database& db, int file, const QString& target);

// The decoded size of the file record in bytes.
qint64 decodedFileSize(const Database& db, int file);

// Decodes base64 text (whitespace ignored) from a byte range of the open file
// fd (path names it in messages), handing the bytes to sink in blocks.
// Throws platform::Error.
void decodeBase64Range(int fd, const QString& path, qint64 offset, qint64 length,
                       const std::function<void(const char*, size_t)>& sink);

} // namespace engine

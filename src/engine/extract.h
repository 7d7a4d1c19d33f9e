#pragma once
// Attachments and embedded objects leave the DXL file only here: their base64
// text is decoded in a stream from the file straight into the target file.
#include "engine/store.h"
#include <functional>

namespace engine {

// Writes the file of the record to target: an attachment's decoded bytes, or
// for an OLE object (reassembled from its byte-array pages) the file the user
// put in (see extractole.h). Never writes through a symbolic link or into
// anything but a regular file. Throws platform::Error.
void extractFile(const Database& db, int file, const QString& target);

// The name of the file extractFile writes: an attachment's own name; for an
// OLE object the packaged file's name, or the object's name with the
// extension of its class.
QString extractedFileName(const Database& db, int file);

// The size in bytes of what extractFile writes.
qint64 decodedFileSize(const Database& db, int file);

// Decodes base64 text (whitespace ignored) from a byte range of the open file
// fd (path names it in messages), handing the bytes to sink in blocks.
// Throws platform::Error.
void decodeBase64Range(int fd, const QString& path, qint64 offset, qint64 length,
                       const std::function<void(const char*, size_t)>& sink);

} // namespace engine

#pragma once
// Reads a DXL file (a <database> export, or a single note or view design) in
// one streaming expat pass. Hostile input is refused: no DTD is processed, no
// entity is declared or expanded, nesting depth and attribute sizes are capped.
#include "engine/store.h"
#include <QString>
#include <functional>

namespace engine {

// Throws platform::Error with a Chinese text for a missing file, a binary NSF
// file, an empty or truncated file, malformed XML (with line and column), a
// file that is no DXL, and hostile content.
std::shared_ptr<Database> readDxlFile(const QString& path);

// The same reader over bytes in memory (the fuzz target); `path` names the
// source in messages. Byte ranges of attachments refer to these bytes.
std::shared_ptr<Database> readDxlBytes(const char* data, size_t size, const QString& path);

// The same reader over a stream: read fills up to `capacity` bytes and
// returns how many it gave, 0 at the end; it may throw. Byte ranges refer to
// the stream's offsets.
using ReadBlock = std::function<qint64(char* buffer, qint64 capacity)>;
std::shared_ptr<Database> readDxlStream(const ReadBlock& read, const QString& path);

// Limits that keep hostile files harmless.
inline constexpr int kMaxDepth = 256;
inline constexpr size_t kMaxAttributeBytes = 1 << 20;
// A token (a tag with its attributes, a comment, a processing instruction)
// that is still unfinished past this size stops the reading, before the
// parser buffers more of it: memory stays bounded whatever the input.
inline constexpr qint64 kMaxTokenBytes = 8 << 20;

} // namespace engine

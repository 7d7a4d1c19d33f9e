#pragma once
// Writes an OLE2 compound file (version 3, 512-byte sectors) that holds one
// stream. The stream's bytes go to the device as they come, in the sectors
// right after the header; directory, FAT and DIFAT follow at finish(), and the
// header is written last. Only the stream's own write buffer is held in memory.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

class QIODevice;

namespace xls {

class CompoundFileWriter {
public:
    // The device must be open for writing, empty and seekable. Failures of the
    // device throw platform::Error.
    CompoundFileWriter(QIODevice& device, QString streamName);

    void write(const char* data, std::size_t size);
    void write(const QByteArray& bytes) { write(bytes.constData(), std::size_t(bytes.size())); }
    // Overwrites bytes already written to the stream (a record's offset field
    // known only later).
    void patch(std::uint64_t streamOffset, const char* data, std::size_t size);
    std::uint64_t position() const { return flushed_ + buffer_.size(); }
    // Pads the stream to at least minStreamSize bytes (4096 keeps it out of
    // the mini stream), then writes directory, FAT, DIFAT and header.
    void finish(std::uint64_t minStreamSize = 4096);

    // The largest stream this writer accepts: a version 3 file stays below 2 GB.
    static constexpr std::uint64_t kMaxStreamSize = 0x7FFF0000ull;

private:
    void append(const char* data, std::size_t size);
    void flushBuffer();
    void rawWrite(const char* data, std::size_t size);
    void fail(const QString& what) const;

    QIODevice& device_;
    QString streamName_;
    std::vector<char> buffer_;
    std::uint64_t flushed_ = 0;
};

} // namespace xls

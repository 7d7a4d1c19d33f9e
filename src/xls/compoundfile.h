#pragma once
// Writes an OLE2 compound file (version 3, 512-byte sectors) that holds one
// large stream and a few small ones. The large stream's bytes go to the device
// as they come, in the sectors right after the header; the small streams (in
// the mini stream), directory, FAT and DIFAT follow at finish(), and the header
// is written last. Only the large stream's write buffer is held in memory.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

class QIODevice;

namespace xls {

class CompoundFileWriter {
public:
    // A stream below 4096 bytes, kept in the mini stream.
    struct SmallStream {
        QString name;
        QByteArray data;
    };

    // The device must be open for writing, empty and seekable. Failures of the
    // device throw platform::Error.
    CompoundFileWriter(QIODevice& device, QString streamName, std::vector<SmallStream> smallStreams = {});

    void write(const char* data, std::size_t size);
    void write(const QByteArray& bytes) { write(bytes.constData(), std::size_t(bytes.size())); }
    // Overwrites bytes already written to the stream (a record's offset field
    // known only later).
    void patch(std::uint64_t streamOffset, const char* data, std::size_t size);
    std::uint64_t position() const { return flushed_ + buffer_.size(); }
    // Pads the stream to at least minStreamSize bytes (4096 keeps it out of
    // the mini stream), then writes the small streams, directory, FAT, DIFAT
    // and header.
    void finish(std::uint64_t minStreamSize = 4096);

    // A file of 512-byte sectors holds at most 2 GB.
    static constexpr std::uint64_t kMaxFileSize = 0x80000000ull;
    // The largest large stream for which the whole file, with these small
    // streams beside it, stays within kMaxFileSize. write() refuses more.
    static std::uint64_t maxStreamSize(const std::vector<SmallStream>& smallStreams);
    std::uint64_t maxStreamSize() const { return maxStream_; }

private:
    void append(const char* data, std::size_t size);
    void flushBuffer();
    void rawWrite(const char* data, std::size_t size);
    void fail(const QString& what) const;

    QIODevice& device_;
    QString streamName_;
    std::vector<SmallStream> small_;
    std::uint64_t maxStream_;
    std::vector<char> buffer_;
    std::uint64_t flushed_ = 0;
};

} // namespace xls

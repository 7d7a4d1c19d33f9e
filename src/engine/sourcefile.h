#pragma once
// The DXL file a database was read from, opened once for every extraction
// from it. Each extraction first asks fstat on the open descriptor whether the
// file is still the one read (same size and modification time): a file
// changed since must be opened again, as its byte ranges no longer hold.
#include <QString>
#include <memory>
#include <mutex>

namespace engine {

// An open descriptor, closed with the last owner.
class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();
    int fd() const { return fd_; }

private:
    int fd_;
};

// Opens a database file for reading. Only a regular file is a database: a
// FIFO would block the open (and every read) forever, and a socket or device
// holds no DXL, so they are refused at once. Returns the descriptor, or -1
// with *error saying why, naming the path (errno is kept from a failed open).
int openRegularFile(const QString& path, QString* error);

class SourceFile {
public:
    // The file at path for reading, after checking that it still has that
    // size and modification time (size < 0: not known, not checked). A file
    // deleted or replaced under the descriptor is looked up by its path
    // again. Throws platform::Error when it is gone or changed.
    std::shared_ptr<const FileHandle> checked(const QString& path, qint64 size, qint64 modifiedMs);

private:
    std::mutex mutex_;
    std::shared_ptr<const FileHandle> handle_;
};

} // namespace engine

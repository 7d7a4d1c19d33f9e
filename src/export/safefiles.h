#pragma once
// File-system steps of the export that never go through a symbolic link: the
// export writes into folders that other people may share, and a link planted
// there (the workbook's name, a document folder, an attachment's name) would
// otherwise make it write wherever the link points.
#include <QString>
#include <sys/types.h>

namespace exporting {

// A file descriptor closed when its owner goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& o) noexcept : fd_(o.release()) {}
    FileDescriptor& operator=(FileDescriptor&& o) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    // Closes the descriptor; returns the errno of a failed close, else 0.
    int reset();

private:
    int fd_ = -1;
};

// True when path itself (not what it points to) is a symbolic link.
bool isSymLink(const QString& path);

// Makes the folder path (one level: its parent must exist) unless it is there
// already. Returns the empty text on success, else the cause: a link in its
// place is never followed.
QString makeFolderNoFollow(const QString& path);

// The text a refusal shows after the path of a link.
QString linkRefusalText();

// The workbook's name, held from the exists check to the save: the file is
// created empty with O_EXCL | O_NOFOLLOW, so a second export of the same name,
// in this process or another, finds it taken. Until keep() the destructor
// removes the file again, but only while it is still the empty regular file
// this object made.
class WorkbookReservation {
public:
    enum class Result { Reserved, Exists, Link };

    WorkbookReservation() = default;
    WorkbookReservation(const WorkbookReservation&) = delete;
    WorkbookReservation& operator=(const WorkbookReservation&) = delete;
    ~WorkbookReservation() { release(); }

    // Exists and Link refuse the name; any other failure throws platform::Error.
    // A missing folder is made first, as the export would make it for the
    // attachments anyway.
    Result reserve(const QString& path);
    // Throws platform::Error unless the path still names the file reserve()
    // made: a writer saving there now replaces our file, not a link's target.
    void checkStillOurs() const;
    // The workbook has been saved over the reservation: leave it.
    void keep() { path_.clear(); }
    void release();

private:
    bool ours(bool mustBeEmpty) const;

    QString path_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

} // namespace exporting

#pragma once
// The export log: one plain-text file per day, "log" + yyyyMMdd + ".txt", in
// one fixed folder whatever folder the caller's path names. Every line goes to
// the file in one write of its code page 936 bytes and CR LF, so the log is
// complete up to the last step even when the program is killed mid-export.
// The folder is private to the user (made 0700, the file 0600) and neither the
// folder nor the file is reached through a symbolic link. Control characters
// of a line (a name holding CR or LF) are written escaped ("\r", "\n", "\t",
// "\x1B", "\u2028"), so one entry is always one line of the file.
#include "export/safefiles.h"
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

namespace exporting {

// Where the log goes unless replaced: $XDG_STATE_HOME/quillet, or
// ~/.local/state/quillet when that variable is unset or not absolute; no
// trailing "/". Made with mode 0700 (missing parents too) on first use.
QString defaultLogFolder();
// The fixed folder of the log files, ending in "/"; defaultLogFolder() unless replaced.
QString logFolder();
// Replaces the fixed folder (tests, quillet-cli --log-folder); empty restores the default.
void setLogFolder(const QString& folder);

// Appends line + CR LF to logFolder() + the file-name part of path (the text
// after its last "/", "\" or ":"), opening and closing the file. A missing
// folder is made (0700). Throws platform::Error naming the cause as the
// platform words it ("File access denied", "Disk full" or "I/O error %d"),
// followed by ": " and the log file's path.
void WriteLog(const QString& path, const QString& line);

// "log" + yyyyMMdd + ".txt".
QString logFileName(const QDate& date);

// The stamp that ends every line: the locale's short date, a blank, H:mm:ss.
QString logTimeStamp(const QDateTime& when);

// The lines of one export. The path handed to WriteLog is appDir + "log/log" +
// the day + ".txt", formed anew for each line from the clock, so a run past
// midnight goes on in the next day's file; what does not change between lines
// (the day's path, the stamp within one second) is kept. The day's file stays
// open (O_APPEND) while its name stays the same; it is opened again when the
// day or the folder changes or after a write failed.
class ExportLog {
public:
    explicit ExportLog(QString appDir);
    // Appends text + the time stamp; throws as WriteLog does.
    void write(const QString& text);
    const QString& appDir() const { return appDir_; }
    // The file the last line went (or was meant) to.
    QString filePath() const;
    // How many lines could not be written so far.
    int failures() const { return failures_; }

private:
    void refresh(const QDateTime& when);

    QString appDir_;
    QDate day_;
    int folderGeneration_ = -1;
    QString dateText_;
    QByteArray file_;       // the day's file, local 8-bit path
    qint64 second_ = -1;    // the stamp below belongs to this second
    qint64 utcSecond_ = -1; // the system clock's second the stamp was taken in
    QByteArray stamp_;      // the stamp in code page 936
    QByteArray line_;       // the line being written; its buffer serves every line
    FileDescriptor fd_;     // the day's file while it is open
    QByteArray openFile_;   // the file fd_ was opened for
    int failures_ = 0;
};

} // namespace exporting

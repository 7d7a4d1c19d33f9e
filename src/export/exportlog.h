#pragma once
// The export log: one plain-text file per day, "log" + yyyyMMdd + ".txt", in
// one fixed folder whatever folder the caller's path names. Every call appends
// one line and CR LF in code page 936 and closes the file again, so the log is
// complete up to the last step even when the program is killed mid-export.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

namespace exporting {

// The fixed folder of the log files, ending in "/"; "/var/tmp/" unless replaced.
QString logFolder();
// Replaces the fixed folder (tests, quillet-cli --log-folder); empty restores the default.
void setLogFolder(const QString& folder);

// Appends line + CR LF to logFolder() + the file-name part of path (the text
// after its last "/", "\" or ":"). Throws platform::Error naming the cause:
// "File access denied", "Disk full" or "I/O error %d".
void WriteLog(const QString& path, const QString& line);

// "log" + yyyyMMdd + ".txt".
QString logFileName(const QDate& date);

// The stamp that ends every line: the locale's short date, a blank, H:mm:ss.
QString logTimeStamp(const QDateTime& when);

// The lines of one export. The path handed to WriteLog is appDir + "log/log" +
// the day + ".txt", formed anew for each line from the clock, so a run past
// midnight goes on in the next day's file; what does not change between lines
// (the day's path, the stamp within one second) is kept.
class ExportLog {
public:
    explicit ExportLog(QString appDir);
    // Appends text + the time stamp.
    void write(const QString& text);
    const QString& appDir() const { return appDir_; }

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
};

} // namespace exporting

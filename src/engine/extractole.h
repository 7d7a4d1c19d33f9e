#pragma once
// What of an OLE object is the user's file. An object's pages form an OLE2
// compound file, which no program opens by double-click: a package holds the
// file the user dropped in, Office 2007 and Acrobat objects hold their
// document as one stream, and Word, Excel and PowerPoint 97 documents are
// compound files themselves and only need their extension. The compound file
// is read with libgsf.
#include <QString>
#include <cstdio>
#include <functional>
#include <memory>

namespace engine {

using ByteSink = std::function<void(const char*, size_t)>;

class OleObject {
public:
    // file: the object's compound file, as its pages were joined; read from
    // its start. objectName: the object's own name, for the file name where
    // the content gives none. A file that is no compound file is the object's
    // content as it is, under the object's name.
    OleObject(std::unique_ptr<FILE, int (*)(FILE*)> file, const QString& objectName);
    ~OleObject();
    OleObject(const OleObject&) = delete;
    OleObject& operator=(const OleObject&) = delete;

    // The name the object's file is written under: the packaged file's own
    // name, or the object's name with its class's extension. Not yet made
    // safe for a path.
    const QString& fileName() const { return fileName_; }
    // The root storage's class id as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; empty when unknown.
    const QString& classId() const { return classId_; }

    // Hands the file's bytes to sink in blocks. Throws platform::Error.
    void write(const ByteSink& sink) const;

private:
    struct Gsf;
    void choose(const QString& objectName);
    bool choosePackage();
    std::unique_ptr<FILE, int (*)(FILE*)> file_;
    std::unique_ptr<Gsf> gsf_;
    QString fileName_;
    QString classId_;
    QByteArray stream_;     // the stream that holds the file; empty: the whole compound file
    qint64 offset_ = 0;     // of the file's bytes within that stream
    qint64 size_ = -1;      // -1: to the stream's end
};

// The last part of a path as Windows wrote it ("C:\a\b.txt" -> "b.txt").
QString baseNameOfWindowsPath(const QString& path);

} // namespace engine

#include "export/documentfiles.h"
#include "export/safefiles.h"

namespace exporting {

QString safeFileName(const QString& name, const QString& fallback)
{
    QString s = name;
    for (QChar& c : s)
        if (c == u'/' || c == u'\\' || c == QChar(0))
            c = u'_';
    if (s.isEmpty() || s == QLatin1String(".") || s == QLatin1String(".."))
        return fallback;
    return s;
}

DocumentFiles::DocumentFiles(const QString& attachmentFolder, const QString& documentId, int number)
    : attachmentFolder_(attachmentFolder),
      folder_(attachmentFolder + u'/' + safeFileName(documentId, u'_' + QString::number(number)) + u'/')
{
}

DocumentFolders::Folder DocumentFolders::take(const QString& documentId, const QString& unid, int number)
{
    const QString plain = safeFileName(documentId, u'_' + QString::number(number));
    QList<Seen>& seen = byId_[plain];
    for (const Seen& s : seen)
        if (s.unid == unid)  // the same document again (or no UNID to tell them apart)
            return {root_, root_ + u'/' + s.folder + u'/', seen.size() > 1 && &s != &seen.first() ? seen.first().number : 0};
    QString folder = plain;
    if (!seen.isEmpty())
        folder += QStringLiteral(" (") + QString::number(seen.size() + 1) + u')';
    const int first = seen.isEmpty() ? 0 : seen.first().number;
    seen.append({unid, folder, number});
    return {root_, root_ + u'/' + folder + u'/', first};
}

const QString& DocumentFiles::prepareFolder()
{
    if (!prepared_) {
        prepared_ = true;
        folderError_ = makeFolderNoFollow(attachmentFolder_);
        if (folderError_.isEmpty())
            folderError_ = makeFolderNoFollow(folder_);
    }
    return folderError_;
}

QString DocumentFiles::pathFor(const QString& name, int index)
{
    if (const auto it = byName_.constFind(name); it != byName_.constEnd())
        return folder_ + *it;
    QString file = safeFileName(name, u'_' + QString::number(index));
    if (used_.contains(file)) {
        // "a.txt" -> "a (2).txt": the extension stays last so the file still opens.
        qsizetype dot = file.lastIndexOf(u'.');
        if (dot <= 0)
            dot = file.size();
        const QString stem = file.left(dot), ext = file.mid(dot);
        for (int n = 2;; ++n) {
            QString candidate = stem + QStringLiteral(" (") + QString::number(n) + u')' + ext;
            if (!used_.contains(candidate)) {
                file = std::move(candidate);
                break;
            }
        }
    }
    used_.insert(file);
    byName_.insert(name, file);
    return folder_ + file;
}

} // namespace exporting

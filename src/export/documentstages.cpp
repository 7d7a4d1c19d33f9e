#include "export/documentstages.h"
#include "export/documentfiles.h"
#include "export/exportlog.h"
#include "export/safefiles.h"
#include "platform/error.h"
#include <exception>

namespace exporting {

namespace {

QString nth(int number) { return u'第' + QString::number(number) + QStringLiteral("个文档"); }

// The formula's result, each element as text (a list element gives its elements).
QStringList namesOf(const domino::NotesValueList& values)
{
    QStringList names;
    names.reserve(values.size());
    for (const domino::NotesValue& v : values) {
        if (v.isList())
            for (const domino::NotesValue& e : v.elements())
                names << e.toText();
        else
            names << v.toText();
    }
    return names;
}

// A line whose failure is no reason to stop: the export notices the log's
// failures itself (ExportLog::failures()).
void tryWrite(ExportLog& log, const QString& text)
{
    try {
        log.write(text);
    } catch (const std::exception&) {
    }
}

QString causeOf(const std::exception& e)
{
    if (const auto* pe = dynamic_cast<const platform::Error*>(&e))
        return pe->text();
    return QString::fromUtf8(e.what());
}

// Writes an attachment or object where the document's folder is ours and no
// link stands in the file's place.
void extract(domino::TNotesEmbeddedObject& object, const QString& path, const QString& folderError)
{
    if (!folderError.isEmpty())
        throw platform::Error(folderError);
    if (isSymLink(path))
        throw platform::Error(path + linkRefusalText());
    object.ExtractTo(path);
}

} // namespace

int attachmentStage(ExportLog& log, domino::TNotesSession& session, domino::TNotesDocument& document,
                    int number, DocumentFiles& files)
{
    if (!document.HasAttachments())
        return 0;
    const QString n = nth(number);
    log.write(QStringLiteral("判断") + n + QStringLiteral("有附件;"));
    // A folder that cannot be made fails each extraction below, with its cause.
    const QString folderError = files.prepareFolder();

    tryWrite(log, QStringLiteral("获取") + n + QStringLiteral("有附件列表;"));
    QStringList names;
    try {
        names = namesOf(session.EvaluateFormula(QStringLiteral("@AttachmentNames"), document.DefaultInterface()));
    } catch (const std::exception& e) {
        tryWrite(log, QStringLiteral("获取") + n + QStringLiteral("有附件列表失败 原因:") + causeOf(e) + u';');
        return 1;  // at least one file, which the document says it has
    }
    tryWrite(log, QStringLiteral("获取") + n + QStringLiteral("有附件数量为:") + QString::number(names.size()) + u';');
    int failed = 0;
    for (int k = 1; k <= names.size(); ++k) {
        const QString& name = names.at(k - 1);
        const QString kth = n + u'第' + QString::number(k) + QStringLiteral("个附件");
        const QString path = files.pathFor(name, k);
        try {
            domino::TNotesEmbeddedObject attachment;
            attachment.ConnectTo(document.Attachment(name));
            tryWrite(log, QStringLiteral("获取") + kth + u':' + name + u';');
            extract(attachment, path, folderError);
            files.markWritten(name);
            tryWrite(log, QStringLiteral("保存") + kth + QStringLiteral("到:") + path + u';');
        } catch (const std::exception& e) {
            ++failed;
            tryWrite(log, QStringLiteral("保存") + kth + QStringLiteral("失败:") + path + QStringLiteral(" 原因:") +
                              causeOf(e) + u';');
        }
    }
    return failed;
}

void pictureLines(ExportLog& log, const DocumentFiles& files)
{
    try {
        log.write(QStringLiteral("调用图片导出程序保存到:") + files.folder() + QStringLiteral(" ;"));
        log.write(QStringLiteral("结束图片导出程序保存到:") + files.folder() + QStringLiteral(" ;"));
    } catch (const std::exception&) {
    }
}

ItemStart richTextStage(ExportLog& log, domino::TNotesDocument& document, const QString& itemName,
                        int number, DocumentFiles& files)
{
    ItemStart start;
    try {
        log.write(QStringLiteral("开始分离") + nth(number) + QStringLiteral("RichText域;"));
        const domino::ItemPtr object = document.ItemByName(itemName);
        if (!object)
            return start;  // the document lacks the item: nothing to read, as an empty handle would fail
        domino::TNotesItem item;
        item.ConnectTo(object);
        if (item.ItemType() != domino::ItemTypes::RichText)
            return start;
        // The item object answers as the rich-text item too; no second lookup.
        domino::TNotesRichTextItem richText;
        richText.ConnectTo(object);
        start.text = richText.PlainText(true, 80);
        start.richText = true;
        const QStringList objects = richText.EmbeddedObjects();
        if (objects.isEmpty())
            return start;
        // Only the first embedded object of an item is saved.
        domino::TNotesEmbeddedObject embedded;
        embedded.ConnectTo(richText.EmbeddedObject(objects.first()));
        // The file the object holds (a package's own file, a Word document
        // as .doc), under its own name.
        const QString name = embedded.FileName();
        const QString path = files.pathFor(name, 1);
        if (!files.written(name) || !embedded.IsConnected()) {
            try {
                extract(embedded, path, files.prepareFolder());
            } catch (const std::exception& e) {
                start.failedFiles = 1;
                tryWrite(log, QStringLiteral("分离") + nth(number) + QStringLiteral("RichText域失败:") + path +
                                  QStringLiteral(" 原因:") + causeOf(e) + u';');
                return start;
            }
            files.markWritten(name);
        }
        log.write(QStringLiteral("分离") + nth(number) + QStringLiteral("RichText域到:") + path + u';');
    } catch (const std::exception&) {
    }
    return start;
}

} // namespace exporting

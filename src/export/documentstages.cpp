#include "export/documentstages.h"
#include "export/documentfiles.h"
#include "export/exportlog.h"
#include <QDir>
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

} // namespace

void attachmentStage(ExportLog& log, domino::TNotesSession& session, domino::TNotesDocument& document,
                     int number, DocumentFiles& files)
{
    if (!document.HasAttachments())
        return;
    const QString n = nth(number);
    log.write(QStringLiteral("判断") + n + QStringLiteral("有附件;"));
    // A folder that cannot be made shows up as failing extractions below.
    QDir().mkpath(files.folder());

    try {
        log.write(QStringLiteral("获取") + n + QStringLiteral("有附件列表;"));
        const QStringList names =
            namesOf(session.EvaluateFormula(QStringLiteral("@AttachmentNames"), document.DefaultInterface()));
        log.write(QStringLiteral("获取") + n + QStringLiteral("有附件数量为:") + QString::number(names.size()) +
                  u';');
        for (int k = 1; k <= names.size(); ++k) {
            const QString& name = names.at(k - 1);
            domino::TNotesEmbeddedObject attachment;
            attachment.ConnectTo(document.Attachment(name));
            const QString kth = n + u'第' + QString::number(k) + QStringLiteral("个附件");
            log.write(QStringLiteral("获取") + kth + u':' + name + u';');
            const QString path = files.pathFor(name, k);
            attachment.ExtractTo(path);
            files.markWritten(name);
            log.write(QStringLiteral("保存") + kth + QStringLiteral("到:") + path + u';');
        }
    } catch (const std::exception&) {
        // The remaining attachments of this document are skipped; the export goes on.
    }
}

void pictureLines(ExportLog& log, const DocumentFiles& files)
{
    try {
        log.write(QStringLiteral("调用图片导出程序保存到:") + files.folder() + QStringLiteral(" ;"));
        log.write(QStringLiteral("结束图片导出程序保存到:") + files.folder() + QStringLiteral(" ;"));
    } catch (const std::exception&) {
    }
}

QString richTextStage(ExportLog& log, domino::TNotesDocument& document, const QString& itemName,
                      int number, DocumentFiles& files)
{
    QString cell;
    try {
        log.write(QStringLiteral("开始分离") + nth(number) + QStringLiteral("RichText域;"));
        const domino::ItemPtr object = document.ItemByName(itemName);
        if (!object)
            return cell;  // the document lacks the item: nothing to read, as an empty handle would fail
        domino::TNotesItem item;
        item.ConnectTo(object);
        if (item.ItemType() != domino::ItemTypes::RichText)
            return cell;
        // The item object answers as the rich-text item too; no second lookup.
        domino::TNotesRichTextItem richText;
        richText.ConnectTo(object);
        cell = richText.PlainText(true, 80);
        const QStringList objects = richText.EmbeddedObjects();
        if (objects.isEmpty())
            return cell;
        // Only the first embedded object of an item is saved.
        const QString& name = objects.first();
        domino::TNotesEmbeddedObject embedded;
        embedded.ConnectTo(richText.EmbeddedObject(name));
        const QString path = files.pathFor(name, 1);
        if (!files.written(name) || !embedded.IsConnected()) {
            embedded.ExtractTo(path);
            files.markWritten(name);
        }
        log.write(QStringLiteral("分离") + nth(number) + QStringLiteral("RichText域到:") + path + u';');
    } catch (const std::exception&) {
    }
    return cell;
}

} // namespace exporting

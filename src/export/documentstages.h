#pragma once
// The three stages the export runs for each document: the attachment stage
// (the document's attachments written into its folder), the picture lines,
// and the rich-text stage (per item: the starting cell text and the item's
// first embedded object). They report only through the export log.
#include "domino/notes.h"
#include <QString>

namespace exporting {

class DocumentFiles;
class ExportLog;

// Nothing to do without attachments. Asking HasAttachments, the first line and
// creating the folder are not guarded: their failures reach the caller. From
// the second line on any failure ends the stage quietly; the attachments not
// yet written are skipped.
void attachmentStage(ExportLog& log, domino::TNotesSession& session, domino::TNotesDocument& document,
                     int number, DocumentFiles& files);

// Two lines naming the document's folder; a failed line ends them quietly.
void pictureLines(ExportLog& log, const DocumentFiles& files);

// The starting cell text of an item: its plain text when it is rich text,
// else empty. The item's first embedded object, if any, is written into the
// document's folder. Any failure ends the stage quietly with the text reached.
QString richTextStage(ExportLog& log, domino::TNotesDocument& document, const QString& itemName,
                      int number, DocumentFiles& files);

} // namespace exporting

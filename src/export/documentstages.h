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

// Nothing to do without attachments. Asking HasAttachments and the first line
// are not guarded: their failures reach the caller. From there on a failure
// ends only the attachment it meets: a line names the file and the cause, and
// the stage goes on with the next one (a line that cannot be written is left
// out, since the log's own failure is no reason to lose the files). Returns
// how many files could not be saved.
int attachmentStage(ExportLog& log, domino::TNotesSession& session, domino::TNotesDocument& document,
                     int number, DocumentFiles& files);

// Two lines naming the document's folder; a failed line ends them quietly.
void pictureLines(ExportLog& log, const DocumentFiles& files);

struct ItemStart {
    QString text;           // the starting cell text
    bool richText = false;  // the item's plain text has started the cell
    int failedFiles = 0;    // its embedded object could not be saved
};

// The starting cell text of an item: its plain text when it is rich text,
// else empty. The item's first embedded object, if any, is written into the
// document's folder; when it cannot be, a line names the file and the cause.
// Any other failure ends the stage quietly with the text reached.
ItemStart richTextStage(ExportLog& log, domino::TNotesDocument& document, const QString& itemName,
                      int number, DocumentFiles& files);

} // namespace exporting

#pragma once
// Reads the rows of a view page by page, as the document list shows them:
// the document ID first, then one text per view column.
#include "domino/notes.h"
#include <QStringList>

namespace browse {

struct PageRow {
    QString documentId;
    QStringList values;  // one per view column; empty when they could not be read
    QString error;       // why the values could not be read; empty when they were
};

class PageReader {
public:
    // Opens the view by name or alias; throws platform::Error when the
    // database has no such view.
    PageReader(domino::TNotesDatabase& database, const QString& viewName);
    // Reads the view given; throws platform::Error when there is none.
    explicit PageReader(domino::ViewPtr view);

    int columnCount() const { return columns_; }
    // One title per column; "" where the view names fewer.
    const QStringList& titles() const { return titles_; }
    QString name();
    // Asked afresh each time: the view decides, not a copy of its count.
    int documentCount();

    // Moves to the document at zero-based position; throws when the view
    // cannot hand it over.
    void seek(int position);
    // Documents before the current one.
    int position() const { return position_; }
    // True while the view holds documents past the position.
    bool hasMore();
    // The current document's row; counts it as read. A document whose column
    // values cannot be read gives its ID and the error; a missing document
    // throws.
    PageRow readRow();
    // Moves to the document after the current one; throws when the view
    // cannot reach it.
    void advance();

private:
    PageReader(domino::ViewPtr view, const QString& viewName);
    domino::TNotesView view_;
    domino::TNotesDocument document_;
    int columns_ = 0;
    QStringList titles_;
    int position_ = 0;
};

} // namespace browse

#include "browse/core/pagereader.h"
#include "platform/error.h"
#include <algorithm>
#include <exception>

namespace browse {

namespace {

QString errorText(const std::exception& e)
{
    if (const auto* pe = dynamic_cast<const platform::Error*>(&e))
        return pe->text();
    return QString::fromLocal8Bit(e.what());
}

} // namespace

PageReader::PageReader(domino::TNotesDatabase& database, const QString& viewName)
    : PageReader(database.ViewByName(viewName), viewName)
{
}

PageReader::PageReader(domino::ViewPtr view) : PageReader(std::move(view), QString()) {}

PageReader::PageReader(domino::ViewPtr view, const QString& viewName)
{
    if (!view)
        throw platform::Error(QStringLiteral("数据库中没有视图\"%1\"").arg(viewName));
    view_.ConnectTo(std::move(view));
    columns_ = std::max(0, view_.ColumnCount());
    const QStringList names = view_.ColumnNames();
    titles_.reserve(columns_);
    for (int c = 0; c < columns_; ++c)
        titles_ << names.value(c);
}

QString PageReader::name() { return view_.Name(); }

int PageReader::documentCount() { return view_.DocumentCount(); }

void PageReader::seek(int position)
{
    position_ = position;
    // The view numbers its documents from 1.
    document_.ConnectTo(view_.NthDocument(position + 1));
}

bool PageReader::hasMore() { return view_.DocumentCount() > position_; }

PageRow PageReader::readRow()
{
    PageRow row;
    row.documentId = document_.DocumentId();
    ++position_;
    try {
        const domino::NotesValueList values = document_.ColumnValues();
        QStringList texts;
        texts.reserve(columns_);
        for (int c = 0; c < columns_; ++c)
            texts << (c < values.size() ? values[c].toText() : QString());
        row.values = std::move(texts);
    } catch (const std::exception& e) {
        row.error = errorText(e);
        if (row.error.isEmpty())
            row.error = QStringLiteral("列值无法读取");
    }
    return row;
}

void PageReader::advance() { document_.ConnectTo(view_.NextDocument(document_.DefaultInterface())); }

} // namespace browse

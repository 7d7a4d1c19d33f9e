#pragma once
// Small scope helpers the browsing commands share.
#include "app/listview.h"
#include "app/waitmsg.h"
#include "domino/notes.h"
#include "platform/error.h"
#include <exception>

namespace browse {

// A batch update of the list that ends however the command ends.
class ListBatch {
public:
    explicit ListBatch(TListView& list) : list_(list) { list_.BeginUpdate(); }
    ~ListBatch() { list_.EndUpdate(); }
    ListBatch(const ListBatch&) = delete;
    ListBatch& operator=(const ListBatch&) = delete;

private:
    TListView& list_;
};

// The progress window closes however the command ends.
class WaitCloser {
public:
    WaitCloser() = default;
    ~WaitCloser() { CloseWait(); }
    WaitCloser(const WaitCloser&) = delete;
    WaitCloser& operator=(const WaitCloser&) = delete;
};

// The text an error carries.
inline QString errorText(const std::exception& e)
{
    if (const auto* pe = dynamic_cast<const platform::Error*>(&e))
        return pe->text();
    return QString::fromLocal8Bit(e.what());
}

// An operation that finds nothing hands back no object; where the command
// needs one, that is as much a failure as an error of the component.
template <class Handle, class Ptr>
void attachOrThrow(Handle& handle, Ptr object, const QString& whatIsMissing)
{
    if (!object)
        throw platform::Error(whatIsMissing);
    handle.ConnectTo(std::move(object));
}

// The title and file of an open database, for the tool tip of its node; a
// title that cannot be read leaves the file alone, never spoils the open.
inline QString databaseTip(domino::TNotesDatabase& db, const QString& file)
{
    QString title;
    try {
        if (domino::DatabasePtr object = db.DefaultInterface())
            title = object->Title();
    } catch (const std::exception&) {
    }
    return title.isEmpty() ? file : title + u'\n' + file;
}

inline QString databaseMissingText(const QString& path)
{
    return QStringLiteral("找不到数据库") + path;
}

} // namespace browse

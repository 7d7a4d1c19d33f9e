#pragma once
// A database of the tests' own behind the Domino Objects interfaces, for the
// failures the engine does not produce: a first document that cannot be
// fetched, a row whose column values cannot be read, a next document that
// cannot be reached, views whose titles or values are fewer than their
// columns, an item without values.
#include "domino/dominoobjects.h"
#include "platform/error.h"
#include <QMap>
#include <memory>

namespace browsetest::fake {

struct PageFake {
    int count = 3;
    int columns = 2;
    QStringList titles{QStringLiteral("A"), QStringLiteral("B")};
    int shortValuesAt = -1;   // that document gives one value only
    int failValuesAt = -1;    // ColumnValues throws for that document
    int failNextAt = -1;      // NextDocument throws after that document
    bool failNth = false;
    bool failViews = false;
    QString viewName = QStringLiteral("假视图");
    // The items of every document, and the one whose value cannot be read.
    QList<std::pair<QString, domino::NotesValueList>> items;
    QString failItem;
};

class FakeDoc : public domino::INotesDocument {
public:
    FakeDoc(const PageFake& f, int n) : f_(f), n_(n) {}
    int n() const { return n_; }
    QString DocumentId() override { return QString::number(0x900 + n_, 16).toUpper(); }
    domino::NotesValueList ColumnValues() override
    {
        if (n_ == f_.failValuesAt)
            throw platform::Error(QStringLiteral("ColumnValues failed"));
        if (n_ == f_.shortValuesAt)
            return {QStringLiteral("only")};
        return {QStringLiteral("v%1").arg(n_), domino::NotesValue(n_ * 1.5)};
    }
    QStringList Items() override
    {
        QStringList names;
        for (const auto& item : f_.items)
            names << item.first;
        return names;
    }
    domino::NotesValueList ItemValue(const QString& name) override
    {
        if (name == f_.failItem)
            throw platform::Error(QStringLiteral("ItemValue failed"));
        for (const auto& item : f_.items)
            if (item.first == name)
                return item.second;
        return {};
    }
    bool HasAttachments() override { return false; }
    domino::EmbeddedObjectPtr Attachment(const QString&) override { return nullptr; }
    domino::ItemPtr ItemByName(const QString&) override { return nullptr; }

private:
    const PageFake& f_;
    int n_;
};

class FakePageView : public domino::INotesView {
public:
    explicit FakePageView(const PageFake& f) : f_(f) {}
    int ColumnCount() override { return f_.columns; }
    QStringList ColumnNames() override { return f_.titles; }
    int DocumentCount() override { return f_.count; }
    QString Name() override { return f_.viewName; }
    domino::DocumentPtr NthDocument(int position) override
    {
        if (f_.failNth)
            throw platform::Error(QStringLiteral("NthDocument failed"));
        return position <= f_.count ? std::make_shared<FakeDoc>(f_, position) : nullptr;
    }
    domino::DocumentPtr NextDocument(const domino::DocumentPtr& d) override
    {
        const int n = static_cast<FakeDoc*>(d.get())->n();
        if (n == f_.failNextAt)
            throw platform::Error(QStringLiteral("NextDocument failed"));
        return n < f_.count ? std::make_shared<FakeDoc>(f_, n + 1) : nullptr;
    }

private:
    const PageFake& f_;
};

class FakePageDb : public domino::INotesDatabase {
public:
    explicit FakePageDb(const PageFake& f) : f_(f) {}
    QStringList Views() override
    {
        if (f_.failViews)
            throw platform::Error(QStringLiteral("Views failed"));
        return {f_.viewName};
    }
    domino::ViewPtr ViewByName(const QString&) override { return std::make_shared<FakePageView>(f_); }
    domino::DocumentPtr DocumentById(const QString&) override { return std::make_shared<FakeDoc>(f_, 1); }
    QString FilePath() override { return {}; }
    QString Title() override { return {}; }

private:
    const PageFake& f_;
};

class FakePageSession : public domino::INotesSession {
public:
    explicit FakePageSession(const PageFake& f) : f_(f) {}
    void StartSessionAs(const QString&, const QString&) override {}
    void StartSession(const QString&) override {}
    domino::DatabasePtr OpenDatabase(const QString&, const QString&, bool) override
    {
        return std::make_shared<FakePageDb>(f_);
    }
    domino::NotesValueList EvaluateFormula(const QString&, const domino::DocumentPtr&) override { return {}; }

private:
    const PageFake& f_;
};

} // namespace browsetest::fake

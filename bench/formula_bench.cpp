// Formula evaluation per document: a view of 100,000 documents evaluates its
// selection and every column formula once per document, so these figures are
// what a view costs beyond reading its documents.
#include "bench.h"
#include "engine/formula.h"
#include <vector>

namespace {

using domino::NotesDateTime;
using domino::NotesValueList;

// A document as the engine keeps one: a short array of items, looked up by name
// without regard to case.
class BenchDoc : public engine::FormulaContext {
public:
    std::vector<std::pair<QString, NotesValueList>> items;

    const NotesValueList* find(const QString& name) const
    {
        for (const auto& [n, v] : items)
            if (n.compare(name, Qt::CaseInsensitive) == 0)
                return &v;
        return nullptr;
    }
    bool hasItem(const QString& name) const override { return find(name) != nullptr; }
    NotesValueList itemValue(const QString& name) const override
    {
        const NotesValueList* v = find(name);
        return v ? *v : NotesValueList();
    }
    NotesDateTime created() const override { return {QDate(2025, 1, 2), QTime(3, 4, 5), 0}; }
    NotesDateTime modified() const override { return created(); }
    bool isResponse() const override { return false; }
    QString noteId() const override { return QStringLiteral("946"); }
    QString universalId() const override { return QStringLiteral("0123456789ABCDEF0123456789ABCDEF"); }
    QString docNumber() const override { return {}; }
    qint64 docLength() const override { return 1000; }
    QStringList attachmentNames() const override { return {}; }
    QStringList authors() const override { return {}; }
};

std::vector<BenchDoc> makeDocs(int n)
{
    std::vector<BenchDoc> docs(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        BenchDoc& d = docs[size_t(i)];
        d.items = {{QStringLiteral("Form"), {i % 3 ? QStringLiteral("Memo") : QStringLiteral("Reply")}},
                   {QStringLiteral("Subject"), {QStringLiteral("Subject %1").arg(i)}},
                   {QStringLiteral("Firstname"), {QStringLiteral("John")}},
                   {QStringLiteral("Lastname"), {QStringLiteral("Doe%1").arg(i)}},
                   {QStringLiteral("LF_ServerType"), {QString::number(i % 2)}},
                   {QStringLiteral("LF_IP"), {QStringLiteral("10.0.0.1")}}};
    }
    return docs;
}

} // namespace

QUILLET_BENCH(formula)
{
    const int docCount = 1000, rounds = 100;  // 100,000 evaluations per figure
    const std::vector<BenchDoc> docs = makeDocs(docCount);
    const double evaluations = double(docCount) * rounds;

    struct Case {
        const char* figure;
        const char* source;
        bool selection;
    };
    const Case cases[] = {
        {"select Form = \"Memo\"", "SELECT Form = \"Memo\"", true},
        {"select two forms", "SELECT ((Form = \"Memo\") | (Form = \"Reply\"))", true},
        {"column field", "Subject", false},
        {"column concatenation", "Firstname + \" \" + Lastname", false},
        {"column @If", "@If (LF_ServerType = \"0\"; \"- All Web Sites/Entire Server -\"; LF_IP)", false},
        {"column @Left + text", "@Left(Lastname;1) + \"\\\\\" + Lastname", false},
    };
    // What the document lookups alone cost: the floor under every figure below.
    qint64 found = 0;
    const QString form = QStringLiteral("Form"), memo = QStringLiteral("Memo");
    const double lookupMs = bench::bestMs(5, [&] {
        for (int r = 0; r < rounds; ++r)
            for (const BenchDoc& d : docs)
                found += d.itemValue(form).value(0).text() == memo;
    });
    const double lookupNs = lookupMs * 1e6 / evaluations;
    ctx.report(QStringLiteral("item lookup and compare alone per document"), lookupNs, QStringLiteral("ns"));
    if (found == 0)
        ctx.note(QStringLiteral("no results"));

    for (const Case& c : cases) {
        const engine::Formula f = engine::Formula::compile(QString::fromUtf8(c.source));
        qint64 sink = 0;
        const double ms = bench::bestMs(5, [&] {
            for (int r = 0; r < rounds; ++r)
                for (const BenchDoc& d : docs)
                    sink += c.selection ? qint64(f.selects(d)) : f.evaluate(d).size();
        });
        ctx.report(QStringLiteral("%1 per document").arg(QString::fromUtf8(c.figure)), ms * 1e6 / evaluations,
                   QStringLiteral("ns"));
        if (sink == 0)
            ctx.note(QStringLiteral("no results"));
    }

    const QString source = QStringLiteral("SELECT ((Form = \"VirtualServer\") | (Form = \"Virtual Server\"))");
    const double compileMs = bench::bestMs(5, [&] {
        for (int i = 0; i < 1000; ++i)
            engine::Formula::compile(source);
    });
    ctx.report(QStringLiteral("compile a selection formula"), compileMs, QStringLiteral("us"));
}

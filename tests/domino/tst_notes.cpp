// The Domino handles: the not-connected failure, the session made through the
// COM runtime, and the one conversion of values to text.
// Table rows are built with "+": plain QString results, not builders.
#undef QT_USE_QSTRINGBUILDER
#include "domino/notes.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "testcomponent.h"
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>

using namespace domino;

namespace {

QString failureOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const platform::Error& e) {
        return e.text();
    }
    return QStringLiteral("(no error)");
}

const QString kNotConnected = QStringLiteral(
    "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or 'ConnectTo' before "
    "this operation");

} // namespace

Q_DECLARE_METATYPE(std::function<void()>)
Q_DECLARE_METATYPE(domino::NotesValue)

class TestNotes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        platform::setMachineHivePath(dir_->filePath("hklm.reg"));
    }
    void cleanup()
    {
        platform::setMachineHivePath({});
        qunsetenv(testcomponent::kNoSessionEnv);
    }

    void emptyHandlesFail_data()
    {
        QTest::addColumn<std::function<void()>>("operation");
        QTest::newRow("database") << std::function<void()>([] { TNotesDatabase().Views(); });
        QTest::newRow("view") << std::function<void()>([] { TNotesView().Name(); });
        QTest::newRow("document") << std::function<void()>([] { TNotesDocument().Items(); });
        QTest::newRow("item") << std::function<void()>([] { TNotesItem().ItemType(); });
        QTest::newRow("embedded object") << std::function<void()>([] { TNotesEmbeddedObject().ExtractTo("/tmp/x"); });
        QTest::newRow("rich text of no item") << std::function<void()>([] { TNotesRichTextItem().ConnectTo(ItemPtr()); });
        QTest::newRow("attached to nothing") << std::function<void()>([] {
            TNotesView v;
            v.ConnectTo(ViewPtr());
            v.DocumentCount();
        });
    }
    void emptyHandlesFail()
    {
        QFETCH(std::function<void()>, operation);
        QCOMPARE(failureOf(operation), kNotConnected);
    }

    void sessionConnectsThroughTheComponent()
    {
        QString error;
        QVERIFY2(platform::RegisterComServer(QStringLiteral(QUILLET_TEST_COMPONENT), &error), qPrintable(error));
        TNotesSession session;
        QVERIFY(!session.IsConnected());
        session.StartSessionAs("Ann Lee", "pw");  // the first operation connects
        QVERIFY(session.IsConnected());
        // The same object answers the next operation: it remembers the user.
        QCOMPARE(failureOf([&] { session.OpenDatabase("", "a.nsf", false); }),
                 QString("stub session opens nothing: Ann Lee|a.nsf"));
        session.Disconnect();
        QVERIFY(!session.IsConnected());
        QCOMPARE(failureOf([&] { session.OpenDatabase("", "b.nsf", false); }),
                 QString("stub session opens nothing: |b.nsf"));
    }

    void sessionConnectFailures()
    {
        TNotesSession session;
        // No hive at all: the message names the missing file.
        QVERIFY(failureOf([&] { session.StartSession(""); }).contains("找不到注册表文件" + dir_->filePath("hklm.reg")));
        QVERIFY(!session.IsConnected());

        QVERIFY(platform::RegisterComServer(QStringLiteral(QUILLET_TEST_COMPONENT)));
        qputenv(testcomponent::kNoSessionEnv, "1");
        QCOMPARE(failureOf([&] { session.Connect(); }), QString("组件不支持NotesSession接口"));
        QVERIFY(!session.IsConnected());
    }

    void toText_data()
    {
        QTest::addColumn<NotesValue>("value");
        QTest::addColumn<QString>("text");
        const QDate d(2024, 2, 29);
        QTest::newRow("text as stored") << NotesValue(" 中文 ") << " 中文 ";
        QTest::newRow("whole number") << NotesValue(42.0) << "42";
        QTest::newRow("negative zero point five") << NotesValue(-0.5) << "-0.5";
        QTest::newRow("shortest form") << NotesValue(0.1 + 0.2) << "0.30000000000000004";
        QTest::newRow("large whole number") << NotesValue(1e20) << "1e+20";
        QTest::newRow("not a number") << NotesValue(std::nan("")) << "NaN";
        QTest::newRow("date and time") << NotesValue(NotesDateTime{d, QTime(13, 5, 9), 28800}) << "2024-02-29 13:05:09";
        QTest::newRow("hundredths") << NotesValue(NotesDateTime{d, QTime(0, 0, 1, 250), {}}) << "2024-02-29 00:00:01.25";
        QTest::newRow("date only") << NotesValue(NotesDateTime{d, QTime(), {}}) << "2024-02-29";
        QTest::newRow("time only") << NotesValue(NotesDateTime{QDate(), QTime(8, 0), {}}) << "08:00:00";
        QTest::newRow("mixed list") << NotesValue::list({"a", 1.5, NotesDateTime{d, QTime(), {}}}) << "a, 1.5, 2024-02-29";
        QTest::newRow("empty list") << NotesValue::list({}) << "";
    }
    void toText()
    {
        QFETCH(NotesValue, value);
        QFETCH(QString, text);
        QCOMPARE(value.toText(), text);
    }

    void firstValueText()
    {
        QCOMPARE(domino::firstValueText({NotesValue(3.0), NotesValue("b")}), QString("3"));
        QCOMPARE(failureOf([] { domino::firstValueText({}); }), QString("域值为空"));
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(TestNotes)
#include "tst_notes.moc"

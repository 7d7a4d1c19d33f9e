// The progress window: the five routines and the one window they share.
#include "apptestutil.h"
#include "app/mainwindow.h"
#include "app/msgfrm.h"
#include "app/waitmsg.h"
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

using app::waitState;

class TestWaitMsg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { CloseWait(); }

    void showWaitOpensTheWindowWithBar();
    void showWaitTextOpensMessageOnly();
    void secondOpenChangesNothing_data();
    void secondOpenChangesNothing();
    void routinesWithoutWindowDoNothing();
    void setProgressOnMessageOnlyWindowKeepsBarHidden();
    void closeThenOpenMakesAFreshWindow();
    void animationRunsAlsoWhileTheCommandIsBusy();
};

void TestWaitMsg::showWaitOpensTheWindowWithBar()
{
    apptest::PromptsScope scope;
    QTemporaryDir dir;
    TfrmMain main(dir.path());
    main.QuitApplication = [] {};
    main.setGeometry(100, 80, 825, 606);
    main.show();

    ShowWait();
    const app::WaitState s = waitState();
    QVERIFY(s.open);
    QCOMPARE(s.text, QString::fromUtf8("正在导入数据，请稍候..."));
    QCOMPARE(s.labelGeometry, QRect(22, 6, 299, 12));
    QVERIFY(s.barVisible);
    QCOMPARE(s.barMinimum, 0);
    QCOMPARE(s.barMaximum, 100);
    QCOMPARE(s.barPosition, 0);
    QVERIFY(s.animating);

    auto* f = QApplication::topLevelWidgets().isEmpty() ? nullptr : [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<TMsgFrm*>(w); m && m->isVisible())
                return m;
        return static_cast<TMsgFrm*>(nullptr);
    }();
    QVERIFY(f);
    QVERIFY(!f->parent());
    QCOMPARE(f->size(), QSize(393, 54));
    QVERIFY(f->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(f->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(f->MsgPanel->geometry(), QRect(0, 0, 393, 54));
    QCOMPARE(f->MsgPanel->palette().color(QPalette::Window), QColor(231, 230, 216));
    QCOMPARE(f->MsgPanel->font().pixelSize(), 12);
    QCOMPARE(f->ProgressBar->geometry(), QRect(28, 26, 301, 16));
    QCOMPARE(f->Ani->geometry(), QRect(335, 4, 50, 42));
    QCOMPARE(f->geometry().center(), main.frameGeometry().center());

    SetWaitText(QString::fromUtf8("正在导出第3条"));
    SetWaitProgress(250, 3);
    const app::WaitState t = waitState();
    QCOMPARE(t.text, QString::fromUtf8("正在导出第3条"));
    QCOMPARE(t.barMaximum, 250);
    QCOMPARE(t.barPosition, 3);
    QCOMPARE(t.serial, s.serial);
}

void TestWaitMsg::showWaitTextOpensMessageOnly()
{
    ShowWaitText(QString::fromUtf8("正在连接Domino服务器"));
    const app::WaitState s = waitState();
    QVERIFY(s.open);
    QVERIFY(!s.barVisible);
    QCOMPARE(s.labelGeometry, QRect(22, 20, 299, 12));
    QCOMPARE(s.text, QString::fromUtf8("正在连接Domino服务器"));
    QVERIFY(s.animating);
}

void TestWaitMsg::secondOpenChangesNothing_data()
{
    QTest::addColumn<bool>("firstWithBar");
    QTest::addColumn<bool>("secondWithBar");
    QTest::newRow("ShowWait, then ShowWaitText") << true << false;
    QTest::newRow("ShowWaitText, then ShowWait") << false << true;
    QTest::newRow("ShowWaitText twice") << false << false;
}

void TestWaitMsg::secondOpenChangesNothing()
{
    QFETCH(bool, firstWithBar);
    QFETCH(bool, secondWithBar);
    auto open = [](bool withBar, const QString& text) {
        if (withBar) {
            ShowWait();
            SetWaitText(text);
        } else {
            ShowWaitText(text);
        }
    };
    open(firstWithBar, QStringLiteral("first"));
    const app::WaitState before = waitState();
    if (secondWithBar)
        ShowWait();
    else
        ShowWaitText(QStringLiteral("second"));
    const app::WaitState after = waitState();
    QCOMPARE(after.serial, before.serial);
    QCOMPARE(after.text, QStringLiteral("first"));
    QCOMPARE(after.barVisible, firstWithBar);
    QCOMPARE(after.labelGeometry, before.labelGeometry);
}

void TestWaitMsg::routinesWithoutWindowDoNothing()
{
    const int serial = waitState().serial;
    SetWaitText(QStringLiteral("x"));
    SetWaitProgress(100, 50);
    CloseWait();
    CloseWait();
    QVERIFY(!waitState().open);
    QCOMPARE(waitState().serial, serial);
    // Closing twice after a real window: the second call does nothing either.
    ShowWait();
    CloseWait();
    CloseWait();
    QVERIFY(!waitState().open);
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TMsgFrm*>(w));  // freed, not just hidden
}

void TestWaitMsg::setProgressOnMessageOnlyWindowKeepsBarHidden()
{
    ShowWaitText(QString::fromUtf8("正在连接Domino服务器"));
    SetWaitProgress(100, 10);
    const app::WaitState s = waitState();
    QVERIFY(!s.barVisible);
    QCOMPARE(s.barMinimum, 0);
    QCOMPARE(s.barMaximum, 100);
    QCOMPARE(s.barPosition, 10);
}

void TestWaitMsg::closeThenOpenMakesAFreshWindow()
{
    ShowWait();
    SetWaitProgress(100, 70);
    const int first = waitState().serial;
    CloseWait();
    ShowWaitText(QStringLiteral("M"));
    const app::WaitState s = waitState();
    QVERIFY(s.open);
    QVERIFY(s.serial != first);
    QVERIFY(!s.barVisible);
    QCOMPARE(s.barPosition, 0);
    QCOMPARE(s.text, QStringLiteral("M"));
    QCOMPARE(s.labelGeometry.top(), 20);
}

void TestWaitMsg::animationRunsAlsoWhileTheCommandIsBusy()
{
    ShowWait();
    const int start = waitState().animationFrame;
    QTRY_VERIFY(waitState().animationFrame != start);  // with the event loop running
    const int later = waitState().animationFrame;
    // A busy command never returns to the loop; each update moves it on.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 150) {
    }
    SetWaitText(QStringLiteral("busy"));
    QVERIFY(waitState().animationFrame != later);
}

QTEST_MAIN(TestWaitMsg)
#include "tst_waitmsg.moc"

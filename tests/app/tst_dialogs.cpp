// The connection dialog, the About window and the message boxes of the
// Qt prompts.
#include "apptestutil.h"
#include "app/about.h"
#include "app/guard.h"
#include "app/mainwindow.h"
#include "app/qtprompts.h"
#include "app/selserver.h"
#include "app/translations.h"
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QUrl>

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class TestDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        scope_ = std::make_unique<apptest::PromptsScope>();
        main_ = std::make_unique<TfrmMain>(dir_->path());
        main_->ServerName = QStringLiteral("OLD");
        main_->UserName = QStringLiteral("old user");
        main_->Password = QStringLiteral("old pwd");
    }
    void cleanup()
    {
        main_.reset();
        scope_.reset();
        dir_.reset();
    }

    void trimControls_data();
    void trimControls();
    void connectDialogLayout();
    void connectDialogConfirm_data();
    void connectDialogConfirm();
    void connectDialogCancelLeavesState();
    void connectDialogEnterOnFocusedButton_data();
    void connectDialogEnterOnFocusedButton();

    void aboutLinkColoursAndClick();
    void aboutIsFreshEveryTime();

    void qtMessageBoxes_data();
    void qtMessageBoxes();
    void qtPromptsFitTheirTexts();
    void qtTextsInChinese();

private:
    platform::ScriptedPrompts& prompts() { return scope_->prompts; }
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<apptest::PromptsScope> scope_;
    std::unique_ptr<TfrmMain> main_;
};

void TestDialogs::trimControls_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("spaces") << "  SRV1  " << "SRV1";
    QTest::newRow("controls") << QStringLiteral("\t\r\n\x01SRV\x1f ") << "SRV";
    QTest::newRow("inner kept") << " a  b " << "a  b";
    QTest::newRow("only blanks") << " \t " << "";
    QTest::newRow("ideographic space is no blank") << QString::fromUtf8("\u3000张三\u3000")
                                                   << QString::fromUtf8("\u3000张三\u3000");
    QTest::newRow("no-break space kept") << QString::fromUtf8("\u00a0x") << QString::fromUtf8("\u00a0x");
}

void TestDialogs::trimControls()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(app::TrimControls(in), out);
}

void TestDialogs::connectDialogLayout()
{
    Tfrmselserver d;
    QCOMPARE(d.windowTitle(), QString::fromUtf8("连接服务器"));
    QCOMPARE(d.size(), QSize(260, 225));
    QCOMPARE(d.Edit1->geometry(), QRect(80, 24, 113, 21));
    QCOMPARE(d.Edit3->geometry(), QRect(80, 88, 113, 21));
    QCOMPARE(d.Button1->geometry(), QRect(32, 152, 81, 28));
    QCOMPARE(d.Button2->geometry(), QRect(120, 152, 81, 27));
    QCOMPARE(d.Edit3->echoMode(), QLineEdit::Normal);
    // Tab order: the next widget in the focus chain that takes Tab.
    auto nextTab = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    QCOMPARE(nextTab(d.Edit1), static_cast<QWidget*>(d.Edit2));
    QCOMPARE(nextTab(d.Edit2), static_cast<QWidget*>(d.Edit3));
    QCOMPARE(nextTab(d.Edit3), static_cast<QWidget*>(d.Button1));
    QCOMPARE(nextTab(d.Button1), static_cast<QWidget*>(d.Button2));

    // Shown, it offers the state as it is now; neither Enter nor Escape leaves it.
    d.show();
    QCOMPARE(d.Edit1->text(), QStringLiteral("OLD"));
    QCOMPARE(d.Edit2->text(), QStringLiteral("old user"));
    QCOMPARE(d.Edit3->text(), QStringLiteral("old pwd"));
    QVERIFY(d.Cancelled);
    QVERIFY(!d.Button1->isDefault() && !d.Button1->autoDefault());
    QVERIFY(!d.Button2->isDefault() && !d.Button2->autoDefault());
    QTest::keyClick(d.Edit1, Qt::Key_Return);
    QTest::keyClick(d.Edit2, Qt::Key_Escape);
    QVERIFY(d.isVisible());
    QVERIFY(d.Cancelled);
    QVERIFY(prompts().asked().isEmpty());
}

void TestDialogs::connectDialogConfirm_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::addColumn<QStringList>("stored");  // server, user, password after the click
    const QStringList old{QStringLiteral("OLD"), QStringLiteral("old user"), QStringLiteral("old pwd")};
    const QString noServer = QString::fromUtf8("服务器名不能为空");
    const QString noUser = QString::fromUtf8("登录用名不能为空");
    QTest::newRow("both empty: server message only") << "" << "" << "x" << noServer << old;
    QTest::newRow("server of blanks and controls") << QStringLiteral(" \t\x01") << "u" << "" << noServer << old;
    QTest::newRow("user of spaces") << "SRV1" << "   " << "" << noUser << old;
    QTest::newRow("trimmed")
        << QStringLiteral("  SRV1/Acme \t") << QString::fromUtf8(" 张三 ") << "  secret \n" << ""
        << QStringList{QStringLiteral("SRV1/Acme"), QString::fromUtf8("张三"), QStringLiteral("secret")};
    QTest::newRow("empty password")
        << "SRV1" << "admin" << "" << "" << QStringList{"SRV1", "admin", ""};
}

void TestDialogs::connectDialogConfirm()
{
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QStringList, stored);
    Tfrmselserver d;
    d.show();
    d.Edit1->setText(server);
    d.Edit2->setText(user);
    d.Edit3->setText(password);
    QTest::mouseClick(d.Button1, Qt::LeftButton);
    QCOMPARE(QStringList({main_->ServerName, main_->UserName, main_->Password}), stored);
    if (message.isEmpty()) {
        QVERIFY(prompts().asked().isEmpty());
        QVERIFY(!d.Cancelled);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
    } else {
        QCOMPARE(prompts().messages(), QStringList({message}));
        QVERIFY(d.Cancelled);
        QVERIFY(d.isVisible());  // stays open with the texts as typed
        QCOMPARE(d.Edit1->text(), server);
    }
}

void TestDialogs::connectDialogCancelLeavesState()
{
    for (bool viaButton : {true, false}) {
        Tfrmselserver d;
        d.show();
        d.Edit1->setText(QStringLiteral("NEW"));
        d.Edit2->setText(QStringLiteral("new user"));
        d.Edit3->setText(QString());
        if (viaButton)
            QTest::mouseClick(d.Button2, Qt::LeftButton);
        else
            d.close();
        QVERIFY(!d.isVisible());
        QVERIFY(d.Cancelled);
        QCOMPARE(main_->ServerName, QStringLiteral("OLD"));
        QCOMPARE(main_->UserName, QStringLiteral("old user"));
        QCOMPARE(main_->Password, QStringLiteral("old pwd"));
    }
    // A dialog confirmed once and shown again starts out cancelled.
    Tfrmselserver d;
    d.show();
    QTest::mouseClick(d.Button1, Qt::LeftButton);
    QVERIFY(!d.Cancelled);
    d.show();
    QVERIFY(d.Cancelled);
}

void TestDialogs::connectDialogEnterOnFocusedButton_data()
{
    QTest::addColumn<bool>("confirm");  // Button1, else Button2
    QTest::addColumn<int>("key");
    QTest::newRow("Return on 确定") << true << int(Qt::Key_Return);
    QTest::newRow("keypad Enter on 确定") << true << int(Qt::Key_Enter);
    QTest::newRow("Return on 取消") << false << int(Qt::Key_Return);
}

void TestDialogs::connectDialogEnterOnFocusedButton()
{
    QFETCH(bool, confirm);
    QFETCH(int, key);
    Tfrmselserver d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.Edit1->setText(QStringLiteral("SRV2"));
    d.Edit2->setText(QStringLiteral("admin"));
    QPushButton* button = confirm ? d.Button1 : d.Button2;
    button->setFocus();
    const Qt::KeyboardModifiers mods = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClick(button, Qt::Key(key), mods);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.Cancelled, !confirm);
    QCOMPARE(main_->ServerName, confirm ? QStringLiteral("SRV2") : QStringLiteral("OLD"));
    // Neither became the dialog's default on the way.
    QVERIFY(!d.Button1->isDefault() && !d.Button2->isDefault());
}

void TestDialogs::aboutLinkColoursAndClick()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    QPointer<TfrmAbout> about = new TfrmAbout;
    about->show();
    QCOMPARE(about->windowTitle(), QString::fromUtf8("关于"));
    QCOMPARE(about->size(), QSize(380, 301));
    QCOMPARE(about->Label1->text(), QStringLiteral("QuilletV3.2"));
    QCOMPARE(about->Label1->font().pixelSize(), 19);
    QVERIFY(about->Label2->text().startsWith(QString::fromUtf8("开发：")));
    QVERIFY(about->Label4->text().startsWith(QString::fromUtf8("电话：")));
    QVERIFY(about->Label6->text().startsWith(QString::fromUtf8("客服QQ：")));
    QVERIFY(about->Label3->text().startsWith(QString::fromUtf8("手机：")));
    QCOMPARE(about->Label5->text(), QString::fromUtf8("网址:") + app::makerWebAddress());
    QCOMPARE(about->Label5->geometry(), QRect(64, 216, 185, 17));
    QVERIFY(!about->Image1->pixmap().isNull());

    const QList<QLabel*> others{about->Label1, about->Label2, about->Label3, about->Label4, about->Label6};
    QList<QColor> otherColours;
    for (QLabel* l : others)
        otherColours << l->palette().color(QPalette::WindowText);

    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QApplication::sendEvent(about->Label5, &enter);
    QCOMPARE(about->linkColor(), QColor(Qt::red));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(about->Label5, &leave);
    QCOMPARE(about->linkColor(), QColor(Qt::black));
    for (qsizetype i = 0; i < others.size(); ++i)
        QCOMPARE(others[i]->palette().color(QPalette::WindowText), otherColours[i]);

    QTest::mouseClick(about->Label5, Qt::LeftButton, {}, QPoint(10, 8));
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first().host(), app::makerWebAddress());
    QVERIFY(about->isVisible());  // the window stays open

    // The button closes and frees it.
    QTest::mouseClick(about->Button1, Qt::LeftButton);
    QTRY_VERIFY(about.isNull());
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void TestDialogs::aboutIsFreshEveryTime()
{
    // The window's close box, then the button: each command a new window, freed after.
    QList<QPointer<TfrmAbout>> seen;
    for (bool viaButton : {false, true}) {
        apptest::onNextModal([&, viaButton](QWidget* w) {
            auto* about = qobject_cast<TfrmAbout*>(w);
            QVERIFY(about);
            QCOMPARE(about->linkColor(), about->palette().color(QPalette::WindowText));
            seen << about;
            if (viaButton)
                about->Button1->click();
            else
                about->close();
        });
        main_->about->trigger();
        QCOMPARE(TfrmAbout::liveCount(), 0);
    }
    QCOMPARE(seen.size(), 2);
    QVERIFY(seen[0].isNull() && seen[1].isNull());
}

void TestDialogs::qtMessageBoxes_data()
{
    QTest::addColumn<int>("kind");  // 0 message, 1 error report, 2 confirm OK, 3 confirm Cancel
    QTest::newRow("plain message") << 0;
    QTest::newRow("error report") << 1;
    QTest::newRow("question answered OK") << 2;
    QTest::newRow("question cancelled") << 3;
}

void TestDialogs::qtMessageBoxes()
{
    QFETCH(int, kind);
    app::QtPrompts qt;
    platform::setPrompts(&qt);
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    apptest::onNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            buttons << box->standardButton(b);
        box->button(kind == 3 ? QMessageBox::Cancel : QMessageBox::Ok)->click();
    });
    bool answer = false;
    if (kind == 0)
        qt.message(QStringLiteral("hello"), platform::MessageIcon::None);
    else if (kind == 1)
        app::reportError(QString::fromUtf8("打不开"));
    else
        answer = qt.confirm(QString::fromUtf8("您要退出Quillet么?"), QString::fromUtf8("确认"));
    platform::setPrompts(&prompts());

    if (kind < 2) {
        QCOMPARE(caption, QStringLiteral("QuilletV3.4"));
        QCOMPARE(buttons, QList<QMessageBox::StandardButton>({QMessageBox::Ok}));
        QCOMPARE(icon, kind == 1 ? QMessageBox::Critical : QMessageBox::NoIcon);
        QCOMPARE(text, kind == 1 ? QString::fromUtf8("打不开.") : QStringLiteral("hello"));
    } else {
        QCOMPARE(caption, QString::fromUtf8("确认"));
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons.size(), 2);
        QVERIFY(buttons.contains(QMessageBox::Ok) && buttons.contains(QMessageBox::Cancel));
        QCOMPARE(answer, kind == 2);
    }
}

// The input box shows its whole caption, and a closing message keeps its
// folder path on one line where the screen has room for it.
void TestDialogs::qtPromptsFitTheirTexts()
{
    QInputDialog input;
    input.setWindowTitle(QString::fromUtf8("请输入从第几个文档开始导出!"));
    input.setLabelText(QString::fromUtf8("从第几个文档开始导："));
    app::fitInputDialog(input);
    input.show();
    QFont bold = input.font();
    bold.setBold(true);
    QVERIFY(input.width() > QFontMetrics(bold).horizontalAdvance(input.windowTitle()) + 100);

    const QString text = QString::fromUtf8("您好，数据导出完成，文件夹名为：/tmp/q/全部文档附件");
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("QuilletV3.4"), text, QMessageBox::Ok);
    app::fitMessageBox(box);
    box.show();
    QCoreApplication::processEvents();
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    QVERIFY(label);
    const int needed = label->fontMetrics().horizontalAdvance(text);
    if (needed > box.screen()->availableGeometry().width() - 200)
        QSKIP("the screen is too narrow for the text on one line");
    QVERIFY2(label->width() >= needed, qPrintable(QStringLiteral("%1 < %2").arg(label->width()).arg(needed)));
    QVERIFY(label->height() < 2 * label->fontMetrics().lineSpacing());
}

// Qt's own dialogs and buttons speak the program's language.
void TestDialogs::qtTextsInChinese()
{
    QVERIFY(app::installQtTranslations(*QCoreApplication::instance()));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("取消"));
    QCOMPARE(buttons.button(QDialogButtonBox::Ok)->text().remove(u'&'), QString::fromUtf8("确定"));
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8("取消"));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"

#include "app/selserver.h"
#include "app/guard.h"
#include "app/mainwindow.h"
#include "platform/prompts.h"
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace app {

QString TrimControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace app

Tfrmselserver::Tfrmselserver(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmselserver"));
    setWindowTitle(QString::fromUtf8("连接服务器"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(260, 225);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 260, 225);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);

    gr1 = new QGroupBox(QString::fromUtf8("选项"), Panel1);
    gr1->setObjectName(QStringLiteral("gr1"));
    gr1->setGeometry(16, 16, 217, 121);

    auto label = [this](const char* name, const char* text, int x, int y, int w, int h) {
        auto* l = new QLabel(QString::fromUtf8(text), gr1);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(x, y, w, h);
        return l;
    };
    auto edit = [this](const char* name, int x, int y, int w, int h) {
        auto* e = new QLineEdit(gr1);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(x, y, w, h);
        return e;
    };
    Label1 = label("Label1", "服务器名：", 16, 32, 65, 17);
    Edit1 = edit("Edit1", 80, 24, 113, 21);
    Label2 = label("Label2", "登录名：", 16, 64, 57, 17);
    Edit2 = edit("Edit2", 80, 56, 113, 21);
    Label3 = label("Label3", "用户密码：", 16, 88, 65, 17);
    Edit3 = edit("Edit3", 80, 88, 113, 21);
    Edit3->setEchoMode(QLineEdit::Normal);  // the password is shown in clear

    auto button = [this](const char* name, const char* text, int x, int y, int w, int h) {
        auto* b = new QPushButton(QString::fromUtf8(text), Panel1);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, w, h);
        // Neither button is the dialog's default, so Enter in an edit does
        // nothing (an auto-default button would become the default once the
        // dialog shows). A focused button answers Enter: see eventFilter.
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(this);
        return b;
    };
    Button1 = button("Button1", "确  定", 32, 152, 81, 28);
    Button2 = button("Button2", "取  消", 120, 152, 81, 27);
    connect(Button1, &QPushButton::clicked, this, app::guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, app::guarded([this] { Button2Click(); }));

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Button1);
    setTabOrder(Button1, Button2);
    Edit1->setFocus();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), frameGeometry().size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

void Tfrmselserver::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        app::runGuarded([this] { FormShow(); });
}

void Tfrmselserver::keyPressEvent(QKeyEvent* event)
{
    // No cancel button: Escape does not close the dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Tfrmselserver::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == Button1 || watched == Button2)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tfrmselserver::FormShow()
{
    if (frmMain) {
        Edit1->setText(frmMain->ServerName);
        Edit2->setText(frmMain->UserName);
        Edit3->setText(frmMain->Password);
    }
    Cancelled = true;
}

void Tfrmselserver::Button1Click()
{
    const QString server = app::TrimControls(Edit1->text());
    const QString user = app::TrimControls(Edit2->text());
    if (server.isEmpty()) {
        platform::prompts().message(QString::fromUtf8(kEmptyServerText));
        return;
    }
    if (user.isEmpty()) {
        platform::prompts().message(QString::fromUtf8(kEmptyUserText));
        return;
    }
    if (frmMain) {
        frmMain->ServerName = server;
        frmMain->UserName = user;
        frmMain->Password = app::TrimControls(Edit3->text());
    }
    Cancelled = false;
    accept();
}

void Tfrmselserver::Button2Click()
{
    reject();
    Cancelled = true;
}

#include "app/about.h"
#include "app/guard.h"
#include "app/icons.h"
#include "app/mainwindow.h"
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace app {

QString makerName() { return QString::fromUtf8("鹅毛笔软件工作室"); }
QString makerTelephone() { return QStringLiteral("010-62000000"); }
QString makerSupportQQ() { return QStringLiteral("80000000"); }
QString makerMobile() { return QStringLiteral("13800000000"); }
QString makerWebAddress() { return QStringLiteral("www.quillet.example"); }

QString supportContactLine()
{
    return QString::fromUtf8("技术支持电话：") + makerTelephone();
}

} // namespace app

namespace {
int g_liveAbout = 0;

QFont pixelFont(int px)
{
    QFont f;
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                   QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    f.setPixelSize(px);
    return f;
}
} // namespace

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

QColor TLinkLabel::color() const { return palette().color(QPalette::WindowText); }

void TLinkLabel::setColor(const QColor& c)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, c);
    setPalette(pal);
}

void TLinkLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    Q_EMIT mouseEntered();
}

void TLinkLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    Q_EMIT mouseLeft();
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    ++g_liveAbout;
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QString::fromUtf8("关于"));
    // A fixed dialog: no resizing, no minimise or maximise button, no help button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(380, 301);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 8, 289, 41);
    Image1->setPixmap(app::aboutBanner(289, 41));

    auto label = [this](const char* name, const QString& text, int x, int y, int w, int h,
                        int px) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(x, y, w, h);
        l->setFont(pixelFont(px));
        return l;
    };
    Label1 = label("Label1", QStringLiteral("QuilletV3.2"), 16, 64, 361, 41, 19);
    QPalette black = Label1->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    Label1->setPalette(black);
    Label2 = label("Label2", QString::fromUtf8("开发：") + app::makerName(), 64, 112, 257, 17, 13);
    Label4 = label("Label4", QString::fromUtf8("电话：") + app::makerTelephone(), 64, 144, 265, 17, 13);
    Label6 = label("Label6", QString::fromUtf8("客服QQ：") + app::makerSupportQQ(), 64, 167, 265, 17, 13);
    Label3 = label("Label3", QString::fromUtf8("手机：") + app::makerMobile(), 64, 192, 265, 17, 13);

    Label5 = new TLinkLabel(QString::fromUtf8("网址:") + app::makerWebAddress(), this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setGeometry(64, 216, 185, 17);
    Label5->setFont(pixelFont(13));
    Label5->setCursor(Qt::PointingHandCursor);
    connect(Label5, &TLinkLabel::mouseEntered, this, app::guarded([this] { Label5MouseEnter(); }));
    connect(Label5, &TLinkLabel::mouseLeft, this, app::guarded([this] { Label5MouseLeave(); }));
    connect(Label5, &TLinkLabel::clicked, this, app::guarded([this] { Label5Click(); }));

    Button1 = new QPushButton(QString::fromUtf8("确       定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(112, 256, 137, 33);
    connect(Button1, &QPushButton::clicked, this, app::guarded([this] { Button1Click(); }));

    // Every way of closing frees the window.
    setAttribute(Qt::WA_DeleteOnClose);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), frameGeometry().size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

TfrmAbout::~TfrmAbout() { --g_liveAbout; }

int TfrmAbout::liveCount() { return g_liveAbout; }

QColor TfrmAbout::linkColor() const { return Label5->color(); }

void TfrmAbout::Button1Click() { close(); }

void TfrmAbout::Label5MouseEnter() { Label5->setColor(Qt::red); }

void TfrmAbout::Label5MouseLeave() { Label5->setColor(Qt::black); }

void TfrmAbout::Label5Click()
{
    // The desktop's handler opens the page; a refusal is not reported.
    QDesktopServices::openUrl(QUrl::fromUserInput(app::makerWebAddress()));
}

void TfrmMain::aboutExecute()
{
    // Owned by the application, modal; it frees itself when it closes.
    auto* form = new TfrmAbout();
    form->exec();
}

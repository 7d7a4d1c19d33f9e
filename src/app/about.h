#pragma once
// The About window: product, the maker's support lines and the web link.
#include <QDialog>
#include <QLabel>

class QPushButton;

namespace app {
// The maker's contact details, shared by the About window and the status bar.
QString makerName();
QString makerTelephone();
QString makerSupportQQ();
QString makerMobile();
QString makerWebAddress();
// The status bar's support-contact text.
QString supportContactLine();
} // namespace app

class TLinkLabel;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    ~TfrmAbout() override;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label3 = nullptr;
    TLinkLabel* Label5 = nullptr;
    QPushButton* Button1 = nullptr;

    void Button1Click();
    void Label5MouseEnter();
    void Label5MouseLeave();
    void Label5Click();

    // The link label's text colour.
    QColor linkColor() const;
    // About windows alive right now (each command makes a fresh one).
    static int liveCount();
};

// A label that reports the pointer entering, leaving and clicking it.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);
    QColor color() const;
    void setColor(const QColor& c);

Q_SIGNALS:
    void mouseEntered();
    void mouseLeft();
    void clicked();

protected:
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
};

#pragma once
// The connection dialog: server name, user name and password, checked and
// written back to the main window's state when confirmed.
#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

namespace app {
// Removes leading and trailing characters of code 32 or less (spaces and
// control characters), nothing else.
QString TrimControls(const QString& text);
} // namespace app

class Tfrmselserver : public QDialog {
    Q_OBJECT
public:
    explicit Tfrmselserver(QWidget* parent = nullptr);

    static constexpr const char* kEmptyServerText = "服务器名不能为空";
    static constexpr const char* kEmptyUserText = "登录用名不能为空";

    QFrame* Panel1 = nullptr;
    QGroupBox* gr1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    // True unless the dialog was left through Button1 with valid input.
    bool Cancelled = true;

    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

#pragma once
// The application object. Its notify() is the last guard: an exception that
// escapes an event handler anywhere goes to the error report instead of
// ending the program.
#include <QApplication>

namespace app {

class QuilletApplication : public QApplication {
    Q_OBJECT
public:
    QuilletApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace app

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationDisplayName(QStringLiteral("QuilletV3.4"));
    return 0;
}

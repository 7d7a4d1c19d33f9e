// quillet-bench [NAME...]: runs the named measurements (all without names) and
// prints one line per figure.
#include "bench.h"
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace bench {
namespace {
std::map<std::string, Function>& registry()
{
    static std::map<std::string, Function> r;
    return r;
}
QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}
} // namespace

Registrar::Registrar(const char* name, Function f) { registry()[name] = std::move(f); }

void Context::report(const QString& figure, double value, const QString& unit)
{
    out() << QStringLiteral("  %1: %2 %3").arg(figure).arg(value, 0, 'f', 3).arg(unit) << Qt::endl;
}

void Context::ratio(const QString& figure, double value, double baseline, const QString& unit)
{
    out() << QStringLiteral("  %1: %2 %3 against %4 %3, ratio %5")
                 .arg(figure)
                 .arg(value, 0, 'f', 3)
                 .arg(unit)
                 .arg(baseline, 0, 'f', 3)
                 .arg(baseline > 0 ? value / baseline : 0, 0, 'f', 3)
          << Qt::endl;
}

void Context::note(const QString& text) { out() << QStringLiteral("  # ") << text << Qt::endl; }

double bestMs(int repeat, const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

double peakRssMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void generateDatabase(Context& ctx, const QString& path, const QStringList& shape)
{
    const QString gendxl = QCoreApplication::applicationDirPath() + QStringLiteral("/quillet-gendxl");
    if (QProcess::execute(gendxl, shape + QStringList{QStringLiteral("--out"), path}) != 0) {
        std::fprintf(stderr, "quillet-gendxl could not write %s\n", qPrintable(path));
        std::exit(1);
    }
    ctx.note(QStringLiteral("database written by quillet-gendxl: ") + shape.join(u' '));
}

} // namespace bench

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    int ran = 0;
    for (auto& [name, f] : bench::registry()) {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromStdString(name)))
            continue;
        QTemporaryDir dir;
        bench::out() << QString::fromStdString(name) << Qt::endl;
        bench::Context ctx(dir.path());
        f(ctx);
        ++ran;
    }
    if (ran == 0) {
        std::fprintf(stderr, "no such measurement; known:");
        for (auto& [name, f] : bench::registry())
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    return 0;
}

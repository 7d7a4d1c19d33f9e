#pragma once
// The benchmark program's registry: each measurement is a function that
// registers itself with QUILLET_BENCH and reports figures through the context.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>

namespace bench {

class Context {
public:
    explicit Context(QString workDir) : workDir_(std::move(workDir)) {}
    // A folder of its own for the measurement's files (created, emptied at the end).
    const QString& workDir() const { return workDir_; }
    // One figure: name, value, unit; with a baseline, the ratio value/baseline is printed too.
    void report(const QString& figure, double value, const QString& unit);
    void ratio(const QString& figure, double value, double baseline, const QString& unit);
    void note(const QString& text);

private:
    QString workDir_;
};

using Function = std::function<void(Context&)>;
struct Registrar {
    Registrar(const char* name, Function f);
};

// Milliseconds taken by f, the best of `repeat` runs.
double bestMs(int repeat, const std::function<void()>& f);
// Peak resident set size of this process so far, in MiB.
double peakRssMiB();
// Writes a database with quillet-gendxl (built beside this program) to path;
// the arguments say its shape. Exits the program when the generator fails.
void generateDatabase(Context& ctx, const QString& path, const QStringList& shape);

} // namespace bench

#define QUILLET_BENCH(name)                                                      \
    static void bench_##name(bench::Context&);                                   \
    static const bench::Registrar registrar_##name(#name, bench_##name);         \
    static void bench_##name(bench::Context& ctx)

// quillet-gendxl: writes the sample data directory, or one large database for
// the benchmark and stress tests.
#include "benchdb.h"
#include "sample.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

int usage()
{
    std::fputs("usage: quillet-gendxl --sample DIR\n"
               "       quillet-gendxl --docs N [--attachment-bytes B] [--items K] --out FILE [--seed S]\n",
               stderr);
    return 2;
}

bool number(const char* s, long long& v)
{
    char* end = nullptr;
    v = std::strtoll(s, &end, 10);
    return *s && *end == 0 && v >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string sampleDir, out;
    gendxl::BenchOptions o;
    bool docs = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return usage();
        const char* v = argv[++i];
        long long n = 0;
        if (a == "--sample") {
            sampleDir = v;
        } else if (a == "--out") {
            out = v;
        } else if (a == "--docs" && number(v, n)) {
            o.documents = n;
            docs = true;
        } else if (a == "--attachment-bytes" && number(v, n)) {
            o.attachmentBytes = n;
        } else if (a == "--items" && number(v, n) && n >= 7 && n <= 1000) {
            o.items = int(n);
        } else if (a == "--seed" && number(v, n)) {
            o.seed = std::uint64_t(n);
        } else {
            return usage();
        }
    }
    if (sampleDir.empty() == !docs || (docs && out.empty()))
        return usage();
    try {
        if (docs)
            gendxl::writeBenchDatabase(out, o);
        else
            gendxl::writeSample(sampleDir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillet-gendxl: %s\n", e.what());
        // A half-written database would only fail later, far from the cause.
        if (docs)
            std::remove(out.c_str());
        return 1;
    }
    return 0;
}

#pragma once
#include <cstdint>
#include <string>

namespace gendxl {

struct BenchOptions {
    long long documents = 1000;
    long long attachmentBytes = 4096;
    int items = 20;               // items per document besides the attachment, 7 to 1000
    std::uint64_t seed = 1;
};

// One large database for the benchmark and stress tests: a sorted view over
// all documents and a categorized one; every document has `items` items of
// mixed types (a rich-text Body among them) and one attachment. Written in one
// streaming pass, so memory does not grow with the document count.
void writeBenchDatabase(const std::string& path, const BenchOptions& o);

} // namespace gendxl

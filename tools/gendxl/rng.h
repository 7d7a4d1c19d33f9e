#pragma once
// A small seeded generator (splitmix64) of our own, so that the same seed gives
// the same bytes on every machine and every library version: the committed
// sample must be reproducible bit for bit.
#include <cstdint>
#include <string>
#include <vector>

namespace gendxl {

class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); n > 0. The slight modulo bias does not matter here.
    std::uint32_t below(std::uint32_t n) { return std::uint32_t(next() % n); }
    int between(int lo, int hi) { return lo + int(below(std::uint32_t(hi - lo + 1))); }
    bool chance(int percent) { return below(100) < std::uint32_t(percent); }

    template <typename T>
    const T& pick(const std::vector<T>& v) { return v[below(std::uint32_t(v.size()))]; }

    // 32 upper-case hex digits, the shape of a Domino UNID.
    std::string unid()
    {
        static const char hex[] = "0123456789ABCDEF";
        std::string s(32, '0');
        for (int half = 0; half < 2; ++half) {
            std::uint64_t v = next();
            for (int i = 0; i < 16; ++i, v >>= 4)
                s[half * 16 + i] = hex[v & 15];
        }
        return s;
    }

    void fill(unsigned char* p, std::size_t n)
    {
        while (n >= 8) {
            std::uint64_t v = next();
            for (int i = 0; i < 8; ++i, v >>= 8)
                *p++ = static_cast<unsigned char>(v);
            n -= 8;
        }
        std::uint64_t v = next();
        while (n--) {
            *p++ = static_cast<unsigned char>(v);
            v >>= 8;
        }
    }

private:
    std::uint64_t state_;
};

} // namespace gendxl

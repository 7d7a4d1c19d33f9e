#include "engine/dxlvalues.h"
#include <QByteArray>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace engine::dxl {

static std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

double parseNumber(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double d = NAN;
    auto r = std::from_chars(text.data(), text.data() + text.size(), d);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return NAN;
    return d;
}

static bool digits(std::string_view s, size_t pos, size_t n, int& out)
{
    if (pos + n > s.size())
        return false;
    int v = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
        v = v * 10 + (s[i] - '0');
    }
    out = v;
    return true;
}

domino::NotesDateTime parseDateTime(std::string_view text)
{
    domino::NotesDateTime dt;
    std::string_view s = trimmed(text);
    size_t pos = 0;
    int y, mo, d;
    if (digits(s, 0, 4, y) && digits(s, 4, 2, mo) && digits(s, 6, 2, d)) {
        QDate date(y, mo, d);
        if (!date.isValid())
            return {};
        dt.date = date;
        pos = 8;
    }
    if (pos < s.size() && s[pos] == 'T') {
        int h, mi, sec;
        if (!digits(s, pos + 1, 2, h) || !digits(s, pos + 3, 2, mi) || !digits(s, pos + 5, 2, sec))
            return {};
        pos += 7;
        int hundredths = 0;
        if (pos < s.size() && (s[pos] == ',' || s[pos] == '.')) {
            ++pos;
            int n = 0, v = 0;
            while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
                if (n < 2)
                    v = v * 10 + (s[pos] - '0');
                ++n;
                ++pos;
            }
            hundredths = n == 1 ? v * 10 : v;
        }
        QTime time(h, mi, sec, hundredths * 10);
        if (!time.isValid())
            return {};
        dt.time = time;
        if (pos < s.size()) {
            if (s[pos] == 'Z') {
                dt.offsetSeconds = 0;
                ++pos;
            } else if (s[pos] == '+' || s[pos] == '-') {
                const int sign = s[pos] == '-' ? -1 : 1;
                int oh = 0, om = 0;
                if (digits(s, pos + 1, 4, oh)) {
                    om = oh % 100;
                    oh /= 100;
                    pos += 5;
                } else if (digits(s, pos + 1, 2, oh)) {
                    pos += 3;
                } else {
                    return {};
                }
                dt.offsetSeconds = sign * (oh * 3600 + om * 60);
            }
        }
    }
    if (pos != s.size())
        return {};
    return dt;
}

std::string unidFromNoteRef(std::string_view base64)
{
    const QByteArray raw = QByteArray::fromBase64(QByteArray(base64.data(), qsizetype(base64.size())));
    // A LIST header (entry count, 16 bits) followed by UNIDs of two TIMEDATEs each.
    if (raw.size() < 18)
        return {};
    auto le32 = [&](int at) {
        const auto* b = reinterpret_cast<const unsigned char*>(raw.constData() + at);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    };
    const int count = static_cast<unsigned char>(raw[0]) | static_cast<unsigned char>(raw[1]) << 8;
    if (count < 1)
        return {};
    char out[33];
    std::snprintf(out, sizeof out, "%08X%08X%08X%08X", le32(6), le32(2), le32(14), le32(10));
    return std::string(out, 32);
}

} // namespace engine::dxl

#include "samplefiles.h"

#include "dxlwriter.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <stdexcept>

namespace gendxl {

namespace {

void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put32be(Bytes& b, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void putStr(Bytes& b, const std::string& s, bool nul = true)
{
    b.insert(b.end(), s.begin(), s.end());
    if (nul)
        b.push_back(0);
}

void set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

void pngChunk(Bytes& png, const char* type, const Bytes& data)
{
    put32be(png, std::uint32_t(data.size()));
    Bytes td(type, type + 4);
    td.insert(td.end(), data.begin(), data.end());
    png.insert(png.end(), td.begin(), td.end());
    put32be(png, crc32(td.data(), td.size()));
}

// A zlib stream of stored (uncompressed) deflate blocks.
Bytes zlibStored(const Bytes& raw)
{
    Bytes z{0x78, 0x01};
    std::size_t off = 0;
    do {
        const std::size_t n = raw.size() - off < 65535 ? raw.size() - off : 65535;
        z.push_back(off + n == raw.size() ? 1 : 0);
        put16(z, unsigned(n));
        put16(z, unsigned(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + std::ptrdiff_t(off), raw.begin() + std::ptrdiff_t(off + n));
        off += n;
    } while (off < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32be(z, b << 16 | a);
    return z;
}

} // namespace

std::uint32_t crc32(const unsigned char* p, std::size_t n, std::uint32_t crc)
{
    static std::uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    while (n--)
        crc = table[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

Bytes makePng(int width, int height, std::uint32_t seed)
{
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    put32be(ihdr, std::uint32_t(width));
    put32be(ihdr, std::uint32_t(height));
    ihdr.insert(ihdr.end(), {8, 3, 0, 0, 0});   // 8-bit palette, no interlace
    pngChunk(png, "IHDR", ihdr);

    // Palette: white, a dark frame colour and six bar colours shifted by the seed.
    Bytes plte{255, 255, 255, 40, 44, 52};
    for (int i = 0; i < 6; ++i) {
        const unsigned h = (seed * 37u + unsigned(i) * 43u) % 256u;
        plte.push_back(static_cast<unsigned char>(60 + h % 180));
        plte.push_back(static_cast<unsigned char>(60 + (h * 7) % 180));
        plte.push_back(static_cast<unsigned char>(60 + (h * 13) % 180));
    }
    pngChunk(png, "PLTE", plte);

    Bytes raw;
    const int bars = 6;
    const int barWidth = (width - 8) / bars;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);   // filter: none
        for (int x = 0; x < width; ++x) {
            unsigned char c = 0;
            if (x < 2 || y < 2 || x >= width - 2 || y >= height - 2) {
                c = 1;
            } else {
                const int bar = (x - 4) / (barWidth ? barWidth : 1);
                if (x >= 4 && bar < bars && (x - 4) % barWidth < barWidth - 2) {
                    const int h = 4 + int((seed / (bar + 1) + unsigned(bar) * 11u) % unsigned(height - 8));
                    if (y >= height - 4 - h && y < height - 4)
                        c = static_cast<unsigned char>(2 + bar);
                }
            }
            raw.push_back(c);
        }
    }
    pngChunk(png, "IDAT", zlibStored(raw));
    pngChunk(png, "IEND", {});
    return png;
}

Bytes makePdf(const std::vector<std::string>& lines)
{
    std::string content = "0.2 0.4 0.7 rg\n56 780 483 4 re f\n0 0 0 rg\nBT\n/F1 20 Tf\n72 740 Td\n";
    // Everything stays on the one page: long lists get a smaller leading.
    const int leading = lines.size() > 31 ? int(680 / lines.size()) : 22;
    const std::string bodyFont = "/F1 " + std::to_string(leading < 12 ? leading - 1 : 11) + " Tf\n";
    const std::string step = "0 -" + std::to_string(leading) + " Td\n";
    bool first = true;
    for (const auto& l : lines) {
        std::string esc;
        for (char c : l) {
            if (c == '(' || c == ')' || c == '\\')
                esc.push_back('\\');
            esc.push_back(c);
        }
        content += "(" + esc + ") Tj\n" + (first ? std::string("0 -28 Td\n") : step);
        if (first) {
            content += bodyFont;
            first = false;
        }
    }
    content += "ET\n";

    std::vector<std::string> objs = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842]\n   /Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Title (Quillet sample) /Producer (quillet-gendxl) >>",
    };
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objs.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objs[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objs.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t off : offsets) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", off);
        pdf += buf;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objs.size() + 1) + " /Root 1 0 R /Info 6 0 R >>\nstartxref\n"
         + std::to_string(xref) + "\n%%EOF\n";
    return Bytes(pdf.begin(), pdf.end());
}

namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFFu;
constexpr std::uint32_t kEnd = 0xFFFFFFFEu;
constexpr std::uint32_t kFatSect = 0xFFFFFFFDu;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
const unsigned char kPackageClsid[16] = {0x0c, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

void dirEntry(Bytes& d, const std::u16string& name, int type, int color, std::uint32_t left,
              std::uint32_t right, std::uint32_t child, const unsigned char* clsid,
              std::uint64_t created, std::uint64_t modified, std::uint32_t start, std::uint32_t size)
{
    const std::size_t at = d.size();
    d.resize(at + 128, 0);
    for (std::size_t i = 0; i < name.size(); ++i) {
        d[at + 2 * i] = static_cast<unsigned char>(name[i]);
        d[at + 2 * i + 1] = static_cast<unsigned char>(name[i] >> 8);
    }
    const unsigned len = unsigned(name.size() + 1) * 2;
    d[at + 64] = static_cast<unsigned char>(len);
    d[at + 65] = static_cast<unsigned char>(len >> 8);
    d[at + 66] = static_cast<unsigned char>(type);
    d[at + 67] = static_cast<unsigned char>(color);
    set32(d, at + 68, left);
    set32(d, at + 72, right);
    set32(d, at + 76, child);
    if (clsid)
        std::copy(clsid, clsid + 16, d.begin() + std::ptrdiff_t(at + 80));
    set32(d, at + 100, std::uint32_t(created));
    set32(d, at + 104, std::uint32_t(created >> 32));
    set32(d, at + 108, std::uint32_t(modified));
    set32(d, at + 112, std::uint32_t(modified >> 32));
    set32(d, at + 116, start);
    set32(d, at + 120, size);
}

std::u16string ascii16(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

} // namespace

Bytes makeOlePackageStorage(const std::string& progId, const std::string& fileName, const Bytes& content,
                            std::uint64_t fileTime)
{
    // The packaged file: label, source path, then the file itself.
    Bytes native;
    const std::string source = "C:\\Users\\quillet\\Documents\\" + fileName;
    const std::string temp = "C:\\Users\\quillet\\AppData\\Local\\Temp\\" + fileName;
    put16(native, 2);
    putStr(native, fileName);
    putStr(native, source);
    put16(native, 0);
    put16(native, 3);
    put32(native, std::uint32_t(temp.size() + 1));
    putStr(native, temp);
    put32(native, std::uint32_t(content.size()));
    native.insert(native.end(), content.begin(), content.end());
    // The Unicode tail that newer packagers add: temporary path, label, source
    // path, each as a character count and UTF-16 without terminator.
    for (const std::string* s : {&temp, &fileName, &source}) {
        put32(native, std::uint32_t(s->size()));
        for (char c : *s)
            put16(native, static_cast<unsigned char>(c));
    }
    Bytes stream;
    put32(stream, std::uint32_t(native.size()));
    stream.insert(stream.end(), native.begin(), native.end());
    // Below the mini-stream cutoff the stream would belong in the mini stream;
    // the sample's objects are larger, which keeps this layout the real one.
    if (stream.size() < 4096 || stream.size() > 60000)
        throw std::logic_error("embedded object content must be between 4 KB and 60 KB");

    Bytes compObj{0x01, 0x00, 0xfe, 0xff, 0x03, 0x0a, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff};
    compObj.insert(compObj.end(), kPackageClsid, kPackageClsid + 16);
    put32(compObj, 12);
    putStr(compObj, "OLE Package", false);
    compObj.push_back(0);
    put32(compObj, 0);
    put32(compObj, 8);
    putStr(compObj, "Package", false);
    compObj.push_back(0);
    put32(compObj, 0x71B239F4u);
    compObj.resize(76, 0);

    // Layout as Notes leaves it: sectors 0 and 1 unused, the directory in 2,
    // the FAT in 3, the mini FAT in 4, the mini stream in 5, the package from 6.
    const std::uint32_t nativeSectors = std::uint32_t((stream.size() + 511) / 512);
    const std::uint32_t used = 6 + nativeSectors;
    Bytes header(512, 0);
    const unsigned char sig[8] = {0xd0, 0xcf, 0x11, 0xe0, 0xa1, 0xb1, 0x1a, 0xe1};
    std::copy(sig, sig + 8, header.begin());
    header[24] = 0x3e;
    header[26] = 0x03;
    header[28] = 0xfe;
    header[29] = 0xff;
    header[30] = 9;
    header[32] = 6;
    set32(header, 44, 1);        // FAT sectors
    set32(header, 48, 2);        // first directory sector
    set32(header, 56, 0x1000);   // mini stream cutoff
    set32(header, 60, 4);        // first mini FAT sector
    set32(header, 64, 1);        // mini FAT sectors
    set32(header, 68, kEnd);     // no DIFAT sectors
    set32(header, 76, 3);
    for (std::size_t at = 80; at < 512; at += 4)
        set32(header, at, kFree);

    Bytes dir;
    dirEntry(dir, u"Root Entry", 5, 0, kNone, kNone, 1, nullptr, 0, fileTime, 5, 128);
    dirEntry(dir, ascii16(progId), 1, 1, kNone, kNone, 2, kPackageClsid, fileTime, fileTime, 0, 0);
    dirEntry(dir, u"\x01Ole10Native", 2, 1, 3, kNone, kNone, nullptr, 0, 0, 6, std::uint32_t(stream.size()));
    dirEntry(dir, u"\x01" u"CompObj", 2, 0, kNone, kNone, kNone, nullptr, 0, 0, 0, 76);

    Bytes fat(512, 0xFF);
    set32(fat, 8, kEnd);
    set32(fat, 12, kFatSect);
    set32(fat, 16, kEnd);
    set32(fat, 20, kEnd);
    for (std::uint32_t s = 6; s < used; ++s)
        set32(fat, 4 * s, s + 1 < used ? s + 1 : kEnd);

    Bytes miniFat(512, 0xFF);
    set32(miniFat, 0, 1);
    set32(miniFat, 4, kEnd);

    Bytes mini(512, 0);
    std::copy(compObj.begin(), compObj.end(), mini.begin());

    Bytes file = header;
    file.resize(512 + 2 * 512, 0);   // sectors 0 and 1
    file.insert(file.end(), dir.begin(), dir.end());
    file.insert(file.end(), fat.begin(), fat.end());
    file.insert(file.end(), miniFat.begin(), miniFat.end());
    file.insert(file.end(), mini.begin(), mini.end());
    file.insert(file.end(), stream.begin(), stream.end());
    file.resize(512 + std::size_t(used) * 512, 0);
    return file;
}

PagedObject pageStorage(const Bytes& storage, std::size_t pageSize, std::string extName,
                        std::vector<std::string> pageNames)
{
    PagedObject o;
    o.extName = std::move(extName);
    const std::size_t count = (storage.size() + pageSize - 1) / pageSize;
    if (pageNames.size() != count)
        throw std::logic_error("page names do not match the page count");
    // The compound file must fit what one FAT sector describes, padding included.
    if (count * pageSize > 512 + 128 * 512)
        throw std::logic_error("embedded object too large for the sample layout");
    o.pageNames = std::move(pageNames);
    for (std::size_t i = 0; i < count; ++i) {
        Bytes page(pageSize, 0);
        const std::size_t n = std::min(pageSize, storage.size() - i * pageSize);
        std::copy(storage.begin() + std::ptrdiff_t(i * pageSize),
                  storage.begin() + std::ptrdiff_t(i * pageSize + n), page.begin());
        o.pages.push_back(std::move(page));
    }
    put32(o.extFile, 1);
    put32(o.extFile, std::uint32_t(count));
    put32(o.extFile, std::uint32_t(pageSize));
    o.extFile.resize(32, 0);
    for (const auto& n : o.pageNames) {
        if (n.size() != 8)
            throw std::logic_error("page names have 8 characters");
        putStr(o.extFile, n);
        o.extFile.push_back(0);
    }
    return o;
}

std::string pbkdf2PasswordHash(const std::string& password, const Bytes& salt, int iterations, int hashLength)
{
    const QByteArray key = QByteArray::fromStdString(password);
    QByteArray out;
    for (std::uint32_t block = 1; out.size() < hashLength; ++block) {
        QByteArray msg(reinterpret_cast<const char*>(salt.data()), qsizetype(salt.size()));
        for (int i = 3; i >= 0; --i)
            msg.append(char(block >> (8 * i)));
        QByteArray u = QMessageAuthenticationCode::hash(msg, key, QCryptographicHash::Sha256);
        QByteArray t = u;
        for (int it = 1; it < iterations; ++it) {
            u = QMessageAuthenticationCode::hash(u, key, QCryptographicHash::Sha256);
            for (qsizetype k = 0; k < t.size(); ++k)
                t[k] = char(t[k] ^ u[k]);
        }
        out.append(t);
    }
    out.truncate(hashLength);
    return "{PBKDF2-SHA256}" + std::to_string(iterations) + "$"
         + base64(salt.data(), salt.size()) + "$"
         + base64(reinterpret_cast<const unsigned char*>(out.constData()), std::size_t(out.size()));
}

} // namespace gendxl

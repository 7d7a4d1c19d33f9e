#include "summaryinfo.h"

#include "byteorder.h"

namespace xls {
namespace {

constexpr unsigned char kSummaryFmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                             0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr unsigned char kDocSummaryFmtid[16] = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                                0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
constexpr std::uint16_t kVtI2 = 0x0002;
constexpr std::uint16_t kVtLpstr = 0x001E;
constexpr std::uint32_t kPidCodepage = 1;
constexpr std::uint32_t kPidAppName = 18;

struct Property {
    std::uint32_t id;
    QByteArray value; // type, padding and value, a multiple of 4 bytes
};

Property codepage()
{
    QByteArray v(8, 0);
    put16(put16(put16(v.data(), kVtI2), 0), 1252);
    return {kPidCodepage, v};
}

Property text(std::uint32_t id, const QByteArray& latin1)
{
    const std::uint32_t size = std::uint32_t(latin1.size() + 1);
    QByteArray v(8 + int((size + 3) / 4 * 4), 0);
    char* p = put32(put16(put16(v.data(), kVtLpstr), 0), size);
    putBytes(p, latin1.constData(), std::size_t(latin1.size()));
    return {id, v};
}

// A property set stream of one section.
QByteArray propertySet(const unsigned char (&fmtid)[16], const std::vector<Property>& props)
{
    std::uint32_t sectionSize = 8 + 8 * std::uint32_t(props.size());
    for (const Property& p : props)
        sectionSize += std::uint32_t(p.value.size());
    QByteArray out(48 + int(sectionSize), 0);
    char* p = out.data();
    p = put16(p, 0xFFFE);     // byte order
    p = put16(p, 0);          // version
    p = put32(p, 0x00020006); // written on Windows NT 6
    p += 16;                  // no class
    p = put32(p, 1);          // one section
    p = putBytes(p, fmtid, 16);
    p = put32(p, 48);
    p = put32(p, sectionSize);
    p = put32(p, std::uint32_t(props.size()));
    std::uint32_t at = 8 + 8 * std::uint32_t(props.size());
    for (const Property& prop : props) {
        p = put32(p, prop.id);
        p = put32(p, at);
        at += std::uint32_t(prop.value.size());
    }
    for (const Property& prop : props)
        p = putBytes(p, prop.value.constData(), std::size_t(prop.value.size()));
    return out;
}

} // namespace

std::vector<CompoundFileWriter::SmallStream> summaryStreams()
{
    return {
        {QStringLiteral("\x05SummaryInformation"), propertySet(kSummaryFmtid, {codepage(), text(kPidAppName, "Quillet")})},
        {QStringLiteral("\x05" "DocumentSummaryInformation"), propertySet(kDocSummaryFmtid, {codepage()})},
    };
}

} // namespace xls

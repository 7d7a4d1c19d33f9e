#pragma once
// Small files written by hand for the sample's attachments and embedded objects:
// a palette PNG, a one-page PDF, text, and the OLE storage that Notes keeps for
// an embedded object, cut into byte-array pages.
#include <cstdint>
#include <string>
#include <vector>

namespace gendxl {

using Bytes = std::vector<unsigned char>;

// A width x height PNG drawn from the seed (bars and a frame). Stored deflate
// blocks keep the bytes independent of any zlib version.
Bytes makePng(int width, int height, std::uint32_t seed);
// A valid one-page PDF with the given lines of (Latin) text.
Bytes makePdf(const std::vector<std::string>& lines);

// The OLE storage of an embedded file, as Notes writes it for an object in rich
// text: a compound file whose root holds one storage named after the class's
// program id (clsid of the OLE Package), with an "\1Ole10Native" stream (the
// packaged file) and an "\1CompObj" stream.
Bytes makeOlePackageStorage(const std::string& progId, const std::string& fileName,
                            const Bytes& content, std::uint64_t fileTime);

// The storage cut into pages of pageSize bytes (the last one padded with zeros)
// and the EXT file that lists them: a 32-byte header (u32 1, u32 page count,
// u32 page size, 20 zero bytes) and then each page's name in 8 characters
// followed by two zero bytes, in storage order.
struct PagedObject {
    std::string extName;                 // "EXT12345"
    Bytes extFile;
    std::vector<std::string> pageNames;  // "STG12345", in storage order
    std::vector<Bytes> pages;
};
PagedObject pageStorage(const Bytes& storage, std::size_t pageSize, std::string extName,
                        std::vector<std::string> pageNames);

std::uint32_t crc32(const unsigned char* p, std::size_t n, std::uint32_t crc = 0);

// "{PBKDF2-SHA256}iterations$salt$hash", salt and hash in base64.
std::string pbkdf2PasswordHash(const std::string& password, const Bytes& salt, int iterations,
                               int hashLength);

} // namespace gendxl

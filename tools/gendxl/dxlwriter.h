#pragma once
// Streaming writer of DXL in the shape that a Domino 8.5 server exports:
// single-quoted attributes, one note after the other, base64 bodies wrapped at
// 76 columns. Everything goes through one buffer that is flushed to the file in
// large blocks, so memory stays bounded whatever the database's size.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace gendxl {

// A Domino time as DXL writes it: 20091122T101010,23+08. The zone is written
// as +hh, or +hhmm when the offset is not whole hours.
struct DxlTime {
    int year = 2019, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, hundredths = 0;
    int offsetMinutes = 480;
    bool hasDate = true;
    bool hasTime = true;
    bool dst = false;

    std::string text() const;
    // Moves the time on by the given number of seconds (date and zone kept
    // consistent; day counting by the proleptic Gregorian calendar).
    DxlTime plusSeconds(std::int64_t s) const;
};

struct ItemFlags {
    int summary = -1;   // -1: attribute left out (the exporter's default)
    bool names = false;
    bool readers = false;
    bool authors = false;
};

// A buffered output file. Failures to open or write throw std::runtime_error.
class Output {
public:
    explicit Output(const std::string& path);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void put(std::string_view s)
    {
        buf_.append(s);
        if (buf_.size() >= kFlushAt)
            flush();
    }
    void put(char c)
    {
        buf_.push_back(c);
        if (buf_.size() >= kFlushAt)
            flush();
    }
    std::string& buffer() { return buf_; }
    void maybeFlush()
    {
        if (buf_.size() >= kFlushAt)
            flush();
    }
    void flush();
    void close();   // flushes and closes; throws when the data did not reach the disk

private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    std::string path_;
    std::FILE* f_ = nullptr;
    std::string buf_;
};

// XML escaping for text and single-quoted attribute values.
void appendEscaped(std::string& out, std::string_view s);
// Base64 of the bytes in lines of 76 characters, each line ending in '\n'.
void appendBase64Lines(std::string& out, const unsigned char* p, std::size_t n);
std::string base64(const unsigned char* p, std::size_t n);
// Shortest decimal form that reads back as the same double ("8", "-1200.5").
std::string numberText(double v);

class DxlWriter {
public:
    explicit DxlWriter(Output& out) : out_(out) {}
    Output& output() { return out_; }

    void raw(std::string_view s) { out_.put(s); }
    void esc(std::string_view s);

    void beginDatabase(std::string_view title, std::string_view path, std::string_view replicaId,
                       const DxlTime& modified, long long documentCount);
    void endDatabase();

    struct NoteInfo {
        unsigned noteId = 0;
        std::string unid;
        int sequence = 1;
        DxlTime created, modified;
    };
    void noteInfo(const NoteInfo& ni);
    void updatedBy(const std::vector<std::string>& names);
    void revisions(const std::vector<DxlTime>& times);

    // Views and folders: begin writes the element, note info and selection.
    struct ViewSpec {
        std::string element = "view";   // "view" or "folder"
        std::string name, alias;
        std::string selection;           // formula text; empty for a folder
        bool responseHierarchy = true;
        bool isDefault = false;
    };
    void beginView(const ViewSpec& v, const NoteInfo& ni, std::string_view designer);
    struct ColumnSpec {
        std::string itemName, title;
        std::string sort;                // "", "ascending", "descending"
        bool categorized = false;
        bool responsesOnly = false;
        bool separateMultipleValues = false;
        bool hidden = false;
        std::string formula;             // value formula; empty: the item itself
        int width = 10;
    };
    void column(const ColumnSpec& c);
    void endView(const ViewSpec& v);

    // Documents.
    void beginDocument(std::string_view form, std::string_view parentUnid = {});
    void endDocument();

    void textItem(std::string_view name, std::string_view value, const ItemFlags& f = {});
    void textListItem(std::string_view name, const std::vector<std::string>& values,
                      const ItemFlags& f = {});
    void numberItem(std::string_view name, double v, const ItemFlags& f = {});
    void numberListItem(std::string_view name, const std::vector<double>& values,
                        const ItemFlags& f = {});
    void dateTimeItem(std::string_view name, const DxlTime& t, const ItemFlags& f = {});
    void dateTimeListItem(std::string_view name, const std::vector<DxlTime>& values,
                          const ItemFlags& f = {});
    void dateTimePairItem(std::string_view name, const DxlTime& from, const DxlTime& to,
                          const ItemFlags& f = {});
    // A rich-text item; body is the DXL between <richtext> and </richtext>.
    void richTextItem(std::string_view name, std::string_view body, const ItemFlags& f = {});
    // A $FILE item holding the bytes as a file object of the given host type
    // ("msdos" for an attachment, "bytearraypage"/"bytearrayext" for the pages
    // of an embedded object's storage).
    void fileItem(std::string_view hostType, std::string_view fileName, const DxlTime& created,
                  const DxlTime& modified, const unsigned char* data, std::size_t size);

private:
    void itemOpen(std::string_view name, const ItemFlags& f);
    void dateTimeValue(const DxlTime& t);
    Output& out_;
};

// Rich-text bodies.
class RichText {
public:
    RichText();
    void paragraph(std::string_view text);           // '\n' inside becomes <break/>
    void attachmentRef(std::string_view fileName);
    void objectRef(std::string_view extName, std::string_view progId, std::string_view description);
    const std::string& body() const { return s_; }

private:
    std::string s_;
};

} // namespace gendxl

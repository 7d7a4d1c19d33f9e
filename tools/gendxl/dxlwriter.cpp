#include "dxlwriter.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

namespace gendxl {

namespace {

std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = unsigned((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1);
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400) + (m <= 2);
}

void two(std::string& s, int v)
{
    s.push_back(char('0' + v / 10 % 10));
    s.push_back(char('0' + v % 10));
}

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string DxlTime::text() const
{
    std::string s;
    if (hasDate) {
        s += std::to_string(year);
        two(s, month);
        two(s, day);
    }
    if (hasTime) {
        s.push_back('T');
        two(s, hour);
        two(s, minute);
        two(s, second);
        s.push_back(',');
        two(s, hundredths);
        if (hasDate) {
            const int a = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
            s.push_back(offsetMinutes < 0 ? '-' : '+');
            two(s, a / 60);
            if (a % 60)
                two(s, a % 60);
        }
    }
    return s;
}

DxlTime DxlTime::plusSeconds(std::int64_t secs) const
{
    DxlTime t = *this;
    std::int64_t total = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second + secs;
    std::int64_t days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
    std::int64_t rest = total - days * 86400;
    civilFromDays(days, t.year, t.month, t.day);
    t.hour = int(rest / 3600);
    t.minute = int(rest / 60 % 60);
    t.second = int(rest % 60);
    return t;
}

Output::Output(const std::string& path) : path_(path)
{
    f_ = std::fopen(path.c_str(), "wb");
    if (!f_)
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    buf_.reserve(kFlushAt + (1 << 16));
}

Output::~Output()
{
    if (f_)
        std::fclose(f_);
}

void Output::flush()
{
    if (buf_.empty())
        return;
    if (std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
        throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
    buf_.clear();
}

void Output::close()
{
    flush();
    std::FILE* f = f_;
    f_ = nullptr;
    if (std::fclose(f) != 0)
        throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
}

void appendEscaped(std::string& out, std::string_view s)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char* rep = nullptr;
        switch (s[i]) {
        case '&': rep = "&amp;"; break;
        case '<': rep = "&lt;"; break;
        case '>': rep = "&gt;"; break;
        case '\'': rep = "&apos;"; break;
        default: continue;
        }
        out.append(s.substr(start, i - start));
        out.append(rep);
        start = i + 1;
    }
    out.append(s.substr(start));
}

void appendBase64Lines(std::string& out, const unsigned char* p, std::size_t n)
{
    // 57 input bytes make one line of 76 characters.
    const std::size_t old = out.size();
    out.resize(old + (n + 2) / 3 * 4 + (n + 56) / 57);
    char* o = out.data() + old;
    while (n > 0) {
        const std::size_t line = n < 57 ? n : 57;
        std::size_t i = 0;
        for (; i + 3 <= line; i += 3) {
            const unsigned v = unsigned(p[i]) << 16 | unsigned(p[i + 1]) << 8 | p[i + 2];
            *o++ = kB64[v >> 18];
            *o++ = kB64[v >> 12 & 63];
            *o++ = kB64[v >> 6 & 63];
            *o++ = kB64[v & 63];
        }
        if (i < line) {
            unsigned v = unsigned(p[i]) << 16;
            if (i + 1 < line)
                v |= unsigned(p[i + 1]) << 8;
            *o++ = kB64[v >> 18];
            *o++ = kB64[v >> 12 & 63];
            *o++ = i + 1 < line ? kB64[v >> 6 & 63] : '=';
            *o++ = '=';
        }
        *o++ = '\n';
        p += line;
        n -= line;
    }
    out.resize(std::size_t(o - out.data()));
}

std::string base64(const unsigned char* p, std::size_t n)
{
    std::string s;
    appendBase64Lines(s, p, n);
    std::string flat;
    for (char c : s)
        if (c != '\n')
            flat.push_back(c);
    return flat;
}

std::string numberText(double v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

void DxlWriter::esc(std::string_view s)
{
    appendEscaped(out_.buffer(), s);
    out_.maybeFlush();
}

void DxlWriter::beginDatabase(std::string_view title, std::string_view path, std::string_view replicaId,
                              const DxlTime& modified, long long documentCount)
{
    raw("<?xml version='1.0' encoding='utf-8'?>\n"
        "<!DOCTYPE database SYSTEM 'xmlschemas/domino_8_5.dtd'>\n"
        "<database xmlns='http://www.lotus.com/dxl' version='8.5' maintenanceversion='3.0'\n replicaid='");
    esc(replicaId);
    raw("' path='");
    esc(path);
    raw("' title='");
    esc(title);
    raw("'>\n<databaseinfo dbid='");
    esc(replicaId);
    raw("' odsversion='51' diskspace='");
    raw(std::to_string(1048576 + documentCount * 2048));
    raw("' percentused='97.5' numberofdocuments='");
    raw(std::to_string(documentCount));
    raw("'><datamodified>");
    dateTimeValue(modified);
    raw("</datamodified><designmodified>");
    dateTimeValue(modified);
    raw("</designmodified></databaseinfo>\n");
}

void DxlWriter::endDatabase()
{
    raw("</database>\n");
}

void DxlWriter::dateTimeValue(const DxlTime& t)
{
    raw(t.dst ? "<datetime dst='true'>" : "<datetime>");
    raw(t.text());
    raw("</datetime>");
}

void DxlWriter::noteInfo(const NoteInfo& ni)
{
    char id[16];
    std::snprintf(id, sizeof id, "%x", ni.noteId);
    raw("<noteinfo noteid='");
    raw(id);
    raw("' unid='");
    raw(ni.unid);
    raw("' sequence='");
    raw(std::to_string(ni.sequence));
    raw("'>\n<created>");
    dateTimeValue(ni.created);
    raw("</created>\n<modified>");
    dateTimeValue(ni.modified);
    raw("</modified>\n<revised>");
    dateTimeValue(ni.modified.plusSeconds(-1));
    raw("</revised>\n<lastaccessed>");
    dateTimeValue(ni.modified);
    raw("</lastaccessed>\n<addedtofile>");
    dateTimeValue(ni.created);
    raw("</addedtofile></noteinfo>\n");
}

void DxlWriter::updatedBy(const std::vector<std::string>& names)
{
    raw("<updatedby>");
    for (const auto& n : names) {
        raw("<name>");
        esc(n);
        raw("</name>");
    }
    raw("</updatedby>\n");
}

void DxlWriter::revisions(const std::vector<DxlTime>& times)
{
    if (times.empty())
        return;
    raw("<revisions>");
    for (const auto& t : times)
        dateTimeValue(t);
    raw("</revisions>\n");
}

void DxlWriter::beginView(const ViewSpec& v, const NoteInfo& ni, std::string_view designer)
{
    raw("<");
    raw(v.element);
    raw(" name='");
    esc(v.name);
    raw("'");
    if (!v.alias.empty()) {
        raw(" alias='");
        esc(v.alias);
        raw("'");
    }
    raw(" showinmenu='true' publicaccess='false' designerversion='8.5.3'");
    if (v.isDefault)
        raw(" default='true'");
    raw("\n unreadmarks='none' onopengoto='lastopened' onrefresh='displayindicator' headers='beveled'\n"
        " opencollapsed='false' showresponsehierarchy='");
    raw(v.responseHierarchy ? "true" : "false");
    raw("' showmargin='true' shrinkrows='false'\n"
        " extendlastcolumn='false' showhierarchies='false' unreadcolor='black' rowlinecount='1'\n"
        " headerlinecount='1' rowspacing='1' bgcolor='white' totalscolor='black' headerbgcolor='white'\n"
        " boldunreadrows='false' evaluateactions='false' allownewdocuments='false'\n"
        " allowcustomizations='true' hidemarginborder='false' marginwidth='0px' marginbgcolor='white'\n"
        " uniquekeys='false'>\n");
    noteInfo(ni);
    updatedBy({std::string(designer)});
    raw("<wassignedby><name>");
    esc(designer);
    raw("</name></wassignedby>");
    if (!v.selection.empty()) {
        raw("<code event='selection'><formula>");
        esc(v.selection);
        raw("</formula></code>");
    }
    raw("\n");
}

void DxlWriter::column(const ColumnSpec& c)
{
    raw("<column");
    if (!c.sort.empty()) {
        raw(" sort='");
        raw(c.sort);
        raw("'");
    }
    if (c.hidden)
        raw(" hidden='true'");
    raw(" hidedetailrows='false' itemname='");
    esc(c.itemName);
    raw("' width='");
    raw(std::to_string(c.width));
    raw("'\n resizable='true' separatemultiplevalues='");
    raw(c.separateMultipleValues ? "true" : "false");
    raw("' sortnoaccent='true' sortnocase='true' showaslinks='false'");
    if (c.categorized)
        raw(" categorized='true' twisties='true'");
    if (c.responsesOnly)
        raw(" responsesonly='true' twisties='true'");
    raw("><columnheader");
    if (!c.title.empty()) {
        raw(" title='");
        esc(c.title);
        raw("'");
    }
    raw("><font size='9pt' style='bold'/></columnheader>");
    if (!c.formula.empty()) {
        raw("<code event='value'><formula>");
        esc(c.formula);
        raw("</formula></code>");
    }
    raw("</column>\n");
}

void DxlWriter::endView(const ViewSpec& v)
{
    raw("<item name='$Index' sign='true'><text/></item></");
    raw(v.element);
    raw(">\n");
}

void DxlWriter::beginDocument(std::string_view form, std::string_view parentUnid)
{
    raw("<document form='");
    esc(form);
    raw("'");
    if (!parentUnid.empty()) {
        raw(" parent='");
        raw(parentUnid);
        raw("' response='true'");
    }
    raw(">\n");
}

void DxlWriter::endDocument()
{
    raw("</document>\n");
    out_.maybeFlush();
}

void DxlWriter::itemOpen(std::string_view name, const ItemFlags& f)
{
    raw("<item name='");
    esc(name);
    raw("'");
    if (f.summary >= 0)
        raw(f.summary ? " summary='true'" : " summary='false'");
    if (f.authors)
        raw(" authors='true'");
    if (f.names)
        raw(" names='true'");
    if (f.readers)
        raw(" readers='true'");
    raw(">");
}

namespace {
void textValue(DxlWriter& w, std::string_view v)
{
    if (v.empty()) {
        w.raw("<text/>");
        return;
    }
    w.raw("<text>");
    // A line break inside a text value is written as <break/>.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= v.size(); ++i) {
        if (i == v.size() || v[i] == '\n') {
            w.esc(v.substr(start, i - start));
            if (i < v.size())
                w.raw("<break/>");
            start = i + 1;
        }
    }
    w.raw("</text>");
}
} // namespace

void DxlWriter::textItem(std::string_view name, std::string_view value, const ItemFlags& f)
{
    itemOpen(name, f);
    textValue(*this, value);
    raw("</item>\n");
}

void DxlWriter::textListItem(std::string_view name, const std::vector<std::string>& values, const ItemFlags& f)
{
    itemOpen(name, f);
    raw("<textlist>");
    for (const auto& v : values)
        textValue(*this, v);
    raw("</textlist></item>\n");
}

void DxlWriter::numberItem(std::string_view name, double v, const ItemFlags& f)
{
    itemOpen(name, f);
    raw("<number>");
    raw(numberText(v));
    raw("</number></item>\n");
}

void DxlWriter::numberListItem(std::string_view name, const std::vector<double>& values, const ItemFlags& f)
{
    itemOpen(name, f);
    raw("<numberlist>");
    for (double v : values) {
        raw("<number>");
        raw(numberText(v));
        raw("</number>");
    }
    raw("</numberlist></item>\n");
}

void DxlWriter::dateTimeItem(std::string_view name, const DxlTime& t, const ItemFlags& f)
{
    itemOpen(name, f);
    dateTimeValue(t);
    raw("</item>\n");
}

void DxlWriter::dateTimeListItem(std::string_view name, const std::vector<DxlTime>& values, const ItemFlags& f)
{
    itemOpen(name, f);
    raw("<datetimelist>");
    for (const auto& t : values)
        dateTimeValue(t);
    raw("</datetimelist></item>\n");
}

void DxlWriter::dateTimePairItem(std::string_view name, const DxlTime& from, const DxlTime& to, const ItemFlags& f)
{
    itemOpen(name, f);
    raw("<datetimelist><datetimepair>");
    dateTimeValue(from);
    dateTimeValue(to);
    raw("</datetimepair></datetimelist></item>\n");
}

void DxlWriter::richTextItem(std::string_view name, std::string_view body, const ItemFlags& f)
{
    itemOpen(name, f);
    raw("<richtext>\n");
    raw(body);
    raw("</richtext></item>\n");
}

void DxlWriter::fileItem(std::string_view hostType, std::string_view fileName, const DxlTime& created,
                         const DxlTime& modified, const unsigned char* data, std::size_t size)
{
    raw("<item name='$FILE' summary='true' sign='true' seal='true'><object><file hosttype='");
    raw(hostType);
    raw("'\n compression='none' flags='storedindoc' name='");
    esc(fileName);
    raw("'>\n<created>");
    dateTimeValue(created);
    raw("</created>\n<modified>");
    dateTimeValue(modified);
    raw("</modified>\n<filedata>\n");
    // Encode in slices so that a large attachment never sits whole in the buffer.
    constexpr std::size_t kSlice = 57 * 4096;
    for (std::size_t off = 0; off < size; off += kSlice) {
        const std::size_t n = size - off < kSlice ? size - off : kSlice;
        appendBase64Lines(out_.buffer(), data + off, n);
        out_.maybeFlush();
    }
    raw("</filedata></file></object></item>\n");
}

RichText::RichText() : s_("<pardef id='1'/>\n") {}

void RichText::paragraph(std::string_view text)
{
    s_ += "<par def='1'>";
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            appendEscaped(s_, text.substr(start, i - start));
            if (i < text.size())
                s_ += "<break/>";
            start = i + 1;
        }
    }
    s_ += "</par>\n";
}

void RichText::attachmentRef(std::string_view fileName)
{
    s_ += "<par def='1'><attachmentref name='";
    appendEscaped(s_, fileName);
    s_ += "' displayname='";
    appendEscaped(s_, fileName);
    s_ += "'/></par>\n";
}

void RichText::objectRef(std::string_view extName, std::string_view progId, std::string_view description)
{
    s_ += "<par def='1'><objectref version='2' name='";
    s_ += extName;
    s_ += "' class='";
    appendEscaped(s_, progId);
    s_ += "' displayformat='metafile'\n description='";
    appendEscaped(s_, description);
    s_ += "' classid='{0003000c-0000-0000-c000-000000000046}'\n storageformat='structstorage'>"
          "<run><font name='monospace'/></run></objectref></par>\n";
}

} // namespace gendxl

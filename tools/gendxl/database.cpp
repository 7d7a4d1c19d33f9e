#include "database.h"

namespace gendxl {

Database::Database(const std::string& path, std::uint64_t seed, DxlTime start)
    : out_(path), w_(out_), rng_(seed), clock_(start)
{
}

DxlWriter::NoteInfo Database::designNote()
{
    DxlWriter::NoteInfo ni;
    ni.noteId = nextDesign_;
    nextDesign_ += 4;
    ni.unid = rng_.unid();
    ni.sequence = rng_.between(1, 6);
    ni.created = clock_;
    ni.modified = clock_.plusSeconds(rng_.between(60, 7200));
    clock_ = clock_.plusSeconds(rng_.between(30, 600));
    return ni;
}

DxlWriter::NoteInfo Database::documentNote()
{
    DxlWriter::NoteInfo ni;
    ni.noteId = nextDocument_;
    nextDocument_ += 4;
    ni.unid = rng_.unid();
    ni.sequence = rng_.chance(70) ? 1 : rng_.between(2, 5);
    ni.created = clock_;
    ni.created.hundredths = rng_.between(0, 99);
    ni.modified = ni.sequence == 1 ? ni.created : ni.created.plusSeconds(rng_.between(60, 5 * 86400));
    clock_ = clock_.plusSeconds(rng_.between(60, documentStep_));
    return ni;
}

void Database::view(const DxlWriter::ViewSpec& v, const std::vector<DxlWriter::ColumnSpec>& columns)
{
    w_.beginView(v, designNote(), "CN=Quillet Admin/O=Quillet");
    for (const auto& c : columns)
        w_.column(c);
    w_.endView(v);
}

DxlWriter::NoteInfo Database::beginDocument(const std::string& form, const std::string& author,
                                            const std::string& parentUnid)
{
    DxlWriter::NoteInfo ni = documentNote();
    w_.beginDocument(form, parentUnid);
    w_.noteInfo(ni);
    w_.updatedBy({author});
    std::vector<DxlTime> revs;
    for (int s = 1; s < ni.sequence; ++s)
        revs.push_back(ni.created.plusSeconds(s * 3600));
    w_.revisions(revs);
    return ni;
}

} // namespace gendxl

#pragma once
// What every generated database shares: the writer, the seeded generator, a
// clock that moves forward note by note, and note IDs handed out as Domino
// does (design notes low, documents from 0x8f6 in steps of 4).
#include "dxlwriter.h"
#include "rng.h"

#include <string>
#include <vector>

namespace gendxl {

class Database {
public:
    Database(const std::string& path, std::uint64_t seed, DxlTime start);

    DxlWriter& w() { return w_; }
    Rng& rng() { return rng_; }

    // Note info for the next design note or document; the clock moves on by a
    // random step below maxStepSeconds.
    DxlWriter::NoteInfo designNote();
    DxlWriter::NoteInfo documentNote();
    const DxlTime& clock() const { return clock_; }
    // The largest step of the clock between two documents.
    void setDocumentStep(int maxSeconds) { documentStep_ = maxSeconds; }

    void view(const DxlWriter::ViewSpec& v, const std::vector<DxlWriter::ColumnSpec>& columns);
    // The common head of a document: element, note info, updated-by, revisions.
    DxlWriter::NoteInfo beginDocument(const std::string& form, const std::string& author,
                                      const std::string& parentUnid = {});

    void close() { out_.close(); }

private:
    Output out_;
    DxlWriter w_;
    Rng rng_;
    DxlTime clock_;
    unsigned nextDesign_ = 0x112;
    unsigned nextDocument_ = 0x8f6;
    int documentStep_ = 36 * 3600;
};

} // namespace gendxl

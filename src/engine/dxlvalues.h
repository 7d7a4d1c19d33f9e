#pragma once
// The text forms of DXL values: numbers, date-times and note references.
#include "domino/notesvalue.h"
#include <string>
#include <string_view>

namespace engine::dxl {

// "1", "-2.5", "1.5E3"; NaN when the text is no number.
double parseNumber(std::string_view text);

// "20090602T164827,61+02": a date, a time (hundredths optional) and a zone
// offset of 2 or 4 digits ("+0530") or "Z"; either part may be missing
// ("20090602", "T164827,61"). An empty or unreadable text gives an empty value.
domino::NotesDateTime parseDateTime(std::string_view text);

// The UNID of the first entry of a note reference list (the raw $REF item,
// base64), as 32 upper-case hex digits; empty when it is no such list.
std::string unidFromNoteRef(std::string_view base64);

} // namespace engine::dxl

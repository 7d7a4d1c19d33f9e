#pragma once
#include <string>

namespace gendxl {

// Writes the whole sample data directory (names.dxl, demo.dxl, the folders
// below apps/, noviews.dxl, the empty archive/ folder) into dir. The same
// program writes the same bytes every time.
void writeSample(const std::string& dir);

} // namespace gendxl

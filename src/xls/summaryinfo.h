#pragma once
// The two property-set streams that Excel writes beside the Workbook stream:
// "\005SummaryInformation" (the program that wrote the file) and
// "\005DocumentSummaryInformation" (no properties beyond the code page).
#include "compoundfile.h"
#include <vector>

namespace xls {

std::vector<CompoundFileWriter::SmallStream> summaryStreams();

} // namespace xls

#include "sample.h"

#include "dxlwriter.h"
#include "sampleparts.h"

#include <filesystem>

namespace gendxl {

void writeSample(const std::string& dir)
{
    namespace fs = std::filesystem;
    const fs::path root(dir);
    fs::create_directories(root / "apps" / "hr" / "archive");
    fs::create_directories(root / "apps" / "crm");
    fs::create_directories(root / "archive");

    writeNames((root / "names.dxl").string());
    writeDemo((root / "demo.dxl").string());
    writeStaff((root / "apps" / "hr" / "staff.dxl").string());
    writeStaffArchive((root / "apps" / "hr" / "archive" / "2019.dxl").string());
    writeCustomers((root / "apps" / "crm" / "customers.dxl").string());
    writeSales((root / "apps" / "销售 数据.dxl").string());
    writeNoViews((root / "noviews.dxl").string());
    // An empty folder: git keeps it through a file that the tree hides.
    Output keep((root / "archive" / ".keep").string());
    keep.close();
}

} // namespace gendxl

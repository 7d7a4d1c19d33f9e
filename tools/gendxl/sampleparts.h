#pragma once
// The databases of the sample data directory, one function each.
#include <string>
#include <vector>

namespace gendxl {

void writeNames(const std::string& path);
void writeDemo(const std::string& path);
void writeStaff(const std::string& path);
void writeStaffArchive(const std::string& path);
void writeCustomers(const std::string& path);
void writeSales(const std::string& path);
void writeNoViews(const std::string& path);

// Shared pools of sample text.
extern const std::vector<std::string> kPeople;
extern const std::vector<std::string> kDepartments;

} // namespace gendxl

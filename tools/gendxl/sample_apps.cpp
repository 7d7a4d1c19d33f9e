#include "database.h"
#include "samplefiles.h"
#include "sampleparts.h"

namespace gendxl {

namespace {

using View = DxlWriter::ViewSpec;

const std::vector<std::string> kSurnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "周", "吴", "Smith", "Martin"};
const std::vector<std::string> kGiven = {"伟", "芳", "娜", "敏", "静", "强", "磊", "洋", "艳", "勇", "Anna", "Paul"};
const std::vector<std::string> kSkills = {"Excel", "C++", "会计", "谈判", "English", "日语", "项目管理", "Domino"};
const std::vector<std::string> kCities = {"北京", "上海", "广州", "深圳", "杭州", "成都", "Singapore", "Paris"};

std::string person(Rng& rng)
{
    const std::string s = rng.pick(kSurnames);
    const std::string g = rng.pick(kGiven);
    return s.size() > 3 || g.size() > 3 ? g + " " + s : s + g;
}

DxlTime dateOnly(int y, int m, int d)
{
    DxlTime t{y, m, d};
    t.hasTime = false;
    return t;
}

void staffDocuments(Database& db, int count, int firstId, int hireYearFrom, int hireYearTo)
{
    DxlWriter& w = db.w();
    Rng& rng = db.rng();
    for (int i = 0; i < count; ++i) {
        db.beginDocument("Employee", "CN=李娜/O=Quillet");
        const std::string name = person(rng);
        w.textItem("Name", name);
        w.numberItem("EmployeeID", firstId + i);
        w.textItem("Department", rng.pick(kDepartments));
        w.dateTimeItem("HireDate", dateOnly(rng.between(hireYearFrom, hireYearTo), rng.between(1, 12), rng.between(1, 28)));
        w.numberItem("Salary", double(rng.between(60, 400)) * 100.0);
        std::vector<std::string> skills;
        for (int k = rng.between(1, 3); k > 0; --k)
            skills.push_back(rng.pick(kSkills));
        w.textListItem("Skills", skills);
        w.textItem("Manager", rng.pick(kPeople), {-1, true});
        w.textItem("Phone", "+86 21 " + std::to_string(rng.between(50000000, 69999999)));
        w.endDocument();
    }
}

} // namespace

void writeStaff(const std::string& path)
{
    Database db(path, 0x57AFF001, DxlTime{2019, 6, 1, 8, 30, 0, 0, 480});
    DxlWriter& w = db.w();
    w.beginDatabase("员工档案", "apps\\hr\\staff.nsf", "482583B4002A3D20", db.clock(), 30);
    db.view({"view", "员工", "Staff", "SELECT Form = \"Employee\"", false, true},
            {{"Name", "姓名", "ascending", false, false, false, false, {}, 16},
             {"EmployeeID", "工号", "", false, false, false, false, {}, 8},
             {"Department", "部门", "", false, false, false, false, {}, 12},
             {"HireDate", "入职日期", "", false, false, false, false, {}, 12}});
    db.view({"view", "按部门", "ByDept", "SELECT Form = \"Employee\"", false, false},
            {{"Department", "部门", "ascending", true, false, false, false, {}, 12},
             {"Name", "姓名", "ascending", false, false, false, false, {}, 16},
             {"Salary", "月薪", "descending", false, false, false, false, {}, 10}});
    staffDocuments(db, 30, 1001, 2005, 2019);
    w.endDatabase();
    db.close();
}

void writeStaffArchive(const std::string& path)
{
    Database db(path, 0x20190001, DxlTime{2019, 12, 30, 17, 0, 0, 0, 480});
    DxlWriter& w = db.w();
    w.beginDatabase("2019 年离职员工归档", "apps\\hr\\archive\\2019.nsf", "482583B4002A4E30", db.clock(), 8);
    db.view({"view", "全部", "All", "SELECT @All", false, true},
            {{"Name", "姓名", "ascending", false, false, false, false, {}, 16},
             {"EmployeeID", "工号", "ascending", false, false, false, false, {}, 8},
             {"HireDate", "入职日期", "", false, false, false, false, {}, 12}});
    staffDocuments(db, 8, 801, 1998, 2012);
    w.endDatabase();
    db.close();
}

void writeCustomers(const std::string& path)
{
    constexpr int kCustomers = 40;
    Database db(path, 0xC0570001, DxlTime{2018, 9, 10, 10, 0, 0, 0, 480});
    DxlWriter& w = db.w();
    Rng& rng = db.rng();
    w.beginDatabase("客户管理", "apps\\crm\\customers.nsf", "482583B4002A5F40", db.clock(), kCustomers + 10);
    db.view({"view", "客户", "Customers", "SELECT Form = \"Customer\"", false, true},
            {{"Company", "公司", "ascending", false, false, false, false, {}, 30},
             {"Contact", "联系人", "", false, false, false, false, {}, 12},
             {"City", "城市", "", false, false, false, false, {}, 10},
             {"Revenue", "年收入", "descending", false, false, false, false, {}, 12}});
    db.view({"view", "按城市", "ByCity", "SELECT Form = \"Customer\"", false, false},
            {{"City", "城市", "ascending", true, false, false, false, {}, 10},
             {"Company", "公司", "ascending", false, false, false, false, {}, 30}});
    db.view({"view", "联系记录", "Threads", "SELECT @All", true, false},
            {{"Company", "公司", "ascending", false, false, false, false, {}, 30},
             {"$1", "记录", "", false, true, false, false, "Subject", 40},
             {"LastContact", "日期", "", false, false, false, false, {}, 14}});

    static const std::vector<std::string> kinds = {"科技有限公司", "贸易公司", "Trading Ltd.", "集团", "GmbH"};
    std::vector<std::pair<std::string, std::string>> customers;   // unid, company
    for (int i = 0; i < kCustomers; ++i) {
        const auto ni = db.beginDocument("Customer", "CN=王芳/O=Quillet");
        const std::string company = rng.pick(kCities) + rng.pick(std::vector<std::string>{"星辰", "远航", "Blue", "华信", "Nord", "长城"})
                                    + " " + rng.pick(kinds);
        customers.emplace_back(ni.unid, company);
        w.textItem("Company", company);
        w.textItem("Contact", person(rng));
        w.textItem("City", rng.pick(kCities));
        w.textItem("Phone", "+86 10 " + std::to_string(rng.between(60000000, 89999999)));
        w.numberItem("Revenue", double(rng.between(10, 50000)) * 1000.0);
        DxlTime last{2019, rng.between(1, 12), rng.between(1, 28), rng.between(8, 18), rng.between(0, 59), 0, 0, 480};
        w.dateTimeItem("LastContact", last);
        w.textListItem("Tags", {rng.chance(50) ? "VIP" : "普通", rng.chance(50) ? "华北" : "海外"});
        w.textItem("AccountManager", rng.pick(kPeople), {-1, true});
        if (i == 4) {
            const Bytes pdf = makePdf({"Framework contract", "Customer " + std::to_string(i), "Signed 2019-03-01"});
            RichText body;
            body.paragraph("框架合同见附件。The framework contract is attached.");
            body.attachmentRef("合同 2019.pdf");
            w.richTextItem("Notes", body.body());
            w.fileItem("msdos", "合同 2019.pdf", ni.created, ni.created, pdf.data(), pdf.size());
        }
        w.endDocument();
    }
    // Contact notes as responses. These carry their parent as a $REF item, the
    // way the note form of DXL keeps it, and not as the parent attribute.
    for (int r = 0; r < 10; ++r) {
        const auto& c = customers[std::size_t(r * 3 % kCustomers)];
        db.beginDocument("ContactNote", "CN=王芳/O=Quillet");
        w.textItem("Subject", "电话回访 Follow-up call " + std::to_string(r + 1));
        w.textItem("Company", c.second);
        w.dateTimeItem("LastContact", DxlTime{2019, 11, r + 1, 14, 30, 0, 0, 480});
        w.textItem("$REF", c.first);
        w.endDocument();
    }
    w.endDatabase();
    db.close();
}

void writeSales(const std::string& path)
{
    Database db(path, 0x5A1E5001, DxlTime{2019, 2, 1, 9, 0, 0, 0, 480});
    DxlWriter& w = db.w();
    Rng& rng = db.rng();
    w.beginDatabase("销售 数据", "apps\\销售 数据.nsf", "482583B4002A6A50", db.clock(), 24);
    db.view({"view", "销售明细 ", "Details", "SELECT Form = \"Sale\"", false, true},
            {{"Month", "月份", "ascending", false, false, false, false, {}, 10},
             {"Region", "地区", "", false, false, false, false, {}, 10},
             {"Product", "产品", "", false, false, false, false, {}, 20},
             {"Units", "数量", "", false, false, false, false, {}, 8},
             {"Revenue", "收入", "", false, false, false, false, {}, 12}});
    db.view({"view", "按地区", "ByRegion", "SELECT Form = \"Sale\"", false, false},
            {{"Region", "地区", "ascending", true, false, false, false, {}, 10},
             {"Product", "产品", "ascending", false, false, false, false, {}, 20},
             {"Revenue", "收入", "descending", false, false, false, false, {}, 12}});
    static const std::vector<std::string> regions = {"华北", "华东", "华南", "西部"};
    static const std::vector<std::string> products = {"Quillet 专业版", "Quillet Standard", "培训服务", "技术支持 Support"};
    for (int m = 1; m <= 12; ++m)
        for (int k = 0; k < 2; ++k) {
            db.beginDocument("Sale", "CN=张伟/O=Quillet");
            w.dateTimeItem("Month", dateOnly(2019, m, 1));
            w.textItem("Region", rng.pick(regions));
            w.textItem("Product", rng.pick(products));
            const int units = rng.between(1, 400);
            w.numberItem("Units", units);
            w.numberItem("Revenue", units * 1250.5);
            w.numberListItem("WeeklyUnits", {double(units / 4), double(units / 4), double(units / 4), double(units - 3 * (units / 4))});
            w.endDocument();
        }
    w.endDatabase();
    db.close();
}

void writeNoViews(const std::string& path)
{
    Database db(path, 0x0F1E0001, DxlTime{2019, 4, 1, 12, 0, 0, 0, 480});
    DxlWriter& w = db.w();
    w.beginDatabase("没有视图的数据库", "noviews.nsf", "482583B4002A7B60", db.clock(), 5);
    for (int i = 0; i < 5; ++i) {
        db.beginDocument("Note", "CN=Quillet Admin/O=Quillet");
        w.textItem("Subject", "无视图文档 " + std::to_string(i + 1));
        w.numberItem("Index", i + 1);
        w.endDocument();
    }
    w.endDatabase();
    db.close();
}

} // namespace gendxl

#include "benchdb.h"

#include "database.h"

#include <cstdio>

namespace gendxl {

namespace {

const std::vector<std::string> kPeople = {
    "CN=张伟/O=Quillet", "CN=李娜/O=Quillet", "CN=王芳/O=Quillet", "CN=刘洋/O=Quillet",
    "CN=John Smith/O=Quillet", "CN=Marie Dubois/O=Quillet",
};
const std::vector<std::string> kDepartments = {"销售部", "研发部", "财务部", "人事部", "市场部", "Support", "Logistics"};
const std::vector<std::string> kWords = {
    "季度", "报告", "项目", "客户", "预算", "会议", "status", "release", "invoice", "合同", "北京", "上海",
    "delivery", "review", "服务器", "培训", "order", "Alpha", "Beta", "数据",
};

std::string phrase(Rng& rng, int words)
{
    std::string s;
    for (int i = 0; i < words; ++i) {
        if (i)
            s.push_back(' ');
        s += rng.pick(kWords);
    }
    return s;
}

} // namespace

void writeBenchDatabase(const std::string& path, const BenchOptions& o)
{
    Database db(path, o.seed, DxlTime{2015, 1, 1, 8, 0, 0, 0, 480});
    DxlWriter& w = db.w();
    Rng& rng = db.rng();
    // Keep a million documents within a few decades of dates.
    db.setDocumentStep(1200);
    w.beginDatabase("性能测试 Benchmark " + std::to_string(o.documents), "bench.nsf", "482583B4002B0000",
                    db.clock(), o.documents);
    db.view({"view", "全部文档", "AllDocs", "SELECT @All", false, true},
            {{"Subject", "主题", "ascending", false, false, false, false, {}, 40},
             {"From", "作者", "", false, false, false, false, {}, 20},
             {"PostedDate", "日期", "", false, false, false, false, {}, 16},
             {"Amount", "金额", "", false, false, false, false, {}, 10}});
    db.view({"view", "按部门", "ByDepartment", "SELECT @All", false, false},
            {{"Department", "部门", "ascending", true, false, false, false, {}, 12},
             {"Subject", "主题", "ascending", false, false, false, false, {}, 40},
             {"Amount", "金额", "", false, false, false, false, {}, 10}});

    std::vector<unsigned char> attachment(std::size_t(o.attachmentBytes > 0 ? o.attachmentBytes : 0));
    const int extra = o.items > 7 ? o.items - 7 : 0;
    char name[32];
    for (long long i = 0; i < o.documents; ++i) {
        const std::string from = rng.pick(kPeople);
        const auto ni = db.beginDocument("Memo", from);
        std::snprintf(name, sizeof name, " %07lld", i + 1);
        w.textItem("Subject", phrase(rng, 3) + name);
        w.textItem("From", from, {-1, true});
        DxlTime posted = ni.created;
        posted.offsetMinutes = rng.chance(80) ? 480 : 0;
        w.dateTimeItem("PostedDate", posted);
        w.textItem("Department", rng.pick(kDepartments));
        w.textListItem("Categories", {rng.pick(kWords), rng.pick(kWords)});
        w.numberItem("Amount", double(rng.between(0, 10000000)) / 100.0);
        for (int k = 0; k < extra; ++k) {
            std::snprintf(name, sizeof name, "Field%02d", k + 1);
            switch (k % 5) {
            case 0: w.textItem(name, phrase(rng, 4 + int(rng.below(8)))); break;
            case 1: w.numberItem(name, double(rng.between(-100000, 100000)) / 10.0); break;
            case 2: w.dateTimeItem(name, ni.created.plusSeconds(rng.between(0, 86400 * 30))); break;
            case 3: w.textListItem(name, {phrase(rng, 2), phrase(rng, 2), phrase(rng, 1)}); break;
            default: w.numberListItem(name, {double(rng.below(1000)), double(rng.below(1000))}); break;
            }
        }
        std::snprintf(name, sizeof name, "附件-%07lld.dat", i + 1);
        RichText body;
        body.paragraph(phrase(rng, 12));
        body.paragraph(phrase(rng, 8) + "\n" + phrase(rng, 6));
        if (!attachment.empty())
            body.attachmentRef(name);
        w.richTextItem("Body", body.body());
        if (!attachment.empty()) {
            rng.fill(attachment.data(), attachment.size());
            w.fileItem("msdos", name, ni.created, ni.created, attachment.data(), attachment.size());
        }
        w.endDocument();
    }
    w.endDatabase();
    db.close();
}

} // namespace gendxl

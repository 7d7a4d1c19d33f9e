#include "database.h"
#include "samplefiles.h"
#include "sampleparts.h"

#include <cstdio>

namespace gendxl {

const std::vector<std::string> kPeople = {
    "CN=张伟/O=Quillet", "CN=李娜/O=Quillet", "CN=王芳/O=Quillet", "CN=刘洋/O=Quillet",
    "CN=陈静/O=Quillet", "CN=Quillet Admin/O=Quillet", "CN=John Smith/O=Quillet", "CN=Marie Dubois/O=Quillet",
};
const std::vector<std::string> kDepartments = {"销售部", "研发部", "财务部", "人事部", "市场部", "Support"};

namespace {

using Col = DxlWriter::ColumnSpec;
using View = DxlWriter::ViewSpec;

const std::vector<std::string> kTopics = {
    "季度报告", "项目进度", "客户拜访", "预算申请", "会议纪要", "Weekly status", "Release plan",
    "培训通知", "采购订单", "Invoice", "出差申请", "产品反馈", "合同评审", "Server maintenance",
};
const std::vector<std::string> kWords = {
    "北京", "上海", "深圳", "Alpha", "Beta", "Gamma", "华东区", "华南区", "Q1", "Q2", "Q3", "Q4", "紧急", "草稿",
};
const std::vector<std::string> kCategories = {"待办", "重要", "项目A", "Project B", "客户", "内部", "2019", "归档候选"};
const std::vector<std::string> kSentences = {
    "请各位在周五之前提交本周的工作总结。",
    "The attached figures were checked against the ledger on Monday.",
    "客户对新版本的界面很满意，但希望报表导出更快一些。",
    "下次会议定于下周二上午十点，在三楼会议室举行。",
    "Please review the numbers and reply with your comments.",
    "本月的销售额比上月增长了百分之十二。",
    "服务器将在周六晚上停机维护两个小时。",
    "预算已经批准，采购部门可以开始下单。",
    "Shipping was delayed by two days because of the weather.",
    "培训资料已上传到共享目录，请大家提前阅读。",
};

struct Attachment {
    std::string name;
    Bytes data;
};

std::string fmt3(int n)
{
    char b[8];
    std::snprintf(b, sizeof b, "%03d", n);
    return b;
}

Bytes textBytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

std::string meetingNotes(Rng& rng, int lines)
{
    std::string s = "会议纪要 Meeting notes\r\n======================\r\n\r\n";
    for (int i = 0; i < lines; ++i)
        s += std::to_string(i + 1) + ". " + rng.pick(kSentences) + "\r\n";
    return s;
}

Attachment makeAttachment(Rng& rng, int docIndex, int k)
{
    switch ((docIndex + k) % 3) {
    case 0: {
        static const std::vector<std::string> names = {"会议纪要.txt", "notes.txt", "说明.txt", "readme-" };
        std::string name = names[std::size_t(docIndex % 4)];
        if (name == "readme-")
            name += fmt3(docIndex) + ".txt";
        return {name, textBytes(meetingNotes(rng, rng.between(20, 60)))};
    }
    case 1: {
        const std::string name = docIndex % 2 ? "图表" + fmt3(docIndex) + ".png" : "chart-" + fmt3(docIndex) + ".png";
        return {name, makePng(64, 40, std::uint32_t(docIndex * 7 + k))};
    }
    default: {
        const std::string name = docIndex % 4 == 1 ? "季度 报告.pdf" : docIndex % 2 ? "报告.pdf" : "report-" + fmt3(docIndex) + ".pdf";
        std::vector<std::string> lines = {"Quillet sample report " + fmt3(docIndex)};
        for (int i = 0; i < rng.between(8, 30); ++i)
            lines.push_back("Line " + std::to_string(i + 1) + ": figures for period " + std::to_string(rng.between(1, 12))
                            + ", amount " + std::to_string(rng.between(100, 99999)) + ".00");
        return {name, makePdf(lines)};
    }
    }
}

DxlTime postedDate(Rng& rng)
{
    static const int zones[] = {480, 480, 480, 480, 0, -300, 330, 540, 60};
    DxlTime t{2019, rng.between(1, 12), rng.between(1, 28), rng.between(7, 20), rng.between(0, 59),
              rng.between(0, 59), rng.between(0, 99), zones[rng.below(9)]};
    t.dst = t.offsetMinutes == -300 || t.offsetMinutes == 60;
    if (t.dst)
        t.offsetMinutes += 60;
    return t;
}

std::string longText()
{
    // Longer than an Excel cell holds (32,767 characters).
    std::string s;
    int i = 0;
    while (s.size() < 100000) {
        s += "第" + std::to_string(++i) + "段：这是一段很长的文字，用来检查超长文本的处理。"
             "This is a very long text that checks how long values are handled. ";
    }
    return s;
}

void embeddedObjects(Database& db, std::vector<PagedObject>& objects)
{
    Rng& rng = db.rng();
    std::string budget = "预算 Budget 2019\r\nItem,Q1,Q2,Q3,Q4\r\n";
    for (int i = 0; i < 300; ++i)
        budget += "Cost centre " + std::to_string(100 + i) + "," + std::to_string(rng.between(1000, 9999)) + ","
                  + std::to_string(rng.between(1000, 9999)) + "," + std::to_string(rng.between(1000, 9999)) + ","
                  + std::to_string(rng.between(1000, 9999)) + "\r\n";
    std::vector<std::string> plan = {"Project plan 2019"};
    for (int i = 0; i < 110; ++i)
        plan.push_back("Milestone " + std::to_string(i + 1) + ": review in week " + std::to_string(rng.between(1, 52)));

    const std::uint64_t fileTime = 0x01D4E5C0BCD781C0ull;
    const struct {
        std::string progId, fileName;
        Bytes content;
    } objs[] = {
        {"txtfile", "budget.csv", textBytes(budget)},
        {"AcroExch.Document", "plan.pdf", makePdf(plan)},
    };
    for (const auto& o : objs) {
        const Bytes storage = makeOlePackageStorage(o.progId, o.fileName, o.content, fileTime);
        const std::size_t pages = (storage.size() + 8191) / 8192;
        std::vector<std::string> names;
        for (std::size_t p = 0; p < pages; ++p)
            names.push_back("STG" + std::to_string(10000 + rng.below(90000)));
        objects.push_back(pageStorage(storage, 8192, "EXT" + std::to_string(10000 + rng.below(90000)), names));
    }
}

void writeObjectFiles(DxlWriter& w, const PagedObject& o, const DxlTime& t)
{
    // Notes writes the pages after the first, then the first page (it holds the
    // compound file's header, written last), then the EXT file that orders them.
    for (std::size_t i = 1; i < o.pages.size(); ++i)
        w.fileItem("bytearraypage", o.pageNames[i], t, t, o.pages[i].data(), o.pages[i].size());
    w.fileItem("bytearraypage", o.pageNames[0], t, t, o.pages[0].data(), o.pages[0].size());
    w.fileItem("bytearrayext", o.extName, t, t.plusSeconds(1), o.extFile.data(), o.extFile.size());
}

} // namespace

void writeDemo(const std::string& path)
{
    constexpr int kMemos = 250;
    constexpr int kResponses = 12;
    Database db(path, 0xDE770001, DxlTime{2019, 1, 2, 9, 0, 0, 0, 480});
    DxlWriter& w = db.w();
    Rng& rng = db.rng();
    w.beginDatabase("演示数据库", "demo.nsf", "482583B4002A2C10", db.clock(), kMemos + kResponses);

    db.view({"view", "全部文档", "AllDocs", "SELECT Form = \"Memo\"", false, true},
            {{"Subject", "主题", "ascending", false, false, false, false, {}, 40},
             {"From", "作者", "", false, false, false, false, {}, 20},
             {"PostedDate", "日期", "", false, false, false, false, {}, 16},
             {"Amount", "金额", "", false, false, false, false, {}, 10}});
    db.view({"view", "按部门", "ByDepartment", "SELECT Form = \"Memo\"", false, false},
            {{"Department", "部门", "ascending", true, false, false, false, {}, 12},
             {"Subject", "主题", "ascending", false, false, false, false, {}, 40},
             {"PostedDate", "日期", "", false, false, false, false, {}, 16}});
    db.view({"view", "按日期", "ByDate", "SELECT Form = \"Memo\"", false, false},
            {{"PostedDate", "日期", "descending", false, false, false, false, {}, 16},
             {"Subject", "主题", "", false, false, false, false, {}, 40},
             {"From", "作者", "", false, false, false, false, {}, 20}});
    db.view({"view", "按类别", "ByCategory", "SELECT Form = \"Memo\"", false, false},
            {{"Categories", "类别", "ascending", true, false, true, false, {}, 14},
             {"Subject", "主题", "ascending", false, false, false, false, {}, 40}});
    db.view({"view", "讨论", "Threads", "SELECT @All", true, false},
            {{"Subject", "主题", "ascending", false, false, false, false, {}, 40},
             {"$1", "回复", "", false, true, false, false, "\"回复：\" + Subject + \" (\" + @Name([CN]; From) + \")\"", 40},
             {"From", "作者", "", false, false, false, false, {}, 20}});
    db.view({"view", " 待办事项 ", "Todo", "SELECT Form = \"Memo\" & Categories = \"待办\"", false, false},
            {{"Subject", "主题", "ascending", false, false, false, false, {}, 40},
             {"Status", "状态", "", false, false, false, false, {}, 10}});
    db.view({"view", "已归档", "Archived", "SELECT Form = \"Archive\"", false, false},
            {{"Subject", "主题", "ascending", false, false, false, false, {}, 40},
             {"PostedDate", "日期", "", false, false, false, false, {}, 16}});
    db.view({"folder", "收藏夹", "Favorites", {}, true, false},
            {{"Subject", "主题", "", false, false, false, false, {}, 40},
             {"From", "作者", "", false, false, false, false, {}, 20}});

    const std::vector<std::string> statuses = {"草稿", "已提交", "已批准", "Closed"};
    std::vector<std::pair<std::string, std::string>> parents;   // unid, subject
    std::vector<PagedObject> objects;
    embeddedObjects(db, objects);

    for (int i = 0; i < kMemos; ++i) {
        const std::string from = rng.pick(kPeople);
        std::string subject = rng.pick(kTopics) + " " + rng.pick(kWords) + " #" + fmt3(i + 1);
        if (i == 5)
            subject = "<合同> & \"报价\" 'A' #006";
        const auto ni = db.beginDocument("Memo", from);
        if (i % 20 == 3)
            parents.emplace_back(ni.unid, subject);

        w.textItem("Subject", subject);
        w.textItem("From", from, {-1, true});
        std::vector<std::string> sendTo;
        for (int k = rng.between(1, 3); k > 0; --k)
            sendTo.push_back(rng.pick(kPeople));
        w.textListItem("SendTo", sendTo, {-1, true});
        w.dateTimeItem("PostedDate", postedDate(rng));
        w.textItem("Department", rng.pick(kDepartments));
        std::vector<std::string> cats;
        const int ncat = i % 7 == 0 ? 3 : rng.between(1, 2);
        for (int k = 0; k < ncat; ++k)
            cats.push_back(kCategories[(std::size_t(i) * 3 + std::size_t(k) * 5) % kCategories.size()]);
        w.textListItem("Categories", cats);
        w.numberItem("Amount", double(rng.between(-50000, 2000000)) / 100.0);
        w.numberItem("Quantity", rng.between(0, 500));
        w.textItem("Status", rng.pick(statuses));

        std::vector<Attachment> atts;
        if (i % 5 == 2) {
            atts.push_back(makeAttachment(rng, i, 0));
            if (i % 3 == 0)
                atts.push_back(makeAttachment(rng, i, 1));
        }
        RichText body;
        for (int k = rng.between(1, 4); k > 0; --k) {
            std::string p = rng.pick(kSentences);
            if (rng.chance(30))
                p += "\n" + rng.pick(kSentences);
            body.paragraph(p);
        }
        for (const auto& a : atts)
            body.attachmentRef(a.name);
        const bool withObjects = i == 21;
        if (withObjects) {
            body.paragraph("下面是两个嵌入对象：预算表和项目计划。Two embedded objects follow.");
            body.objectRef(objects[0].extName, "txtfile", "Text Document");
            body.objectRef(objects[1].extName, "AcroExch.Document", "Adobe Acrobat Document");
        }
        w.richTextItem("Body", body.body());

        // Items that only some documents have.
        if (i % 9 == 4)
            w.numberListItem("Scores", {double(rng.between(60, 100)), double(rng.between(60, 100)),
                                        double(rng.between(0, 1000)) / 10.0});
        if (i % 11 == 6) {
            DxlTime from2 = postedDate(rng);
            w.dateTimePairItem("Period", from2, from2.plusSeconds(3 * 86400));
        }
        if (i % 13 == 8) {
            DxlTime due = postedDate(rng);
            due.hasTime = false;
            DxlTime at{};
            at.hasDate = false;
            at.hour = rng.between(8, 17);
            at.minute = 30;
            w.dateTimeItem("DueDate", due);
            w.dateTimeItem("MeetingTime", at);
            w.dateTimeListItem("Reminders", {due.plusSeconds(-86400), due.plusSeconds(-3600)});
        }
        if (i % 10 == 7) {
            w.textListItem("DocReaders", {from, "CN=Quillet Admin/O=Quillet", "[Managers]"}, {-1, true, true});
            w.textListItem("DocAuthors", {from, "LocalDomainAdmins"}, {-1, true, false, true});
        }
        if (i == 7)
            w.textItem("123", "一二三 one two three");
        if (i == 13)
            w.textItem("LongText", longText(), {0});
        w.textItem("$ConflictAction", "3");

        for (const auto& a : atts)
            w.fileItem("msdos", a.name, ni.created, ni.created.plusSeconds(-86400), a.data.data(), a.data.size());
        if (withObjects)
            for (const auto& o : objects)
                writeObjectFiles(w, o, ni.created);
        w.endDocument();
    }

    // Responses, and two responses to responses.
    std::vector<std::pair<std::string, std::string>> responses;
    for (int r = 0; r < kResponses; ++r) {
        const bool nested = r >= kResponses - 2;
        const auto& parent = nested ? responses[std::size_t(r - (kResponses - 2))] : parents[std::size_t(r) % parents.size()];
        const std::string from = rng.pick(kPeople);
        const std::string subject = "回复：" + parent.second;
        const auto ni = db.beginDocument("Response", from, parent.first);
        responses.emplace_back(ni.unid, subject);
        w.textItem("Subject", subject);
        w.textItem("From", from, {-1, true});
        w.dateTimeItem("PostedDate", postedDate(rng));
        RichText body;
        body.paragraph(rng.pick(kSentences));
        w.richTextItem("Body", body.body());
        w.endDocument();
    }

    w.endDatabase();
    db.close();
}

} // namespace gendxl

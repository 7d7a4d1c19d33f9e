#include "database.h"
#include "samplefiles.h"
#include "sampleparts.h"

namespace gendxl {

namespace {

struct Person {
    std::string first, last;
    std::vector<std::string> fullName;
    std::string shortName, mail, password, comment;
    std::string storedPassword;   // when set, written instead of a PBKDF2 hash
};

} // namespace

void writeNames(const std::string& path)
{
    Database db(path, 0x4E414D45, DxlTime{2019, 3, 4, 9, 12, 30, 0, 480});
    DxlWriter& w = db.w();
    w.beginDatabase("Quillet 通讯录", "names.nsf", "482583B4002A1F01", db.clock(), 4);

    db.view({"view", "People", "($People)", "SELECT Type = \"Person\"", false, true},
            {{"LastName", "姓 Last name", "ascending", false, false, false, false, {}, 14},
             {"FirstName", "名 First name", "", false, false, false, false, {}, 14},
             {"$2", "用户名 User name", "", false, false, false, false, "@Subset(FullName; 1)", 30},
             {"ShortName", "简称 Short name", "", false, false, false, false, {}, 12},
             {"InternetAddress", "邮件 Mail", "", false, false, false, false, {}, 24}});
    db.view({"view", "Groups", "($VIMGroups)", "SELECT Type = \"Group\"", false, false},
            {{"ListName", "组名 Group", "ascending", false, false, false, false, {}, 24},
             {"ListDescription", "说明 Description", "", false, false, false, false, {}, 40}});

    const std::vector<Person> people = {
        {"Quillet", "Admin", {"CN=Quillet Admin/O=Quillet", "admin"}, "admin", "admin@quillet.example",
         "quillet", "示例服务器的管理员。Administrator of the sample server.", {}},
        {"伟", "张", {"CN=张伟/O=Quillet", "张伟", "zhangwei"}, "zhangwei", "zhangwei@quillet.example",
         "zhangwei", "销售部 Sales", {}},
        // A password stored in Domino's older hash form, which a session refuses.
        {"Legacy", "User", {"CN=Legacy User/O=Quillet", "legacy"}, "legacy", "legacy@quillet.example",
         {}, "旧格式的密码 Password in an older stored form", "(355E98E7C7B59BD810ED845AD0FD2FC4)"},
    };
    int n = 0;
    for (const Person& p : people) {
        db.beginDocument("Person", "CN=Quillet Admin/O=Quillet");
        w.textItem("Type", "Person");
        w.textItem("FirstName", p.first);
        w.textItem("LastName", p.last);
        w.textListItem("FullName", p.fullName, {-1, true});
        w.textItem("ShortName", p.shortName);
        w.textItem("InternetAddress", p.mail);
        w.textItem("MailServer", "CN=Quillet Demo/O=Quillet", {-1, true});
        w.textItem("MailFile", "mail/" + p.shortName + ".nsf");
        std::string stored = p.storedPassword;
        if (stored.empty()) {
            Bytes salt(16);
            db.rng().fill(salt.data(), salt.size());
            stored = pbkdf2PasswordHash(p.password, salt, 10000, 32);
        }
        w.textItem("HTTPPassword", stored, {1});
        w.dateTimeItem("HTTPPasswordChangeDate", db.clock());
        w.textItem("Comment", p.comment);
        w.textItem("Owner", p.fullName.front(), {-1, false, false, true});
        w.textListItem("LocalAdmin", {"CN=Quillet Admin/O=Quillet", "LocalDomainAdmins"},
                       {-1, false, false, true});
        w.endDocument();
        ++n;
    }

    db.beginDocument("Group", "CN=Quillet Admin/O=Quillet");
    w.textItem("Type", "Group");
    w.textItem("ListName", "LocalDomainAdmins");
    w.textItem("ListDescription", "本域的管理员 Administrators of this domain");
    w.textItem("GroupType", "0");
    w.textListItem("Members", {"CN=Quillet Admin/O=Quillet", "CN=张伟/O=Quillet"}, {-1, true});
    w.endDocument();

    w.endDatabase();
    db.close();
}

} // namespace gendxl

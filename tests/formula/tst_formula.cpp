// The formula language: literals, list-wise operators, functions, statements,
// errors, selection, and the formulas found in real DXL exports.
#include "testutil.h"
#include "engine/formula.h"
#include "platform/clock.h"
#include "platform/error.h"
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QtTest>

using domino::NotesDateTime;
using domino::NotesValue;
using domino::NotesValueList;
using engine::Formula;

using testutil::errorOf;

namespace {

NotesDateTime dt(int y, int mo, int d, int h = -1, int mi = 0, int s = 0)
{
    NotesDateTime t;
    t.date = QDate(y, mo, d);
    if (h >= 0)
        t.time = QTime(h, mi, s);
    return t;
}

class TestDoc : public engine::FormulaContext {
public:
    QHash<QString, NotesValueList> items;  // lower-case names
    bool response = false;

    void set(const QString& name, NotesValueList v) { items.insert(name.toLower(), std::move(v)); }
    bool hasItem(const QString& name) const override { return items.contains(name.toLower()); }
    NotesValueList itemValue(const QString& name) const override { return items.value(name.toLower()); }
    NotesDateTime created() const override { return dt(2025, 1, 2, 3, 4, 5); }
    NotesDateTime modified() const override { return dt(2026, 12, 11, 9, 0, 0); }
    bool isResponse() const override { return response; }
    QString noteId() const override { return QStringLiteral("946"); }
    QString universalId() const override { return QStringLiteral("0123456789ABCDEF0123456789ABCDEF"); }
    QString docNumber() const override { return QStringLiteral("3.1"); }
    qint64 docLength() const override { return 1234; }
    QStringList attachmentNames() const override { return {QStringLiteral("a.txt"), QStringLiteral("b.pdf")}; }
    QStringList authors() const override { return {QStringLiteral("CN=John Doe/O=Acme")}; }
    const engine::ViewPlace* place = nullptr;
    const engine::ViewPlace* viewPlace() const override { return place; }
};

TestDoc fixture()
{
    TestDoc d;
    d.set("Form", {"Memo"});
    d.set("Subject", {"  Hello   World  "});
    d.set("Firstname", {"John"});
    d.set("Lastname", {"Doe"});
    d.set("Count", {3});
    d.set("Nums", {1, 2, 3});
    d.set("Tags", {"red", "green", "blue"});
    d.set("Names", {"CN=John Doe/OU=Sales/OU=East/O=Acme/C=US", "Jane Roe/Dev/Acme"});
    d.set("Birthday", {NotesValue(dt(1990, 7, 4))});
    d.set("Stamp", {NotesValue(dt(2026, 3, 15, 10, 30, 0))});
    d.set("LF_ServerType", {"0"});
    d.set("Empty", {""});
    d.set("Nested", {NotesValue::list({"x", "y"}), "z"});
    d.set(QStringLiteral("标题"), {QStringLiteral("中文标题")});
    d.set("age", {8});
    return d;
}

// A value list written as a formula would write it: "a" : 1 : [2026-01-02].
QString render(const NotesValueList& v)
{
    QStringList parts;
    for (const NotesValue& e : v) {
        if (e.isText())
            parts << u'"' + e.text() + u'"';
        else if (e.isDateTime())
            parts << u'[' + e.toText() + u']';
        else
            parts << e.toText();
    }
    return parts.join(QStringLiteral(" : "));
}

// The XML text of a <formula> element, with its entity and character references resolved.
QString xmlText(QString s)
{
    static const QRegularExpression charRef(QStringLiteral("&#(x?)([0-9A-Fa-f]+);"));
    for (auto m = charRef.match(s); m.hasMatch(); m = charRef.match(s))
        s.replace(m.capturedStart(), m.capturedLength(),
                  QChar(char16_t(m.captured(2).toUInt(nullptr, m.captured(1).isEmpty() ? 10 : 16))));
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&apos;"), QLatin1String("'"));
    s.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s;
}


} // namespace

class TestFormula : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        platform::setClock([] { return QDateTime(QDate(2026, 12, 11), QTime(9, 30, 15), Qt::UTC); });
    }
    void cleanupTestCase() { platform::setClock({}); }

    void evaluate_data();
    void evaluate();
    void errors_data();
    void errors();
    void selects_data();
    void selects();
    void statements();
    void viewFunctions_data();
    void viewFunctions();
    void realWorldFormulas();
};

void TestFormula::evaluate_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* f, const char* e) {
        QTest::newRow(name) << QString::fromUtf8(f) << QString::fromUtf8(e);
    };
    // Literals and lists
    row("number", "1.5e2", "150");
    row("text quotes escaped", R"("a\"b\\c")", R"("a"b\c")");
    row("text braces", R"({say "hi"})", R"("say "hi"")");
    row("unicode text", "\"中文\"", "\"中文\"");
    row("list", "1 : 2 : 3", "1 : 2 : 3");
    row("list binds tighter than unary minus", "-1:2", "-1 : -2");
    row("date constant", "[2026-01-02]", "[2026-01-02]");
    row("us date constant", "[12/25/2026 10:00 PM]", "[2026-12-25 22:00:00]");
    row("field case-insensitive", "fORM", "\"Memo\"");
    row("chinese field name", "标题", "\"中文标题\"");
    row("missing field is empty text", "NoSuchField", "\"\"");
    row("nested item lists flattened", "Nested", "\"x\" : \"y\" : \"z\"");
    // Arithmetic, pair-wise and permuted
    row("precedence", "2 + 3 * 4 - 6 / 2", "11");
    row("parentheses", "(2 + 3) * 4", "20");
    row("pairwise equal lengths", "1:2:3 + 10:20:30", "11 : 22 : 33");
    row("pairwise shorter repeats last", "1:2:3 + 10:20", "11 : 22 : 23");
    row("scalar with list", "Nums * 2", "2 : 4 : 6");
    row("permuted add", "1:2 *+ 10:20", "11 : 21 : 12 : 22");
    row("permuted text", R"("A":"B" *+ "1":"2")", R"("A1" : "A2" : "B1" : "B2")");
    row("text concatenation", R"(Firstname + " " + Lastname)", R"("John Doe")");
    row("text pairwise", R"(Tags + "!")", R"("red!" : "green!" : "blue!")");
    row("date plus seconds", "Stamp + 3600", "[2026-03-15 11:30:00]");
    row("date minus date in seconds", "Stamp - [2026-03-15 10:00:00]", "1800");
    row("negate field", "-Count", "-3");
    // Comparisons: one matching pair is enough
    row("text equal case-sensitive", R"("Memo" = "memo")", "0");
    row("text equal", R"(Form = "Memo")", "1");
    row("list equal any pair", R"("A":"B":"C" = "B":"B")", "1");
    row("list equal no pair", R"("A":"B":"C" = "B":"C":"A")", "0");
    row("permuted equal", R"("A":"B":"C" *= "C":"X")", "1");
    row("not equal any pair", "1:2 != 1:3", "1");
    row("not equal spellings", "(1 <> 2) + (1 >< 2) + (1 =! 2)", "3");
    row("number order", "(Count > 2) & (Count <= 3) & !(Count < 3)", "1");
    row("text order ignores case first", R"("apple" < "Banana")", "1");
    row("date order", "Birthday < Stamp", "1");
    row("not below comparison", "!Count = 4", "1");
    row("or", "(1 = 2) | (2 = 2)", "1");
    // Control and conversion
    row("if true", R"(@If(Count = 3; "three"; "other"))", R"("three")");
    row("if chain else", R"(@If(Count = 1; "a"; Count = 2; "b"; "c"))", R"("c")");
    row("text of number", "@Text(Count / 4)", R"("0.75")");
    row("text fixed", R"(@Text(1234.5; "F2"))", R"("1234.50")");
    row("text grouped", R"(@Text(1234.5; ",F1"))", R"("1,234.5")");
    row("text scientific", R"(@Text(800; "S"))", R"("8.00E+02")");
    row("text of date", "@Text(Stamp)", R"("2026-03-15 10:30:00")");
    row("text date only", R"(@Text(Stamp; "S0"))", R"("2026-03-15")");
    row("text of list", "@Text(Nums)", R"("1" : "2" : "3")");
    row("text to number", R"(@TextToNumber(LF_ServerType) + @TextToNumber(" 12.5 pcs"))", "12.5");
    row("text to number list", R"(@TextToNumber("1":"-2e1"))", "1 : -20");
    row("text to time iso", R"(@TextToTime("2026-03-15 10:30"))", "[2026-03-15 10:30:00]");
    row("text to time us", R"(@TextToTime("7/4/90"))", "[1990-07-04]");
    row("text to time today", R"(@TextToTime("Yesterday"))", "[2026-12-10]");
    row("text to time blank", R"(@TextToTime("next week"))", R"("")");
    // Dates
    row("created", "@Created", "[2025-01-02 03:04:05]");
    row("modified year", "@Year(@Modified)", "2026");
    row("month day", "@Month(Birthday) : @Day(Birthday)", "7 : 4");
    row("year of list", "@Year(Birthday : Stamp)", "1990 : 2026");
    row("date of datetime", "@Date(Stamp)", "[2026-03-15]");
    row("date from parts", "@Date(2026; 2; 28)", "[2026-02-28]");
    row("today", "@Today", "[2026-12-11]");
    row("now", "@Now", "[2026-12-11 09:30:15]");
    // Names
    row("name cn", "@Name([CN]; Names)", R"("John Doe" : "Jane Roe")");
    row("name abbreviate", "@Name([Abbreviate]; Names)", R"("John Doe/Sales/East/Acme/US" : "Jane Roe/Dev/Acme")");
    row("name canonicalize", "@Name([Canonicalize]; Names)",
        R"("CN=John Doe/OU=Sales/OU=East/O=Acme/C=US" : "CN=Jane Roe/OU=Dev/O=Acme")");
    row("name o", "@Name([O]; Names)", R"("Acme" : "Acme")");
    row("name ou1 is nearest the organization", "@Name([OU1]; Names) : @Name([OU2]; Names)",
        R"("East" : "Dev" : "Sales" : "")");
    row("name flat", R"(@Name([CN]; "Admin") + @Name([O]; "Admin"))", R"("Admin")");
    row("name keyword case-insensitive", R"(@name([cn]; "CN=A B/O=C"))", R"("A B")");
    // Text functions
    row("left count", "@Left(Lastname; 1)", R"("D")");
    row("left count past end", "@Left(Lastname; 10)", R"("Doe")");
    row("left huge count", "@Left(Form; 1e308) : @Subset(Tags; -1e308)", R"("Memo" : "red" : "green" : "blue")");
    row("left substring", R"(@Left("key=value"; "="))", R"("key")");
    row("left substring missing", R"(@Left("key"; "="))", R"("")");
    row("right count", "@Right(Tags; 2)", R"("ed" : "en" : "ue")");
    row("right substring", R"(@Right("key=value=x"; "="))", R"("value=x")");
    row("left realworld", R"(@Left(Lastname;1) + "\\" + Lastname)", R"("D\Doe")");
    row("word", R"(@Word("a,b,,c"; ","; 2) : @Word("a,b,,c"; ","; 3) : @Word("a,b"; ","; 9))", R"("b" : "" : "")");
    row("word from end", R"(@Word("a b c"; " "; -1))", R"("c")");
    row("implode", R"(@Implode(Tags; ", "))", R"("red, green, blue")");
    row("implode default space", "@Implode(Tags)", R"("red green blue")");
    row("explode", R"(@Explode("a, b;;c"))", R"("a" : "b" : "c")");
    row("subset first", "@Subset(Tags; 2)", R"("red" : "green")");
    row("subset last", "@Subset(Tags; -1)", R"("blue")");
    row("subset beyond", "@Subset(Tags; 9)", R"("red" : "green" : "blue")");
    row("contains any", R"(@Contains(Tags; "lu":"zz"))", "1");
    row("contains case-sensitive", R"(@Contains(Form; "memo"))", "0");
    row("begins ends", R"(@Begins(Form; "Me") & @Ends(Form; "mo"))", "1");
    row("trim", "@Trim(Subject)", R"("Hello World")");
    row("trim list drops empty", R"(@Trim(" a ":"  ":"b"))", R"("a" : "b")");
    row("upper lower", "@UpperCase(Form) : @LowerCase(Form)", R"("MEMO" : "memo")");
    row("proper", R"(@ProperCase("jOHN doe"))", R"("John Doe")");
    row("length", "@Length(Tags)", "3 : 5 : 4");
    row("replace substring", R"(@ReplaceSubstring("a-b_c"; "-":"_"; "."))", R"("a.b.c")");
    // Lists
    row("elements", "@Elements(Tags) : @Elements(Empty) : @Elements(NoSuchField)", "3 : 0 : 0");
    row("unique", R"(@Unique("a":"b":"a"))", R"("a" : "b")");
    row("is member", R"(@IsMember("red":"blue"; Tags) : @IsNotMember("x"; Tags))", "1 : 1");
    row("sum", "@Sum(Nums; 4)", "10");
    row("subscript", "Tags[2]", R"("green")");
    // The document
    row("is available", "@IsAvailable(Form) : @IsAvailable(Missing) : @IsUnavailable(missing)", "1 : 0 : 1");
    row("is response", "@IsResponseDoc", "0");
    row("doc number", "@DocNumber", R"("3.1")");
    row("doc length", "@DocLength", "1234");
    row("note id", "@NoteID", R"("NT00000946")");
    row("text of note id", "@Text(@NoteID)", R"("NT00000946")");
    row("unid", "@DocumentUniqueID", R"("0123456789ABCDEF0123456789ABCDEF")");
    row("attachments", "@AttachmentNames : @Text(@Attachments)", R"("a.txt" : "b.pdf" : "2")");
    row("author", "@Name([CN]; @Author)", R"("John Doe")");
    row("function names case-insensitive", "@ELEMENTS(tags) + @all", "4");
    row("constants", "@True : @False : @Yes : @No", "1 : 0 : 1 : 0");
    row("is type", "@IsText(Form) : @IsNumber(Nums) : @IsTime(Stamp) : @IsNumber(Form)", "1 : 1 : 1 : 0");
    // Text, list and number functions common in view columns
    row("left back count and text", R"(@LeftBack("Lennard Wallace"; 5) : @LeftBack("a/b/c"; "/"))",
        R"("Lennard Wa" : "a/b")");
    row("right back count and text", R"(@RightBack("Lennard Wallace"; 5) : @RightBack("a/b/c"; "/"))",
        R"("rd Wallace" : "c")");
    row("back without the text", R"(@LeftBack("abc"; "x") : @RightBack("ab"; 9))", R"("" : "")");
    row("newline and char", R"(@Length("a" + @NewLine + "b") : @Char(20013))", R"(3 : "中")");
    row("replace whole elements", R"(@Replace(Tags; "green" : "blue"; "GREEN"))", R"("red" : "GREEN" : "")");
    row("member place", R"(@Member("green"; Tags) : @Member("x"; Tags))", "2 : 0");
    row("max of a list and pair-wise min", "@Max(Nums) : @Min(Nums; 2)", "3 : 1 : 2 : 2");
    row("round integer modulo", "@Round(2.5) : @Round(1234; 100) : @Integer(-2.7) : @Modulo(-7; 3)", "3 : 1200 : -2 : -1");
    row("adjust by calendar and clock", "@Adjust([2026-01-31 10:00]; 0; 1; 0; 0; 90; 0) : @Adjust(Birthday; 1; 0; -4; 0; 0; 0)",
        "[2026-02-28 11:30:00] : [1991-06-30]");
    // Real views
    row("realworld if", R"(@If (RM_ServerIP = ""; "<default>"; RM_ServerIP))", R"("<default>")");
    row("realworld if server", R"(@If (LF_ServerType = "0"; "- All Web Sites/Entire Server -"; LF_IP))",
        R"("- All Web Sites/Entire Server -")");
    row("realworld map type", R"(@If (RM_MapType = "Pass"; 82; 0))", "0");
    row("realworld year", "@Year(@TextToTime(\"7/4/1990\")) : @Year(Birthday)", "1990 : 1990");
    row("realworld age", "(age > 5)", "1");
    row("realworld number of type", "@TextToNumber(LF_ServerType)", "0");
    row("realworld category list", "Firstname:Lastname", R"("John" : "Doe")");
}

void TestFormula::evaluate()
{
    QFETCH(QString, formula);
    QFETCH(QString, expected);
    const TestDoc doc = fixture();
    QString got;
    try {
        got = render(Formula::compile(formula).evaluate(doc));
    } catch (const platform::Error& e) {
        got = QStringLiteral("error: ") + e.text();
    }
    QCOMPARE(got, expected);
}

void TestFormula::errors_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("atCompile");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, const char* f, bool compile, const char* m) {
        QTest::newRow(name) << QString::fromUtf8(f) << compile << QString::fromUtf8(m);
    };
    row("unknown function named", "@DbLookup(\"\"; \"\"; \"v\"; 1)", true, "不支持的公式函数: @DbLookup");
    row("command refused", "@Command([EditDocument])", true, "不支持的公式函数: @Command");
    row("unknown name action", "@Name([Address821]; Form)", true, "不支持的公式函数: @Name([ADDRESS821])");
    row("unclosed text", "Form = \"Memo", true, "公式语法错误(位置 8): 文本常量缺少结束符 \"");
    row("unclosed paren", "(1 + 2", true, "公式语法错误(位置 7): 缺少 )");
    row("dangling operator", "1 +", true, "公式语法错误(位置 4): 公式意外结束");
    row("two expressions", "1 2", true, "公式语法错误(位置 3): 缺少 ;");
    row("bad character", "Form # 1", true, "公式语法错误(位置 6): 无法识别的字符 '#'");
    row("argument count", "@Left(Form)", true, "公式语法错误(位置 1): @Left 需要 2 个参数，实有 1 个");
    row("if even arguments", "@If(1; 2; 3; 4)", true, "@If 需要奇数个参数");
    row("is available needs a name", "@IsAvailable(\"Form\")", true, "@IsAvailable 的参数必须是域名");
    row("select misplaced", "1 + SELECT", true, "SELECT 只能用在语句开头");
    // Hostile input from a database file must not exhaust the stack.
    QTest::newRow("deep parentheses") << QString(5000, u'(') + u'1' + QString(5000, u')') << true
                                      << QStringLiteral("公式嵌套太深");
    QTest::newRow("long operator chain") << QStringLiteral("1") + QStringLiteral("+1").repeated(5000) << true
                                         << QStringLiteral("公式太复杂");
    QTest::newRow("many signs") << QString(100000, u'-') + u'1' << true << QStringLiteral("公式嵌套太深");
    row("text plus number", "Form + 1", false, "公式类型错误: 运算符 + 不能用于文本和数字");
    row("permuted type error", "Nums *+ Tags", false, "公式类型错误: 运算符 *+ 不能用于数字和文本");
    row("compare text with number", "Count = \"3\"", false, "公式类型错误: 运算符 = 不能用于数字和文本");
    row("missing field in arithmetic", "Missing * 2", false, "公式类型错误: 运算符 * 不能用于文本和数字");
    row("year of text", "@Year(Form)", false, "公式类型错误: @Year 需要日期时间，得到文本");
    row("left of number", "@Left(Count; 1)", false, "公式类型错误: @Left 需要文本，得到数字");
    row("text condition", "@If(Form; 1; 2)", false, "公式类型错误: 条件 需要数字，得到文本");
    row("division by zero", "Count / (Count - 3)", false, "公式错误: 除数为零");
    row("text to number", "@TextToNumber(Form)", false, "@TextToNumber 不能把 \"Memo\" 转换为数字");
    row("subset zero", "@Subset(Tags; 0)", false, "@Subset 的个数不能为 0");
    row("subscript out of range", "Tags[4]", false, "下标 4 超出列表范围 (1 到 3)");
    row("date from huge numbers", "@Date(1e308; 1; 1)", false, "@Date 的日期无效");
    row("time shifted out of range", "@Created + 1e300", false, "日期时间超出范围");
    row("keyword as value", "[CN]", false, "关键字 [CN] 不能用作值");
    row("relative day is no constant", "[Today] + 1", false, "关键字 [TODAY] 不能用作值");
}

void TestFormula::errors()
{
    QFETCH(QString, formula);
    QFETCH(bool, atCompile);
    QFETCH(QString, message);
    const QString compileError = errorOf([&] { Formula::compile(formula); });
    if (atCompile) {
        QVERIFY2(compileError.contains(message), qPrintable(compileError));
        return;
    }
    QVERIFY2(compileError.isEmpty(), qPrintable(compileError));
    const TestDoc doc = fixture();
    const Formula f = Formula::compile(formula);
    const QString evalError = errorOf([&] { f.evaluate(doc); });
    QVERIFY2(evalError.contains(message), qPrintable(evalError.isEmpty() ? render(f.evaluate(doc)) : evalError));
}

void TestFormula::selects_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("selectAll");
    QTest::newRow("empty") << QString() << true << true;
    QTest::newRow("select all") << "SELECT @All" << true << true;
    QTest::newRow("bare all") << "@ALL" << true << true;
    QTest::newRow("select true constant") << "select 1" << true << true;
    QTest::newRow("form match") << "SELECT Form = \"Memo\"" << true << false;
    QTest::newRow("form mismatch") << "SELECT Form = \"Task\"" << false << false;
    QTest::newRow("or of forms") << "SELECT ((Form = \"X\") | (Form = \"Memo\"))" << true << false;
    QTest::newRow("no select keyword") << "Count > 2" << true << false;
    QTest::newRow("responses") << "SELECT @IsResponseDoc" << false << false;
    QTest::newRow("last select wins") << "SELECT @All; SELECT Form = \"Task\"" << false << false;
    QTest::newRow("variable then select") << "f := Form; REM {only memos}; SELECT f = \"Memo\"" << true << false;
    QTest::newRow("realworld multi-line") << "SELECT (\n(Form=\"DirMap\") |\n(Form=\"Memo\")\n)" << true << false;
    QTest::newRow("select false") << "SELECT @False" << false << false;
}

void TestFormula::selects()
{
    QFETCH(QString, formula);
    QFETCH(bool, selected);
    QFETCH(bool, selectAll);
    const Formula f = Formula::compile(formula);
    const TestDoc doc = fixture();
    QCOMPARE(f.selects(doc), selected);
    QCOMPARE(f.isSelectAll(), selectAll);
}

// Temporary variables, FIELD and DEFAULT assignments, shadowing and order.
void TestFormula::statements()
{
    const TestDoc doc = fixture();
    auto eval = [&](const char* f) { return render(Formula::compile(QString::fromUtf8(f)).evaluate(doc)); };
    QCOMPARE(eval("x := Count + 1; y := x * 2; x : y"), QStringLiteral("4 : 8"));
    // The right side of an assignment still reads the field of that name.
    QCOMPARE(eval("Count := Count + 1; COUNT"), QStringLiteral("4"));
    QCOMPARE(eval("FIELD Form := \"Task\"; Form"), QStringLiteral("\"Task\""));
    QCOMPARE(eval("DEFAULT Form := \"X\"; DEFAULT Other := \"Y\"; Form : Other"), QStringLiteral("\"Memo\" : \"Y\""));
    QCOMPARE(eval("REM \"comment\"; 1; 2;"), QStringLiteral("2"));
    QCOMPARE(eval("n := 2; Tags[n]"), QStringLiteral("\"green\""));
    QCOMPARE(eval("v := 1; @IsAvailable(v)"), QStringLiteral("1"));
    QVERIFY(Formula::compile(QStringLiteral("x := 1")).evaluate(doc).isEmpty());  // no main expression
    // Many variables (more than fit in the evaluator's stack slots).
    QCOMPARE(eval("a:=1;b:=2;c:=3;d:=4;e:=5;f:=6;a+b+c+d+e+f"), QStringLiteral("21"));
    // A copy shares the compiled program and evaluates alike.
    const Formula f = Formula::compile(QStringLiteral("SELECT Form = \"Memo\""));
    const Formula copy = f;
    QCOMPARE(copy.source(), f.source());
    QVERIFY(copy.selects(doc));
    QVERIFY(Formula().evaluate(doc).isEmpty());
    // A selection with @AllChildren or @AllDescendants says so, for the view to add the responses.
    QCOMPARE(Formula::compile(QStringLiteral("SELECT Form = \"Memo\" | @AllDescendants")).selectsResponses(),
             Formula::Responses::Descendants);
    QCOMPARE(Formula::compile(QStringLiteral("SELECT @AllChildren")).selectsResponses(), Formula::Responses::Children);
    QCOMPARE(Formula::compile(QStringLiteral("SELECT @All")).selectsResponses(), Formula::Responses::None);
}

// The functions that read the document's place in the view: counts and the
// zero/one/other texts, and what they give outside a view (children < 0).
void TestFormula::viewFunctions_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("children");
    QTest::addColumn<int>("descendants");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* f, int c, int d, const char* e) {
        QTest::newRow(name) << QString::fromUtf8(f) << c << d << QString::fromUtf8(e);
    };
    row("children count", "@DocChildren", 2, 5, R"("2")");
    row("children zero text", R"(@DocChildren("none"; "one"; "% replies"))", 0, 0, R"("none")");
    row("children one text", R"(@DocChildren("none"; "one"; "% replies"))", 1, 1, R"("one")");
    row("children other text", R"(@DocChildren("none"; "one"; "% replies"))", 3, 4, R"("3 replies")");
    row("descendants zero and default", R"x(@DocDescendants(""; "(%)"))x", 0, 0, R"("")");
    row("descendants one falls to default", R"x(@DocDescendants(""; "(%)"))x", 1, 1, R"x("(1)")x");
    row("descendants default only", R"(@DocDescendants("% in all"))", 2, 0, R"("0 in all")");
    row("descendants count", "@DocDescendants", 2, 7, R"("7")");
    row("responses is a number", "@Responses + 1", 2, 7, "8");
    row("siblings level parent", R"(@DocSiblings + "/" + @DocLevel + "/" + @DocParentNumber)", 0, 0,
        R"("4/3/3.1")");
    row("expandable", "@IsExpandable", 1, 1, R"("+")");
    row("not expandable", "@IsExpandable", 0, 0, R"("-")");
    row("expandable texts", R"(@IsExpandable("Y"; "N"))", 0, 0, R"("N")");
    row("not expandable one text", R"(@IsExpandable("Y"))", 0, 0, R"("")");
    row("never a category", R"(@IsCategory + @IsCategory("c") + @IsCategory("c"; "doc"))", 0, 0, R"("doc")");
    row("outside a view", R"(@DocChildren + @DocDescendants + @DocLevel + @IsExpandable)", -1, 0, R"("-")");
    row("all children is false per document", "@AllChildren | @AllDescendants", 1, 1, "0");
}

void TestFormula::viewFunctions()
{
    QFETCH(QString, formula);
    QFETCH(int, children);
    QFETCH(int, descendants);
    QFETCH(QString, expected);
    TestDoc doc = fixture();
    engine::ViewPlace place;
    place.children = children;
    place.descendants = descendants;
    place.siblings = 4;
    place.level = 3;
    place.parentNumber = QStringLiteral("3.1");
    if (children >= 0)
        doc.place = &place;
    QCOMPARE(render(Formula::compile(formula).evaluate(doc)), expected);
}

// Every formula in the real DXL exports compiles, or is refused naming the function
// outside the subset; action formulas (@Command and friends) are the refused ones.
void TestFormula::realWorldFormulas()
{
    const QString dir = QStringLiteral(QUILLET_REALWORLD_DXL);
    if (!QFileInfo(dir).isDir())
        QSKIP("no real-world DXL folder");
    static const QRegularExpression formulaTag(QStringLiteral("<formula>(.*?)</formula>"),
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression unsupported(QStringLiteral("^不支持的公式函数: (@\\w+)$"));
    const QStringList refusedOk{"@Command", "@PostedCommand", "@SetProfileField", "@ViewTitle"};
    int compiled = 0, refused = 0;
    QDirIterator it(dir, {QStringLiteral("*.xml")}, QDir::Files);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString xml = QString::fromUtf8(file.readAll());
        for (auto m = formulaTag.globalMatch(xml); m.hasNext();) {
            const QString source = xmlText(m.next().captured(1));
            const QString error = errorOf([&] { Formula::compile(source); });
            if (error.isEmpty()) {
                ++compiled;
                continue;
            }
            const auto u = unsupported.match(error);
            QVERIFY2(u.hasMatch() && refusedOk.contains(u.captured(1)),
                     qPrintable(QStringLiteral("%1: %2").arg(source, error)));
            ++refused;
        }
    }
    QVERIFY(compiled > 0);
    QVERIFY(refused > 0);
}

QTEST_GUILESS_MAIN(TestFormula)
#include "tst_formula.moc"

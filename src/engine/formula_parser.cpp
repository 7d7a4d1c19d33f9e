// Lexer and recursive-descent parser of the formula language. Operator
// precedence, highest first: list ':' ; unary + - ; * / ; + - ; comparisons ;
// logical ! ; & | ; assignment := (statement level only).
#include "engine/formula_ast.h"
#include "platform/error.h"
#include <QHash>

namespace engine::formula {
namespace {

enum class Tok { End, Number, Text, Name, AtName, Bracket, Op, LParen, RParen, Semi };

struct Token {
    Tok kind = Tok::End;
    int pos = 0;
    QString text;   // Text: the unescaped text; Name/AtName: as written; Bracket: contents; Op: operator
    double number = 0;
};

[[noreturn]] void syntaxError(int pos, const QString& what)
{
    throw platform::Error(QStringLiteral("公式语法错误(位置 %1): %2").arg(pos + 1).arg(what));
}

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u'$';
}
bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

class Lexer {
public:
    Lexer(const QString& s, int base) : s_(s), base_(base) {}

    Token next()
    {
        skipSpace();
        Token t;
        t.pos = base_ + i_;
        if (i_ >= s_.size())
            return t;
        const QChar c = s_[i_];
        if (c.isDigit() || (c == u'.' && i_ + 1 < s_.size() && s_[i_ + 1].isDigit()))
            return number(t);
        if (c == u'"' || c == u'{')
            return text(t, c == u'"' ? u'"' : u'}');
        if (c == u'[')
            return bracket(t);
        if (c == u'@') {
            int j = i_ + 1;
            while (j < s_.size() && isNameChar(s_[j]))
                ++j;
            if (j == i_ + 1)
                syntaxError(t.pos, QStringLiteral("@ 后缺少函数名"));
            t.kind = Tok::AtName;
            t.text = s_.mid(i_, j - i_);
            i_ = j;
            return t;
        }
        if (isNameStart(c)) {
            int j = i_ + 1;
            while (j < s_.size() && isNameChar(s_[j]))
                ++j;
            t.kind = Tok::Name;
            t.text = s_.mid(i_, j - i_);
            i_ = j;
            return t;
        }
        if (c == u'(') { ++i_; t.kind = Tok::LParen; return t; }
        if (c == u')') { ++i_; t.kind = Tok::RParen; return t; }
        if (c == u';') { ++i_; t.kind = Tok::Semi; return t; }
        // Longest operator first: "*!=" before "*=" before "*".
        static const char* const ops[] = {"*!=", "*<=", "*>=", ":=", "!=", "<>", "><", "=!", "<=", ">=",
                                          "*+", "*-", "**", "*/", "*=", "*<", "*>", ":", "+", "-", "*",
                                          "/", "=", "<", ">", "&", "|", "!"};
        for (const char* op : ops) {
            const QLatin1StringView v(op);
            if (QStringView(s_).mid(i_).startsWith(v)) {
                t.kind = Tok::Op;
                t.text = v.toString();
                i_ += int(v.size());
                return t;
            }
        }
        syntaxError(t.pos, QStringLiteral("无法识别的字符 '%1'").arg(c));
    }

private:
    void skipSpace()
    {
        while (i_ < s_.size() && s_[i_].isSpace())
            ++i_;
    }

    Token number(Token& t)
    {
        int j = i_;
        while (j < s_.size() && s_[j].isDigit())
            ++j;
        if (j < s_.size() && s_[j] == u'.') {
            ++j;
            while (j < s_.size() && s_[j].isDigit())
                ++j;
        }
        if (j < s_.size() && (s_[j] == u'e' || s_[j] == u'E')) {
            int k = j + 1;
            if (k < s_.size() && (s_[k] == u'+' || s_[k] == u'-'))
                ++k;
            if (k < s_.size() && s_[k].isDigit()) {
                while (k < s_.size() && s_[k].isDigit())
                    ++k;
                j = k;
            }
        }
        bool ok = false;
        t.number = QStringView(s_).mid(i_, j - i_).toDouble(&ok);
        if (!ok)
            syntaxError(t.pos, QStringLiteral("无效的数字"));
        t.kind = Tok::Number;
        i_ = j;
        return t;
    }

    // A backslash takes the next character literally, in quotes and in braces alike.
    Token text(Token& t, char16_t close)
    {
        ++i_;
        QString out;
        while (true) {
            if (i_ >= s_.size())
                syntaxError(t.pos, QStringLiteral("文本常量缺少结束符 %1").arg(QChar(close)));
            const QChar c = s_[i_++];
            if (c == close)
                break;
            if (c == u'\\') {
                if (i_ >= s_.size())
                    syntaxError(t.pos, QStringLiteral("文本常量缺少结束符 %1").arg(QChar(close)));
                out += s_[i_++];
            } else {
                out += c;
            }
        }
        t.kind = Tok::Text;
        t.text = std::move(out);
        return t;
    }

    Token bracket(Token& t)
    {
        const int close = s_.indexOf(u']', i_ + 1);
        if (close < 0)
            syntaxError(t.pos, QStringLiteral("缺少 ]"));
        t.kind = Tok::Bracket;
        t.text = s_.mid(i_ + 1, close - i_ - 1);
        i_ = close + 1;
        return t;
    }

    const QString& s_;
    int base_;
    int i_ = 0;
};

// Formulas come from database files: nesting and operator chains are bounded so that
// neither the parser nor the evaluator can run out of stack on a hostile one.
constexpr int maxNesting = 200;
constexpr int maxTreeDepth = 1000;

class Parser {
public:
    // Names assigned so far (lower-case) -> slot; shared with nested parsers of subscripts.
    struct Scope {
        QHash<QString, int> slots;
        int count = 0;
        Formula::Responses responses = Formula::Responses::None;
    };

    Parser(const QString& s, int base, Scope& scope) : lex_(s, base), scope_(scope) { advance(); }

    std::shared_ptr<Program> program(const QString& source)
    {
        auto p = std::make_shared<Program>();
        p->source = source;
        while (cur_.kind != Tok::End) {
            if (cur_.kind == Tok::Semi) {  // empty statement
                advance();
                continue;
            }
            statement(*p);
            if (cur_.kind == Tok::Semi)
                advance();
            else if (cur_.kind != Tok::End)
                syntaxError(cur_.pos, QStringLiteral("缺少 ;"));
        }
        p->slotCount = scope_.count;
        p->responses = scope_.responses;
        for (int i = 0; i < int(p->statements.size()); ++i) {
            const auto k = p->statements[i].kind;
            if (k == Statement::Kind::Expr || k == Statement::Kind::Select)
                p->resultIndex = i;
            if (k == Statement::Kind::Select)
                p->selectIndex = i;
        }
        const int sel = p->selectIndex >= 0 ? p->selectIndex : p->resultIndex;
        p->selectAll = sel < 0 || isAlwaysTrue(*p->statements[sel].expr);
        return p;
    }

    NodePtr wholeExpression()
    {
        NodePtr e = expression();
        if (cur_.kind != Tok::End)
            syntaxError(cur_.pos, QStringLiteral("多余的内容"));
        return e;
    }

private:
    void advance() { cur_ = lex_.next(); }

    bool isOp(const char* op) const { return cur_.kind == Tok::Op && cur_.text == QLatin1StringView(op); }
    bool isKeyword(const char* kw) const
    {
        return cur_.kind == Tok::Name && cur_.text.compare(QLatin1StringView(kw), Qt::CaseInsensitive) == 0;
    }

    void expect(Tok kind, const QString& what)
    {
        if (cur_.kind != kind)
            syntaxError(cur_.pos, QStringLiteral("缺少 %1").arg(what));
        advance();
    }

    static bool isAlwaysTrue(const Node& n)
    {
        if (n.kind == Node::Kind::Call)
            return n.func == findFunction(u"@All") || n.func == findFunction(u"@True");
        if (n.kind == Node::Kind::Constant)
            return n.value.size() == 1 && n.value[0].isNumber() && n.value[0].number() != 0;
        return false;
    }

    int assignSlot(const QString& name)
    {
        const QString key = name.toLower();
        auto it = scope_.slots.find(key);
        if (it != scope_.slots.end())
            return *it;
        const int slot = scope_.count++;
        scope_.slots.insert(key, slot);
        return slot;
    }

    void statement(Program& p)
    {
        Statement st;
        if (isKeyword("REM")) {
            advance();
            if (cur_.kind != Tok::Text)
                syntaxError(cur_.pos, QStringLiteral("REM 后缺少文本"));
            advance();
            return;
        }
        if (isKeyword("SELECT")) {
            advance();
            st.kind = Statement::Kind::Select;
            st.expr = expression();
            p.statements.push_back(std::move(st));
            return;
        }
        if (isKeyword("ENVIRONMENT"))
            throw platform::Error(QStringLiteral("不支持的公式语句: ENVIRONMENT"));
        const bool field = isKeyword("FIELD");
        const bool deflt = isKeyword("DEFAULT");
        if (field || deflt) {
            advance();
            if (cur_.kind != Tok::Name)
                syntaxError(cur_.pos, QStringLiteral("缺少域名"));
        }
        if (cur_.kind == Tok::Name) {
            // Look ahead for "name :=" without consuming anything else.
            Lexer probe = lex_;
            const Token after = probe.next();
            if (after.kind == Tok::Op && after.text == u":=") {
                const QString name = cur_.text;
                advance();
                advance();
                // The right side still sees the old meaning of the name: x := x + 1 reads the field.
                st.expr = expression();
                st.kind = deflt ? Statement::Kind::Default : Statement::Kind::Assign;
                st.fieldName = name;
                st.slot = assignSlot(name);
                p.statements.push_back(std::move(st));
                return;
            }
            if (field || deflt)
                syntaxError(cur_.pos, QStringLiteral("缺少 :="));
        }
        st.kind = Statement::Kind::Expr;
        st.expr = expression();
        p.statements.push_back(std::move(st));
    }

    static NodePtr finish(NodePtr n)
    {
        int d = 0;
        for (const auto& k : n->kids)
            d = std::max(d, k->depth);
        n->depth = d + 1;
        if (n->depth > maxTreeDepth)
            syntaxError(n->pos, QStringLiteral("公式太复杂"));
        return n;
    }

    NodePtr makeBinary(Op op, bool permuted, int pos, NodePtr a, NodePtr b)
    {
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::Binary;
        n->op = op;
        n->permuted = permuted;
        n->pos = pos;
        n->kids.push_back(std::move(a));
        n->kids.push_back(std::move(b));
        return finish(std::move(n));
    }

    struct NestingGuard {
        int& depth;
        NestingGuard(int& d, int pos) : depth(d)
        {
            if (++depth > maxNesting)
                syntaxError(pos, QStringLiteral("公式嵌套太深"));
        }
        ~NestingGuard() { --depth; }
    };

    NodePtr expression()  // & |
    {
        const NestingGuard guard(nesting_, cur_.pos);
        NodePtr left = notExpr();
        while (isOp("&") || isOp("|")) {
            const Op op = isOp("&") ? Op::And : Op::Or;
            const int pos = cur_.pos;
            advance();
            left = makeBinary(op, false, pos, std::move(left), notExpr());
        }
        return left;
    }

    NodePtr notExpr()
    {
        if (isOp("!")) {
            const NestingGuard guard(nesting_, cur_.pos);
            auto n = std::make_unique<Node>();
            n->kind = Node::Kind::Not;
            n->pos = cur_.pos;
            advance();
            n->kids.push_back(notExpr());
            return finish(std::move(n));
        }
        return comparison();
    }

    NodePtr comparison()
    {
        NodePtr left = additive();
        while (cur_.kind == Tok::Op) {
            QStringView t = cur_.text;
            const bool permuted = t.size() > 1 && t.startsWith(u'*');
            if (permuted)
                t = t.mid(1);
            Op op;
            if (t == u"=") op = Op::Eq;
            else if (t == u"!=" || t == u"<>" || t == u"><" || t == u"=!") op = Op::Ne;
            else if (t == u"<") op = Op::Lt;
            else if (t == u">") op = Op::Gt;
            else if (t == u"<=") op = Op::Le;
            else if (t == u">=") op = Op::Ge;
            else break;
            const int pos = cur_.pos;
            advance();
            left = makeBinary(op, permuted, pos, std::move(left), additive());
        }
        return left;
    }

    NodePtr additive()
    {
        NodePtr left = multiplicative();
        while (isOp("+") || isOp("-") || isOp("*+") || isOp("*-")) {
            const bool permuted = cur_.text.size() == 2;
            const Op op = cur_.text.endsWith(u'+') ? Op::Add : Op::Sub;
            const int pos = cur_.pos;
            advance();
            left = makeBinary(op, permuted, pos, std::move(left), multiplicative());
        }
        return left;
    }

    NodePtr multiplicative()
    {
        NodePtr left = unary();
        while (isOp("*") || isOp("/") || isOp("**") || isOp("*/")) {
            const bool permuted = cur_.text.size() == 2;
            const Op op = cur_.text.endsWith(u'/') ? Op::Div : Op::Mul;
            const int pos = cur_.pos;
            advance();
            left = makeBinary(op, permuted, pos, std::move(left), unary());
        }
        return left;
    }

    NodePtr unary()
    {
        if (isOp("-") || isOp("+")) {
            const NestingGuard guard(nesting_, cur_.pos);
            const bool neg = isOp("-");
            const int pos = cur_.pos;
            advance();
            NodePtr operand = unary();
            if (!neg)
                return operand;
            // Fold negative number constants so that -1 costs nothing per document.
            if (operand->kind == Node::Kind::Constant && operand->value.size() == 1 && operand->value[0].isNumber()) {
                operand->value[0] = NotesValue(-operand->value[0].number());
                return operand;
            }
            auto n = std::make_unique<Node>();
            n->kind = Node::Kind::Negate;
            n->pos = pos;
            n->kids.push_back(std::move(operand));
            return finish(std::move(n));
        }
        return list();
    }

    NodePtr list()
    {
        NodePtr first = postfix();
        if (!isOp(":"))
            return first;
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::List;
        n->pos = first->pos;
        n->kids.push_back(std::move(first));
        while (isOp(":")) {
            advance();
            // A sign right after ':' is accepted (1:-2) though Notes asks for parentheses.
            if (isOp("-") || isOp("+"))
                n->kids.push_back(unary());
            else
                n->kids.push_back(postfix());
        }
        // A list of constants is itself a constant.
        bool allConst = true;
        for (const auto& k : n->kids)
            allConst = allConst && k->kind == Node::Kind::Constant;
        if (allConst) {
            auto c = std::make_unique<Node>();
            c->kind = Node::Kind::Constant;
            c->pos = n->pos;
            for (const auto& k : n->kids)
                c->value += k->value;
            return c;
        }
        return finish(std::move(n));
    }

    NodePtr postfix()
    {
        NodePtr p = primary();
        while (cur_.kind == Tok::Bracket) {
            auto n = std::make_unique<Node>();
            n->kind = Node::Kind::Subscript;
            n->pos = cur_.pos;
            Parser inner(cur_.text, cur_.pos + 1, scope_);
            NodePtr index = inner.wholeExpression();
            advance();
            n->kids.push_back(std::move(p));
            n->kids.push_back(std::move(index));
            p = finish(std::move(n));
        }
        return p;
    }

    NodePtr primary()
    {
        auto n = std::make_unique<Node>();
        n->pos = cur_.pos;
        switch (cur_.kind) {
        case Tok::Number:
            n->kind = Node::Kind::Constant;
            n->value = {NotesValue(cur_.number)};
            advance();
            return n;
        case Tok::Text:
            n->kind = Node::Kind::Constant;
            n->value = {NotesValue(cur_.text)};
            advance();
            return n;
        case Tok::Bracket: {
            if (auto dt = parseDateTimeText(cur_.text.trimmed(), false)) {
                n->kind = Node::Kind::Constant;
                n->value = {NotesValue(*dt)};
            } else {
                n->kind = Node::Kind::Keyword;
                n->name = cur_.text.trimmed().toUpper();
            }
            advance();
            return n;
        }
        case Tok::Name: {
            if (isKeyword("SELECT") || isKeyword("FIELD") || isKeyword("REM") || isKeyword("DEFAULT")
                || isKeyword("ENVIRONMENT"))
                syntaxError(cur_.pos, QStringLiteral("%1 只能用在语句开头").arg(cur_.text.toUpper()));
            auto it = scope_.slots.constFind(cur_.text.toLower());
            if (it != scope_.slots.constEnd()) {
                n->kind = Node::Kind::Variable;
                n->slot = *it;
            } else {
                n->kind = Node::Kind::Field;
            }
            n->name = cur_.text;
            advance();
            return n;
        }
        case Tok::AtName: {
            const FuncInfo* f = findFunction(cur_.text);
            if (!f)
                throw platform::Error(QStringLiteral("不支持的公式函数: %1").arg(cur_.text));
            const QString written = cur_.text;
            if (qstrcmp(f->name, "@AllDescendants") == 0)
                scope_.responses = Formula::Responses::Descendants;
            else if (qstrcmp(f->name, "@AllChildren") == 0 && scope_.responses == Formula::Responses::None)
                scope_.responses = Formula::Responses::Children;
            n->kind = Node::Kind::Call;
            n->func = f;
            advance();
            if (cur_.kind == Tok::LParen) {
                advance();
                if (cur_.kind != Tok::RParen) {
                    n->kids.push_back(expression());
                    while (cur_.kind == Tok::Semi) {
                        advance();
                        n->kids.push_back(expression());
                    }
                }
                expect(Tok::RParen, QStringLiteral(")"));
            }
            const int argc = int(n->kids.size());
            if (argc < f->minArgs || (f->maxArgs >= 0 && argc > f->maxArgs)) {
                QString want = f->minArgs == f->maxArgs ? QString::number(f->minArgs)
                               : f->maxArgs < 0         ? QStringLiteral("至少 %1").arg(f->minArgs)
                                                        : QStringLiteral("%1 到 %2").arg(f->minArgs).arg(f->maxArgs);
                syntaxError(n->pos, QStringLiteral("%1 需要 %2 个参数，实有 %3 个").arg(written, want).arg(argc));
            }
            if (f->check)
                f->check(*n);
            return finish(std::move(n));
        }
        case Tok::LParen: {
            advance();
            NodePtr inner = expression();
            expect(Tok::RParen, QStringLiteral(")"));
            return inner;
        }
        case Tok::End:
            syntaxError(cur_.pos, QStringLiteral("公式意外结束"));
        default:
            syntaxError(cur_.pos, QStringLiteral("此处不能是 '%1'").arg(cur_.kind == Tok::Semi ? QStringLiteral(";")
                                                                       : cur_.kind == Tok::RParen ? QStringLiteral(")")
                                                                                                   : cur_.text));
        }
    }

    Lexer lex_;
    Scope& scope_;
    Token cur_;
    int nesting_ = 0;
};

} // namespace

std::shared_ptr<const Program> parse(const QString& source)
{
    Parser::Scope scope;
    Parser p(source, 0, scope);
    return p.program(source);
}

} // namespace engine::formula

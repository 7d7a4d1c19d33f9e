#include "engine/formula.h"
#include "engine/formula_eval.h"
#include <memory>

namespace engine {

using formula::Evaluator;
using formula::Program;
using formula::Statement;

namespace {

// Temporary variables live for one evaluation.
// Most view formulas have none, and then nothing is set up at all.
class Slots {
public:
    explicit Slots(int count)
    {
        if (count > 0)
            heap_ = std::make_unique<domino::NotesValueList[]>(size_t(count));
    }
    domino::NotesValueList* data() { return heap_.get(); }

private:
    std::unique_ptr<domino::NotesValueList[]> heap_;
};

// Runs the statements before `upTo` that assign variables; expression statements other
// than the one asked for have no effect in this subset and are skipped.
void runAssignments(const Program& p, int upTo, Evaluator& ev, const FormulaContext& doc)
{
    for (int i = 0; i < upTo; ++i) {
        const Statement& st = p.statements[size_t(i)];
        if (st.kind == Statement::Kind::Assign)
            ev.assign(st.slot, ev.eval(*st.expr));
        else if (st.kind == Statement::Kind::Default)
            ev.assign(st.slot, doc.hasItem(st.fieldName) ? doc.itemValue(st.fieldName) : ev.eval(*st.expr));
    }
}

} // namespace

Formula::Formula() = default;

Formula Formula::compile(const QString& source)
{
    Formula f;
    f.program_ = formula::parse(source);
    return f;
}

domino::NotesValueList Formula::evaluate(const FormulaContext& doc) const
{
    if (!program_ || program_->resultIndex < 0)
        return {};
    const Program& p = *program_;
    Slots slots(p.slotCount);
    Evaluator ev(doc, slots.data());
    runAssignments(p, p.resultIndex, ev, doc);
    return ev.eval(*p.statements[size_t(p.resultIndex)].expr);
}

bool Formula::selects(const FormulaContext& doc) const
{
    if (!program_ || program_->selectAll)
        return true;
    const Program& p = *program_;
    const int index = p.selectIndex >= 0 ? p.selectIndex : p.resultIndex;
    Slots slots(p.slotCount);
    Evaluator ev(doc, slots.data());
    runAssignments(p, index, ev, doc);
    return ev.truth(*p.statements[size_t(index)].expr);
}

bool Formula::isSelectAll() const
{
    return !program_ || program_->selectAll;
}

Formula::Responses Formula::selectsResponses() const
{
    return program_ ? program_->responses : Responses::None;
}

const QString& Formula::source() const
{
    static const QString none;
    return program_ ? program_->source : none;
}

} // namespace engine

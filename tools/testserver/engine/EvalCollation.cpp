// Collation precedence: which collation a character expression carries, and
// which one a comparison uses (446 when two columns' collations clash).

#include "Eval.h"

namespace qts {

namespace {

using D = Expr::Derivation;

struct Label {
    D derivation;
    std::uint8_t collation;
};

Label combine(Label a, Label b)
{
    if (a.derivation == D::Explicit && b.derivation == D::Explicit) {
        if (a.collation != b.collation)
            fail(449, 16, "Collation conflict caused by collate clauses with different collation '" +
                              std::string(collationInfo(a.collation).name) + "' and '" + collationInfo(b.collation).name + "'.",
                 true);
        return a;
    }
    if (a.derivation == D::Explicit)
        return a;
    if (b.derivation == D::Explicit)
        return b;
    if (a.derivation == D::None || b.derivation == D::None)
        return {D::None, a.collation};
    if (a.derivation == D::Implicit && b.derivation == D::Implicit)
        return a.collation == b.collation ? a : Label{D::None, a.collation};
    if (b.derivation == D::Implicit)
        return b;
    return a;
}

bool isCharacter(const Expr &e)
{
    return isStringType(e.type.type);
}

} // namespace

void deriveCollation(Expr &e, const std::vector<const Expr *> &from, std::uint8_t databaseDefault)
{
    if (!isCharacter(e))
        return;
    bool any = false;
    Label l{D::Default, databaseDefault};
    for (const Expr *a : from) {
        if (!isCharacter(*a))
            continue;
        const Label al{a->derivation, a->type.collation};
        l = any ? combine(l, al) : al;
        any = true;
    }
    e.derivation = l.derivation;
    e.type.collation = l.collation;
}

std::uint8_t comparisonCollation(const Expr &a, const Expr &b, const char *operation)
{
    if (!isCharacter(a) || !isCharacter(b))
        return isCharacter(a) ? a.type.collation : b.type.collation;
    const Label l = combine({a.derivation, a.type.collation}, {b.derivation, b.type.collation});
    if (l.derivation == D::None)
        fail(446, 16, std::string("Cannot resolve collation conflict for ") + operation + " operation.", true);
    return l.collation;
}

const char *comparisonName(const std::string &op)
{
    if (op == "=") return "equal to";
    if (op == "<>") return "not equal to";
    if (op == "<") return "less than";
    if (op == ">") return "greater than";
    if (op == "<=") return "less than or equal to";
    return "greater than or equal to";
}

} // namespace qts

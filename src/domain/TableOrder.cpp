#include "TableOrder.h"

#include "SqlNames.h"

#include <QHash>

#include <algorithm>
#include <set>

namespace {

// Tarjan's strongly connected components of the graph parent -> child.
class TComponents
{
public:
    explicit TComponents(const std::vector<std::set<int>> &Children) : m_children(Children)
    {
        const int n = int(Children.size());
        m_index.assign(std::size_t(n), -1);
        m_low.assign(std::size_t(n), 0);
        m_onStack.assign(std::size_t(n), false);
        Of.assign(std::size_t(n), -1);
        for (int v = 0; v < n; ++v)
            if (m_index[std::size_t(v)] < 0)
                Visit(v);
    }

    std::vector<int> Of;                 // component of each table
    std::vector<std::vector<int>> Lists; // tables of each component, ascending

private:
    void Visit(int v)
    {
        m_index[std::size_t(v)] = m_low[std::size_t(v)] = m_next++;
        m_stack.push_back(v);
        m_onStack[std::size_t(v)] = true;
        for (int w : m_children[std::size_t(v)]) {
            if (m_index[std::size_t(w)] < 0) {
                Visit(w);
                m_low[std::size_t(v)] = std::min(m_low[std::size_t(v)], m_low[std::size_t(w)]);
            } else if (m_onStack[std::size_t(w)]) {
                m_low[std::size_t(v)] = std::min(m_low[std::size_t(v)], m_index[std::size_t(w)]);
            }
        }
        if (m_low[std::size_t(v)] != m_index[std::size_t(v)])
            return;
        std::vector<int> members;
        int w = -1;
        do {
            w = m_stack.back();
            m_stack.pop_back();
            m_onStack[std::size_t(w)] = false;
            Of[std::size_t(w)] = int(Lists.size());
            members.push_back(w);
        } while (w != v);
        std::sort(members.begin(), members.end());
        Lists.push_back(std::move(members));
    }

    const std::vector<std::set<int>> &m_children;
    std::vector<int> m_index, m_low, m_stack;
    std::vector<bool> m_onStack;
    int m_next = 0;
};

// Components in an order where every component comes after those it
// depends on (Before[c]: the components c must follow); among those ready,
// the one holding the earliest given table goes first.
std::vector<int> Sequence(const TComponents &Components, const std::vector<std::set<int>> &Before)
{
    const std::size_t count = Components.Lists.size();
    std::vector<int> waiting(count);
    std::vector<std::set<int>> after(count);
    for (std::size_t c = 0; c < count; ++c) {
        waiting[c] = int(Before[c].size());
        for (int b : Before[c])
            after[std::size_t(b)].insert(int(c));
    }
    // Ready components by their first table's position.
    std::set<std::pair<int, int>> ready;
    for (std::size_t c = 0; c < count; ++c)
        if (waiting[c] == 0)
            ready.insert({Components.Lists[c].front(), int(c)});
    std::vector<int> order;
    while (!ready.empty()) {
        const int c = ready.begin()->second;
        ready.erase(ready.begin());
        order.push_back(c);
        for (int next : after[std::size_t(c)])
            if (--waiting[std::size_t(next)] == 0)
                ready.insert({Components.Lists[std::size_t(next)].front(), next});
    }
    return order;
}

} // namespace

QString TTableOrder::CycleMessage() const
{
    QStringList lines;
    for (const QStringList &cycle : Cycles) {
        QStringList names;
        for (const QString &table : cycle)
            names << QStringLiteral("«%1»").arg(table);
        lines << QStringLiteral("Таблицы %1 ссылаются друг на друга по кругу: нет порядка, в котором скрипт не нарушит их внешние ключи.")
                     .arg(names.join(QStringLiteral(", ")));
    }
    if (lines.isEmpty())
        return QString();
    lines << QStringLiteral("Скрипт может отключить проверку ограничений этих таблиц на время работы (NOCHECK CONSTRAINT ALL) "
                            "и включить её с проверкой строк после (WITH CHECK CHECK CONSTRAINT ALL).");
    return lines.join(QLatin1Char('\n'));
}

TTableOrder OrderTables(const QStringList &Tables, const std::vector<TForeignKey> &Keys)
{
    const int n = int(Tables.size());
    QHash<QString, int> position;
    for (int i = 0; i < n; ++i)
        if (!position.contains(Tables[i].toCaseFolded()))
            position.insert(Tables[i].toCaseFolded(), i);
    std::vector<std::set<int>> children(static_cast<std::size_t>(n));
    for (const TForeignKey &key : Keys) {
        if (key.Disabled)
            continue;
        const auto child = position.constFind(key.Table.toCaseFolded());
        const auto parent = position.constFind(key.ReferencedTable.toCaseFolded());
        if (child == position.constEnd() || parent == position.constEnd() || *child == *parent)
            continue; // outside the set, or a table's reference to itself
        children[std::size_t(*parent)].insert(*child);
    }
    const TComponents components(children);
    const std::size_t count = components.Lists.size();
    std::vector<std::set<int>> parentsOf(count), childrenOf(count);
    for (int p = 0; p < n; ++p)
        for (int c : children[std::size_t(p)]) {
            const int cp = components.Of[std::size_t(p)], cc = components.Of[std::size_t(c)];
            if (cp != cc) {
                parentsOf[std::size_t(cc)].insert(cp);
                childrenOf[std::size_t(cp)].insert(cc);
            }
        }
    TTableOrder order;
    const auto names = [&](const std::vector<int> &sequence, QStringList &out) {
        for (int c : sequence)
            for (int t : components.Lists[std::size_t(c)])
                out << Tables[t];
    };
    names(Sequence(components, parentsOf), order.Writes);
    names(Sequence(components, childrenOf), order.Deletes);
    std::vector<std::vector<int>> rings;
    for (const auto &list : components.Lists)
        if (list.size() > 1)
            rings.push_back(list);
    std::sort(rings.begin(), rings.end());
    for (const auto &ring : rings) {
        QStringList cycle;
        for (int t : ring)
            cycle << Tables[t];
        order.Cycles.push_back(cycle);
    }
    return order;
}

QStringList DisableConstraintsStatements(const QStringList &Tables)
{
    QStringList out;
    for (const QString &table : Tables)
        out << QStringLiteral("ALTER TABLE %1 NOCHECK CONSTRAINT ALL").arg(QuoteName(table));
    return out;
}

QStringList EnableConstraintsStatements(const QStringList &Tables)
{
    QStringList out;
    for (const QString &table : Tables)
        out << QStringLiteral("ALTER TABLE %1 WITH CHECK CHECK CONSTRAINT ALL").arg(QuoteName(table));
    return out;
}

#include "ScriptRows.h"

#include "ScriptPlan.h"

std::vector<TRowField> RowFields(const TScriptPlan &Plan, const TRowSet &Rows, QString &Missing)
{
    std::vector<TRowField> fields;
    for (const TCarriedColumn &carried : Plan.Carried) {
        const int field = RowFieldIndex(Rows, carried.Column->Name);
        if (field < 0) {
            Missing = carried.Column->Name;
            break;
        }
        fields.push_back({&carried, field});
    }
    return fields;
}

qint64 PlanListChars(const TScriptPlan &Plan)
{
    qint64 chars = 0;
    for (const QStringList *list : {&Plan.ColumnList, &Plan.VariableList, &Plan.SetList, &Plan.Declarations})
        for (const QString &item : *list)
            chars += item.size() * 2 + 4;
    return chars;
}

TScriptRows::TScriptRows(TScriptLineSink &Sink, const TScriptBuildControl &Control, qint64 BatchRows)
    : m_sink(Sink),
      m_control(Control),
      m_shape(BatchRows == 0 ? rsOneBatch : BatchRows > 0 ? rsBatched : rsUndecided),
      m_batchRows(BatchRows > 0 ? BatchRows : DefaultBatchRows)
{
    // Written for every row while another thread may read the rows ahead:
    // buffers of their own size keep them off the cache lines of small
    // objects that thread writes (a row set's current row).
    m_line.reserve(1 << 14);
    m_scratch.reserve(1 << 12);
}

QByteArray TScriptRows::InsertHead(const TRowHolder &Holder) const
{
    return QStringLiteral("INSERT INTO %1(%2) \r\n  VALUES(").arg(Source(Holder), Holder.Columns).toUtf8();
}

void TScriptRows::Add(const QString &Item)
{
    const qint64 size = Item.size() + 2;
    m_scriptChars += size;
    m_batchChars += size;
    m_sink.AddLine(Item);
}

void TScriptRows::addUtf8(QByteArrayView Item, qint64 Units)
{
    m_scriptChars += Units + 2;
    m_batchChars += Units + 2;
    m_sink.AddUtf8Line(Item);
}

void TScriptRows::EndBatch()
{
    Add(QStringLiteral("GO"));
    Add(QString());
    m_batchChars = 0;
    m_rowsInBatch = 0;
}

void TScriptRows::BatchIfPast(qint64 LeastChars)
{
    if (m_shape == rsUndecided && LeastChars + m_scriptChars > m_control.AutomaticBatchChars)
        decideBatched();
}

void TScriptRows::startRows(TRowHolder &Holder)
{
    if (m_shape != rsUndecided && OpenRows)
        OpenRows(Holder);
    m_head = InsertHead(Holder);
    m_headUnits = Utf16Size(m_head);
}

// Builds the row's INSERT after the head, in the reused line, and places it.
void TScriptRows::writeRow(TRowHolder &Holder, const TRowSet &Rows, const std::vector<TRowField> &Fields,
                           const QString &Collation)
{
    m_line.resize(0);
    m_line += m_head;
    bool first = true;
    for (const TRowField &f : Fields) {
        if (!first)
            m_line += ", ";
        first = false;
        AppendFieldLiteral(m_line, Rows, f.Field, *f.Carried->Column, Collation, m_scratch);
    }
    m_line += ");";
    ++Holder.Rows;
    const bool undecided = m_shape == rsUndecided;
    place(Holder, m_line, m_head.size(), m_headUnits);
    // Batched on the way: the next rows go into the temporary table.
    if (undecided && m_shape == rsBatched) {
        m_head = InsertHead(Holder);
        m_headUnits = Utf16Size(m_head);
    }
}

// Writes the INSERT Line: the head (HeadSize bytes, HeadUnits
// characters) and the text after "VALUES(", in UTF-8. A batched script ends
// the batch first when it holds its rows or the row's text would take it
// past the size a batch may have; an undecided one holds the values back.
void TScriptRows::place(TRowHolder &Holder, QByteArrayView Line, qsizetype HeadSize, qint64 HeadUnits)
{
    if (m_shape == rsOneBatch) {
        m_sink.AddUtf8Line(Line);
        m_sink.AddUtf8Line(QByteArrayView());
        return;
    }
    const qint64 units = HeadUnits + Utf16Size(Line.sliced(HeadSize));
    if (m_shape == rsUndecided) {
        m_scriptChars += units + 4;
        Holder.HeldBack.append(Line.sliced(HeadSize).toByteArray());
        if (m_scriptChars + FooterChars > m_control.AutomaticBatchChars)
            decideBatched();
        return;
    }
    if (m_rowsInBatch > 0 && (m_rowsInBatch >= m_batchRows || m_batchChars + units + 4 > m_control.BatchChars))
        EndBatch();
    addUtf8(Line, units);
    addUtf8(QByteArrayView(), 0);
    ++m_rowsInBatch;
}

// Too long for one batch: the rows held back (of every table so far) go out
// as the first batches.
void TScriptRows::decideBatched()
{
    m_shape = rsBatched;
    m_batchRows = DefaultBatchRows;
    if (Declare)
        Declare();
    // Its own line: the row being placed may be in m_line.
    QByteArray line;
    for (TRowHolder &holder : Holders) {
        QList<QByteArray> held;
        held.swap(holder.HeldBack);
        if (held.isEmpty())
            continue;
        if (OpenRows)
            OpenRows(holder);
        const QByteArray head = InsertHead(holder);
        const qint64 headUnits = Utf16Size(head);
        for (const QByteArray &values : std::as_const(held)) {
            line.resize(0);
            line += head;
            line += values;
            place(holder, line, head.size(), headUnits);
        }
    }
}

void TScriptRows::KeepOneBatch()
{
    if (m_shape != rsUndecided)
        return;
    m_shape = rsOneBatch;
    if (Declare)
        Declare();
    for (TRowHolder &holder : Holders) {
        if (OpenRows)
            OpenRows(holder);
        const QByteArray head = InsertHead(holder);
        for (const QByteArray &values : std::as_const(holder.HeldBack)) {
            m_line.resize(0);
            m_line += head;
            m_line += values;
            place(holder, m_line, head.size(), 0);
        }
        holder.HeldBack.clear();
    }
}

void TScriptRows::EndRows()
{
    if (m_shape == rsBatched && m_rowsInBatch > 0)
        EndBatch();
}

void TScriptRows::AddRowCountGuard(const TRowHolder &Holder)
{
    for (const QString &item : RowCountGuard(Source(Holder), Holder.Rows, Holder.Table))
        Add(item);
}

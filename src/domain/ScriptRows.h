#pragma once

// The rows part of a data script, for one table or several: each table's
// rows go as INSERTs into the table that holds them, a table variable in a
// script of one batch or a temporary table filled in GO-separated batches.
// A batch ends before it passes the rows or the characters it may have. An
// automatic script holds its rows back (at most the automatic size) until
// it knows whether it stays one batch.
//
// The builder writes the lines around the rows through Add, so that the
// sizes count them, and says through two hooks what is its own: the
// declarations of the holding tables and what opens a table's rows.

#include "Domain.h"
#include "RowSet.h"
#include "ScriptBuilder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class TScriptPlan;
struct TCarriedColumn;

// How the rows travel.
enum TRowsShape : unsigned char {
    rsOneBatch,  // into table variables, the whole script one batch
    rsBatched,   // into temporary tables, batch by batch
    rsUndecided, // automatic, rows held back until the size decides
};

// A carried column and the row set's field that holds its values.
struct TRowField
{
    const TCarriedColumn *Carried = nullptr;
    int Field = -1;
};

// The fields of Plan's carried columns in Rows (by RowFieldIndex). When a
// column has none, Missing gets its name and the list is incomplete.
[[nodiscard]] std::vector<TRowField> RowFields(const TScriptPlan &Plan, const TRowSet &Rows, QString &Missing);

// What the statements on a plan's column lists take at most: a part of the
// size estimate of what follows the rows.
[[nodiscard]] qint64 PlanListChars(const TScriptPlan &Plan);

// One table's rows in the script: the tables that may hold them and the
// rows written so far. Rows changes with every row: a cache line of its own
// keeps a thread that reads rows ahead from fighting over it.
struct alignas(64) TRowHolder
{
    QString Table;     // the table's name
    QString Variable;  // the table variable of a script of one batch
    QString Temporary; // the temporary table of a batched script
    QString Columns;   // the holder's columns of each INSERT, joined
    qint64 Rows = 0;   // rows whose INSERT is in the script or held back
    QList<QByteArray> HeldBack{}; // an undecided script's INSERTs' values, UTF-8
};

class TScriptRows
{
public:
    // BatchRows as the settings give it: 0, a count, BatchRowsAutomatic.
    TScriptRows(TScriptLineSink &Sink, const TScriptBuildControl &Control, qint64 BatchRows);
    TScriptRows(const TScriptRows &) = delete;
    TScriptRows &operator=(const TScriptRows &) = delete;

    // The tables' holders, in the order their rows are written; filled
    // before the rows.
    std::vector<TRowHolder> Holders;
    // Writes the holders' declarations for the shape; a batched script's
    // first batch ends there (EndBatch). The builder calls it after its
    // header when the shape is set from the start; an automatic script calls
    // it here once the size decides.
    std::function<void()> Declare;
    // Writes what opens a table's rows: when its rows start and the shape is
    // known, else when the rows held back go out (in a batched script only
    // for a table that has some). May be empty.
    std::function<void(const TRowHolder &)> OpenRows;
    // An upper bound of the characters after the rows; an automatic script
    // whose rows and this pass AutomaticBatchChars is batched.
    qint64 FooterChars = 0;

    [[nodiscard]] TRowsShape Shape() const { return m_shape; }
    [[nodiscard]] qint64 BatchRows() const { return m_batchRows; }
    // Where a table's rows go: its temporary table once batched, else its
    // table variable.
    [[nodiscard]] const QString &Source(const TRowHolder &Holder) const
    {
        return m_shape == rsBatched ? Holder.Temporary : Holder.Variable;
    }
    [[nodiscard]] QByteArray InsertHead(const TRowHolder &Holder) const;

    // One item of the script, counted into the sizes.
    void Add(const QString &Item);
    void EndBatch();
    // An automatic script that, with LeastChars more, passes the automatic
    // size is batched at once, before anything is held back.
    void BatchIfPast(qint64 LeastChars);
    // Writes Rows' rows (from the current one on) into Holder, one INSERT
    // each, and calls Report(K) after moving past row K (from 0). False when
    // StopRequested said so after a row.
    template <typename Report>
    bool Write(TRowHolder &Holder, TRowSet &Rows, const std::vector<TRowField> &Fields, const QString &Collation,
               Report &&Reported);
    // After every table's rows: an automatic script still undecided is one
    // batch, and the rows held back go out.
    void KeepOneBatch();
    // A batched script ends its last batch of rows.
    void EndRows();
    // The check that the holder got all its rows (RowCountGuard).
    void AddRowCountGuard(const TRowHolder &Holder);
    [[nodiscard]] bool StopRequested() const { return m_control.StopRequested && m_control.StopRequested(); }

private:
    void startRows(TRowHolder &Holder);
    void writeRow(TRowHolder &Holder, const TRowSet &Rows, const std::vector<TRowField> &Fields,
                  const QString &Collation);
    void place(TRowHolder &Holder, QByteArrayView Line, qsizetype HeadSize, qint64 HeadUnits);
    void addUtf8(QByteArrayView Item, qint64 Units);
    void decideBatched();

    TScriptLineSink &m_sink;
    const TScriptBuildControl &m_control;
    TRowsShape m_shape;
    qint64 m_batchRows;
    // Characters of the script so far (an undecided script counts what it
    // holds back too), and of the current batch of a batched one.
    qint64 m_scriptChars = 0;
    qint64 m_batchChars = 0;
    qint64 m_rowsInBatch = 0;
    // The INSERT's head of the rows being written, the row's line built
    // after it and the buffer of a field's text, all reused.
    QByteArray m_head;
    qint64 m_headUnits = 0;
    QByteArray m_line;
    QByteArray m_scratch;
};

template <typename Report>
bool TScriptRows::Write(TRowHolder &Holder, TRowSet &Rows, const std::vector<TRowField> &Fields,
                        const QString &Collation, Report &&Reported)
{
    startRows(Holder);
    for (qint64 k = 0; !Rows.Eof(); ++k) {
        writeRow(Holder, Rows, Fields, Collation);
        Rows.Next();
        Reported(k);
        if (StopRequested())
            return false;
    }
    return true;
}

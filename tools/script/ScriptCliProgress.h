#pragma once

// Progress of quorvane-script on standard error: a bar redrawn in place on a
// terminal, a line per tenth of the rows when asked to be verbose otherwise.

#include "RowSet.h"

#include <QElapsedTimer>

#include <cstdio>
#include <functional>

// Passes a row set through (every path of it: the UTF-8 texts, a variant's
// base type, a cancel) and calls OnRow after every move to the next
// row, with the number of rows passed so far.
class TCountingRowSet final : public TForwardingRowSet
{
public:
    explicit TCountingRowSet(TRowSet &Rows) : TForwardingRowSet(Rows) {}

    std::function<void(qint64 Rows)> OnRow;

    void Next() override
    {
        Rows().Next();
        ++m_count;
        if (OnRow)
            OnRow(m_count);
    }

    [[nodiscard]] qint64 Count() const { return m_count; }

private:
    qint64 m_count = 0;
};

class TProgressDisplay
{
public:
    enum TMode { pmQuiet, pmBar, pmLines };

    TProgressDisplay(TMode Mode, std::FILE *Out) : m_mode(Mode), m_out(Out) {}

    void Start(qint64 TotalRows);
    void Update(qint64 Rows);
    // Draws the last state and ends the bar's line.
    void Finish(qint64 Rows);

    // "12:05", "1:02:03"; "--:--" for an unknown time.
    [[nodiscard]] static QString FormatDuration(double Seconds);
    // The bar's text for a state, without the leading carriage return.
    [[nodiscard]] static QString BarText(qint64 Rows, qint64 Total, double ElapsedSeconds);

private:
    void Draw(qint64 Rows);

    TMode m_mode;
    std::FILE *m_out;
    qint64 m_total = 0;
    QElapsedTimer m_clock;
    qint64 m_lastDrawMs = -1;
    int m_lastTenth = -1;
    qint64 m_lastRows = -1;
};

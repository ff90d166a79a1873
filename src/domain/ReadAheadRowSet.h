#pragma once

// Reads another row set ahead on a thread of its own, so that reading rows
// (a server's answer, a file) and writing the script overlap on two cores.
//
// The reader copies each row's values into blocks: a value's text form in
// UTF-8 (the source's AppendUtf8, else its AsString), whether it is NULL,
// and a sql_variant's base type. At most a few blocks wait at a time, each
// of at most BlockRows rows or about BlockBytes bytes of text (a longer
// value makes a block of its own), so memory stays flat whatever the size
// of the table. The reader's thread is the only one that touches the source
// once it is made; RecordCount, FieldCount and the field names are read
// before it starts.
//
// Errors keep their place: the rows read before a failure come first, then
// Next (or Eof, when nothing has been read yet) throws what the source
// threw. Cancel reaches the source at once (its read then fails) and stops
// the reader; the rows read so far are still served, and the end of them
// is reported as a failure, never as the end of the table.
//
// Thread rules as for every row set: one thread reads it (not necessarily
// the one that made it); Cancel may come from any thread.

#include "RowSet.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TReadAheadRowSet final : public TRowSet
{
public:
    static constexpr int BlockRows = 1024;
    static constexpr qsizetype BlockBytes = 1 << 20;
    static constexpr int WaitingBlocks = 3;

    // Starts reading Source (which stands on its first row) at once.
    explicit TReadAheadRowSet(std::unique_ptr<TRowSet> Source);
    ~TReadAheadRowSet() override;
    TReadAheadRowSet(const TReadAheadRowSet &) = delete;
    TReadAheadRowSet &operator=(const TReadAheadRowSet &) = delete;

    qint64 RecordCount() override { return m_recordCount; }
    [[nodiscard]] bool Eof() const override;
    void Next() override;

    [[nodiscard]] int FieldCount() const override { return int(m_fieldNames.size()); }
    [[nodiscard]] QString FieldName(int index) const override;
    [[nodiscard]] bool IsNull(int index) const override;
    [[nodiscard]] QString AsString(int index) const override;
    [[nodiscard]] qint64 AsInteger(int index) const override;
    [[nodiscard]] TVariantBase VariantBase(int index) const override;
    bool AppendUtf8(int index, QByteArray &out) const override;
    bool Utf8View(int index, QByteArrayView &text) const override;
    void Cancel() noexcept override;

private:
    // A value's place in its block's text; 8 bytes, for they cross from
    // one core to the other with the text.
    struct Cell
    {
        static constexpr quint32 Null = 0xFFFFFFFFu;
        quint32 begin = 0;
        quint32 size = Null;
    };
    struct alignas(64) Block
    {
        QByteArray text;
        std::vector<Cell> cells; // a row's fields one after another
        // The base types of the sql_variant values, by cell, ascending.
        std::vector<std::pair<size_t, TVariantBase>> variants;
        int rows = 0;
        void clear()
        {
            text.resize(0);
            cells.clear();
            variants.clear();
            rows = 0;
        }
    };

    void read() noexcept;
    void readRows(Block &block);
    // Makes the current row one that has been read, waiting for the reader
    // when it has to; false at the end. Throws the reader's failure once
    // the rows before it are all served.
    bool arrive() const;
    [[nodiscard]] const Cell &cell(int index) const
    {
        // Mostly the current row is in hand; else it is waited for.
        if (m_current && m_row < m_current->rows && unsigned(index) < m_fieldNames.size())
            return m_current->cells[size_t(m_row) * m_fieldNames.size() + size_t(index)];
        return arrivedCell(index);
    }
    [[nodiscard]] const Cell &arrivedCell(int index) const;

    std::unique_ptr<TRowSet> m_source;
    qint64 m_recordCount = 0;
    std::vector<QString> m_fieldNames;

    // Shared with the reader, under m_mutex; on cache lines of their own,
    // away from what either side writes for every row.
    alignas(64) mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable std::deque<std::unique_ptr<Block>> m_ready;
    mutable std::vector<std::unique_ptr<Block>> m_spare;
    bool m_finished = false; // the reader is done: the table's end or m_failure
    std::exception_ptr m_failure;
    // The reader is to stop (cancelled or destroyed); set under m_mutex,
    // read by the reader between rows without it.
    std::atomic<bool> m_stop = false;

    // The reading side's own.
    alignas(64) mutable std::unique_ptr<Block> m_current;
    mutable int m_row = 0;
    mutable bool m_eof = false;

    alignas(64) std::thread m_reader;
};

#include "ReadAheadRowSet.h"

#include "QuorvaneException.h"

#include <algorithm>

TReadAheadRowSet::TReadAheadRowSet(std::unique_ptr<TRowSet> Source) : m_source(std::move(Source))
{
    m_recordCount = m_source->RecordCount();
    const int fields = m_source->FieldCount();
    m_fieldNames.reserve(size_t(fields));
    for (int i = 0; i < fields; ++i)
        m_fieldNames.push_back(m_source->FieldName(i));
    m_reader = std::thread([this] { read(); });
}

TReadAheadRowSet::~TReadAheadRowSet()
{
    bool reading;
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        reading = !m_finished;
    }
    m_changed.notify_all();
    // A reader still in a read of the source's is called back from it.
    if (reading)
        m_source->Cancel();
    m_reader.join();
}

void TReadAheadRowSet::Cancel() noexcept
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_source->Cancel();
}

void TReadAheadRowSet::read() noexcept
{
    for (;;) {
        std::unique_ptr<Block> block;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || int(m_ready.size()) < WaitingBlocks; });
            if (m_stop)
                break;
            if (!m_spare.empty()) {
                block = std::move(m_spare.back());
                m_spare.pop_back();
            }
        }
        if (!block)
            block = std::make_unique<Block>();
        block->clear();
        std::exception_ptr failure;
        try {
            readRows(*block);
        } catch (...) {
            failure = std::current_exception();
        }
        bool end = failure || m_source->Eof();
        {
            const std::lock_guard lock(m_mutex);
            if (block->rows > 0)
                m_ready.push_back(std::move(block));
            if (end) {
                m_failure = failure;
                m_finished = true;
            }
        }
        m_changed.notify_all();
        if (end)
            return;
    }
    // Stopped before the table's end: whoever still reads must not take
    // what was read for all of it.
    {
        const std::lock_guard lock(m_mutex);
        if (!m_failure)
            m_failure = std::make_exception_ptr(EQuorvaneException(QStringLiteral("Чтение строк прервано.")));
        m_finished = true;
    }
    m_changed.notify_all();
}

void TReadAheadRowSet::readRows(Block &block)
{
    const int fields = FieldCount();
    while (block.rows < BlockRows && block.text.size() < BlockBytes && !m_source->Eof()) {
        for (int i = 0; i < fields; ++i) {
            Cell cell;
            if (!m_source->IsNull(i)) {
                const qsizetype begin = block.text.size();
                TVariantBase base = m_source->VariantBase(i);
                if (!base.BaseType.isEmpty()) {
                    block.variants.emplace_back(block.cells.size(), std::move(base));
                    block.text += m_source->AsString(i).toUtf8();
                } else if (QByteArrayView view; m_source->Utf8View(i, view)) {
                    block.text += view;
                } else if (!m_source->AppendUtf8(i, block.text)) {
                    block.text += m_source->AsString(i).toUtf8();
                }
                // A block ends after its first megabyte: only a row of
                // values longer than any a server sends in one piece gets
                // here (and no server could run its INSERT).
                if (block.text.size() >= qsizetype(Cell::Null))
                    throw EQuorvaneException(
                        QStringLiteral("Значения одной строки занимают больше 4 ГБ: такую строку в скрипт записать нельзя."));
                cell.begin = quint32(begin);
                cell.size = quint32(block.text.size() - begin);
            }
            block.cells.push_back(cell);
        }
        ++block.rows;
        m_source->Next();
        // A stop asked for meanwhile ends the block; the reader then stops.
        if (m_stop.load(std::memory_order_relaxed))
            break;
    }
}

bool TReadAheadRowSet::arrive() const
{
    if (m_eof)
        return false;
    if (m_current && m_row < m_current->rows)
        return true;
    std::unique_lock lock(m_mutex);
    if (m_current) {
        m_spare.push_back(std::move(m_current));
        m_changed.notify_all();
    }
    m_changed.wait(lock, [this] { return !m_ready.empty() || m_finished; });
    m_row = 0;
    if (!m_ready.empty()) {
        m_current = std::move(m_ready.front());
        m_ready.pop_front();
        lock.unlock();
        m_changed.notify_all();
        return true;
    }
    if (m_failure)
        std::rethrow_exception(m_failure);
    m_eof = true;
    return false;
}

bool TReadAheadRowSet::Eof() const
{
    return !arrive();
}

void TReadAheadRowSet::Next()
{
    if (!arrive())
        return;
    ++m_row;
    arrive();
}

const TReadAheadRowSet::Cell &TReadAheadRowSet::arrivedCell(int index) const
{
    if (index < 0 || index >= FieldCount())
        throw EQuorvaneException(QStringLiteral("Нет поля с номером %1.").arg(index));
    if (!arrive())
        throw EQuorvaneException(QStringLiteral("Строки кончились: поле %1 прочитать нельзя.").arg(index));
    return m_current->cells[size_t(m_row) * m_fieldNames.size() + size_t(index)];
}

QString TReadAheadRowSet::FieldName(int index) const
{
    if (index < 0 || index >= FieldCount())
        throw EQuorvaneException(QStringLiteral("Нет поля с номером %1.").arg(index));
    return m_fieldNames[size_t(index)];
}

bool TReadAheadRowSet::IsNull(int index) const
{
    return cell(index).size == Cell::Null;
}

bool TReadAheadRowSet::Utf8View(int index, QByteArrayView &text) const
{
    const Cell &c = cell(index);
    text = c.size == Cell::Null ? QByteArrayView()
                                : QByteArrayView(m_current->text.constData() + c.begin, qsizetype(c.size));
    return true;
}

bool TReadAheadRowSet::AppendUtf8(int index, QByteArray &out) const
{
    QByteArrayView text;
    Utf8View(index, text);
    out += text;
    return true;
}

QString TReadAheadRowSet::AsString(int index) const
{
    QByteArrayView text;
    Utf8View(index, text);
    return QString::fromUtf8(text);
}

qint64 TReadAheadRowSet::AsInteger(int index) const
{
    QByteArrayView text;
    Utf8View(index, text);
    return text.toLongLong();
}

TVariantBase TReadAheadRowSet::VariantBase(int index) const
{
    const Cell &c = cell(index);
    const auto &variants = m_current->variants;
    const size_t at = size_t(&c - m_current->cells.data());
    const auto found = std::lower_bound(variants.begin(), variants.end(), at,
                                        [](const auto &variant, size_t cellAt) { return variant.first < cellAt; });
    return found != variants.end() && found->first == at ? found->second : TVariantBase();
}

// The read-ahead row set: every value of every row arrives as the source
// gave it, across block edges and past long values; a failure keeps its
// place after the rows read before it; a cancel never looks like the end of
// the table; destroying it mid-read neither hangs nor leaks.

#include "MemoryRowSet.h"
#include "ReadAheadRowSet.h"
#include "ScriptFixture.h"

#include <QtTest>

#include <condition_variable>
#include <mutex>

namespace {

constexpr int Block = TReadAheadRowSet::BlockRows;

// Rows 0..N-1 of (Id, Title, Note, Kind): Note is NULL on every third row,
// Title holds non-Latin text and quotes, Kind is a variant on even rows.
// LongEvery > 0 puts a value longer than a block's bytes on every such row.
struct TRowsWanted
{
    int rows = 0;
    int longEvery = 0;
};

std::unique_ptr<TMemoryRowSet> makeRows(const TRowsWanted &wanted)
{
    QList<QList<QVariant>> rows;
    QList<TVariantBase> bases;
    for (int i = 0; i < wanted.rows; ++i) {
        QString title = QStringLiteral("Строка '%1' №%1").arg(i);
        if (wanted.longEvery > 0 && i % wanted.longEvery == 0)
            title += QString(int(TReadAheadRowSet::BlockBytes) + 17, QChar(u'ж'));
        rows.append({QString::number(i), title, i % 3 == 0 ? QVariant() : QVariant(QStringLiteral("note %1").arg(i)),
                     QString::number(i * 7)});
        TVariantBase base;
        if (i % 2 == 0) {
            base.BaseType = QStringLiteral("int");
            base.MaxLength = 4;
        }
        bases.append(base);
    }
    auto set = std::make_unique<TMemoryRowSet>(
        QStringList{QStringLiteral("Id"), QStringLiteral("Title"), QStringLiteral("Note"), QStringLiteral("Kind")},
        rows);
    set->VariantBases.insert(3, bases);
    return set;
}

// A source whose row number Ready never comes until Cancel is called; the
// read then fails as a cancelled driver call does. WaitForHang returns once
// a reader waits in that read.
class THangingRows final : public TRowSet
{
public:
    explicit THangingRows(int Ready) : m_ready(Ready) {}

    qint64 RecordCount() override { return 1000000; }
    [[nodiscard]] bool Eof() const override { return false; }
    void Next() override
    {
        if (++m_pos < m_ready)
            return;
        std::unique_lock lock(m_mutex);
        m_hanging = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_cancel; });
        throw std::runtime_error("cancelled by the user");
    }
    [[nodiscard]] int FieldCount() const override { return 1; }
    [[nodiscard]] QString FieldName(int) const override { return QStringLiteral("Id"); }
    [[nodiscard]] bool IsNull(int) const override { return false; }
    [[nodiscard]] QString AsString(int) const override { return QString::number(m_pos); }
    [[nodiscard]] qint64 AsInteger(int) const override { return m_pos; }
    void Cancel() noexcept override
    {
        {
            const std::lock_guard lock(m_mutex);
            m_cancel = true;
        }
        m_changed.notify_all();
    }
    void WaitForHang()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_hanging; });
    }

private:
    int m_ready;
    int m_pos = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_hanging = false;
    bool m_cancel = false;
};

QString readFailure(TRowSet &rows, int *read)
{
    *read = 0;
    try {
        while (!rows.Eof()) {
            (void)rows.AsString(0);
            ++*read;
            rows.Next();
        }
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

} // namespace

class TestReadAheadRowSet : public QObject
{
    Q_OBJECT

private slots:
    void passesEveryValue_data();
    void passesEveryValue();
    void failureKeepsItsPlace_data();
    void failureKeepsItsPlace();
    void cancelIsNeverTheEnd();
    void cancelReachesAHangingRead();
    void destroyedMidRead_data();
    void destroyedMidRead();
    void scriptIsTheSame();
};

void TestReadAheadRowSet::passesEveryValue_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("longEvery");
    QTest::newRow("no rows") << 0 << 0;
    QTest::newRow("one row") << 1 << 0;
    QTest::newRow("a block") << Block << 0;
    QTest::newRow("a block and a row") << Block + 1 << 0;
    QTest::newRow("more blocks than may wait") << Block * (TReadAheadRowSet::WaitingBlocks + 3) + 5 << 0;
    QTest::newRow("long values") << 9 << 4;
    QTest::newRow("a long first value") << 2 << 1;
}

void TestReadAheadRowSet::passesEveryValue()
{
    QFETCH(int, rows);
    QFETCH(int, longEvery);
    const std::unique_ptr<TMemoryRowSet> expected = makeRows({rows, longEvery});
    TReadAheadRowSet ahead(makeRows({rows, longEvery}));

    QCOMPARE(ahead.RecordCount(), qint64(rows));
    QCOMPARE(ahead.FieldCount(), 4);
    for (int f = 0; f < 4; ++f)
        QCOMPARE(ahead.FieldName(f), expected->FieldName(f));
    int row = 0;
    for (; !ahead.Eof(); ++row) {
        QVERIFY(row < rows);
        for (int f = 0; f < 4; ++f) {
            QCOMPARE(ahead.IsNull(f), expected->IsNull(f));
            if (expected->IsNull(f))
                continue;
            const QByteArray text = expected->AsString(f).toUtf8();
            QCOMPARE(ahead.AsString(f), expected->AsString(f));
            QByteArrayView view;
            QVERIFY(ahead.Utf8View(f, view));
            QCOMPARE(view.toByteArray(), text);
            QByteArray appended("x");
            QVERIFY(ahead.AppendUtf8(f, appended));
            QCOMPARE(appended, "x" + text);
            QCOMPARE(ahead.VariantBase(f).BaseType, expected->VariantBase(f).BaseType);
            QCOMPARE(ahead.VariantBase(f).MaxLength, expected->VariantBase(f).MaxLength);
        }
        QCOMPARE(ahead.AsInteger(0), qint64(row));
        ahead.Next();
        expected->Next();
    }
    QCOMPARE(row, rows);
    ahead.Next(); // past the end stays at the end
    QVERIFY(ahead.Eof());
}

void TestReadAheadRowSet::failureKeepsItsPlace_data()
{
    QTest::addColumn<int>("failAt");
    QTest::newRow("the second row") << 1;
    QTest::newRow("a block's last row") << Block - 1;
    QTest::newRow("the next block's first row") << Block;
    QTest::newRow("far on") << Block * 5 + 3;
}

void TestReadAheadRowSet::failureKeepsItsPlace()
{
    QFETCH(int, failAt);
    std::unique_ptr<TMemoryRowSet> source = makeRows({Block * 8, 0});
    source->FailAtRow = failAt;
    TReadAheadRowSet ahead(std::move(source));
    int read = 0;
    QCOMPARE(readFailure(ahead, &read), QStringLiteral("connection lost"));
    QCOMPARE(read, failAt);
}

void TestReadAheadRowSet::cancelIsNeverTheEnd()
{
    // The source's reads do not fail on a cancel (its Cancel does nothing):
    // the rows that were read still come, then a failure, never the end.
    TReadAheadRowSet ahead(makeRows({Block * 40, 0}));
    QVERIFY(!ahead.Eof());
    ahead.Next();
    ahead.Cancel();
    int read = 0;
    const QString failure = readFailure(ahead, &read);
    QVERIFY2(!failure.isEmpty(), "a cancelled read ended as if the table had");
    QVERIFY(read < Block * 40 - 1);
}

void TestReadAheadRowSet::cancelReachesAHangingRead()
{
    // The eleventh row never comes; the reader waits in that read with ten
    // rows in hand while this thread waits for them. A cancel from another
    // thread ends both waits: the ten rows, then the source's failure.
    auto source = std::make_unique<THangingRows>(10);
    THangingRows &hanging = *source;
    TReadAheadRowSet ahead(std::move(source));
    std::thread canceller([&] {
        hanging.WaitForHang();
        ahead.Cancel();
    });
    int read = 0;
    QString failure;
    try {
        while (!ahead.Eof()) {
            QCOMPARE(ahead.AsInteger(0), qint64(read));
            ++read;
            ahead.Next();
        }
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    canceller.join();
    QCOMPARE(read, 10);
    QCOMPARE(failure, QStringLiteral("cancelled by the user"));
}

void TestReadAheadRowSet::destroyedMidRead_data()
{
    QTest::addColumn<bool>("hanging");
    QTest::addColumn<int>("consumed");
    QTest::newRow("waiting for room") << false << 0;
    QTest::newRow("waiting for room, some read") << false << 10;
    QTest::newRow("in a read that never ends") << true << 0;
}

void TestReadAheadRowSet::destroyedMidRead()
{
    QFETCH(bool, hanging);
    QFETCH(int, consumed);
    std::unique_ptr<TRowSet> source;
    if (hanging)
        source = std::make_unique<THangingRows>(3);
    else
        source = makeRows({Block * 40, 0});
    auto ahead = std::make_unique<TReadAheadRowSet>(std::move(source));
    for (int i = 0; i < consumed; ++i)
        ahead->Next();
    ahead.reset(); // returns: the reader is stopped and joined
    QVERIFY(!ahead);
}

void TestReadAheadRowSet::scriptIsTheSame()
{
    // A batched script over a read-ahead equals the one over the rows
    // themselves, byte for byte (the time stamp is fixed).
    TGoodsFixture goods;
    QList<QList<QVariant>> rows;
    for (int i = 0; i < Block * 3 + 7; ++i)
        rows.append({QString::number(i + 1), i % 5 ? QVariant(QStringLiteral("Чай '%1'\r\nGO").arg(i)) : QVariant(),
                     QStringLiteral("%1,25").arg(i), QStringLiteral("01.03.2004 10:00:%1").arg(i % 60, 2, 10, QChar(u'0'))});
    const QStringList names{QStringLiteral("Id"), QStringLiteral("Title"), QStringLiteral("Price"),
                            QStringLiteral("Created")};
    TMemoryRowSet direct(names, rows);
    TReadAheadRowSet ahead(std::make_unique<TMemoryRowSet>(names, rows));
    const TBuildResult plain = RunBuild(*goods.table, direct, true);
    const TBuildResult through = RunBuild(*goods.table, ahead, true);
    QVERIFY(plain.outcome.Complete());
    QVERIFY(through.outcome.Complete());
    QCOMPARE(through.lines, plain.lines);
}

QTEST_GUILESS_MAIN(TestReadAheadRowSet)
#include "tst_readaheadrowset.moc"

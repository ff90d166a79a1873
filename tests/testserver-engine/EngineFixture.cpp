#include "EngineFixture.h"

#include <QTest>

namespace {

QString hex(const std::string &bytes)
{
    QString out = "0x";
    for (unsigned char c : bytes)
        out += QString::asprintf("%02X", c);
    return out;
}

QString decimalText(__int128 unscaled, int scale)
{
    const bool neg = unscaled < 0;
    unsigned __int128 u = neg ? (unsigned __int128)(-(unscaled + 1)) + 1 : (unsigned __int128)unscaled;
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(u % 10)));
        u /= 10;
    } while (u > 0);
    while (int(digits.size()) <= scale)
        digits.insert(digits.begin(), '0');
    if (scale > 0)
        digits.insert(digits.size() - std::size_t(scale), ".");
    return QString::fromStdString((neg ? "-" : "") + digits);
}

} // namespace

QString renderValue(const qts::Value &v, qts::XType type)
{
    using K = qts::Value::Kind;
    switch (v.kind) {
    case K::Null: return "NULL";
    case K::Int: return QString::number(v.i);
    case K::Float: return QString::number(v.f, 'g', 17);
    case K::Decimal: return decimalText(v.unscaled, v.scale);
    case K::DateTime: {
        const QDate d = QDate(1900, 1, 1).addDays(v.days);
        const qint64 ms = (qint64(v.ticks) * 10 + 1) / 3;
        const QTime t = QTime(0, 0).addMSecs(int(ms));
        return d.toString("yyyy-MM-dd") + " " + t.toString(type == qts::XType::SmallDateTime ? "HH:mm" : "HH:mm:ss.zzz");
    }
    case K::Text: return QString::fromUtf8(v.bytes.data(), qsizetype(v.bytes.size()));
    case K::Bytes: return hex(v.bytes);
    }
    return {};
}

void RecordingSink::beginResult(const std::vector<qts::ColumnInfo> &columns)
{
    r_.results.push_back({columns, {}});
    r_.events << "result";
}

bool RecordingSink::row(const std::vector<qts::Value> &values)
{
    if (cancelAfter_ >= 0 && rowsSeen_ >= cancelAfter_)
        return false;
    ++rowsSeen_;
    auto &rs = r_.results.back();
    QStringList parts;
    for (std::size_t i = 0; i < values.size(); ++i)
        parts << renderValue(values[i], i < rs.columns.size() ? rs.columns[i].type : qts::XType::Int);
    rs.rows << parts.join('|');
    r_.events << "row";
    return true;
}

bool RecordingSink::pause(std::chrono::milliseconds wait)
{
    r_.waits.push_back(wait.count());
    r_.events << "wait";
    return !cancelWaits;
}

void RecordingSink::statementEnd(const qts::StatementEnd &end)
{
    r_.ends.push_back(end);
    r_.events << (end.error ? QString("end:error") : end.hasCount ? "end:" + QString::number(end.rowCount) : QString("end:-"));
}

void RecordingSink::message(const qts::Message &message)
{
    r_.messages.push_back(message);
    r_.events << "msg:" + QString::number(message.number);
}

void RecordingSink::databaseChanged(const std::string &newName, const std::string &)
{
    r_.events << "use:" + QString::fromStdString(newName);
}

EngineFixture::EngineFixture(bool demo)
{
    engine_ = qts::createEngine(dir_.path().toStdString(), demo);
    session_ = engine_->openSession("sa", "");
}

Recorded EngineFixture::run(const QString &sql)
{
    Recorded r;
    RecordingSink sink(r);
    engine_->executeBatch(*session_, sql.toStdString(), sink);
    return r;
}

QStringList EngineFixture::query(const QString &sql)
{
    const Recorded r = run(sql);
    if (!r.errors().isEmpty())
        qWarning() << "unexpected errors:" << r.errors();
    return r.rows(r.results.size() ? r.results.size() - 1 : 0);
}

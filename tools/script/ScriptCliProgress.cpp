#include "ScriptCliProgress.h"

#include <cmath>

namespace {

constexpr int barWidth = 30;
constexpr qint64 redrawMs = 100;

int percentOf(qint64 rows, qint64 total)
{
    if (total <= 0)
        return 100;
    return int(qMin<qint64>(100, rows * 100 / total));
}

} // namespace

QString TProgressDisplay::FormatDuration(double Seconds)
{
    if (!std::isfinite(Seconds) || Seconds < 0)
        return QStringLiteral("--:--");
    const qint64 s = qint64(std::llround(Seconds));
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar(u'0')).arg(s % 60, 2, 10, QChar(u'0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar(u'0'));
}

QString TProgressDisplay::BarText(qint64 Rows, qint64 Total, double ElapsedSeconds)
{
    const int percent = percentOf(Rows, Total);
    const int filled = percent * barWidth / 100;
    const double rate = ElapsedSeconds > 0 ? double(Rows) / ElapsedSeconds : 0;
    const double left = Rows >= Total ? 0 : (rate > 0 ? double(Total - Rows) / rate : -1);
    return QStringLiteral("[%1%2] %3% %4/%5 rows %6 rows/s %7 left")
        .arg(QString(filled, u'#'), QString(barWidth - filled, u'.'))
        .arg(percent, 3)
        .arg(Rows)
        .arg(Total)
        .arg(qint64(std::llround(rate)))
        .arg(FormatDuration(left));
}

void TProgressDisplay::Start(qint64 TotalRows)
{
    m_total = TotalRows;
    m_clock.start();
    m_lastDrawMs = -1;
    m_lastTenth = -1;
    m_lastRows = -1;
    if (m_mode != pmQuiet)
        Draw(0);
}

void TProgressDisplay::Update(qint64 Rows)
{
    if (m_mode == pmBar) {
        // Reading the clock costs next to nothing beside a row's formatting.
        const qint64 now = m_clock.elapsed();
        if (now - m_lastDrawMs >= redrawMs)
            Draw(Rows);
    } else if (m_mode == pmLines) {
        if (percentOf(Rows, m_total) / 10 != m_lastTenth)
            Draw(Rows);
    }
}

void TProgressDisplay::Finish(qint64 Rows)
{
    if (m_mode == pmQuiet)
        return;
    // The lines already end with this state when the last row drew it.
    if (m_mode == pmBar || Rows != m_lastRows)
        Draw(Rows);
    if (m_mode == pmBar)
        std::fputc('\n', m_out);
    std::fflush(m_out);
}

void TProgressDisplay::Draw(qint64 Rows)
{
    m_lastDrawMs = m_clock.elapsed();
    m_lastRows = Rows;
    m_lastTenth = percentOf(Rows, m_total) / 10;
    const QByteArray text = BarText(Rows, m_total, double(m_lastDrawMs) / 1000.0).toUtf8();
    if (m_mode == pmBar)
        std::fprintf(m_out, "\r%s\x1b[K", text.constData());
    else
        std::fprintf(m_out, "%s\n", text.constData());
    std::fflush(m_out);
}

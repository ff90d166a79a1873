#include "TestServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <signal.h>

TestServer::TestServer(QStringList extraArgs)
    : m_extraArgs(std::move(extraArgs))
{
}

TestServer::~TestServer()
{
    stop();
}

bool TestServer::start(int timeoutMs)
{
    const QString binary = qEnvironmentVariable("QUORVANE_TESTSERVER");
    if (binary.isEmpty()) {
        m_error = QStringLiteral("QUORVANE_TESTSERVER is not set");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setReadChannel(QProcess::StandardOutput);
    QStringList args{QStringLiteral("--port"), QStringLiteral("0"),
                     QStringLiteral("--data"), m_dataDir.path(),
                     QStringLiteral("--login"),
                     QStringLiteral("%1:%2").arg(QLatin1String(login), QLatin1String(password))};
    args += m_extraArgs;
    m_process->start(binary, args);
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(binary, m_process->errorString());
        return false;
    }
    static const QRegularExpression listening(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)"));
    QDeadlineTimer deadline(timeoutMs);
    QByteArray pending;
    while (!deadline.hasExpired()) {
        if (!m_process->canReadLine() && !m_process->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            if (m_process->state() != QProcess::Running)
                break;
        while (m_process->canReadLine()) {
            const QString line = QString::fromUtf8(m_process->readLine()).trimmed();
            const auto match = listening.match(line);
            if (match.hasMatch()) {
                m_port = match.captured(1).toInt();
                return true;
            }
        }
    }
    m_error = QStringLiteral("test server did not report listening: %1")
                  .arg(QString::fromLocal8Bit(m_process->readAllStandardError()));
    return false;
}

void TestServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(10000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

bool TestServer::suspend()
{
    const qint64 pid = m_process ? m_process->processId() : 0;
    if (pid <= 0 || ::kill(pid_t(pid), SIGSTOP) != 0)
        return false;
    // The signal takes effect a little after kill() returns; until then a
    // quick query may still be answered.
    return QTest::qWaitFor(
        [pid] {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                return false;
            const QByteArray line = stat.readAll();
            const qsizetype close = line.lastIndexOf(')');
            return close > 0 && close + 2 < line.size() && line.at(close + 2) == 'T';
        },
        5000);
}

void TestServer::resume()
{
    if (m_process && m_process->processId() > 0)
        ::kill(pid_t(m_process->processId()), SIGCONT);
}

QString TestServer::dataSource() const
{
    return QStringLiteral("127.0.0.1,%1").arg(m_port);
}

#pragma once

// Running FreeTDS's and unixODBC's command-line clients against the test
// server: a tool with its input, the FreeTDS ODBC connection string, isql
// over it, and the statements of a .sql file as isql wants them.

#include "TestServer.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct Run {
    int exitCode = -1;
    QString out;
};

inline Run runTool(const QString &program, const QStringList &args, const QByteArray &input,
                   const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAll());
    return r;
}

inline QString connectionString(int port, const char *password, const char *tdsVersion)
{
    return QStringLiteral("DRIVER=FreeTDS;SERVER=127.0.0.1;PORT=%1;UID=sa;PWD=%2;TDS_Version=%3;ClientCharset=UTF-8")
        .arg(port).arg(QLatin1String(password), QLatin1String(tdsVersion));
}

// isql runs one statement per line: statements in the file start at column 0,
// their continuation lines with a blank.
inline QByteArray statementsOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().replace("\n ", " ");
}

// isql with SQLExecDirect, tab-separated, character columns quoted; values
// shown whole (up to 100 MB).
inline Run isql(int port, const QByteArray &statements, const char *password = TestServer::password, const char *tds = "7.4")
{
    return runTool(QStringLiteral("isql"),
                   {QStringLiteral("-b"), QStringLiteral("-e"), QStringLiteral("-k"), QStringLiteral("-q"),
                    QStringLiteral("-v"), QStringLiteral("-x0x09"), QStringLiteral("-L100000000"),
                    connectionString(port, password, tds)},
                   statements);
}

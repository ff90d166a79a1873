#pragma once

// The servers defined in the FreeTDS configuration, read from the same files
// FreeTDS reads, in its order: the file named by FREETDSCONF, then
// ~/.freetds.conf, then the system file. A name defined in an earlier file
// hides the same name (ignoring case) in a later one.

#include <QList>
#include <QString>
#include <QStringList>

struct TFreeTdsEntry
{
    QString Name;       // the section name as written
    QString Host;
    int Port = 0;       // the section's port, else the file's [global] port; 0 when neither
    QString Instance;

    // "host:port"; "host\instance" for an instance without a port; the
    // default port 1433 when neither is given.
    [[nodiscard]] QString Comment() const;
};

// The configuration files that exist, in the order FreeTDS consults them.
[[nodiscard]] QStringList FreeTdsConfigFiles();

// The server sections of one file's text ([global] is not a server).
[[nodiscard]] QList<TFreeTdsEntry> ParseFreeTdsConfig(const QString &text);

// The server sections of the files, in file order, first definition winning.
[[nodiscard]] QList<TFreeTdsEntry> ReadFreeTdsEntries(const QStringList &files);

// Names of the server sections of the files FreeTDS reads.
[[nodiscard]] QStringList FreeTdsEntryNames();

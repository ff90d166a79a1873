#pragma once

// The servers defined in the FreeTDS configuration, read from the same files
// FreeTDS reads, in its order: the file named by FREETDSCONF, then
// ~/.freetds.conf, then the system file. A name defined in an earlier file
// hides the same name (ignoring case) in a later one.
//
// The program's own configuration: FreeTDS takes the certificate checks
// (ca file, check certificate hostname) only from a freetds.conf, so a
// connection that checks the server's certificate goes through a section
// of a file the program writes into a private temporary folder. At its
// first use FREETDSCONF is pointed at that file for the rest of the
// process; the file begins with the user's own FREETDSCONF file, so every
// section of it still works, and FreeTDS falls back to ~/.freetds.conf and
// the system file for the other names as before.

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

// The configuration files that exist, in the order FreeTDS consults them
// (the user's FREETDSCONF, not the program's own file).
[[nodiscard]] QStringList FreeTdsConfigFiles();

// The server sections of one file's text ([global] is not a server).
[[nodiscard]] QList<TFreeTdsEntry> ParseFreeTdsConfig(const QString &text);

// The server sections of the files, in file order, first definition winning.
[[nodiscard]] QList<TFreeTdsEntry> ReadFreeTdsEntries(const QStringList &files);

// Names of the server sections of the files FreeTDS reads.
[[nodiscard]] QStringList FreeTdsEntryNames();

// The name of a section of the program's own configuration that reaches
// Host (at Port, or Instance when Port is 0) with encryption required, the
// certificate checked against CaFile (empty: the system's store) and the
// host name checked against the certificate. The same arguments give the
// same section. Throws EDataAccessError when a value cannot be written into
// the file or the file cannot be written.
[[nodiscard]] QString FreeTdsCheckingSection(const QString &Host, int Port, const QString &Instance, const QString &CaFile);

// The program's own configuration file; empty until the first section.
[[nodiscard]] QString PrivateFreeTdsConfigFile();

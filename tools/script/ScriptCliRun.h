#pragma once

// The work of quorvane-script: connect through the data access facade, find
// the table and its columns, apply the choices as the table wizard does, and
// stream the generator's lines into the output.

#include "ScriptCliOptions.h"

#include <QString>

#include <cstdio>

class TTable;

struct TScriptCliEnvironment
{
    QString Password;
    std::FILE *Out = stdout;     // the script, when no --output is given
    std::FILE *Err = stderr;     // messages and progress
    bool ErrIsTerminal = false;  // draw a progress bar
};

// Runs one generation and returns the exit status; every failure has
// written one line to Env.Err.
int RunScriptCli(const TScriptCliOptions &Options, const TScriptCliEnvironment &Env);

// Marks Table's columns: the named ones used (all when Columns is empty)
// and the named keys (the used primary-key columns when Keys is empty).
// Names are compared ignoring case. Returns an empty string, or the reason
// the choices do not fit the table with the exit status to give.
struct TChoiceError
{
    int Code = secSuccess;
    QString Message;
};
TChoiceError ApplyColumnChoices(TTable &Table, const QStringList &Columns, const QStringList &Keys);

// One line: the message's lines joined by "; ".
QString OneLine(const QString &Text);

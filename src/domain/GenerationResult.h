#pragma once

#include <QString>

// How a data script generation ended. Only a complete generation yields a
// script: a broken-off or failed one yields none, so that nobody can run a
// script that lacks rows as if it were whole.
enum TGenerationOutcome : unsigned char {
    goComplete,
    goBrokenOff, // the user stopped it
    goFailed,    // Reason says why (the server's text for a read error)
};

struct TGenerationResult
{
    TGenerationOutcome Outcome = goFailed;
    QString Reason;

    [[nodiscard]] bool Complete() const { return Outcome == goComplete; }

    static TGenerationResult Completed() { return {goComplete, QString()}; }
    static TGenerationResult BrokenOff() { return {goBrokenOff, QString()}; }
    static TGenerationResult Failed(const QString &Reason) { return {goFailed, Reason}; }
};

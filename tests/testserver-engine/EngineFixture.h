#pragma once

// Runs batches against a fresh engine in a temporary folder and records what
// the engine reports, with values rendered as text for comparisons.

#include "EngineApi.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

struct Recorded {
    struct ResultSet {
        std::vector<qts::ColumnInfo> columns;
        QStringList rows; // values joined with '|'
    };
    std::vector<ResultSet> results;
    std::vector<qts::Message> messages;
    std::vector<qts::StatementEnd> ends;
    std::vector<long long> waits; // milliseconds asked for by WAITFOR
    QStringList events; // "result", "row", "end:<count or ->", "msg:<number>", "use:<db>", "wait" in order

    [[nodiscard]] QStringList rows(std::size_t i = 0) const { return i < results.size() ? results[i].rows : QStringList(); }
    [[nodiscard]] QStringList errors() const
    {
        QStringList out;
        for (const auto &m : messages)
            if (m.severity > 10)
                out << QString::number(m.number) + ": " + QString::fromStdString(m.text);
        return out;
    }
    [[nodiscard]] int firstError() const
    {
        for (const auto &m : messages)
            if (m.severity > 10)
                return m.number;
        return 0;
    }
};

QString renderValue(const qts::Value &v, qts::XType type);

class RecordingSink : public qts::ResultSink {
public:
    explicit RecordingSink(Recorded &r, long cancelAfter = -1) : r_(r), cancelAfter_(cancelAfter) {}
    void beginResult(const std::vector<qts::ColumnInfo> &columns) override;
    bool row(const std::vector<qts::Value> &values) override;
    // Records the wait instead of waiting; cancels it when cancelWaits is set.
    bool pause(std::chrono::milliseconds wait) override;
    bool cancelWaits = false;
    void statementEnd(const qts::StatementEnd &end) override;
    void message(const qts::Message &message) override;
    void databaseChanged(const std::string &newName, const std::string &oldName) override;

private:
    Recorded &r_;
    long cancelAfter_;
    long rowsSeen_ = 0;
};

class EngineFixture {
public:
    explicit EngineFixture(bool demo = false);
    Recorded run(const QString &sql);
    // The first result's rows of a batch that must not fail.
    QStringList query(const QString &sql);
    qts::Engine &engine() { return *engine_; }
    qts::Session &session() { return *session_; }
    QString dataDir() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<qts::Engine> engine_;
    std::unique_ptr<qts::Session> session_;
};

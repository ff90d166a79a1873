#pragma once

// The seam between the TDS protocol layer and the SQL engine of the test
// server. The protocol layer parses packets, checks logins and encodes
// tokens; the engine parses Transact-SQL, keeps the databases (SQLite files)
// and reports everything a batch produces through a ResultSink, in order.
//
// Thread rules: one Engine serves every connection; each connection owns one
// Session and calls executeBatch from its own thread. The engine locks what
// sessions share (the database files, the catalogue); a Session is never used
// by two threads at once.

#include "Collation.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qts {

// syscolumns.xtype codes, the 25 types the tool knows.
enum class XType : std::uint8_t {
    Image = 34, Text = 35, UniqueIdentifier = 36, TinyInt = 48, SmallInt = 52,
    Int = 56, SmallDateTime = 58, Real = 59, Money = 60, DateTime = 61,
    Float = 62, SqlVariant = 98, NText = 99, Bit = 104, Decimal = 106,
    Numeric = 108, SmallMoney = 122, BigInt = 127, VarBinary = 165,
    VarChar = 167, Binary = 173, Char = 175, Timestamp = 189, NVarChar = 231,
    NChar = 239,
};

// One value of a column, already converted to the column's type.
struct Value {
    enum class Kind : std::uint8_t {
        Null,
        Int,      // tinyint, smallint, int, bigint, bit: i
        Float,    // real, float: f (a real is kept as the float it rounds to)
        Decimal,  // decimal, numeric, money, smallmoney: unscaled / 10^scale
        DateTime, // datetime, smalldatetime: days since 1900-01-01 (negative
                  // before it) and ticks of 1/300 s since midnight
        Text,     // char, varchar, text, nchar, nvarchar, ntext: bytes in UTF-8
        Bytes,    // binary, varbinary, image, timestamp: raw bytes;
                  // uniqueidentifier: 16 bytes in SQL Server's storage order
    };
    Kind kind = Kind::Null;
    std::int64_t i = 0;
    double f = 0;
    __int128 unscaled = 0;
    std::uint8_t scale = 0;
    std::int32_t days = 0;
    std::uint32_t ticks = 0;
    std::string bytes;
    // A sql_variant value keeps the type it was given as (Int, Decimal,
    // DateTime, Text, Float, Bytes); variantType says which SQL type that
    // is, with its precision (decimal), declared length in bytes (character
    // and binary types) and collation (character types).
    XType variantType = XType::SqlVariant;
    std::uint8_t variantPrecision = 0;
    std::int32_t variantLength = 0;
    std::uint8_t variantCollation = kServerCollation;

    [[nodiscard]] bool isNull() const { return kind == Kind::Null; }
};

// A result column as COLMETADATA describes it and as syscolumns stores it.
struct ColumnInfo {
    std::string name;          // UTF-8
    XType type = XType::Int;
    std::int32_t length = 4;   // storage length in bytes (nvarchar: 2 x chars)
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    bool nullable = true;
    bool identity = false;
    bool computed = false;
    std::string tableName;     // for text/ntext/image TableName; may be empty
    std::uint8_t collation = kServerCollation; // of char, varchar, text and the n-types
};

// An INFO (severity <= 10) or ERROR (severity > 10) token.
struct Message {
    std::int32_t number = 0;
    std::uint8_t state = 1;
    std::uint8_t severity = 16;
    std::string text;          // UTF-8
    std::int32_t line = 1;     // line of the batch the statement starts on
    std::string procName;      // empty outside procedures
};

// The end of one statement: becomes a DONE (or DONEINPROC) token.
struct StatementEnd {
    bool hasCount = false;     // false under SET NOCOUNT ON or for statements without a count
    std::uint64_t rowCount = 0;
    bool error = false;        // the statement failed
    std::uint16_t curCmd = 0;  // the TDS current-command code (SELECT 0xC1, INSERT 0xC3, ...)
};

class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void beginResult(const std::vector<ColumnInfo> &columns) = 0;
    // Returns false when the client has asked to cancel (ATTENTION): the
    // engine stops the statement at once and ends the batch, reporting
    // nothing further.
    virtual bool row(const std::vector<Value> &values) = 0;
    // The batch waits (WAITFOR) for this long. Returns false when the client
    // cancelled meanwhile (ATTENTION, or it went away): the engine then ends
    // the batch at once, reporting nothing further.
    virtual bool pause(std::chrono::milliseconds wait)
    {
        std::this_thread::sleep_for(wait);
        return true;
    }
    virtual void statementEnd(const StatementEnd &end) = 0;
    virtual void message(const Message &message) = 0;
    // USE switched the session's database (ENVCHANGE type 1).
    virtual void databaseChanged(const std::string &newName, const std::string &oldName) = 0;
};

// A failure before a batch runs (at login), carrying SQL Server's number and text.
struct SqlError {
    Message message;
};

class Session {
public:
    virtual ~Session() = default;
    [[nodiscard]] virtual std::string database() const = 0;
    // The current database's default collation (ENVCHANGE type 7).
    [[nodiscard]] virtual std::uint8_t collation() const { return kServerCollation; }
};

class Engine {
public:
    virtual ~Engine() = default;
    // Opens a session for a login that the protocol layer has accepted. An
    // empty database means master. Throws SqlError (4060) when the database
    // does not exist.
    virtual std::unique_ptr<Session> openSession(const std::string &login, const std::string &database) = 0;
    // Runs every statement of the batch (UTF-8) in order under SQL Server's
    // abort rules, reporting through sink.
    virtual void executeBatch(Session &session, const std::string &sql, ResultSink &sink) = 0;
};

// dataDir: where the databases live (one SQLite file each); demo: create the
// demo database "Shop" when it is missing.
std::unique_ptr<Engine> createEngine(const std::string &dataDir, bool demo);

} // namespace qts

#pragma once

// Token encoders of the reply stream. `tds` is the protocol version as
// 71..74; it decides the widths that changed with 7.2 (DONE counts, user
// types, line numbers, text table names).

#include "PacketIo.h"
#include "engine/EngineApi.h"

#include <string>
#include <string_view>
#include <vector>

namespace qts {

namespace token {
constexpr std::uint8_t ColMetadata = 0x81;
constexpr std::uint8_t Row = 0xD1;
constexpr std::uint8_t Done = 0xFD;
constexpr std::uint8_t DoneProc = 0xFE;
constexpr std::uint8_t DoneInProc = 0xFF;
constexpr std::uint8_t Error = 0xAA;
constexpr std::uint8_t Info = 0xAB;
constexpr std::uint8_t LoginAck = 0xAD;
constexpr std::uint8_t EnvChange = 0xE3;
} // namespace token

namespace done {
constexpr std::uint16_t Final = 0x00;
constexpr std::uint16_t More = 0x01;
constexpr std::uint16_t Error = 0x02;
constexpr std::uint16_t Count = 0x10;
constexpr std::uint16_t Attention = 0x20;
} // namespace done

namespace envchange {
constexpr std::uint8_t Database = 1;
constexpr std::uint8_t Language = 2;
constexpr std::uint8_t PacketSize = 4;
constexpr std::uint8_t Collation = 7;
} // namespace envchange

inline constexpr const char *kServerName = "QUORVANE";

void writeDone(PacketWriter &w, int tds, std::uint8_t tokenType, std::uint16_t status,
               std::uint16_t curCmd, std::uint64_t count);
// INFO for severity <= 10, ERROR above.
void writeMessage(PacketWriter &w, int tds, const Message &m);
void writeEnvChange(PacketWriter &w, std::uint8_t type, std::string_view newValue, std::string_view oldValue);
// ENVCHANGE type 7: the current database's collation.
void writeCollationChange(PacketWriter &w, std::uint8_t collation);
// tdsWire: the version word as the LOGINACK carries it (big-endian on the wire).
void writeLoginAck(PacketWriter &w, std::uint32_t tdsWire);

// COLMETADATA and ROW for one result; built once per result so that rows
// are encoded with a switch over precomputed column kinds.
class RowEncoder {
public:
    RowEncoder(std::vector<ColumnInfo> columns, int tds);
    void writeMetadata(PacketWriter &w) const;
    void writeRow(PacketWriter &w, const std::vector<Value> &values) const;
    [[nodiscard]] const std::vector<ColumnInfo> &columns() const { return m_columns; }

private:
    void writeValue(PacketWriter &w, const ColumnInfo &c, const Value &v) const;
    std::vector<ColumnInfo> m_columns;
    int m_tds;
};

// Exposed for the tests.
std::uint8_t decimalWireLength(std::uint8_t precision);
// unscaled/10^from as unscaled at scale `to`, rounded half away from zero.
__int128 rescale(__int128 unscaled, int from, int to);
void writeVariant(PacketWriter &w, const Value &v);

} // namespace qts

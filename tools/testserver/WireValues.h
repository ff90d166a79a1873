#pragma once

// Value encodings shared by the ROW writer and sql_variant: numbers, money,
// text in its wire form, text pointers, PLP, and the date and time types of
// TDS 7.3 (MS-TDS 2.2.5.2.3, 2.2.5.5.1.8).

#include "PacketIo.h"
#include "engine/EngineApi.h"

#include <string>

namespace qts::wire {

void writeMagnitude(PacketWriter &w, __int128 unscaled, std::uint8_t wireLength);
void writeMoney(PacketWriter &w, const Value &v, bool small);
void writeSmallDateTime(PacketWriter &w, const Value &v);
// Text of a char-like value in its wire form (its collation's code page, or
// UTF-16LE); the buffer is the thread's, valid until the next call.
const std::string &wireText(const Value &v, bool unicode, std::uint8_t collation);
void writeTextPointer(PacketWriter &w);
// A partially length-prefixed value: its length, chunks of at most a
// packet's payload, the terminator (or the PLP null when data is nullptr).
void writePlp(PacketWriter &w, const char *data, std::size_t n);

// Bytes of time(scale): 3, 4 or 5.
std::uint8_t timeLength(int scale);
// time: 10^-scale s units since midnight; date: days since 0001-01-01. A
// datetimeoffset travels in UTC, its offset after it.
void writeTime(PacketWriter &w, std::uint64_t hns, int scale);
void writeDate(PacketWriter &w, std::int32_t days);
void writeTimeValue(PacketWriter &w, XType type, int scale, const Value &v);
// The value's length byte and bytes for date, time, datetime2, datetimeoffset.
std::uint8_t timeValueLength(XType type, int scale);
// The default text of such a value, as SQL Server sends it to clients
// older than TDS 7.3.
std::string timeValueText(XType type, int scale, const Value &v);

// The CLR system types: name and assembly, as UDT_INFO names them.
const char *clrTypeName(XType t);
const char *clrAssembly(XType t);

} // namespace qts::wire

#pragma once
// The data types of the wire, and how a result column of the embedded server
// is described and its values written in COLMETADATA and ROW/NBCROW tokens.

#include <QVariant>
#include <cstdint>
#include <vector>

#include "db/Proveedor.h"
#include "localserver/tds/Trama.h"

namespace kv::tds {

namespace tipotds {
inline constexpr std::uint8_t Null = 0x1F;
inline constexpr std::uint8_t Int1 = 0x30;
inline constexpr std::uint8_t Bit = 0x32;
inline constexpr std::uint8_t Int2 = 0x34;
inline constexpr std::uint8_t Int4 = 0x38;
inline constexpr std::uint8_t DateTim4 = 0x3A;
inline constexpr std::uint8_t Flt4 = 0x3B;
inline constexpr std::uint8_t Money = 0x3C;
inline constexpr std::uint8_t DateTime = 0x3D;
inline constexpr std::uint8_t Flt8 = 0x3E;
inline constexpr std::uint8_t Money4 = 0x7A;
inline constexpr std::uint8_t Int8 = 0x7F;
inline constexpr std::uint8_t Guid = 0x24;
inline constexpr std::uint8_t IntN = 0x26;
inline constexpr std::uint8_t DecimalN = 0x6A;
inline constexpr std::uint8_t NumericN = 0x6C;
inline constexpr std::uint8_t BitN = 0x68;
inline constexpr std::uint8_t FltN = 0x6D;
inline constexpr std::uint8_t MoneyN = 0x6E;
inline constexpr std::uint8_t DateTimeN = 0x6F;
inline constexpr std::uint8_t DateN = 0x28;
inline constexpr std::uint8_t TimeN = 0x29;
inline constexpr std::uint8_t DateTime2N = 0x2A;
inline constexpr std::uint8_t DateTimeOffsetN = 0x2B;
inline constexpr std::uint8_t BigVarBinary = 0xA5;
inline constexpr std::uint8_t BigVarChar = 0xA7;
inline constexpr std::uint8_t BigBinary = 0xAD;
inline constexpr std::uint8_t BigChar = 0xAF;
inline constexpr std::uint8_t NVarChar = 0xE7;
inline constexpr std::uint8_t NChar = 0xEF;
inline constexpr std::uint8_t Text = 0x23;
inline constexpr std::uint8_t Image = 0x22;
inline constexpr std::uint8_t NText = 0x63;
}  // namespace tipotds

// The server's collation on the wire: Modern_Spanish_CI_AS (LCID 0x0C0A, code page 1252).
inline constexpr unsigned char kColacion[5] = {0x0A, 0x0C, 0xD0, 0x00, 0x00};

// How one column goes on the wire.
struct ColumnaTds {
    QString nombre;
    std::uint8_t tipo = tipotds::NVarChar;
    int largo = 0;  // the TYPE_INFO length (bytes), 0xFFFF for the (max) types
    int precision = 0;
    int escala = 0;
    bool escalaDeValores = false;  // a decimal whose scale came from the values seen, not a declaration
    bool texto() const;
    bool plp() const { return largo == 0xFFFF; }
};

// Chooses the wire type of each column from what the session says of it and,
// where the session's type cannot hold a value (an int column with a value
// past 32 bits, a text longer than its declared length), from the values.
// `version` is the client's TDS version (date goes as datetime before 7.3).
std::vector<ColumnaTds> DescribirColumnas(const kv::db::ResultadoSentencia& r, std::uint32_t version);

// Whether a value can go in a column described before it was seen (the rows of a
// long result that follow the first ones) without losing anything.
bool CabeValor(const ColumnaTds& c, const QVariant& v);

void EscribirColmetadata(Escritor& e, const std::vector<ColumnaTds>& columnas);
// A row as ROW, or as NBCROW (null bitmap) when it has nulls.
void EscribirFila(Escritor& e, const std::vector<ColumnaTds>& columnas, const std::vector<QVariant>& fila);
// TYPE_INFO and one value: shared with the output parameters.
void EscribirInfoTipo(Escritor& e, const ColumnaTds& c);
void EscribirValor(Escritor& e, const ColumnaTds& c, const QVariant& v);

}  // namespace kv::tds

#pragma once
// The wire forms of dates, money and decimals, both ways.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace kv::tds {

using Entero128 = __int128;

// datetime: days since 1900-01-01 and three-hundredths of a second since midnight.
struct FechaHoraTds {
    std::int32_t dias = 0;
    std::uint32_t tercios = 0;
};
FechaHoraTds ADatetime(const QDateTime& f);
QDateTime DeDatetime(std::int32_t dias, std::uint32_t tercios);
// date: days since 0001-01-01.
std::int32_t ADate(const QDate& f);
QDate DeDate(std::int32_t dias);
// The datetime type's range (1753-01-01 to 9999-12-31 23:59:59.997).
bool EnRangoDatetime(const QDateTime& f);

// Money as a count of ten-thousandths. Text is read exactly ("-12.3456", "1e3" is refused);
// a double is rounded to the nearest ten-thousandth.
std::optional<std::int64_t> DineroDeTexto(const QString& texto);
std::optional<std::int64_t> DineroDeReal(double v);
QString TextoDeDinero(std::int64_t diezmilesimas);

// A decimal value as an integer of `escala` decimals: exact from text, rounded from a double.
std::optional<Entero128> DecimalDeTexto(const QString& texto, int escala);
std::optional<Entero128> DecimalDeReal(double v, int escala);
QString TextoDeDecimal(Entero128 valor, int escala);
// Digits of the integer without sign.
int Digitos(Entero128 valor);
// Bytes of the magnitude that a precision needs (4, 8, 12 or 16).
int BytesDecimal(int precision);

}  // namespace kv::tds

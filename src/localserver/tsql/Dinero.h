#pragma once
// Money as SQL Server keeps it: a signed 64-bit count of ten-thousandths.
//
// Inside SQLite a money value is a REAL while a double holds it exactly (up to
// 2^52 ten-thousandths, about 450 billion, every amount with four decimals
// comes back from its nearest double), and beyond that the exact decimal text
// ("922337203685477.5807"): no double stands for the amounts near the ends of
// the range. Money columns of new tables keep either form as it is given.

#include <QString>
#include <QByteArray>
#include <QVariant>
#include <limits>

namespace kv::local::dinero {

// Largest count of ten-thousandths a REAL carries exactly.
inline constexpr qint64 kExactoEnReal = qint64{1} << 52;

inline constexpr qint64 kMaximo = std::numeric_limits<qint64>::max();
inline constexpr qint64 kMinimo = std::numeric_limits<qint64>::min();
// smallmoney: a 32-bit count, -214,748.3648 to 214,748.3647.
inline constexpr qint64 kMaximoPequeno = 2147483647LL;
inline constexpr qint64 kMinimoPequeno = -2147483648LL;

enum class Lectura { Bien, Desborda, MalTexto };

// The canonical text: sign, whole part, point, four decimals.
QString Texto(qint64 diezmilesimas);

// A text read as money: optional blanks, sign and currency sign, thousands
// commas, a point; rounded to four decimals half away from zero, exactly.
Lectura LeerTexto(const QString& texto, qint64& diezmilesimas);

// A double read as money, rounded half away from zero. Near the ends of the
// range one double stands for several amounts (922337203685477.5807 is held
// as ...477.625): the amount in range that it stands for is kept.
Lectura LeerReal(double x, qint64& diezmilesimas);

// The double nearest an exact amount.
double Real(qint64 diezmilesimas);

// How a money value leaves the server: a double while that is exact, the
// exact decimal text beyond.
QVariant Valor(qint64 diezmilesimas);

// A value the server holds for a money column or expression (REAL, INTEGER
// whole units or the exact text), as ten-thousandths.
Lectura LeerValor(const QVariant& v, qint64& diezmilesimas);

// a op b on amounts, as SQL Server works money: + and - exact; a product
// rounded half away from zero to the ten-thousandth; a quotient cut toward
// zero to the ten-thousandth (SQL Server does not round money's division).
// Desborda past money's range. The caller refuses b = 0 for '/'.
Lectura Operar(char op, qint64 a, qint64 b, qint64& resultado);

// ROUND(x, lugares[, cortar]) of money: to `lugares` decimals (negative:
// tens, hundreds...), halves away from zero, or cut toward zero. Desborda
// when the rounded amount leaves money's range.
Lectura Redondear(qint64 x, qint64 lugares, bool cortar, qint64& resultado);

// CONVERT(varchar, money, estilo): 0 two decimals, 1 thousands commas and
// two decimals, 2 (and 126) four decimals. Empty for any other style.
QString TextoConEstilo(qint64 x, int estilo);

// Eight bytes that order as the amounts do (byte by byte): big-endian with
// the sign bit flipped.
QByteArray Clave(qint64 x);

}  // namespace kv::local::dinero

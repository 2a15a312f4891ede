#pragma once
// Exact decimals as SQL Server keeps them: a signed count of 10^-escala
// units, up to 38 digits, which 128 bits hold. The server carries such a
// value as a REAL while it has at most fifteen digits (the double then gives
// every digit back) and as its exact text beyond.

#include <QString>

namespace kv::local::decimal {

using Entero = __int128;

struct Tipo {
    int precision = 0;
    int escala = 0;
};

inline constexpr int kPrecisionMaxima = 38;

enum class Lectura { Bien, Desborda, MalTexto, DivisionCero };

// 10^n for 0 <= n <= 38.
Entero Potencia(int n);

// decimal(p, s) of "a op b" (+ - * /) by SQL Server's rules for precision and
// scale, with the precision capped at 38 and the scale given up as those rules
// say (never below 6 for * and / when the whole part needs the room).
Tipo TipoDeOperacion(char op, Tipo a, Tipo b);

// The type SQL Server gives a number written in a batch: its digits and the
// digits after the point ("0.25" is decimal(2, 2), "12" decimal(2, 0)).
Tipo TipoDeLiteral(const QString& escrito);

// A text as a count of 10^-escala: blanks, a sign, digits and a point;
// rounded half away from zero past `escala` decimals.
Lectura LeerTexto(const QString& texto, int escala, Entero& n);
// A double as a count of 10^-escala, rounded half away from zero.
Lectura LeerReal(double x, int escala, Entero& n);

// Whether a double gives every digit of the count back: fifteen digits at
// most, whatever its scale.
bool CabeEnReal(Entero n);

// The exact text: sign, whole part, and `escala` decimals after a point.
QString Texto(Entero n, int escala);

// a (at scale sa) op b (at scale sb), as a count at the scale of `r`: sums
// and products rounded half away from zero when the scale was given up, a
// quotient cut toward zero (SQL Server does not round decimal division).
// Desborda when the result needs more whole digits than `r` has.
Lectura Operar(char op, Entero a, int sa, Entero b, int sb, Tipo r, Entero& resultado);

}  // namespace kv::local::decimal

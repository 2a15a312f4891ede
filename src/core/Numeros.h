#pragma once
// Number and text conversions the core relies on, in one place.

#include <QString>

namespace kv::core {

// The leading decimal number of a text ("12abc" -> 12, "abc" -> 0, " 3.5" -> 3.5).
double NumeroInicial(const QString& texto);
// A text's numeric value, 0 when it holds none.
double TextoANumero(const QString& texto);
// Number of words (runs of non-blank characters).
int ContarPalabras(const QString& texto);
// SQL literal of a value for a quote marker: "'" quotes it, "@" writes a number.
QString LiteralSQL(const QString& valor, const QString& marcaComilla);

}  // namespace kv::core

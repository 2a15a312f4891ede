#pragma once
// Small text and number helpers shared by the DB_Dll sources only.

#include <QString>
#include <QVariant>

namespace kv::db::interno {

inline bool Contiene(const QString& texto, const QString& buscado) {
    return texto.contains(buscado, Qt::CaseInsensitive);
}

inline bool Iguales(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Every occurrence of `viejo`, in any letter case, replaced by `nuevo`.
inline QString Reemplazar(QString texto, const QString& viejo, const QString& nuevo) {
    return texto.replace(viejo, nuevo, Qt::CaseInsensitive);
}

// Value of the number the text starts with (blanks skipped, sign, decimals with
// a period, exponent); 0 when it starts with no number.
double ValorInicial(const QString& texto);

// A variant as a number: numbers as they are, true as 1, text by its leading number, null as 0.
double NumeroDe(const QVariant& valor);

// A number in plain decimal notation, without exponent or trailing zeros.
QString TextoDecimal(double numero);

bool EsNulo(const QVariant& valor);

// Null becomes empty text; anything else passes through.
QVariant SinNulo(const QVariant& valor);

// Words separated by blanks, tabs or line breaks.
int ContarPalabras(const QString& texto);

// Exit status of a program closed at once after a lost connection.
inline constexpr int kSalidaConexionPerdida = 1;

// Ends the application at once (or what a test put in its place).
void Terminar();

// The application folder: KVESTV_CARPETA, else the executable's folder.
QString CarpetaAplicacion();

}  // namespace kv::db::interno

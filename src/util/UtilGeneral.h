#pragma once
// Text and number helpers shared by every part of the program, plus the entry
// points of the error dialog and the date picker.

#include <QString>
#include <QVariant>

#include "util/KvError.h"

class QWidget;

namespace kv::UtilGeneral {

// The folder with exactly one separator at its end; "\" and "/" are both
// separators, the one added is "/". A blank folder stays empty (it never turns
// into the root folder).
QString NormalizarCarpeta(const QString& carpeta);

// The number a text starts with: "12abc" 12, "abc" 0, " -3,5 kg" -3.5; either
// "." or "," is the decimal mark. "&H" introduces a hexadecimal number ("&HFF" 255).
double TextoANumero(const QString& texto);

// Empty text for a null (or invalid) value, else the value as text.
QString SinNulo(const QVariant& valor);

// A value as shown in lists: empty for null, dates day first, texts without their
// trailing blanks; with a width above 0, at most that many characters.
QString TextoVisible(const QVariant& valor, int ancho = 0);

// The text cut to at most `ancho` characters (nothing for a width of 0 or less).
QString AjustarTexto(const QString& texto, int ancho);

// The text without any occurrence of `caracter` (every character it holds).
QString QuitarCaracter(const QString& texto, const QString& caracter);

// The text with every occurrence of `viejo` replaced by `nuevo`; an empty `viejo`
// leaves the text as it is.
QString Reemplazar(const QString& texto, const QString& viejo, const QString& nuevo,
                   Qt::CaseSensitivity sensibilidad = Qt::CaseSensitive);
QString CambiarSeparador(const QString& texto, const QString& viejo, const QString& nuevo);

// The text without the characters of the two codes (e.g. 0 and 255).
QString LimpiarTexto(const QString& texto, int codigo1, int codigo2);

// Words separated by blanks, tabs or line breaks.
int ContarPalabras(const QString& texto);

// Obfuscation of stored passwords and names (not a cipher): the coded form uses
// only the characters 0-9 and A-F, so it survives comma-separated and INI files.
// Decodificar(Codificar(t)) == t for any text; a text that is not in coded form
// is given back as it is.
QString Codificar(const QString& texto);
QString Decodificar(const QString& texto);

// The date picker: `fecha` ("dd/mm/yyyy" or empty) receives the date picked,
// "dd/mm/yyyy"; false (and `fecha` untouched) when cancelled.
bool ElegirFecha(QString& fecha);

// The error dialog: 3 abort, 4 retry, 5 ignore (any other answer counts as abort).
int MostrarError(const KvError& error, const QString& rutina = QString());

// The look of a window: the program's name as title when it has none; centred on
// its parent (or the screen) when `centrar` is true.
void PrepararVentana(QWidget* ventana, bool centrar = false);

}  // namespace kv::UtilGeneral

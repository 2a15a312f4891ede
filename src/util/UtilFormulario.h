#pragma once
// Keyed control arrays and the small keyboard habits of the entry windows.
//
// A member of a keyed control array (txtFields, chkOrden, chkSum) carries its key
// in the dynamic property "DataField" and the name of its lookup in "Tag".

#include <QList>
#include <QString>
#include <QWidget>
#include <type_traits>

namespace kv::UtilFormulario {

inline constexpr char kPropiedadClave[] = "DataField";
inline constexpr char kPropiedadEtiqueta[] = "Tag";
// A field with this property set to true gets typed letters in capitals.
inline constexpr char kPropiedadMayusculas[] = "Mayusculas";

QString Clave(const QObject* control);
void PonerClave(QObject* control, const QString& clave);
QString Etiqueta(const QObject* control);
void PonerEtiqueta(QObject* control, const QString& etiqueta);

// Index of the member whose key equals `clave` without regard to case; -1 when none.
int IndiceControl(const QString& clave, const QList<QWidget*>& controles);

template <typename Control>
requires(std::is_base_of_v<QWidget, Control> &&
         !std::is_same_v<Control, QWidget>) int IndiceControl(const QString& clave,
                                                              const QList<Control*>& controles) {
    QList<QWidget*> miembros;
    miembros.reserve(controles.size());
    for (Control* c : controles) miembros.append(c);
    return IndiceControl(clave, miembros);
}

// Prepares the entry controls of a window. Mode 1: every line edit shows the
// start of its text with nothing selected; texts are left as they are.
void PrepararControles(QWidget* ventana, int modo);

// After an accepted Enter (13, or Qt's Return/Enter keys) the focus moves on to
// the next field of the window that takes focus from the keyboard. `desde` is the
// field the key came from (the focused widget when null). Gives the field that
// got the focus, or null.
QWidget* AvanzarFoco(int codigoTecla, QWidget* desde = nullptr);

// Filters a character typed in a field: control characters other than backspace,
// Enter, Escape and the clipboard keys are dropped (set to 0); letters turn to
// capitals in fields marked "Mayusculas". False when the character was dropped.
bool FiltrarTecla(QWidget* campo, int& caracter);

// Prepares a field that gets the focus: all of its text selected, so typing
// replaces it. A non-empty `texto` becomes the field's status tip.
void PrepararFoco(QWidget* campo, const QString& texto = QString());

}  // namespace kv::UtilFormulario

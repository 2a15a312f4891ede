#pragma once
// Names and places the operating system gives, and opening a document.

#include <QString>

class QWidget;

namespace kv::UtilSistema {

QString NombreMaquina();
QString NombreUsuario();
// A folder where the program may write; ends in "/".
QString CarpetaTemporal();

// Opens `archivo` with the program the desktop associates with it (a program is
// started with `parametros`, without a shell). The window, the verb ("open") and
// the show mode are accepted for the callers' sake; every verb opens. Headless and
// test runs only report it (see the interaction port). False when nothing opened.
bool AbrirDocumento(QWidget* ventana, const QString& verbo, const QString& archivo,
                    const QString& parametros = QString(), const QString& carpeta = QString(), int modo = 1);

}  // namespace kv::UtilSistema

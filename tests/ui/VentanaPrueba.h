#pragma once
// Helpers the window tests share: a definition saved through the engine (with
// its table rebuilt), and a name typed into the window as a user would.

#include <QString>
#include <QStringList>

namespace kv::ui {
class frmKv_EstV;
}

namespace kv::pruebas {

class EntornoEstadisticas;

// Saves a new definition grouped by the given catalog codes and rebuilds it.
void GrabarDefinicion(EntornoEstadisticas& e, const QString& nombre, const QStringList& codigos,
                      const QString& top = QStringLiteral("10"));

// Shows the window and makes it the active one, so keys reach its focused field.
void Mostrar(kv::ui::frmKv_EstV& ventana);

// Focuses the name field, types the name and presses Enter.
void EscribirNombre(kv::ui::frmKv_EstV& ventana, const QString& nombre);

}  // namespace kv::pruebas

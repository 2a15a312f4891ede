#pragma once
// Shared by the sign-in tests: a test's own folders and embedded server, the
// registered-connection file, and a script that acts on each sign-in window
// as it comes up modally.

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

#include "access/frmAcceso.h"

class QLineEdit;

namespace kv::pruebas {

// Writes BASES.TXT into the application folder.
void EscribirBases(const QString& carpeta, const QByteArray& contenido);
QByteArray LeerArchivo(const QString& ruta);

// Replaces what a box holds by typing, as a user does over a selected text.
void Teclear(QLineEdit* caja, const QString& texto);
// The text of a list's rows.
QStringList Filas(const kv::access::frmAcceso& ventana);

// Runs one action on each sign-in window shown modally, in order; a window
// beyond the actions is cancelled and counted as unexpected.
class GuionVentanas {
  public:
    using Accion = std::function<void(kv::access::frmAcceso&)>;
    explicit GuionVentanas(std::vector<Accion> acciones);
    int Atendidas() const { return atendidas_; }
    int Inesperadas() const { return inesperadas_; }

  private:
    void Mirar();
    std::vector<Accion> acciones_;
    QTimer reloj_;
    int atendidas_ = 0;
    int inesperadas_ = 0;
};

}  // namespace kv::pruebas

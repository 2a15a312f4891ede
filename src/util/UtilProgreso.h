#pragma once
// The progress window of long loops (load, rebuild, company scans).

#include <QString>

namespace kv::UtilProgreso {

void Iniciar(const QString& titulo, bool permiteCancelar);
// True when the user asked to cancel.
bool Actualizar(const QString& titulo, const QString& mensaje, const QString& progreso);
void Cerrar();

// Closes the window when the scope ends, whatever way it ends.
class Abierto {
  public:
    Abierto(const QString& titulo, bool permiteCancelar) { Iniciar(titulo, permiteCancelar); }
    ~Abierto() { Cerrar(); }
    Abierto(const Abierto&) = delete;
    Abierto& operator=(const Abierto&) = delete;
};

}  // namespace kv::UtilProgreso

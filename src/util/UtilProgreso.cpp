#include "util/UtilProgreso.h"

#include "util/Interaccion.h"

namespace kv::UtilProgreso {

void Iniciar(const QString& titulo, bool permiteCancelar) {
    interaccion().ProgresoIniciar(titulo, permiteCancelar);
}

bool Actualizar(const QString& titulo, const QString& mensaje, const QString& progreso) {
    return interaccion().ProgresoActualizar(titulo, mensaje, progreso);
}

void Cerrar() { interaccion().ProgresoCerrar(); }

}  // namespace kv::UtilProgreso

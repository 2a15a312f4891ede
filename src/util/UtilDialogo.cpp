#include "util/UtilDialogo.h"

#include "util/Interaccion.h"

namespace kv {

bool UtilDialogo::Mostrar() {
    NombreArchivo = interaccion().ElegirArchivo(Filtro, Titulo, Opcion == Guardar, CarpetaInicial);
    return !NombreArchivo.isEmpty();
}

}  // namespace kv

#include "core/Ajustes.h"

namespace kv::core {

AjustesSistema& Ajustes() {
    static AjustesSistema ajustes;
    return ajustes;
}

AjustesConsulta& AjustesConsultas() {
    static AjustesConsulta ajustes;
    return ajustes;
}

}  // namespace kv::core

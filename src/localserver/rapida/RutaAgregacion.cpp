#include "localserver/rapida/RutaAgregacion.h"

#include <sqlite3.h>

#include <atomic>
#include <mutex>

#include "localserver/BaseSqlite.h"
#include "localserver/ErrorServidor.h"
#include "localserver/FormaResultado.h"
#include "localserver/rapida/AgregacionRapida.h"
#include "localserver/rapida/ConsultaAgregada.h"
#include "localserver/rapida/Paralelo.h"
#include "localserver/rapida/TablaColumnar.h"

namespace kv::local::rapida {

namespace {

std::atomic<bool>& Activa() {
    static std::atomic<bool> activa{qEnvironmentVariableIntValue("KVESTV_RUTA_GENERAL") != 1};
    return activa;
}

}  // namespace

bool RutaAgregacion::Reclamar(PlanSentencia& plan) const {
    if (plan.sentencia.clase != Clase::Consulta) return false;
    auto consulta = Reconocer(plan.sentencia.sql);
    if (!consulta) return false;
    plan.datos = std::make_shared<const ConsultaAgregada>(std::move(*consulta));
    return true;
}

std::optional<kv::db::ResultadoSentencia> RutaAgregacion::Ejecutar(const PlanSentencia& plan,
                                                                   EntornoRuta& entorno) const {
    if (!Activa() || !plan.datos) return std::nullopt;
    const auto& consulta = *static_cast<const ConsultaAgregada*>(plan.datos.get());
    BaseSqlite& base = entorno.base;
    // The general text, prepared and not run, names the columns and their types.
    std::unique_ptr<Preparada> general;
    try {
        general = std::make_unique<Preparada>(base, plan.sentencia.sql);
    } catch (const ErrorServidor&) {
        return std::nullopt;
    }
    if (general->Vacia() || sqlite3_bind_parameter_count(general->stmt()) != 0) return std::nullopt;
    const FormaResultado forma(base, general->stmt(), plan.sentencia.tiposColumnas);
    if (forma.Columnas() != int(consulta.columnas.size())) return std::nullopt;

    const CacheColumnar::Uso uso =
        CacheColumnar::Global().Obtener(base.db(), base.serie(), base.ruta(), consulta.tabla);
    if (!uso.tabla) return std::nullopt;
    std::optional<FilasResultado> filas = Agregar(consulta, *uso.tabla);
    if (!filas) return std::nullopt;

    kv::db::ResultadoSentencia r;
    r.tieneFilas = true;
    EnDosMitades(filas->size(), std::size_t(1) << 13, [&](std::size_t inicio, std::size_t fin, int) {
        for (std::size_t f = inicio; f < fin; ++f)
            for (int i = 0; i < forma.Columnas(); ++i) forma.Ajustar(i, (*filas)[f][size_t(i)]);
    });
    r.filas = std::move(*filas);
    forma.Completar(r);
    return r;
}

void RegistrarRutaAgregacion() {
    static std::once_flag una;
    std::call_once(una, [] { RegistrarRuta(std::make_shared<RutaAgregacion>()); });
}

void ActivarRutaAgregacion(bool activa) { Activa() = activa; }
bool RutaAgregacionActiva() { return Activa(); }

}  // namespace kv::local::rapida

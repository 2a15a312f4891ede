#pragma once
// The aggregation fast path as a route of the plan step: statements of the
// statistics' shape are answered from the columnar form of their table,
// everything else (and anything the fast path declines) by the general route.

#include <memory>

#include "localserver/tsql/Plan.h"

namespace kv::local::rapida {

class RutaAgregacion : public RutaPlan {
  public:
    bool Reclamar(PlanSentencia& plan) const override;
    std::optional<kv::db::ResultadoSentencia> Ejecutar(const PlanSentencia& plan,
                                                       EntornoRuta& entorno) const override;
};

// Registers the route once per process (the embedded server does it).
void RegistrarRutaAgregacion();

// Turns the route off and on for the whole process: the general route then
// answers everything (timing programs and the differential tests compare both).
// Off also when the environment variable KVESTV_RUTA_GENERAL is 1 at start.
void ActivarRutaAgregacion(bool activa);
bool RutaAgregacionActiva();

}  // namespace kv::local::rapida

#pragma once
// A loaded statistic for the presentation tests: two companies filled with the
// demo's sale lines, a statistic by seller and line saved and rebuilt through
// the server procedure, then loaded the way the window loads it.

#include <memory>

#include "db/Recordset.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"
#include "stats/EntornoEstadisticas.h"
#include "ui/DatosGrilla.h"

namespace kv::pruebas {

class EntornoPresentacion {
  public:
    // One environment per test program: the rebuild is the slow part.
    static EntornoPresentacion& Comun();
    static void Liberar();

    EntornoEstadisticas& Entorno() { return *entorno_; }
    const QString& Tabla() const { return tabla_; }
    kv::stats::EntradaCarga Entrada() const;

    // Loads `entrada` into the chart model and returns the grid data.
    std::shared_ptr<const kv::ui::DatosGrilla> Cargar(const kv::stats::EntradaCarga& entrada,
                                                      kv::stats::ModeloGrafico& grafico);

  private:
    EntornoPresentacion();
    std::unique_ptr<EntornoEstadisticas> entorno_;
    QString tabla_;
};

}  // namespace kv::pruebas

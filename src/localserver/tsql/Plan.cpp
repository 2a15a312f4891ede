#include "localserver/tsql/Plan.h"

#include <QMutex>

#include "localserver/tsql/Division.h"
#include "localserver/tsql/Traductor.h"

namespace kv::local {

namespace {

struct Rutas {
    QMutex cerrojo;
    std::vector<std::shared_ptr<const RutaPlan>> lista;
};
Rutas& LasRutas() {
    static Rutas& r = *new Rutas;  // lives as long as the process: sessions may outlive statics
    return r;
}

std::vector<std::shared_ptr<const RutaPlan>> RutasActuales() {
    Rutas& r = LasRutas();
    QMutexLocker g(&r.cerrojo);
    return r.lista;
}

}  // namespace

void RegistrarRuta(std::shared_ptr<const RutaPlan> ruta) {
    if (!ruta) return;
    Rutas& r = LasRutas();
    QMutexLocker g(&r.cerrojo);
    r.lista.push_back(std::move(ruta));
}

void QuitarRuta(const std::shared_ptr<const RutaPlan>& ruta) {
    Rutas& r = LasRutas();
    QMutexLocker g(&r.cerrojo);
    std::erase(r.lista, ruta);
}

std::vector<PlanSentencia> PlanificarLote(const QString& lote, TiposColumnas* tipos) {
    FalloLexico fallo;
    const std::vector<Token> todos = Tokenizar(lote, &fallo);
    if (fallo.numero != 0) throw ErrorTSQL(fallo.numero, fallo.mensaje, fallo.linea);
    std::vector<Token> significativos;
    significativos.reserve(todos.size());
    for (const Token& t : todos)
        if (t.Significativo()) significativos.push_back(t);

    // Parse every statement first: a batch with a syntax error runs not at all.
    std::vector<PlanSentencia> planes;
    traduccion::ContextoLote contexto;
    contexto.tipos = tipos;
    bool primera = true;
    for (const TramoSentencia& tramo : DividirSentencias(significativos)) {
        std::vector<Sentencia> salida;
        traduccion::Traductor traductor(significativos, lote, tramo.desde, tramo.hasta, contexto);
        traductor.Traducir(salida, primera);
        primera = false;
        for (Sentencia& s : salida) {
            PlanSentencia plan;
            plan.sentencia = std::move(s);
            plan.tokens.assign(significativos.begin() + tramo.desde, significativos.begin() + tramo.hasta);
            planes.push_back(std::move(plan));
        }
    }

    // The hook for routes of their own: each plan is offered to them in turn.
    const auto rutas = RutasActuales();
    if (!rutas.empty()) {
        for (PlanSentencia& plan : planes) {
            for (const auto& ruta : rutas) {
                if (ruta->Reclamar(plan)) {
                    plan.ruta = ruta;
                    break;
                }
                plan.datos.reset();
            }
        }
    }
    return planes;
}

}  // namespace kv::local

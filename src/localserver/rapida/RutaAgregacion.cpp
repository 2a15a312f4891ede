#include "localserver/rapida/RutaAgregacion.h"

#include <sqlite3.h>

#include <atomic>
#include <list>
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

// The last results of the route, for a load repeated on the same rows: a
// result is kept with the very columnar form it was computed from (held
// weakly, so it goes when that form goes: at any commit to the database, by
// anybody, the form is read again) and the statement's text and column
// types, and is handed out as a copy. Bounded to a quarter of the columnar
// cache's memory; the least recently used result goes first.
// A copy of a result, its rows copied on both cores (split where the fast
// route splits the rows it builds, so each thread counts references on the
// texts of its own half).
kv::db::ResultadoSentencia Copia(const kv::db::ResultadoSentencia& r) {
    kv::db::ResultadoSentencia c;
    c.tieneFilas = r.tieneFilas;
    c.columnas = r.columnas;
    c.filasAfectadas = r.filasAfectadas;
    c.error = r.error;
    c.mensajes = r.mensajes;
    c.filas.resize(r.filas.size());
    EnDosMitades(r.filas.size(), std::size_t(1) << 13, [&](std::size_t inicio, std::size_t fin, int) {
        for (std::size_t f = inicio; f < fin; ++f) c.filas[f] = r.filas[f];
    });
    return c;
}

class ResultadosRecientes {
  public:
    std::optional<kv::db::ResultadoSentencia> Buscar(const std::shared_ptr<const TablaColumnar>& tabla,
                                                     const QString& sql, const QString& tipos) {
        std::shared_ptr<const kv::db::ResultadoSentencia> hallado;
        {
            std::lock_guard<std::mutex> g(cerrojo_);
            Purgar();
            for (auto it = entradas_.begin(); it != entradas_.end(); ++it) {
                if (it->tabla.lock() == tabla && it->sql == sql && it->tipos == tipos) {
                    entradas_.splice(entradas_.begin(), entradas_, it);
                    hallado = entradas_.front().resultado;
                    break;
                }
            }
        }
        // Copied outside the lock: the entry stays alive while it is held here.
        if (!hallado) return std::nullopt;
        return Copia(*hallado);
    }

    void Guardar(const std::shared_ptr<const TablaColumnar>& tabla, const QString& sql, const QString& tipos,
                 const kv::db::ResultadoSentencia& r) {
        const std::size_t columnas = r.columnas.size();
        const std::size_t bytes =
            r.filas.size() * (columnas * sizeof(QVariant) + sizeof(std::vector<QVariant>) + 16) + 256;
        const std::size_t limite = CacheColumnar::Global().Limite() / 4;
        if (bytes > limite) return;
        auto copia = std::make_shared<const kv::db::ResultadoSentencia>(Copia(r));
        std::lock_guard<std::mutex> g(cerrojo_);
        Purgar();
        for (auto it = entradas_.begin(); it != entradas_.end(); ++it) {
            if (it->sql == sql && it->tipos == tipos && it->tabla.lock() == tabla) {
                enUso_ -= it->bytes;
                entradas_.erase(it);
                break;
            }
        }
        entradas_.push_front(Entrada{tabla, sql, tipos, std::move(copia), bytes});
        enUso_ += bytes;
        while (enUso_ > limite && !entradas_.empty()) {
            enUso_ -= entradas_.back().bytes;
            entradas_.pop_back();
        }
    }

  private:
    struct Entrada {
        std::weak_ptr<const TablaColumnar> tabla;
        QString sql;
        QString tipos;
        std::shared_ptr<const kv::db::ResultadoSentencia> resultado;
        std::size_t bytes = 0;
    };
    // Results of forms that are gone.
    void Purgar() {
        for (auto it = entradas_.begin(); it != entradas_.end();) {
            if (it->tabla.expired()) {
                enUso_ -= it->bytes;
                it = entradas_.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex cerrojo_;
    std::list<Entrada> entradas_;  // most recently used first
    std::size_t enUso_ = 0;
};

ResultadosRecientes& Resultados() {
    static ResultadosRecientes& r = *new ResultadosRecientes;  // sessions may outlive the statics
    return r;
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
    // Only a form the cache keeps can be met again (inside a transaction it is read afresh).
    const bool guardable = sqlite3_get_autocommit(base.db()) != 0;
    const QString tipos =
        QStringList(plan.sentencia.tiposColumnas.begin(), plan.sentencia.tiposColumnas.end())
            .join(QLatin1Char('\n'));
    if (guardable) {
        if (std::optional<kv::db::ResultadoSentencia> r =
                Resultados().Buscar(uso.tabla, plan.sentencia.sql, tipos))
            return r;
    }
    std::optional<FilasResultado> filas =
        Agregar(consulta, *uso.tabla, [&forma](int i, QVariant& v) { forma.Ajustar(i, v); });
    if (!filas) return std::nullopt;

    kv::db::ResultadoSentencia r;
    r.tieneFilas = true;
    r.filas = std::move(*filas);
    forma.Completar(r);
    if (guardable) Resultados().Guardar(uso.tabla, plan.sentencia.sql, tipos, r);
    return r;
}

void RegistrarRutaAgregacion() {
    static std::once_flag una;
    std::call_once(una, [] { RegistrarRuta(std::make_shared<RutaAgregacion>()); });
}

void ActivarRutaAgregacion(bool activa) { Activa() = activa; }
bool RutaAgregacionActiva() { return Activa(); }

}  // namespace kv::local::rapida

#include "localserver/rapida/RutaAgregacion.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <list>
#include <mutex>
#include <unordered_map>

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

// A result kept for a repeated load, its values unboxed column by column: a
// kind and eight bytes per value, each distinct text of a column once. It
// takes about a quarter of the memory of the rows themselves, so keeping it
// costs a first load little (fresh memory is the dear part of a copy) and
// more results fit in the share they are given. Made and turned back into
// rows on both cores, split where the fast route splits the rows it builds,
// so each thread counts references on the texts of its own half.
class ResultadoGuardado {
  public:
    explicit ResultadoGuardado(const kv::db::ResultadoSentencia& r)
        : cabecera_{r.tieneFilas, r.columnas, {}, r.filasAfectadas, r.error, r.mensajes},
          filas_(r.filas.size()) {
        const std::size_t n = r.columnas.size();
        clases_.resize(filas_ * n);
        datos_.resize(filas_ * n);
        EnDosMitades(filas_, kMinimo, [&](std::size_t inicio, std::size_t fin, int parte) {
            std::vector<QString>& textos = textos_[parte];
            std::vector<QVariant>& otros = otros_[parte];
            // A text already kept for the column, by the address of its characters.
            std::vector<std::unordered_map<const void*, std::uint32_t>> vistos(n);
            for (std::size_t f = inicio; f < fin; ++f) {
                const std::vector<QVariant>& fila = r.filas[f];
                for (std::size_t c = 0; c < n; ++c) {
                    const std::size_t i = f * n + c;
                    const QVariant& v = c < fila.size() ? fila[c] : QVariant();
                    std::uint64_t& dato = datos_[i];
                    Clase clase = Otro;
                    if (c >= fila.size()) {
                        clase = Ausente;
                    } else if (!v.isValid()) {
                        clase = Nulo;
                    } else if (v.typeId() == QMetaType::Int) {
                        clase = Entero;
                        dato = std::uint64_t(qint64(v.toInt()));
                    } else if (v.typeId() == QMetaType::LongLong) {
                        clase = EnteroLargo;
                        dato = std::uint64_t(v.toLongLong());
                    } else if (v.typeId() == QMetaType::Double) {
                        clase = Real;
                        const double d = v.toDouble();
                        std::memcpy(&dato, &d, sizeof d);
                    } else if (v.typeId() == QMetaType::QString) {
                        clase = Texto;
                        const QString& t = *static_cast<const QString*>(v.constData());
                        const auto [it, nuevo] = vistos[c].try_emplace(t.isNull() ? nullptr : t.constData(),
                                                                       std::uint32_t(textos.size()));
                        if (nuevo) textos.push_back(t);
                        dato = it->second;
                    }
                    if (clase == Otro) {
                        dato = otros.size();
                        otros.push_back(v);
                    }
                    clases_[i] = clase;
                }
            }
        });
    }

    kv::db::ResultadoSentencia Filas() const {
        kv::db::ResultadoSentencia r = cabecera_;
        r.filas.resize(filas_);
        const std::size_t n = r.columnas.size();
        EnDosMitades(filas_, kMinimo, [&](std::size_t inicio, std::size_t fin, int parte) {
            for (std::size_t f = inicio; f < fin; ++f) {
                std::vector<QVariant>& fila = r.filas[f];
                fila.reserve(n);
                for (std::size_t c = 0; c < n; ++c) {
                    const std::size_t i = f * n + c;
                    const std::uint64_t dato = datos_[i];
                    switch (Clase(clases_[i])) {
                        case Ausente:
                            break;
                        case Nulo:
                            fila.emplace_back();
                            break;
                        case Entero:
                            fila.emplace_back(int(qint64(dato)));
                            break;
                        case EnteroLargo:
                            fila.emplace_back(qlonglong(dato));
                            break;
                        case Real: {
                            double d;
                            std::memcpy(&d, &dato, sizeof d);
                            fila.emplace_back(d);
                            break;
                        }
                        case Texto:
                            fila.emplace_back(textos_[parte][std::size_t(dato)]);
                            break;
                        case Otro:
                            fila.push_back(otros_[parte][std::size_t(dato)]);
                            break;
                    }
                }
            }
        });
        return r;
    }

    // What keeping it takes, about.
    static std::size_t BytesPara(const kv::db::ResultadoSentencia& r) {
        return r.filas.size() * r.columnas.size() * (sizeof(std::uint64_t) + 1) + 256;
    }

  private:
    enum Clase : std::uint8_t { Ausente, Nulo, Entero, EnteroLargo, Real, Texto, Otro };
    static constexpr std::size_t kMinimo = std::size_t(1) << 13;

    kv::db::ResultadoSentencia cabecera_;  // all but the rows
    std::size_t filas_;
    std::vector<std::uint8_t> clases_;  // by row, then column
    std::vector<std::uint64_t> datos_;  // the number's bits, or the index of its text or value
    std::vector<QString> textos_[2];    // by half of the rows
    std::vector<QVariant> otros_[2];
};

// The last results of the route, for a load repeated on the same rows: a
// result is kept with the very columnar form it was computed from (held
// weakly, so it goes when that form goes: at any commit to the database, by
// anybody, the form is read again) and the statement's text and column
// types, and is handed out as rows of its own. Bounded to a quarter of the
// columnar cache's memory; the least recently used result goes first.
class ResultadosRecientes {
  public:
    std::optional<kv::db::ResultadoSentencia> Buscar(const std::shared_ptr<const TablaColumnar>& tabla,
                                                     const QString& sql, const QString& tipos) {
        std::shared_ptr<const ResultadoGuardado> hallado;
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
        // Made outside the lock: the entry stays alive while it is held here.
        if (!hallado) return std::nullopt;
        return hallado->Filas();
    }

    void Guardar(const std::shared_ptr<const TablaColumnar>& tabla, const QString& sql, const QString& tipos,
                 const kv::db::ResultadoSentencia& r) {
        const std::size_t bytes = ResultadoGuardado::BytesPara(r);
        const std::size_t limite = CacheColumnar::Global().Limite() / 4;
        if (bytes > limite) return;
        auto copia = std::make_shared<const ResultadoGuardado>(r);
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
        std::shared_ptr<const ResultadoGuardado> resultado;
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

// Batches: planning, the control flow between statements, variables, and running each
// statement by its own route or through SQLite.

#include "localserver/SesionEmbebida.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <cmath>

#include "localserver/Errores.h"
#include "localserver/Esquema.h"
#include "localserver/FormaResultado.h"
#include "localserver/Procedimientos.h"
#include "localserver/SesionInterna.h"
#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/MensajesRutinas.h"

namespace kv::local {

using kv::db::ColumnaResultado;
using kv::db::ErrorBD;
using kv::db::ErrorProveedor;
using kv::db::ResultadoSentencia;

using namespace sesion;

namespace {

// Rows of a query held before the rest go to a receptor one by one: enough to
// learn the types of its expression columns, few enough to weigh nothing.
constexpr size_t kFilasAntesDeEnviar = 500;

QString PrimeraPalabra(const QString& texto) {
    const QString t = texto.trimmed();
    qsizetype i = 0;
    while (i < t.size() && (t[i].isLetter() || t[i] == QLatin1Char('_'))) ++i;
    return t.left(i).toUpper();
}

// Declared column types of the session's database for the translator, read once
// per table in a batch.
class TiposDeBase : public TiposColumnas {
public:
    explicit TiposDeBase(BaseSqlite& base) : base_(base) {}
    QString Tipo(const QString& tabla, const QString& columna) override {
        const QString clave = tabla.toLower();
        auto it = tablas_.find(clave);
        if (it == tablas_.end()) it = tablas_.insert(clave, Leer(tabla));
        return it->value(columna.toLower());
    }

private:
    QHash<QString, QString> Leer(const QString& tabla) {
        QHash<QString, QString> tipos;
        if (EsTablaDelSistema(tabla)) return tipos;
        try {
            const auto def = LeerDefinicion(base_, tabla);
            if (def && !def->columnas.empty()) {
                for (const auto& c : def->columnas) tipos.insert(c.nombre.toLower(), c.tipo);
                return tipos;
            }
            // A view: the types kept when it was made, and the types of its columns
            // that are columns of a table.
            const QVariant hayTipos = base_.Escalar(QStringLiteral(
                "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'kv_sys_tipos_vista'"));
            if (hayTipos.toInt() > 0)
                for (const auto& f : base_.Filas(
                         QStringLiteral("SELECT columna, tipo FROM kv_sys_tipos_vista WHERE vista = ?1"), {tabla}))
                    tipos.insert(f[0].toString().toLower(), f[1].toString());
            const SentenciaPreparada guarda = PrepararLecturaColumnas(base_, tabla);
            if (!guarda) return tipos;
            sqlite3_stmt* st = guarda.get();
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const char* t = sqlite3_column_table_name(st, i);
                const char* o = sqlite3_column_origin_name(st, i);
                if (!t || !o || QString::fromUtf8(t).compare(tabla, Qt::CaseInsensitive) == 0) continue;
                const QString tipo = Tipo(QString::fromUtf8(t), QString::fromUtf8(o));
                if (!tipo.isEmpty()) tipos.insert(QString::fromUtf8(sqlite3_column_name(st, i)).toLower(), tipo);
            }
        } catch (const ErrorServidor&) {
        }
        return tipos;
    }

    BaseSqlite& base_;
    QHash<QString, QHash<QString, QString>> tablas_;
};

}  // namespace

namespace sesion {

std::unique_ptr<TiposColumnas> TiposDe(BaseSqlite& b) { return std::make_unique<TiposDeBase>(b); }

}  // namespace sesion

std::vector<ResultadoSentencia> SesionEmbebida::Ejecutar(const QString& lote, const std::vector<QVariant>& parametros,
                                                         int tiempoEspera) {
    std::vector<ResultadoSentencia> salida;
    EjecutarEn(lote, parametros, tiempoEspera, salida);
    return salida;
}

void SesionEmbebida::EjecutarHacia(const QString& lote, const std::vector<QVariant>& parametros, int tiempoEspera,
                                   ReceptorResultados& receptor) {
    std::vector<ResultadoSentencia> salida;
    struct Quitar {
        SesionEmbebida& s;
        ~Quitar() {
            s.receptor_ = nullptr;
            s.salidaLote_ = nullptr;
            s.entregados_ = 0;
        }
    } quitar{*this};
    receptor_ = &receptor;
    salidaLote_ = &salida;
    entregados_ = 0;
    EjecutarEn(lote, parametros, tiempoEspera, salida);
    EntregarHechos();
}

void SesionEmbebida::EntregarHechos() {
    if (!receptor_ || !salidaLote_) return;
    std::vector<ResultadoSentencia>& salida = *salidaLote_;
    // Counted before the call: the receptor may send, and a send may fail.
    while (entregados_ < salida.size()) {
        ResultadoSentencia r = std::move(salida[entregados_]);
        salida[entregados_] = ResultadoSentencia{};
        salida[entregados_].filasAfectadas = r.tieneFilas ? static_cast<qint64>(r.filas.size()) : r.filasAfectadas;
        ++entregados_;
        receptor_->Resultado(std::move(r));
    }
}

void SesionEmbebida::EjecutarEn(const QString& lote, const std::vector<QVariant>& parametros, int tiempoEspera,
                                std::vector<ResultadoSentencia>& salida) {
    std::vector<PlanSentencia> sentencias;
    try {
        std::optional<TiposDeBase> tipos;
        try {
            tipos.emplace(Base(base_));
        } catch (const ErrorServidor&) {
        }
        sentencias = PlanificarLote(lote, tipos ? &*tipos : nullptr);
    } catch (const ErrorTSQL& e) {
        ErrorBD error;
        error.errorNativo = e.numero();
        error.descripcion = e.mensaje();
        error.estadoSQL = QString::fromLatin1(estado::Sintaxis);
        error.origen = Origen();
        error.linea = e.linea();
        throw ErrorProveedor(error);
    }
    EmpezarLote(tiempoEspera);
    size_t siguienteParametro = 0;
    Marco marco;
    marco.sesion = true;
    EjecutarMarco(sentencias, parametros, siguienteParametro, salida, marco);
    TerminarLote();
}

void SesionEmbebida::EmpezarLote(int tiempoEspera) {
    conLimite_ = tiempoEspera > 0;
    limite_ = std::chrono::steady_clock::now() + std::chrono::seconds(tiempoEspera);
    AplicarLimite();
    variables_.clear();
    filas_ = 0;
    error_ = 0;
    memoria_.Reiniciar();
    intentosAbiertos_ = 0;
    capturados_.clear();
    marcos_.clear();
}

void SesionEmbebida::TerminarLote() {
    conLimite_ = false;
    AplicarLimite();
}

void SesionEmbebida::EjecutarMarco(const std::vector<PlanSentencia>& planes, const std::vector<QVariant>& parametros,
                                   size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida, Marco& marco) {
    // The batch is the outermost frame: an error that ends the batch ends here.
    try {
        EjecutarPlanes(planes, parametros, siguienteParametro, salida, marco);
    } catch (const TiempoDelLote&) {
        // Already reported.
    } catch (const ErrorServidor& e) {
        ResultadoSentencia r;
        r.error = e.ComoErrorBD(Origen());
        salida.push_back(std::move(r));
        error_ = e.numero();
        RevisarTransaccion();
    }
}

void SesionEmbebida::EjecutarPlanes(const std::vector<PlanSentencia>& sentencias,
                                    const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                                    std::vector<ResultadoSentencia>& salida, Marco& marco) {
    marcos_.push_back(&marco);
    if (!marco.planes) marco.planes = &sentencias;
    struct Salir {
        SesionEmbebida& s;
        Marco& m;
        ~Salir() {
            s.CerrarAmbito(m);
            s.intentosAbiertos_ -= static_cast<int>(m.capturas.size());
            s.capturados_.erase(s.capturados_.end() - static_cast<std::ptrdiff_t>(std::min(s.capturados_.size(), m.capturasEnCurso)), s.capturados_.end());
            s.marcos_.pop_back();
        }
    } salir{*this, marco};
    size_t pc = 0;
    while (pc < sentencias.size()) {
        const PlanSentencia& plan = sentencias[pc];
        const Sentencia& s = plan.sentencia;
        size_t siguiente = pc + 1;
        const size_t antes = salida.size();
        try {
            // The deadline also holds between statements: a loop of quick ones ends on time.
            ComprobarPlazo(conLimite_, limite_);
            switch (s.clase) {
                case Clase::Si: {
                    const auto filas = Consultar(s, parametros, siguienteParametro);
                    if (filas.empty() || filas.front().empty() || filas.front().front().toInt() == 0)
                        siguiente = static_cast<size_t>(s.salto);
                    break;
                }
                case Clase::Saltar:
                    siguiente = static_cast<size_t>(s.salto);
                    break;
                case Clase::Retornar:
                    if (!s.sql.isEmpty()) {
                        const auto filas = Consultar(s, parametros, siguienteParametro);
                        marco.retorno = filas.empty() || filas.front().empty() || filas.front().front().isNull()
                                            ? 0
                                            : filas.front().front().toInt();
                    }
                    siguiente = sentencias.size();
                    break;
                case Clase::Intentar:
                    marco.capturas.push_back(static_cast<size_t>(s.salto));
                    ++intentosAbiertos_;
                    break;
                case Clase::FinIntento:
                    if (!marco.capturas.empty()) {
                        marco.capturas.pop_back();
                        --intentosAbiertos_;
                    }
                    siguiente = static_cast<size_t>(s.salto);
                    break;
                case Clase::FinCaptura:
                    if (marco.capturasEnCurso > 0) {
                        --marco.capturasEnCurso;
                        capturados_.pop_back();
                    }
                    break;
                default:
                    if (!plan.ruta || !EjecutarPorRuta(plan, parametros, siguienteParametro, salida))
                        EjecutarSentencia(s, parametros, siguienteParametro, salida);
                    if (s.clase != Clase::Asignar && s.clase != Clase::Ejecutar &&
                        s.clase != Clase::EjecutarTexto) {
                        filas_ = 0;
                        for (size_t i = antes; i < salida.size(); ++i) {
                            if (salida[i].tieneFilas) filas_ += static_cast<qint64>(salida[i].filas.size());
                            else if (salida[i].filasAfectadas > 0) filas_ += salida[i].filasAfectadas;
                        }
                    }
                    break;
            }
            qint64 nuevos = 0;
            for (size_t i = antes; i < salida.size(); ++i) nuevos += TamanoResultado(salida[i]);
            memoria_.CerrarSentencia(nuevos);
            if (s.clase == Clase::Asignar) memoria_.FijarVariables(TamanoVariables(variables_));
            error_ = 0;
            // A statement of the batch itself is over: its results go now, and stop counting.
            if (Enviando(salida) && marcos_.size() == 1) {
                EntregarHechos();
                memoria_.SoltarResultados(nuevos);
            }
        } catch (const ErrorServidor& e) {
            ErrorServidor conLinea = e;
            // An error inside a called procedure keeps the line it has there.
            const bool llamada = s.clase == Clase::Ejecutar || s.clase == Clase::EjecutarTexto;
            if (!llamada || conLinea.linea() == 0) {
                conLinea.FijarLinea(s.linea);
                conLinea.FijarProcedimiento(marco.rutina);
            }
            RevisarTransaccion();
            error_ = e.numero();
            filas_ = 0;
            if (e.estadoSQL() == QLatin1String(estado::TiempoAgotado)) {
                // Past the deadline (a long statement, a lock wait) nothing more of the batch runs.
                ResultadoSentencia r;
                r.error = conLinea.ComoErrorBD(Origen());
                salida.push_back(std::move(r));
                throw TiempoDelLote{};
            }
            if (xactAbort_ && nivel_ > 0 && e.estadoSQL() != QLatin1String(estado::TiempoAgotado)) {
                // XACT_ABORT: a run-time error rolls the whole transaction back.
                Deshacer();
            }
            if (!marco.capturas.empty()) {
                // TRY ... CATCH: the error goes to the CATCH block, not to the client.
                siguiente = marco.capturas.back();
                marco.capturas.pop_back();
                --intentosAbiertos_;
                capturados_.push_back(conLinea);
                ++marco.capturasEnCurso;
                pc = siguiente;
                continue;
            }
            // A TRY of a caller catches it there; an error that ends the batch ends it.
            if (AbortaLote(e)) throw ErrorDeLote(conLinea);
            if (intentosAbiertos_ > 0 || xactAbort_) throw conLinea;
            ResultadoSentencia r;
            r.error = conLinea.ComoErrorBD(Origen());
            // Rows a procedure returned before it failed stay in front of the error.
            salida.push_back(std::move(r));
            // A condition that fails runs neither branch.
            if (s.clase == Clase::Si) siguiente = static_cast<size_t>(s.salto);
            // Past the session's memory the rest of the batch does not run, in any frame.
            if (e.numero() == mensajes::kMemoria) {
                DescartarResultados(salida);
                if (Enviando(salida)) entregados_ = 0;
                throw TiempoDelLote{};
            }
            try {
                qint64 nuevos = 0;
                for (size_t i = antes; i < salida.size(); ++i) nuevos += TamanoResultado(salida[i]);
                memoria_.CerrarSentencia(nuevos);
            } catch (const ErrorServidor& e701) {
                // Errors of a loop pile up too: past the bound the batch ends with 701.
                salida.back().error = e701.ComoErrorBD(Origen());
                DescartarResultados(salida);
                if (Enviando(salida)) entregados_ = 0;
                throw TiempoDelLote{};
            }
            pc = siguiente;
            continue;
        } catch (const std::exception&) {
            ResultadoSentencia r;
            ErrorServidor interno(err::ErrorInterno, msj::ErrorInterno(), QString::fromLatin1(estado::General), s.linea);
            r.error = interno.ComoErrorBD(Origen());
            salida.push_back(std::move(r));
            RevisarTransaccion();
            error_ = err::ErrorInterno;
            if (s.clase == Clase::Si) siguiente = static_cast<size_t>(s.salto);
            pc = siguiente;
            continue;
        }
        RevisarTransaccion();
        pc = siguiente;
    }
}

BaseSqlite& SesionEmbebida::BaseParaAlterar(const QString& tabla) {
    BaseSqlite& b = Base(base_);
    if (!PermisosActuales().definir)
        throw ErrorServidor(err::TablaNoEncontrada, msj::TablaNoEncontrada(tabla),
                            QString::fromLatin1(estado::TablaInexistente));
    return b;
}

void SesionEmbebida::EjecutarSentencia(const Sentencia& s, const std::vector<QVariant>& parametros,
                                       size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    if (!s.baseObjeto.isEmpty()) return EjecutarEnBaseDelObjeto(s, parametros, siguienteParametro, salida);
    if (!s.indice.isEmpty()) return EjecutarIndice(s, parametros, siguienteParametro, salida);
    if (EsCreacionDeSesion(s)) return CrearTablaEnSesion(s, parametros, siguienteParametro, salida);
    if (!s.insercion.isEmpty()) return InsertarEjecucion(s, parametros, siguienteParametro, salida);
    switch (s.clase) {
        case Clase::Consulta:
        case Clase::Modificacion:
            EjecutarSql(s, parametros, siguienteParametro, salida);
            return;
        case Clase::CrearTabla: {
            ExigirDefinir(QStringLiteral("CREATE TABLE"));
            BaseSqlite& b = Base(base_);
            Unir(b);
            DefinicionTabla def;
            def.nombre = s.tabla;
            def.columnas = s.columnas;
            def.clavePrimaria = s.clavePrimaria;
            def.nombreClave = s.nombreClave;
            CrearTabla(b, def);
            return;
        }
        case Clase::AgregarRestricciones: {
            BaseSqlite& b = BaseParaAlterar(s.tabla);
            Unir(b);
            AgregarRestricciones(b, s.tabla, s.clavePrimaria, s.nombreClave, s.defectos);
            return;
        }
        case Clase::AgregarColumna: {
            BaseSqlite& b = BaseParaAlterar(s.tabla);
            if (s.columnas.empty()) throw ErrorServidor(err::Sintaxis, msj::Sintaxis(s.tabla), QString::fromLatin1(estado::Sintaxis));
            Unir(b);
            if (s.clavePrimaria.isEmpty() && s.defectos.empty()) {
                AgregarColumnas(b, s.tabla, s.columnas);
                return;
            }
            // Columns and constraints in one ADD: one change of the table.
            b.Ejecutar(QStringLiteral("SAVEPOINT kv_agregar"));
            try {
                AgregarColumnas(b, s.tabla, s.columnas);
                AgregarRestricciones(b, s.tabla, s.clavePrimaria, s.nombreClave, s.defectos);
                b.Ejecutar(QStringLiteral("RELEASE kv_agregar"));
            } catch (...) {
                sqlite3_exec(b.db(), "ROLLBACK TO kv_agregar; RELEASE kv_agregar;", nullptr, nullptr,
                             nullptr);
                throw;
            }
            return;
        }
        case Clase::QuitarColumna: {
            BaseSqlite& b = BaseParaAlterar(s.tabla);
            Unir(b);
            QuitarColumna(b, s.tabla, s.objeto);
            return;
        }
        case Clase::Usar: {
            Usar(s.objeto);
            ResultadoSentencia r;
            r.mensajes << QStringLiteral("Se cambió el contexto de la base de datos a '%1'.").arg(base_);
            salida.push_back(std::move(r));
            return;
        }
        case Clase::CrearBase:
            CrearBase(s.objeto);
            return;
        case Clase::BorrarBase:
            BorrarBase(s.objeto);
            return;
        case Clase::Ejecutar:
            EjecutarProcedimiento(s, salida);
            return;
        case Clase::IniciarTransaccion:
            Iniciar();
            return;
        case Clase::ConfirmarTransaccion:
            Confirmar();
            return;
        case Clase::DeshacerTransaccion:
            Deshacer();
            return;
        case Clase::Asignar:
            Asignar(s, parametros, siguienteParametro);
            return;
        case Clase::Imprimir:
            Imprimir(s, parametros, siguienteParametro, salida);
            return;
        case Clase::Elevar:
            Elevar(s, parametros, siguienteParametro, salida);
            return;
        case Clase::Esperar: {
            const auto filas = Consultar(s, parametros, siguienteParametro);
            const QVariant hora = filas.empty() || filas.front().empty() ? QVariant() : filas.front().front();
            // WAITFOR with a NULL time does not wait.
            if (!hora.isNull()) Esperar(s.objeto, hora.toString(), conLimite_, limite_);
            return;
        }
        case Clase::Conceder:
        case Clase::Revocar:
            ConcederPermisos(s, s.clase == Clase::Conceder);
            return;
        case Clase::CrearProcedimiento:
            CrearRutina(s);
            return;
        case Clase::BorrarProcedimiento:
            BorrarRutinas(s);
            return;
        case Clase::EjecutarTexto:
            EjecutarDinamico(s, parametros, siguienteParametro, salida);
            return;
        case Clase::Lanzar:
            Lanzar(s, parametros, siguienteParametro);
            return;
        case Clase::Opcion:
            if (s.objeto == QLatin1String("XACT_ABORT")) xactAbort_ = s.sql == QLatin1String("ON");
            if (s.objeto == QLatin1String("LOCK_TIMEOUT")) {
                esperaBloqueoMs_ = s.sql.toInt();
                AplicarLimite();
            }
            return;
        case Clase::Seguridad:
            EjecutarSeguridad(s, salida);
            return;
        case Clase::Si:
        case Clase::Saltar:
        case Clase::Retornar:
        case Clase::Intentar:
        case Clase::FinIntento:
        case Clase::FinCaptura:
        case Clase::Nada:
            return;
    }
}

std::vector<std::vector<QVariant>> SesionEmbebida::Consultar(const Sentencia& s, const std::vector<QVariant>& parametros,
                                                             size_t& siguienteParametro) {
    Sentencia consulta = s;
    consulta.clase = Clase::Consulta;
    std::vector<ResultadoSentencia> resultado;
    EjecutarSql(consulta, parametros, siguienteParametro, resultado);
    for (auto& r : resultado)
        if (r.tieneFilas) return std::move(r.filas);
    return {};
}

void SesionEmbebida::Asignar(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro) {
    const auto filas = Consultar(s, parametros, siguienteParametro);
    filas_ = static_cast<qint64>(filas.size());
    // The last row gives the values; no row leaves the variables as they were.
    if (filas.empty()) return;
    const auto& fila = filas.back();
    for (int i = 0; i < s.variables.size() && i < static_cast<int>(fila.size()); ++i)
        variables_.insert(s.variables[i], fila[static_cast<size_t>(i)]);
}

void SesionEmbebida::Imprimir(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                              std::vector<ResultadoSentencia>& salida) {
    const auto filas = Consultar(s, parametros, siguienteParametro);
    ResultadoSentencia r;
    r.mensajes << (filas.empty() || filas.front().empty() ? QString() : filas.front().front().toString());
    salida.push_back(std::move(r));
    filas_ = 0;
}

void SesionEmbebida::Elevar(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro,
                            std::vector<ResultadoSentencia>& salida) {
    const auto filas = Consultar(s, parametros, siguienteParametro);
    if (filas.empty() || filas.front().size() < 3) return;
    const auto& f = filas.front();
    int numero = 50000;
    QString formato;
    if (f[0].typeId() == QMetaType::LongLong || f[0].typeId() == QMetaType::Int) numero = f[0].toInt();
    else formato = f[0].toString();
    // printf-style arguments: %s, %d, %i, %u (with flags and width), %% for a percent sign.
    QString mensaje;
    size_t argumento = 3;
    for (qsizetype i = 0; i < formato.size(); ++i) {
        if (formato[i] != QLatin1Char('%') || i + 1 >= formato.size()) {
            mensaje += formato[i];
            continue;
        }
        qsizetype j = i + 1;
        if (formato[j] == QLatin1Char('%')) {
            mensaje += QLatin1Char('%');
            i = j;
            continue;
        }
        while (j < formato.size() && QStringLiteral("-+ #0123456789.lhI").contains(formato[j])) ++j;
        if (j < formato.size() && QStringLiteral("sdiuoxX").contains(formato[j])) {
            const QVariant v = argumento < f.size() ? f[argumento++] : QVariant();
            mensaje += v.isNull() ? QStringLiteral("(null)") : v.toString();
            i = j;
        } else {
            mensaje += formato[i];
        }
    }
    const int severidad = f[1].toInt();
    if (severidad > 10) {
        ErrorServidor e(numero, mensaje, QString::fromLatin1(estado::General));
        throw e;
    }
    ResultadoSentencia r;
    r.mensajes << mensaje;
    salida.push_back(std::move(r));
    filas_ = 0;
}

QVariant SesionEmbebida::ValorVariable(const QString& parametro) {
    if (parametro == QLatin1String("@kv_filas")) return filas_;
    if (parametro == QLatin1String("@kv_error")) return error_;
    if (parametro == QLatin1String("@kv_transacciones")) return nivel_;
    if (parametro == QLatin1String("@kv_sesion")) return id_;
    if (parametro == QLatin1String("@kv_identidad")) {
        const auto v = Base(base_).UltimaIdentidad();
        return v ? QVariant(*v) : QVariant();
    }
    if (parametro == QLatin1String("@kv_base")) return base_;
    if (parametro.startsWith(QLatin1String("@kv_error_"))) {
        // What the innermost CATCH block running handles; NULL outside one.
        if (capturados_.empty()) return QVariant();
        const ErrorServidor& e = capturados_.back();
        if (parametro == QLatin1String("@kv_error_numero")) return e.numero();
        if (parametro == QLatin1String("@kv_error_mensaje")) return e.mensaje();
        if (parametro == QLatin1String("@kv_error_severidad")) return SeveridadDe(e);
        if (parametro == QLatin1String("@kv_error_estado")) return 1;
        if (parametro == QLatin1String("@kv_error_linea")) return e.linea();
        if (parametro == QLatin1String("@kv_error_procedimiento"))
            return e.procedimiento().isEmpty() ? QVariant() : QVariant(e.procedimiento());
        return QVariant();
    }
    if (parametro == QLatin1String("@kv_estado_transaccion")) return nivel_ > 0 ? 1 : 0;
    if (parametro == QLatin1String("@kv_login")) return login_;
    if (parametro == QLatin1String("@kv_usuario")) {
        if (catalogo_->TieneRolServidor(login_, QStringLiteral("sysadmin"))) return QStringLiteral("dbo");
        return catalogo_->UsuarioDeLogin(base_, login_).value_or(QStringLiteral("guest"));
    }
    if (parametro == QLatin1String("@kv_roles_servidor")) return ListaRolesServidor();
    if (parametro == QLatin1String("@kv_roles_base")) return ListaRolesBase();
    if (parametro == QLatin1String("@kv_principales_servidor")) {
        // "id<TAB>name" lines: the fixed server roles under SQL Server's ids, then the
        // logins; the initial administrator, the first login, is principal 1 as sa is.
        QStringList lineas = {QStringLiteral("2\tpublic"),       QStringLiteral("3\tsysadmin"),
                              QStringLiteral("4\tsecurityadmin"), QStringLiteral("5\tserveradmin"),
                              QStringLiteral("6\tsetupadmin"),    QStringLiteral("7\tprocessadmin"),
                              QStringLiteral("8\tdiskadmin"),     QStringLiteral("9\tdbcreator"),
                              QStringLiteral("10\tbulkadmin")};
        for (const auto& f :
             catalogo_->maestra().Filas(QStringLiteral("SELECT rowid, nombre FROM kv_sys_logins ORDER BY rowid"))) {
            const qint64 fila = f[0].toLongLong();
            lineas << QString::number(fila == 1 ? 1 : 255 + fila) + QLatin1Char('\t') + f[1].toString();
        }
        return lineas.join(QLatin1Char('\n'));
    }
    if (parametro == QLatin1String("@kv_principales_base")) {
        // The current database's principals: the fixed users and roles under SQL
        // Server's ids, then the users made in it.
        QStringList lineas = {QStringLiteral("0\tpublic"),
                              QStringLiteral("1\tdbo"),
                              QStringLiteral("2\tguest"),
                              QStringLiteral("3\tINFORMATION_SCHEMA"),
                              QStringLiteral("4\tsys"),
                              QStringLiteral("16384\tdb_owner"),
                              QStringLiteral("16385\tdb_accessadmin"),
                              QStringLiteral("16386\tdb_securityadmin"),
                              QStringLiteral("16387\tdb_ddladmin"),
                              QStringLiteral("16389\tdb_backupoperator"),
                              QStringLiteral("16390\tdb_datareader"),
                              QStringLiteral("16391\tdb_datawriter"),
                              QStringLiteral("16392\tdb_denydatareader"),
                              QStringLiteral("16393\tdb_denydatawriter")};
        for (const auto& f : catalogo_->maestra().Filas(
                 QStringLiteral("SELECT rowid, usuario FROM kv_sys_usuarios WHERE base = ?1 ORDER BY rowid"),
                 {base_}))
            lineas << QString::number(4 + f[0].toLongLong()) + QLatin1Char('\t') + f[1].toString();
        return lineas.join(QLatin1Char('\n'));
    }
    if (parametro == QLatin1String("@kv_bases")) {
        // "id<TAB>name" lines, for DB_ID and DB_NAME.
        QStringList lineas;
        for (const auto& f : catalogo_->maestra().Filas(QStringLiteral("SELECT rowid, nombre FROM kv_sys_bases")))
            lineas << f[0].toString() + QLatin1Char('\t') + f[1].toString();
        return lineas.join(QLatin1Char('\n'));
    }
    return variables_.value(parametro);
}

QString SesionEmbebida::TextoConOtrasBases(const Sentencia& s, BaseSqlite& b) {
    QString sql = s.sql;
    permisosExternos_.clear();
    for (qsizetype i = 0; i < s.bases.size(); ++i) {
        const QString& escrita = s.bases[i];
        const auto canonica = catalogo_->Base(escrita);
        if (!canonica) {
            // A database that does not exist names no object (208, as SQL Server).
            QString objeto = escrita;
            for (const QString& o : s.objetosExternos)
                if (o.section(QLatin1Char('.'), 0, 0).compare(escrita, Qt::CaseInsensitive) == 0) objeto = o;
            throw ErrorServidor(mensajes::kObjetoInvalido, mensajes::ObjetoInvalido(objeto),
                                QString::fromLatin1(estado::TablaInexistente));
        }
        const QString esquema = EsquemaDeBase(escrita) + QLatin1Char('.');
        if (canonica->compare(b.nombre(), Qt::CaseInsensitive) == 0) {
            sql.replace(esquema, QStringLiteral("main."));
            continue;
        }
        // Somebody else's database: the caller's own access and rights there.
        if (!catalogo_->PuedeUsar(login_, *canonica))
            throw ErrorServidor(mensajes::kSinAccesoBase, mensajes::SinAccesoBase(login_, *canonica),
                                QString::fromLatin1(estado::Sintaxis));
        Adjuntar(b, *canonica);
        permisosExternos_[(QStringLiteral("kv_db_") + escrita).toLower()] = {PermisosEn(*canonica), *canonica};
    }
    return sql;
}

void SesionEmbebida::Adjuntar(BaseSqlite& b, const QString& base) {
    const QString alias = QStringLiteral("kv_db_") + base;
    const QVariant ya = b.Escalar(QStringLiteral("SELECT count(*) FROM pragma_database_list WHERE name = ?1 COLLATE NOCASE"),
                                  {alias});
    if (ya.toInt() > 0) return;
    if (b.EnTransaccion())
        throw ErrorServidor(err::ErrorInterno,
                            QStringLiteral("La base de datos '%1' se nombra por primera vez dentro de una transacción "
                                           "que ya escribió en '%2'; nómbrela antes de la primera escritura.")
                                .arg(base, b.nombre()),
                            QString::fromLatin1(estado::General));
    Base(base);  // a missing or damaged file shows here, by its name
    b.Escalar(QStringLiteral("ATTACH DATABASE ?1 AS ") + EsquemaDeBase(base),
              {RutaBase(catalogo_->carpeta(), base)});
}

bool SesionEmbebida::EjecutarPorRuta(const PlanSentencia& plan, const std::vector<QVariant>& parametros,
                                     size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    const Sentencia& s = plan.sentencia;
    if (s.clase != Clase::Consulta && s.clase != Clase::Modificacion) return false;
    if (!s.bases.isEmpty()) return false;
    // The session's own tables take the general route.
    if (!s.tablasVariables.isEmpty() || s.sql.contains(QLatin1String("\"#"))) return false;
    BaseSqlite& b = Base(base_);
    // The rights are checked the general route's way: its text is prepared under the
    // authorizer. Any failure is left to the general route, which reports it as always.
    permisos_ = PermisosActuales();
    denegacion_.reset();
    const QByteArray texto = s.sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    sqlite3_set_authorizer(b.db(), &Autorizar, this);
    const int rc = sqlite3_prepare_v2(b.db(), texto.constData(), static_cast<int>(texto.size()), &st, nullptr);
    sqlite3_set_authorizer(b.db(), nullptr, nullptr);
    const bool escribe = rc == SQLITE_OK && st && !sqlite3_stmt_readonly(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_OK || denegacion_) return false;
    // As on the general route, only a write joins the open transaction.
    if (escribe) Unir(b);
    const size_t antes = siguienteParametro;
    EntornoRuta entorno{b, parametros, siguienteParametro};
    std::optional<ResultadoSentencia> r = plan.ruta->Ejecutar(plan, entorno);
    if (!r) {
        siguienteParametro = antes;
        return false;
    }
    salida.push_back(std::move(*r));
    return true;
}

void SesionEmbebida::EjecutarSql(const Sentencia& s, const std::vector<QVariant>& parametros,
                                 size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    BaseSqlite& b = Base(base_);
    const QString verbo = PrimeraPalabra(s.original.isEmpty() ? s.sql : s.original);
    const ContextoError contexto{verbo, s.tabla};
    permisos_ = PermisosActuales();
    // Other databases the statement names are reached through schemas of this handle.
    QString sql = s.bases.isEmpty() ? s.sql : TextoConOtrasBases(s, b);
    if (!s.tablasVariables.isEmpty()) sql = ConTablasVariables(sql, s.tablasVariables);
    const QByteArray texto = sql.toUtf8();
    const char* resto = texto.constData();
    const char* fin = resto + texto.size();
    bool alguno = false;
    while (resto < fin) {
        sqlite3_stmt* st = nullptr;
        const char* siguiente = nullptr;
        denegacion_.reset();
        sqlite3_set_authorizer(b.db(), &Autorizar, this);
        const int rcPrep = sqlite3_prepare_v2(b.db(), resto, static_cast<int>(fin - resto), &st, &siguiente);
        sqlite3_set_authorizer(b.db(), nullptr, nullptr);
        // What the authorizer refused, named as SQL Server names it.
        auto denegado = [&]() -> ErrorServidor {
            if (denegacion_->permiso == QLatin1String("FUNCION"))
                return ErrorServidor(err::FuncionDesconocida, msj::FuncionDesconocida(denegacion_->objeto),
                                     QString::fromLatin1(estado::Sintaxis));
            if (denegacion_->permiso.startsWith(QLatin1String("CREATE")))
                return ErrorServidor(err::PermisoBase, msj::PermisoBase(denegacion_->permiso, b.nombre()),
                                     QString::fromLatin1(estado::Sintaxis));
            return ErrorServidor(err::PermisoObjeto,
                                 msj::PermisoObjeto(denegacion_->permiso, denegacion_->objeto,
                                                    denegacion_->base.isEmpty() ? b.nombre() : denegacion_->base),
                                 QString::fromLatin1(estado::Sintaxis));
        };
        if (rcPrep != SQLITE_OK) {
            if (denegacion_) throw denegado();
            if (auto e = VistaNoActualizable(b)) throw *e;
            throw ErrorDeSqlite(b, sqlite3_extended_errcode(b.db()), contexto);
        }
        resto = siguiente;
        if (!st) continue;
        alguno = true;
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guarda(st, &sqlite3_finalize);
        // Only a statement that writes joins the open transaction (and takes the lock).
        if (!sqlite3_stmt_readonly(st)) Unir(b);
        const int nParam = sqlite3_bind_parameter_count(st);
        for (int i = 1; i <= nParam; ++i) {
            QVariant v;
            const char* nombre = sqlite3_bind_parameter_name(st, i);
            if (nombre && nombre[0] == '@') v = ValorVariable(QString::fromUtf8(nombre));
            else if (siguienteParametro < parametros.size()) v = parametros[siguienteParametro++];
            // Bound through the same rules as every other value.
            if (v.isNull() || !v.isValid()) {
                sqlite3_bind_null(st, i);
            } else if (v.typeId() == QMetaType::Bool) {
                sqlite3_bind_int(st, i, v.toBool() ? 1 : 0);
            } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong ||
                       v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::Short ||
                       v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::Long) {
                sqlite3_bind_int64(st, i, v.toLongLong());
            } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
                sqlite3_bind_double(st, i, v.toDouble());
            } else if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate) {
                const QByteArray t = (v.typeId() == QMetaType::QDate ? v.toDate().startOfDay() : v.toDateTime())
                                         .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                         .toUtf8();
                sqlite3_bind_text(st, i, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            } else if (v.typeId() == QMetaType::QByteArray) {
                const QByteArray t = v.toByteArray();
                sqlite3_bind_blob(st, i, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            } else {
                const QByteArray t = v.toString().toUtf8();
                sqlite3_bind_text(st, i, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            }
        }
        const int columnas = sqlite3_column_count(st);
        ResultadoSentencia r;
        if (columnas > 0) {
            r.tieneFilas = true;
            const FormaResultado forma(b, st, s.tiposColumnas);
            // With a receptor, past the first rows the rest go one by one and none is held.
            const bool puedeEnviar = Enviando(salida);
            bool enviando = false;
            std::uint64_t enviadas = 0;
            int rc;
            try {
                while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                    std::vector<QVariant> fila;
                    fila.reserve(static_cast<size_t>(columnas));
                    for (int i = 0; i < columnas; ++i) fila.push_back(forma.Valor(i, ValorColumna(st, i)));
                    if (enviando) {
                        receptor_->Fila(fila);
                        ++enviadas;
                        continue;
                    }
                    // The rows a batch holds count against the session's memory.
                    memoria_.SumarFila(TamanoFila(fila));
                    r.filas.push_back(std::move(fila));
                    if (puedeEnviar && r.filas.size() >= kFilasAntesDeEnviar) {
                        forma.Completar(r);
                        EntregarHechos();
                        enviando = true;
                        receptor_->EmpezarFilas(r);
                        enviadas = r.filas.size();
                        r.filas.clear();
                        r.filas.shrink_to_fit();
                        memoria_.SoltarFilas();
                    }
                }
                if (rc != SQLITE_DONE) throw ErrorDeSqlite(b, sqlite3_extended_errcode(b.db()), contexto);
            } catch (...) {
                if (enviando) receptor_->TerminarFilas(enviadas);
                throw;
            }
            if (enviando) {
                receptor_->TerminarFilas(enviadas);
                // What stays of it is its count, for @@ROWCOUNT.
                ResultadoSentencia hecho;
                hecho.filasAfectadas = static_cast<qint64>(enviadas);
                salida.push_back(std::move(hecho));
                entregados_ = salida.size();
                continue;
            }
            forma.Completar(r);
        } else {
            const std::int64_t filasVista = b.filasDeVista();
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE) throw ErrorDeSqlite(b, sqlite3_extended_errcode(b.db()), contexto);
            const QString v = PrimeraPalabra(QString::fromUtf8(sqlite3_sql(st)));
            if (v == QLatin1String("INSERT") || v == QLatin1String("UPDATE") || v == QLatin1String("DELETE") ||
                v == QLatin1String("REPLACE"))
                r.filasAfectadas = sqlite3_changes64(b.db()) + (b.filasDeVista() - filasVista);
        }
        salida.push_back(std::move(r));
    }
    if (verbo == QLatin1String("DROP")) DepurarCatalogo(b);
    if (verbo == QLatin1String("CREATE") && s.clase == Clase::Modificacion && !s.tiposColumnas.empty())
        GuardarTiposDeVista(b, s);
    if (verbo == QLatin1String("CREATE") && s.clase == Clase::Modificacion &&
        (!s.tablaVista.isEmpty() || s.vistaNoActualizable != 0))
        PrepararDmlDeVista(b, s);
    if (!alguno && s.clase == Clase::Consulta) {
        ResultadoSentencia r;
        r.tieneFilas = true;
        salida.push_back(std::move(r));
    }
}

}  // namespace kv::local

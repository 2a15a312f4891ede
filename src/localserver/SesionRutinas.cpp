// Procedures written in T-SQL and their frames: CREATE / ALTER / DROP PROCEDURE,
// a call with its arguments bound to the parameters, EXEC of a text and
// sp_executesql, THROW, and the bound on nesting.

#include <sqlite3.h>

#include <QDateTime>

#include "localserver/Errores.h"
#include "localserver/SesionEmbebida.h"
#include "localserver/SesionInterna.h"
#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/MensajesRutinas.h"
#include "localserver/tsql/Rutinas.h"

namespace kv::local {

using kv::db::ResultadoSentencia;

using namespace sesion;

namespace sesion {

void AsegurarTablaRutinas(BaseSqlite& b) {
    const QVariant hay = b.Escalar(QStringLiteral(
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'kv_sys_procedimientos'"));
    if (hay.toInt() > 0) return;
    b.Ejecutar(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS kv_sys_procedimientos (nombre TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
        "texto TEXT NOT NULL, creado TEXT, modificado TEXT)"));
}

}  // namespace sesion

namespace {

ErrorServidor ComoErrorServidor(const ErrorTSQL& e) {
    return ErrorServidor(e.numero(), e.mensaje(), QString::fromLatin1(estado::Sintaxis), e.linea());
}

QString Ahora() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")); }

}  // namespace

bool SesionEmbebida::AbortaLote(const ErrorServidor& e) { return dynamic_cast<const ErrorDeLote*>(&e) != nullptr; }

int SesionEmbebida::SeveridadDe(const ErrorServidor&) { return 16; }

void SesionEmbebida::EntrarNivel() {
    // The batch is the first frame; 32 calls may nest inside it.
    if (static_cast<int>(marcos_.size()) > mensajes::kNivelMaximoRutinas)
        throw ErrorDeLote(mensajes::kAnidamientoRutinas, mensajes::AnidamientoRutinas(),
                          QString::fromLatin1(estado::General));
}

std::optional<QString> SesionEmbebida::TextoDeRutina(const QString& base, const QString& nombre) {
    BaseSqlite& b = Base(base);
    const QVariant v =
        b.Escalar(QStringLiteral("SELECT texto FROM kv_sys_procedimientos WHERE nombre = ?1"), {nombre});
    if (!v.isValid() || v.isNull()) return std::nullopt;
    return v.toString();
}

QString SesionEmbebida::TextoDeNombreRutina(const QString& base, const QString& nombre) {
    const QVariant v = Base(base).Escalar(
        QStringLiteral("SELECT nombre FROM kv_sys_procedimientos WHERE nombre = ?1"), {nombre});
    return v.isValid() && !v.isNull() ? v.toString() : nombre;
}

void SesionEmbebida::CrearRutina(const Sentencia& s) {
    BaseSqlite& b = Base(base_);
    const QString verbo = s.sql;
    const QString permiso = verbo == QLatin1String("ALTER") ? QStringLiteral("ALTER") : QStringLiteral("CREATE PROCEDURE");
    if (!PermisosActuales().definir)
        throw ErrorServidor(err::PermisoBase, msj::PermisoBase(permiso, base_), QString::fromLatin1(estado::Sintaxis));
    const bool existe = TextoDeRutina(base_, s.objeto).has_value();
    if (verbo == QLatin1String("ALTER") && !existe)
        throw ErrorServidor(mensajes::kObjetoInvalido, mensajes::ObjetoInvalido(s.objeto),
                            QString::fromLatin1(estado::TablaInexistente));
    if (verbo == QLatin1String("CREATE") && existe)
        throw ErrorServidor(mensajes::kObjetoRepetido, mensajes::ObjetoRepetido(s.objeto),
                            QString::fromLatin1(estado::General));
    // A table or view of that name leaves no room for the procedure.
    const QVariant tabla = b.Escalar(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE"),
        {s.objeto});
    if (tabla.toInt() > 0)
        throw ErrorServidor(mensajes::kObjetoRepetido, mensajes::ObjetoRepetido(s.objeto),
                            QString::fromLatin1(estado::General));
    Unir(b);
    if (existe)
        b.Escalar(QStringLiteral("UPDATE kv_sys_procedimientos SET texto = ?2, modificado = ?3 WHERE nombre = ?1"),
                  {s.objeto, s.original, Ahora()});
    else
        b.Escalar(QStringLiteral("INSERT INTO kv_sys_procedimientos (nombre, texto, creado, modificado) VALUES "
                                 "(?1, ?2, ?3, ?3)"),
                  {s.objeto, s.original, Ahora()});
}

void SesionEmbebida::BorrarRutinas(const Sentencia& s) {
    BaseSqlite& b = Base(base_);
    const bool siExiste = s.sql == QLatin1String("IF EXISTS");
    const bool puede = PermisosActuales().definir;
    for (const Argumento& a : s.argumentos) {
        const QString nombre = a.valor.toString();
        if (!puede || !TextoDeRutina(base_, nombre)) {
            if (siExiste && puede) continue;
            throw ErrorServidor(mensajes::kProcedimientoNoQuitable, mensajes::ProcedimientoNoQuitable(nombre),
                                QString::fromLatin1(estado::General));
        }
        Unir(b);
        b.Escalar(QStringLiteral("DELETE FROM kv_sys_procedimientos WHERE nombre = ?1"), {nombre});
    }
}

int SesionEmbebida::LlamarRutina(const QString& base, const QString& nombre, const QString& texto,
                                 std::vector<Argumento>& args, std::vector<ResultadoSentencia>& salida,
                                 bool paraEjecutarTexto) {
    EntrarNivel();
    RutinaPlanificada rutina;
    try {
        const std::unique_ptr<TiposColumnas> tipos = TiposDe(Base(base));
        rutina = PlanificarRutina(texto, tipos.get());
    } catch (const ErrorTSQL& e) {
        throw ComoErrorServidor(e);
    }
    const auto& parametros = rutina.definicion.parametros;
    const QString nombreVisto = paraEjecutarTexto ? QString() : nombre;
    // Each argument to its parameter: by position first, then by name.
    std::vector<QVariant> entrada(parametros.size());
    std::vector<bool> dado(parametros.size(), false);
    std::vector<int> argumentoDe(parametros.size(), -1);
    size_t posicion = 0;
    bool conNombre = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const Argumento& a = args[i];
        size_t p = 0;
        if (a.nombre.isEmpty()) {
            if (conNombre)
                throw ErrorServidor(mensajes::kParametrosConNombre, mensajes::ParametrosConNombre(int(i) + 1),
                                    QString::fromLatin1(estado::Sintaxis));
            if (posicion >= parametros.size())
                throw ErrorServidor(mensajes::kDemasiadosArgumentos, mensajes::DemasiadosArgumentos(nombre),
                                    QString::fromLatin1(estado::Sintaxis));
            p = posicion++;
        } else {
            conNombre = true;
            p = parametros.size();
            for (size_t k = 0; k < parametros.size(); ++k)
                if (parametros[k].nombre.compare(a.nombre, Qt::CaseInsensitive) == 0) p = k;
            if (p == parametros.size())
                throw ErrorServidor(mensajes::kNoEsParametro, mensajes::NoEsParametro(a.nombre, nombre),
                                    QString::fromLatin1(estado::Sintaxis));
        }
        if (a.salida && !parametros[p].salida)
            throw ErrorServidor(mensajes::kNoEsDeSalida, mensajes::NoEsDeSalida(parametros[p].nombre),
                                QString::fromLatin1(estado::Sintaxis));
        argumentoDe[p] = int(i);
        if (a.porDefecto) continue;
        entrada[p] = a.valor;
        dado[p] = true;
    }
    for (size_t p = 0; p < parametros.size(); ++p) {
        if (dado[p]) continue;
        if (!parametros[p].conDefecto)
            throw ErrorServidor(mensajes::kParametroFaltante, mensajes::ParametroFaltante(nombre, parametros[p].nombre),
                                QString::fromLatin1(estado::Sintaxis));
        entrada[p] = parametros[p].defecto;
    }

    // The frame: its own variables and database; the caller's come back on every way out.
    Marco marco;
    marco.rutina = nombreVisto;
    marco.base = base;
    marco.encadena = !paraEjecutarTexto;
    QHash<QString, QVariant> propias;
    for (size_t p = 0; p < parametros.size(); ++p) propias.insert(ParametroDeEntrada(p), entrada[p]);
    struct Restaurar {
        SesionEmbebida& s;
        QHash<QString, QVariant> variables;
        QString base;
        ~Restaurar() {
            s.variables_.swap(variables);
            s.base_ = base;
        }
    } restaurar{*this, {}, base_};
    restaurar.variables.swap(variables_);
    variables_ = std::move(propias);
    base_ = base;
    const int transacciones = nivel_;
    size_t ninguno = 0;
    EjecutarPlanes(rutina.cuerpo, {}, ninguno, salida, marco);
    for (size_t p = 0; p < parametros.size(); ++p)
        if (argumentoDe[p] >= 0 && args[size_t(argumentoDe[p])].salida)
            args[size_t(argumentoDe[p])].valor = variables_.value(ParametroDeVariableRutina(p));
    if (!paraEjecutarTexto && nivel_ != transacciones) {
        // The call left the transaction count as it found it, or says so.
        ResultadoSentencia r;
        r.error = ErrorServidor(mensajes::kTransaccionesDescuadradas,
                                mensajes::TransaccionesDescuadradas(transacciones, nivel_),
                                QString::fromLatin1(estado::General))
                      .ComoErrorBD(Origen());
        salida.push_back(std::move(r));
    }
    return marco.retorno.value_or(0);
}

void SesionEmbebida::EjecutarTextoEnMarco(const QString& texto, std::vector<ResultadoSentencia>& salida) {
    EntrarNivel();
    std::vector<PlanSentencia> planes;
    try {
        std::unique_ptr<TiposColumnas> tipos;
        try {
            tipos = TiposDe(Base(base_));
        } catch (const ErrorServidor&) {
        }
        planes = PlanificarLote(texto, tipos.get());
    } catch (const ErrorTSQL& e) {
        throw ComoErrorServidor(e);
    }
    // A text run by EXEC has its own variables and is checked against the caller;
    // a USE inside it lasts until it ends.
    Marco marco;
    marco.base = base_;
    struct Restaurar {
        SesionEmbebida& s;
        QHash<QString, QVariant> variables;
        QString base;
        ~Restaurar() {
            s.variables_.swap(variables);
            s.base_ = base;
        }
    } restaurar{*this, {}, base_};
    restaurar.variables.swap(variables_);
    size_t ninguno = 0;
    EjecutarPlanes(planes, {}, ninguno, salida, marco);
}

void SesionEmbebida::EjecutarDinamico(const Sentencia& s, const std::vector<QVariant>& parametros,
                                      size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    const auto filas = Consultar(s, parametros, siguienteParametro);
    const QString texto = filas.empty() || filas.front().empty() ? QString() : filas.front().front().toString();
    if (texto.trimmed().isEmpty()) return;
    EjecutarTextoEnMarco(texto, salida);
}

int SesionEmbebida::EjecutarSqlConParametros(std::vector<Argumento>& argumentos,
                                             std::vector<ResultadoSentencia>& salida) {
    // sp_executesql [@stmt =] texto [, [@params =] N'@a int, @b nvarchar(10) OUTPUT' [, valores...]]
    const Argumento* texto = nullptr;
    const Argumento* declaracion = nullptr;
    std::vector<Argumento> valores;
    size_t posicion = 0;
    for (const Argumento& a : argumentos) {
        if (a.nombre.compare(QLatin1String("@stmt"), Qt::CaseInsensitive) == 0) {
            texto = &a;
        } else if (a.nombre.compare(QLatin1String("@params"), Qt::CaseInsensitive) == 0) {
            declaracion = &a;
        } else if (a.nombre.isEmpty() && posicion == 0 && !texto) {
            texto = &a;
            ++posicion;
        } else if (a.nombre.isEmpty() && posicion == 1 && !declaracion) {
            declaracion = &a;
            ++posicion;
        } else {
            valores.push_back(a);
        }
    }
    if (!texto || texto->valor.isNull())
        throw ErrorServidor(mensajes::kParametroFaltante,
                            mensajes::ParametroFaltante(QStringLiteral("sp_executesql"), QStringLiteral("@statement")),
                            QString::fromLatin1(estado::Sintaxis));
    const QString lista = declaracion ? declaracion->valor.toString() : QString();
    const QString cuerpo = texto->valor.toString();
    if (cuerpo.trimmed().isEmpty()) return 0;
    int estado = 0;
    if (lista.trimmed().isEmpty() && valores.empty()) {
        EjecutarTextoEnMarco(cuerpo, salida);
    } else {
        // The parameter list is a procedure's header; the text its body.
        const QString definicion = QStringLiteral("CREATE PROCEDURE sp_executesql ") + lista + QStringLiteral(" AS ") + cuerpo;
        estado = LlamarRutina(base_, QStringLiteral("sp_executesql"), definicion, valores, salida, true);
    }
    // The values OUTPUT arguments took, back in the caller's list.
    size_t v = 0;
    for (Argumento& a : argumentos) {
        if (&a == texto || &a == declaracion) continue;
        if (v < valores.size()) a.valor = valores[v++].valor;
    }
    return estado;
}

void SesionEmbebida::Lanzar(const Sentencia& s, const std::vector<QVariant>& parametros, size_t& siguienteParametro) {
    if (s.sql.isEmpty()) {
        if (capturados_.empty())
            throw ErrorDeLote(mensajes::kRelanzarFueraDeCatch, mensajes::RelanzarFueraDeCatch(),
                              QString::fromLatin1(estado::General));
        throw ErrorDeLote(capturados_.back());
    }
    const auto filas = Consultar(s, parametros, siguienteParametro);
    if (filas.empty() || filas.front().size() < 3) return;
    const auto& f = filas.front();
    const qint64 numero = f[0].toLongLong();
    if (numero < 50000 || numero > 2147483647)
        throw ErrorDeLote(mensajes::kNumeroThrow, mensajes::NumeroThrow(numero), QString::fromLatin1(estado::General));
    throw ErrorDeLote(static_cast<int>(numero), f[1].toString(), QString::fromLatin1(estado::General));
}

SesionEmbebida::ResultadoLlamada SesionEmbebida::LlamarProcedimiento(const QString& nombre,
                                                                     const std::vector<ArgumentoLlamada>& argumentos,
                                                                     int tiempoEspera) {
    ResultadoLlamada resultado;
    EmpezarLote(tiempoEspera);
    // The call is a batch of one EXEC whose OUTPUT arguments are variables of its own.
    Sentencia s;
    s.clase = Clase::Ejecutar;
    s.objeto = nombre;
    s.variables = QStringList{QStringLiteral("@kv_llamada_estado")};
    for (size_t i = 0; i < argumentos.size(); ++i) {
        Argumento a;
        a.nombre = argumentos[i].nombre;
        a.valor = argumentos[i].valor;
        a.salida = argumentos[i].salida;
        if (a.salida) {
            a.variable = QStringLiteral("@kv_llamada_%1").arg(i + 1);
            variables_.insert(a.variable, a.valor);
        }
        s.argumentos.push_back(a);
    }
    PlanSentencia plan;
    plan.sentencia = s;
    Marco marco;
    marco.sesion = true;
    size_t ninguno = 0;
    EjecutarMarco({plan}, {}, ninguno, resultado.resultados, marco);
    resultado.estado = variables_.value(QStringLiteral("@kv_llamada_estado")).toInt();
    for (size_t i = 0; i < s.argumentos.size(); ++i)
        if (s.argumentos[i].salida)
            resultado.salidas.emplace_back(
                s.argumentos[i].nombre.isEmpty() ? QString::number(i + 1) : s.argumentos[i].nombre,
                variables_.value(s.argumentos[i].variable));
    TerminarLote();
    return resultado;
}

}  // namespace kv::local

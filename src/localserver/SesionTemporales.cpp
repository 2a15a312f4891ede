// The session's own tables: temporary tables (#t) that live until the session or the
// procedure that made them ends, table variables of one frame, SELECT ... INTO, and
// INSERT ... EXEC.

#include <sqlite3.h>

#include <algorithm>
#include <limits>

#include "localserver/Errores.h"
#include "localserver/Esquema.h"
#include "localserver/SesionEmbebida.h"
#include "localserver/SesionInterna.h"
#include "localserver/tsql/MensajesRutinas.h"
#include "localserver/tsql/Traductor.h"

namespace kv::local {

using kv::db::ResultadoSentencia;

using namespace sesion;

namespace {

// The declared column a SELECT ... INTO makes of a result column: its declared or
// computed type, or else the kind of the values it gives.
ColumnaDeclarada ColumnaDeResultado(const kv::db::ColumnaResultado& r,
                                    const std::vector<std::vector<QVariant>>& filas, size_t i) {
    ColumnaDeclarada c;
    c.nombre = r.nombre;
    c.tipo = r.tipoServidor.toLower();
    if (c.tipo == QLatin1String("decimal") || c.tipo == QLatin1String("numeric")) {
        c.precision = r.precision > 0 ? r.precision : 38;
        c.escala = r.precision > 0 ? r.escala : 10;
    }
    if (c.tipo.contains(QLatin1String("char")) || c.tipo.contains(QLatin1String("binary")))
        c.longitud = r.tamano > 0 && r.tamano <= 8000 ? r.tamano : -1;
    if (!c.tipo.isEmpty()) return c;
    QVariant muestra;
    for (const auto& f : filas)
        if (i < f.size() && !f[i].isNull()) {
            muestra = f[i];
            break;
        }
    switch (muestra.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            c.tipo = QStringLiteral("float");
            break;
        case QMetaType::QByteArray:
            c.tipo = QStringLiteral("varbinary");
            c.longitud = -1;
            break;
        case QMetaType::QString:
            c.tipo = QStringLiteral("nvarchar");
            c.longitud = -1;
            break;
        case QMetaType::QDateTime:
        case QMetaType::QDate:
            c.tipo = QStringLiteral("datetime");
            break;
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            const qint64 v = muestra.toLongLong();
            c.tipo = v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max()
                         ? QStringLiteral("bigint")
                         : QStringLiteral("int");
            break;
        }
        default:
            // A NULL or an int: SQL Server makes an int column of both.
            c.tipo = QStringLiteral("int");
            break;
    }
    return c;
}

}  // namespace

bool SesionEmbebida::EsCreacionDeSesion(const Sentencia& s) {
    return s.clase == Clase::CrearTabla && (EsNombreTemporal(s.tabla) || !s.sql.isEmpty() ||
                                            (s.tabla.startsWith(QLatin1Char('@')) && !s.variables.isEmpty()));
}

void SesionEmbebida::DeclararTablaVariable(const Sentencia& s, Marco& marco) {
    // Run again (in a loop) it keeps its table and rows.
    const QString& parametro = s.variables.front();
    if (marco.tablasVariables.contains(parametro)) return;
    BaseSqlite& b = Base(base_);
    DefinicionTabla def;
    def.nombre = NombreVariableDeTabla(parametro) + QLatin1Char(':') + QString::number(++serieTablas_);
    def.columnas = s.columnas;
    def.clavePrimaria = s.clavePrimaria;
    def.nombreClave = s.nombreClave;
    CrearTablaDeSesion(b, def);
    marco.tablasVariables.insert(parametro, {&b, def.nombre});
}

void SesionEmbebida::OcultarTemporal(BaseSqlite& b, const QString& nombre, Marco& marco) {
    for (const auto& [base, tabla] : marco.temporales)
        if (base == &b && tabla.compare(nombre, Qt::CaseInsensitive) == 0) return;  // its own: 2714 follows
    const QVariant fisico = b.Escalar(
        QStringLiteral("SELECT name FROM sqlite_temp_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE"),
        {nombre});
    if (fisico.isNull()) return;
    const QString actual = fisico.toString();
    const QString guardada = actual + QStringLiteral(":oculta:") + QString::number(++serieTablas_);
    // Its triggers carry its name: they go, and are made again when it comes back.
    for (const auto& f : b.Filas(QStringLiteral("SELECT name FROM sqlite_temp_master WHERE type = 'trigger' AND "
                                                "tbl_name = ?1 COLLATE NOCASE"),
                                 {actual}))
        b.Ejecutar(QLatin1String("DROP TRIGGER temp.") + traduccion::CitarNombre(f[0].toString()));
    b.Ejecutar(QLatin1String("ALTER TABLE temp.") + traduccion::CitarNombre(actual) + QLatin1String(" RENAME TO ") +
               traduccion::CitarNombre(guardada));
    if (!b.Escalar(QStringLiteral("SELECT name FROM sqlite_temp_master WHERE name = 'kv_sys_identidad_sesion'")).isNull())
        b.Escalar(QStringLiteral("UPDATE temp.kv_sys_identidad_sesion SET tabla = ?2 WHERE tabla = ?1"), {actual, guardada});
    auto& tablas = b.tablasDeSesion();
    tablas.insert(guardada.toLower(), tablas.take(actual.toLower()));
    marco.ocultas.push_back({&b, actual, guardada});
}

void SesionEmbebida::RestaurarOcultas(Marco& marco) {
    for (auto it = marco.ocultas.rbegin(); it != marco.ocultas.rend(); ++it) {
        BaseSqlite& b = *it->base;
        try {
            // The frame's own of that name is already gone with the frame.
            b.Ejecutar(QLatin1String("DROP TABLE IF EXISTS temp.") + traduccion::CitarNombre(it->nombre));
            b.Ejecutar(QLatin1String("ALTER TABLE temp.") + traduccion::CitarNombre(it->guardada) +
                       QLatin1String(" RENAME TO ") + traduccion::CitarNombre(it->nombre));
            if (!b.Escalar(QStringLiteral("SELECT name FROM sqlite_temp_master WHERE name = 'kv_sys_identidad_sesion'"))
                     .isNull()) {
                b.Escalar(QStringLiteral("DELETE FROM temp.kv_sys_identidad_sesion WHERE tabla = ?1"), {it->nombre});
                b.Escalar(QStringLiteral("UPDATE temp.kv_sys_identidad_sesion SET tabla = ?2 WHERE tabla = ?1"),
                          {it->guardada, it->nombre});
            }
            auto& tablas = b.tablasDeSesion();
            const BaseSqlite::TablaDeSesion t = tablas.take(it->guardada.toLower());
            tablas.insert(it->nombre.toLower(), t);
            DefinicionTabla def;
            def.nombre = it->nombre;
            def.columnas = t.columnas;
            def.clavePrimaria = t.clavePrimaria;
            def.nombreClave = t.nombreClave;
            for (const QString& sql : SqlDisparadores(def)) b.Ejecutar(sql);
        } catch (const ErrorServidor&) {
            // Never throws: what cannot be put back stays under the name it was kept under.
        }
    }
    marco.ocultas.clear();
}

void SesionEmbebida::CrearTablaEnSesion(const Sentencia& s, const std::vector<QVariant>& parametros,
                                        size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    BaseSqlite& b = Base(base_);
    Marco& marco = *marcos_.back();
    if (s.sql.isEmpty() && s.tabla.startsWith(QLatin1Char('@'))) {
        DeclararTablaVariable(s, marco);
        return;
    }
    DefinicionTabla def;
    def.nombre = s.tabla;
    def.columnas = s.columnas;
    def.clavePrimaria = s.clavePrimaria;
    def.nombreClave = s.nombreClave;
    const bool temporal = EsNombreTemporal(s.tabla);
    // A procedure's (or an EXEC'd text's) own #t hides a caller's of the same name until it ends.
    if (temporal && !marco.sesion) OcultarTemporal(b, s.tabla, marco);
    if (s.sql.isEmpty()) {
        // CREATE TABLE #t: no right is needed; an open transaction takes it in.
        Unir(b);
        CrearTablaDeSesion(b, def);
        if (!marco.sesion) marco.temporales.emplace_back(&b, def.nombre);
        return;
    }
    // SELECT ... INTO t: the columns of the query's first row say the new table's shape.
    if (!temporal) ExigirDefinir(QStringLiteral("CREATE TABLE"));
    Sentencia muestra = s;
    muestra.clase = Clase::Consulta;
    muestra.sql = QLatin1String("SELECT * FROM (") + s.sql + QLatin1String(") LIMIT 1");
    std::vector<ResultadoSentencia> forma;
    size_t paraMuestra = siguienteParametro;
    EjecutarSql(muestra, parametros, paraMuestra, forma);
    const ResultadoSentencia* columnas = nullptr;
    for (const auto& r : forma)
        if (r.tieneFilas) columnas = &r;
    if (!columnas || columnas->columnas.empty())
        throw ErrorServidor(err::Sintaxis, msj::Sintaxis(QStringLiteral("INTO")),
                            QString::fromLatin1(estado::Sintaxis));
    QStringList nombres;
    for (size_t i = 0; i < columnas->columnas.size(); ++i) {
        const ColumnaDeclarada c = ColumnaDeResultado(columnas->columnas[i], columnas->filas, i);
        if (c.nombre.trimmed().isEmpty())
            throw ErrorServidor(
                1038,
                QStringLiteral("Un nombre de objeto o de columna falta o está vacío. En las "
                               "instrucciones SELECT INTO, compruebe que cada columna tiene un "
                               "nombre."),
                QString::fromLatin1(estado::Sintaxis));
        def.columnas.push_back(c);
        nombres << traduccion::CitarNombre(c.nombre);
    }
    Unir(b);
    if (temporal) {
        CrearTablaDeSesion(b, def);
        if (!marco.sesion) marco.temporales.emplace_back(&b, def.nombre);
    } else {
        CrearTabla(b, def);
    }
    Sentencia insercion = s;
    insercion.clase = Clase::Modificacion;
    insercion.sql = QLatin1String("INSERT INTO ") + traduccion::CitarNombre(def.nombre) +
                    QLatin1String(" (") + nombres.join(QLatin1String(", ")) +
                    QLatin1String(") SELECT * FROM (") + s.sql + QLatin1Char(')');
    EjecutarSql(insercion, parametros, siguienteParametro, salida);
}

QString SesionEmbebida::ConTablasVariables(QString sql, const QStringList& tablas) {
    // Only the frame's own: a called procedure or a text run by EXEC does not see them.
    static const QHash<QString, std::pair<BaseSqlite*, QString>> ninguna;
    const auto& propias = marcos_.empty() ? ninguna : marcos_.back()->tablasVariables;
    for (const QString& parametro : tablas) {
        auto it = propias.constFind(parametro);
        if (it == propias.constEnd() && !marcos_.empty() && marcos_.back()->planes) {
            // Declared in the frame's text but not run (a branch not taken): it is declared
            // all the same, empty, as declarations hold for the whole text.
            for (const PlanSentencia& p : *marcos_.back()->planes) {
                const Sentencia& d = p.sentencia;
                if (d.clase == Clase::CrearTabla && d.sql.isEmpty() && d.tabla.startsWith(QLatin1Char('@')) &&
                    !d.variables.isEmpty() && d.variables.front() == parametro) {
                    DeclararTablaVariable(d, *marcos_.back());
                    it = propias.constFind(parametro);
                    break;
                }
            }
        }
        if (it == propias.constEnd())
            throw ErrorServidor(mensajes::kVariableDeTablaNoDeclarada,
                                mensajes::VariableDeTablaNoDeclarada(parametro),
                                QString::fromLatin1(estado::Sintaxis));
        sql.replace(traduccion::CitarNombre(NombreVariableDeTabla(parametro)),
                    traduccion::CitarNombre(it->second));
    }
    return sql;
}

void SesionEmbebida::CerrarAmbito(Marco& marco) {
    auto quitar = [](BaseSqlite* b, const QString& tabla) {
        const QByteArray sql =
            (QLatin1String("DROP TABLE IF EXISTS temp.") + traduccion::CitarNombre(tabla)).toUtf8();
        sqlite3_exec(b->db(), sql.constData(), nullptr, nullptr, nullptr);
        b->tablasDeSesion().remove(tabla.toLower());
    };
    for (const auto& [b, tabla] : marco.temporales) quitar(b, tabla);
    for (const auto& [b, tabla] : marco.tablasVariables) quitar(b, tabla);
    marco.temporales.clear();
    marco.tablasVariables.clear();
    RestaurarOcultas(marco);
}

void SesionEmbebida::InsertarEjecucion(const Sentencia& s, const std::vector<QVariant>& parametros,
                                       size_t& siguienteParametro, std::vector<ResultadoSentencia>& salida) {
    if (insertandoEjecucion_ > 0)
        throw ErrorServidor(mensajes::kInsertarEjecutarAnidado, mensajes::InsertarEjecutarAnidado(),
                            QString::fromLatin1(estado::General));
    Sentencia llamada = s;
    llamada.insercion.clear();
    std::vector<ResultadoSentencia> devueltos;
    {
        struct Contar {
            int& n;
            explicit Contar(int& c) : n(c) { ++n; }
            ~Contar() { --n; }
        } contar(insertandoEjecucion_);
        EjecutarSentencia(llamada, parametros, siguienteParametro, devueltos);
    }
    // Messages and errors of the call reach the client; its rows go into the table.
    qint64 insertadas = 0;
    for (ResultadoSentencia& r : devueltos) {
        if (!r.tieneFilas) {
            if (r.error || !r.mensajes.isEmpty()) salida.push_back(std::move(r));
            continue;
        }
        if (r.filas.empty()) continue;
        QStringList marcas;
        for (size_t i = 0; i < r.columnas.size(); ++i) marcas << QStringLiteral("?");
        Sentencia insercion = s;
        insercion.clase = Clase::Modificacion;
        insercion.insercion.clear();
        insercion.sql =
            s.insercion + QLatin1String(" VALUES (") + marcas.join(QLatin1String(", ")) + QLatin1Char(')');
        for (const auto& fila : r.filas) {
            std::vector<ResultadoSentencia> hecho;
            size_t k = 0;
            EjecutarSql(insercion, fila, k, hecho);
            for (const auto& h : hecho)
                if (h.filasAfectadas > 0) insertadas += h.filasAfectadas;
        }
    }
    ResultadoSentencia total;
    total.filasAfectadas = insertadas;
    salida.push_back(std::move(total));
    filas_ = insertadas;
}

std::vector<SesionEmbebida::CopiaTablaVariable> SesionEmbebida::CopiarTablasVariables() {
    std::vector<CopiaTablaVariable> copias;
    for (const Marco* m : marcos_)
        for (const auto& [b, tabla] : m->tablasVariables) {
            if (!enTransaccion_.count(b)) continue;
            CopiaTablaVariable c{b, tabla, {}};
            try {
                c.filas = b->Filas(QLatin1String("SELECT * FROM temp.") + traduccion::CitarNombre(tabla));
            } catch (const ErrorServidor&) {
                continue;
            }
            copias.push_back(std::move(c));
        }
    return copias;
}

void SesionEmbebida::RestaurarTablasVariables(const std::vector<CopiaTablaVariable>& copias) {
    for (const CopiaTablaVariable& c : copias) {
        const auto def = LeerDefinicion(*c.base, c.tabla);
        const auto guardada = c.base->tablasDeSesion().value(c.tabla.toLower());
        DefinicionTabla d;
        d.nombre = c.tabla;
        d.columnas = guardada.columnas;
        d.clavePrimaria = guardada.clavePrimaria;
        d.nombreClave = guardada.nombreClave;
        if (d.columnas.empty()) continue;
        const QString tabla = traduccion::CitarNombre(c.tabla);
        try {
            // Declared inside the transaction, the table went with it: it is made again.
            if (!def) CrearTablaDeSesion(*c.base, d);
            c.base->Ejecutar(QLatin1String("DELETE FROM temp.") + tabla);
            const bool identidad = std::any_of(d.columnas.begin(), d.columnas.end(),
                                               [](const ColumnaDeclarada& col) { return col.identidad; });
            // The rows keep their identity values: the trigger that refuses given ones is set aside.
            if (identidad)
                c.base->Ejecutar(QLatin1String("DROP TRIGGER IF EXISTS temp.") +
                                 traduccion::CitarNombre(QStringLiteral("kv_sys_trg_") + c.tabla +
                                                         QStringLiteral("_identidad")));
            QStringList marcas;
            for (size_t i = 0; i < d.columnas.size(); ++i) marcas << QStringLiteral("?%1").arg(i + 1);
            const QString insertar = QLatin1String("INSERT INTO temp.") + tabla + QLatin1String(" VALUES (") +
                                     marcas.join(QLatin1String(", ")) + QLatin1Char(')');
            for (const auto& fila : c.filas) c.base->Escalar(insertar, fila);
            if (identidad) c.base->Ejecutar(SqlDisparadores(d).front());
        } catch (const ErrorServidor&) {
            // What cannot be put back is lost with the transaction, as a table's rows would be.
        }
    }
}

void SesionEmbebida::MoverTablasDeSesion(BaseSqlite& de, BaseSqlite& a) {
    const auto nombres = de.Filas(QStringLiteral(
        "SELECT name FROM sqlite_temp_master WHERE type = 'table' AND (substr(name, 1, 1) = '#' OR "
        "substr(name, 1, 6) = 'kv_tv:') ORDER BY rowid"));
    if (nombres.empty()) return;
    const bool conIdentidad =
        !de.Escalar(QStringLiteral("SELECT name FROM sqlite_temp_master WHERE name = 'kv_sys_identidad_sesion'")).isNull();
    for (const auto& n : nombres) {
        const QString tabla = n[0].toString();
        const BaseSqlite::TablaDeSesion t = de.tablasDeSesion().value(tabla.toLower());
        if (t.columnas.empty()) continue;
        DefinicionTabla d;
        d.nombre = tabla;
        d.columnas = t.columnas;
        d.clavePrimaria = t.clavePrimaria;
        d.nombreClave = t.nombreClave;
        const QString citada = traduccion::CitarNombre(tabla);
        // One left on the new handle by a ROLLBACK since the last move is an old copy: the live one wins.
        a.Ejecutar(QLatin1String("DROP TABLE IF EXISTS temp.") + citada);
        a.tablasDeSesion().remove(tabla.toLower());
        CrearTablaDeSesion(a, d);
        const bool identidad = std::any_of(d.columnas.begin(), d.columnas.end(),
                                           [](const ColumnaDeclarada& c) { return c.identidad; });
        // The rows keep their identity values: the trigger that refuses given ones is set aside.
        const QString disparador = traduccion::CitarNombre(QStringLiteral("kv_sys_trg_") + tabla + QStringLiteral("_identidad"));
        if (identidad) a.Ejecutar(QLatin1String("DROP TRIGGER IF EXISTS temp.") + disparador);
        QStringList marcas;
        for (size_t i = 0; i < d.columnas.size(); ++i) marcas << QStringLiteral("?%1").arg(i + 1);
        Preparada insertar(a, QLatin1String("INSERT INTO temp.") + citada + QLatin1String(" VALUES (") +
                                  marcas.join(QLatin1String(", ")) + QLatin1Char(')'));
        for (const auto& fila : de.Filas(QLatin1String("SELECT * FROM temp.") + citada)) {
            insertar.Reiniciar();
            insertar.Enlazar(fila);
            if (insertar.Paso() != SQLITE_DONE)
                throw ErrorServidor(err::ErrorInterno, QString::fromUtf8(sqlite3_errmsg(a.db())),
                                    QString::fromLatin1(estado::General));
        }
        if (identidad) {
            a.Ejecutar(SqlDisparadores(d).front());
            if (conIdentidad) {
                const auto filas = de.Filas(QStringLiteral("SELECT siguiente, incremento FROM temp.kv_sys_identidad_sesion "
                                                           "WHERE tabla = ?1"),
                                            {tabla});
                if (!filas.empty())
                    a.Escalar(QStringLiteral("INSERT OR REPLACE INTO temp.kv_sys_identidad_sesion (tabla, siguiente, "
                                             "incremento) VALUES (?1, ?2, ?3)"),
                              {tabla, filas[0][0], filas[0][1]});
            }
        }
        de.Ejecutar(QLatin1String("DROP TABLE temp.") + citada);
        de.tablasDeSesion().remove(tabla.toLower());
    }
    // What the frames keep of them now names the new handle.
    for (Marco* m : marcos_) {
        for (auto& [b, tabla] : m->temporales)
            if (b == &de) b = &a;
        for (auto& [b, tabla] : m->tablasVariables)
            if (b == &de) b = &a;
        for (auto& o : m->ocultas)
            if (o.base == &de) o.base = &a;
    }
}

}  // namespace kv::local

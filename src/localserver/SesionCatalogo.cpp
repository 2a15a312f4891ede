// The catalog as clients see it: the catalog procedures (sp_tables, sp_help...) and the
// provider's schema rowsets.

#include "localserver/SesionEmbebida.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSysInfo>
#include <QMutex>
#include <QRegularExpression>
#include <cmath>

#include "localserver/Errores.h"
#include "localserver/Esquema.h"
#include "localserver/FormaResultado.h"
#include "localserver/Procedimientos.h"
#include "localserver/SesionInterna.h"

namespace kv::local {

using kv::db::ColumnaResultado;
using kv::db::ErrorBD;
using kv::db::ErrorProveedor;
using kv::db::ResultadoSentencia;

using namespace sesion;

namespace {

bool ObjetoListado(const QString& nombre, const QString& pedido) {
    return !EsTablaDelSistema(nombre) &&
           (pedido.isEmpty() || nombre.compare(pedido, Qt::CaseInsensitive) == 0);
}

}  // namespace

bool SesionEmbebida::ProcedimientoDeCatalogo(const QString& nombre, const Sentencia& s,
                                             std::vector<ResultadoSentencia>& salida) {
    const auto& args = s.argumentos;
    // Most answer with the catalog views, through the front end like any statement.
    auto consultar = [&](const QString& tsql) {
        size_t ninguno = 0;
        for (const PlanSentencia& plan : PlanificarLote(tsql)) EjecutarSql(plan.sentencia, {}, ninguno, salida);
    };
    auto filas = [&](const QStringList& columnas, const std::vector<std::vector<QVariant>>& datos) {
        ResultadoSentencia r;
        r.tieneFilas = true;
        for (const QString& n : columnas) {
            kv::db::ColumnaResultado c;
            c.nombre = n;
            r.columnas.push_back(c);
        }
        r.filas = datos;
        salida.push_back(std::move(r));
    };
    // The qualifier of the catalog procedures names a database: only the current
    // one can be asked for, as on SQL Server (15250).
    auto exigirCalificador = [&](int posicion) {
        bool dado = false;
        const QString calificador = TextoArgumento(args, posicion, QStringLiteral("@table_qualifier"), &dado);
        if (dado && !calificador.isEmpty() && calificador.compare(base_, Qt::CaseInsensitive) != 0)
            throw ErrorServidor(15250,
                                QStringLiteral("El nombre de la base de datos de un calificador de objeto debe ser el "
                                               "nombre de la base de datos actual."),
                                QString::fromLatin1(estado::General));
    };
    if (nombre == QLatin1String("sp_helptext")) {
        bool dado = false;
        const QString objeto = TextoArgumento(args, 0, QStringLiteral("@objname"), &dado);
        const auto texto = dado ? TextoDeRutina(base_, objeto) : std::nullopt;
        if (!texto)
            throw ErrorServidor(15009,
                                QStringLiteral("El objeto '%1' no existe en la base de datos '%2' o no es válido "
                                               "para esta operación.")
                                    .arg(objeto, base_),
                                QString::fromLatin1(estado::General));
        // One row per line of the definition, each with its own line break.
        std::vector<std::vector<QVariant>> lineas;
        qsizetype inicio = 0;
        while (inicio < texto->size()) {
            qsizetype fin = texto->indexOf(QLatin1Char('\n'), inicio);
            fin = fin < 0 ? texto->size() : fin + 1;
            lineas.push_back({texto->mid(inicio, fin - inicio)});
            inicio = fin;
        }
        filas({QStringLiteral("Text")}, lineas);
        return true;
    }
    if (nombre == QLatin1String("sp_tables")) {
        exigirCalificador(2);
        bool dado = false;
        const QString tabla = TextoArgumento(args, 0, QStringLiteral("@table_name"), &dado);
        consultar(QStringLiteral("SELECT TABLE_CATALOG AS TABLE_QUALIFIER, TABLE_SCHEMA AS TABLE_OWNER, TABLE_NAME, "
                                 "CASE TABLE_TYPE WHEN 'BASE TABLE' THEN 'TABLE' ELSE 'VIEW' END AS TABLE_TYPE, "
                                 "NULL AS REMARKS FROM INFORMATION_SCHEMA.TABLES ") +
                  (dado ? QStringLiteral("WHERE TABLE_NAME LIKE %1 ").arg(Literal(tabla)) : QString()) +
                  QStringLiteral("ORDER BY 4, 3"));
        return true;
    }
    if (nombre == QLatin1String("sp_columns")) {
        exigirCalificador(2);
        bool dado = false;
        const QString tabla = TextoArgumento(args, 0, QStringLiteral("@table_name"), &dado);
        if (!dado)
            throw ErrorServidor(201, msj::ArgumentoFaltante(nombre, QStringLiteral("@table_name")),
                                QString::fromLatin1(estado::Sintaxis));
        // SQL Server's columns, in its order: ODBC drivers read them by position
        // (DATA_TYPE is the ODBC type code, ORDINAL_POSITION the 17th).
        consultar(QStringLiteral("SELECT TABLE_CATALOG AS TABLE_QUALIFIER, TABLE_SCHEMA AS TABLE_OWNER, TABLE_NAME, "
                                 "COLUMN_NAME, CASE DATA_TYPE WHEN 'int' THEN 4 WHEN 'smallint' THEN 5 WHEN "
                                 "'tinyint' THEN -6 WHEN 'bigint' THEN -5 WHEN 'bit' THEN -7 WHEN 'money' THEN 3 "
                                 "WHEN 'smallmoney' THEN 3 WHEN 'decimal' THEN 3 WHEN 'numeric' THEN 2 WHEN 'float' "
                                 "THEN 6 WHEN 'real' THEN 7 WHEN 'datetime' THEN 11 WHEN 'smalldatetime' THEN 11 "
                                 "WHEN 'date' THEN 9 WHEN 'nvarchar' THEN -9 WHEN 'nchar' THEN -8 WHEN 'ntext' THEN "
                                 "-10 WHEN 'varchar' THEN 12 WHEN 'char' THEN 1 WHEN 'text' THEN -1 WHEN 'varbinary' "
                                 "THEN -3 WHEN 'binary' THEN -2 WHEN 'image' THEN -4 ELSE -9 END AS DATA_TYPE, "
                                 "DATA_TYPE AS TYPE_NAME, ISNULL(NUMERIC_PRECISION, CHARACTER_MAXIMUM_LENGTH) AS "
                                 "PRECISION, CHARACTER_MAXIMUM_LENGTH AS LENGTH, NUMERIC_SCALE AS SCALE, CASE WHEN "
                                 "NUMERIC_PRECISION IS NULL THEN NULL ELSE 10 END AS RADIX, CASE IS_NULLABLE "
                                 "WHEN 'YES' THEN 1 ELSE 0 END AS NULLABLE, NULL AS REMARKS, COLUMN_DEFAULT AS "
                                 "COLUMN_DEF, NULL AS SQL_DATA_TYPE, NULL AS SQL_DATETIME_SUB, "
                                 "CHARACTER_MAXIMUM_LENGTH AS CHAR_OCTET_LENGTH, ORDINAL_POSITION, IS_NULLABLE "
                                 "FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME LIKE %1 ORDER BY TABLE_NAME, "
                                 "ORDINAL_POSITION")
                      .arg(Literal(tabla)));
        return true;
    }
    if (nombre == QLatin1String("sp_pkeys")) {
        // The primary key's columns of a table of the current database, one row each
        // (what ODBC's SQLPrimaryKeys asks a SQL Server for).
        bool dado = false;
        const QString tabla = TextoArgumento(args, 0, QStringLiteral("@table_name"), &dado);
        if (!dado)
            throw ErrorServidor(201, msj::ArgumentoFaltante(nombre, QStringLiteral("@table_name")),
                                QString::fromLatin1(estado::Sintaxis));
        std::vector<std::vector<QVariant>> datos;
        const auto def = LeerDefinicion(Base(base_), tabla);
        if (def && !EsTablaDelSistema(def->nombre)) {
            int orden = 0;
            for (const QString& columna : def->clavePrimaria)
                datos.push_back({base_, QStringLiteral("dbo"), def->nombre, columna, ++orden,
                                 def->nombreClave.isEmpty() ? QVariant() : QVariant(def->nombreClave)});
        }
        filas({QStringLiteral("TABLE_QUALIFIER"), QStringLiteral("TABLE_OWNER"), QStringLiteral("TABLE_NAME"),
               QStringLiteral("COLUMN_NAME"), QStringLiteral("KEY_SEQ"), QStringLiteral("PK_NAME")},
              datos);
        return true;
    }
    if (nombre == QLatin1String("sp_help")) {
        bool dado = false;
        const QString objeto = TextoArgumento(args, 0, QStringLiteral("@objname"), &dado);
        if (!dado) {
            consultar(QStringLiteral("SELECT TABLE_NAME AS Name, TABLE_SCHEMA AS Owner, CASE TABLE_TYPE WHEN "
                                     "'BASE TABLE' THEN 'user table' ELSE 'view' END AS Object_type FROM "
                                     "INFORMATION_SCHEMA.TABLES ORDER BY 1"));
            return true;
        }
        const auto existe = NombreObjeto(Base(base_), objeto);
        if (!existe || EsTablaDelSistema(*existe))
            throw ErrorServidor(15009,
                                QStringLiteral("El objeto '%1' no existe en la base de datos '%2' o no es válido "
                                               "para esta operación.")
                                    .arg(objeto, base_),
                                QString::fromLatin1(estado::General));
        consultar(QStringLiteral("SELECT TABLE_NAME AS Name, TABLE_SCHEMA AS Owner, CASE TABLE_TYPE WHEN 'BASE TABLE' "
                                 "THEN 'user table' ELSE 'view' END AS Type, NULL AS Created_datetime FROM "
                                 "INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = %1 "
                                 "SELECT COLUMN_NAME AS Column_name, DATA_TYPE AS Type, 'no' AS Computed, "
                                 "CHARACTER_MAXIMUM_LENGTH AS Length, NUMERIC_PRECISION AS Prec, NUMERIC_SCALE AS "
                                 "Scale, CASE IS_NULLABLE WHEN 'YES' THEN 'yes' ELSE 'no' END AS Nullable FROM "
                                 "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = %1 ORDER BY ORDINAL_POSITION")
                      .arg(Literal(*existe)));
        return true;
    }
    if (nombre == QLatin1String("sp_helpdb")) {
        bool dado = false;
        const QString base = TextoArgumento(args, 0, QStringLiteral("@dbname"), &dado);
        std::vector<std::vector<QVariant>> datos;
        for (const auto& f : catalogo_->maestra().Filas(
                 QStringLiteral("SELECT nombre, propietario, rowid FROM kv_sys_bases ORDER BY nombre"))) {
            if (dado && f[0].toString().compare(base, Qt::CaseInsensitive) != 0) continue;
            datos.push_back({f[0], QVariant(), f[1], f[2], QVariant(), QStringLiteral("Status=ONLINE"), 80});
        }
        if (dado && datos.empty())
            throw ErrorServidor(15010, msj::BaseNoExiste(base), QString::fromLatin1(estado::General));
        filas({QStringLiteral("name"), QStringLiteral("db_size"), QStringLiteral("owner"), QStringLiteral("dbid"),
               QStringLiteral("created"), QStringLiteral("status"), QStringLiteral("compatibility_level")},
              datos);
        return true;
    }
    if (nombre == QLatin1String("sp_helplogins")) {
        if (!catalogo_->TieneRolServidor(login_, QStringLiteral("securityadmin"))) throw SinPermiso();
        std::vector<std::vector<QVariant>> datos;
        for (const auto& f : catalogo_->maestra().Filas(
                 QStringLiteral("SELECT nombre, base_defecto FROM kv_sys_logins ORDER BY nombre")))
            datos.push_back({f[0], QVariant(), f[1], QStringLiteral("Español"), QStringLiteral("yes"),
                             QStringLiteral("no")});
        filas({QStringLiteral("LoginName"), QStringLiteral("SID"), QStringLiteral("DefDBName"),
               QStringLiteral("DefLangName"), QStringLiteral("AUser"), QStringLiteral("ARemote")},
              datos);
        return true;
    }
    if (nombre == QLatin1String("sp_who")) {
        // This process knows its own session only.
        filas({QStringLiteral("spid"), QStringLiteral("ecid"), QStringLiteral("status"), QStringLiteral("loginame"),
               QStringLiteral("hostname"), QStringLiteral("blk"), QStringLiteral("dbname"), QStringLiteral("cmd"),
               QStringLiteral("request_id")},
              {{id_, 0, QStringLiteral("runnable"), login_, QSysInfo::machineHostName(), QStringLiteral("0"), base_,
                QStringLiteral("SELECT"), 0}});
        return true;
    }
    return false;
}

kv::db::ResultadoSentencia SesionEmbebida::EsquemaTablas(const QString& catalogo, const QString& tabla) {
    ResultadoSentencia r;
    r.tieneFilas = true;
    for (const char* n : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "TABLE_GUID", "DESCRIPTION",
                          "TABLE_PROPID", "DATE_CREATED", "DATE_MODIFIED"}) {
        ColumnaResultado c;
        c.nombre = QString::fromLatin1(n);
        c.tipo = kv::db::tipo::VarWChar;
        r.columnas.push_back(c);
    }
    if (!catalogo.isEmpty() && catalogo.compare(base_, Qt::CaseInsensitive) != 0) return r;
    try {
        BaseSqlite& b = Base(base_);
        const auto filas = b.Filas(QStringLiteral("SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') "
                                                  "ORDER BY CASE type WHEN 'table' THEN 0 ELSE 1 END, name"));
        for (const auto& f : filas) {
            const QString nombre = f[0].toString();
            if (!ObjetoListado(nombre, tabla)) continue;
            r.filas.push_back({base_, QStringLiteral("dbo"), nombre,
                               f[1].toString() == QLatin1String("view") ? QStringLiteral("VIEW") : QStringLiteral("TABLE"),
                               QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        }
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
    return r;
}

kv::db::ResultadoSentencia SesionEmbebida::EsquemaColumnas(const QString& catalogo, const QString& tabla) {
    ResultadoSentencia r;
    r.tieneFilas = true;
    const std::vector<std::pair<const char*, int>> cabecera = {
        {"TABLE_CATALOG", kv::db::tipo::VarWChar},  {"TABLE_SCHEMA", kv::db::tipo::VarWChar},
        {"TABLE_NAME", kv::db::tipo::VarWChar},     {"COLUMN_NAME", kv::db::tipo::VarWChar},
        {"COLUMN_GUID", kv::db::tipo::VarWChar},    {"COLUMN_PROPID", kv::db::tipo::Integer},
        {"ORDINAL_POSITION", kv::db::tipo::Integer}, {"COLUMN_HASDEFAULT", kv::db::tipo::Boolean},
        {"COLUMN_DEFAULT", kv::db::tipo::VarWChar}, {"COLUMN_FLAGS", kv::db::tipo::Integer},
        {"IS_NULLABLE", kv::db::tipo::Boolean},     {"DATA_TYPE", kv::db::tipo::SmallInt},
        {"TYPE_GUID", kv::db::tipo::VarWChar},      {"CHARACTER_MAXIMUM_LENGTH", kv::db::tipo::Integer},
        {"CHARACTER_OCTET_LENGTH", kv::db::tipo::Integer}, {"NUMERIC_PRECISION", kv::db::tipo::SmallInt},
        {"NUMERIC_SCALE", kv::db::tipo::SmallInt}};
    for (const auto& [n, t] : cabecera) {
        ColumnaResultado c;
        c.nombre = QString::fromLatin1(n);
        c.tipo = t;
        r.columnas.push_back(c);
    }
    if (!catalogo.isEmpty() && catalogo.compare(base_, Qt::CaseInsensitive) != 0) return r;
    try {
        BaseSqlite& b = Base(base_);
        const auto objetos = b.Filas(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                                                    "ORDER BY name"));
        for (const auto& o : objetos) {
            const QString nombre = o[0].toString();
            if (!ObjetoListado(nombre, tabla)) continue;
            std::vector<ColumnaDeclarada> columnas;
            if (const auto def = LeerDefinicion(b, nombre)) {
                columnas = def->columnas;
            } else {
                // A view: each column takes the declaration of the column it shows, if any.
                Preparada p(b, QStringLiteral("SELECT * FROM %1").arg(Identificador(nombre)));
                const int n = sqlite3_column_count(p.stmt());
                for (int i = 0; i < n; ++i) {
                    ColumnaDeclarada c;
                    c.nombre = QString::fromUtf8(sqlite3_column_name(p.stmt(), i));
                    c.tipo = QStringLiteral("nvarchar");
                    c.longitud = 255;
                    const char* t = sqlite3_column_table_name(p.stmt(), i);
                    const char* origen = sqlite3_column_origin_name(p.stmt(), i);
                    if (t && origen)
                        if (const auto def = LeerDefinicion(b, QString::fromUtf8(t)))
                            for (const auto& col : def->columnas)
                                if (col.nombre.compare(QString::fromUtf8(origen), Qt::CaseInsensitive) == 0) {
                                    const QString nombreVista = c.nombre;
                                    c = col;
                                    c.nombre = nombreVista;
                                    c.defecto.clear();
                                    c.identidad = false;
                                }
                    columnas.push_back(c);
                }
            }
            int orden = 0;
            for (const auto& c : columnas) {
                ++orden;
                const int tipo = TipoADO(c.tipo);
                const bool caracteres = tipo == kv::db::tipo::VarWChar || tipo == kv::db::tipo::WChar ||
                                        tipo == kv::db::tipo::VarChar || tipo == kv::db::tipo::Char ||
                                        tipo == kv::db::tipo::LongVarWChar || tipo == kv::db::tipo::LongVarChar;
                const bool ancho = tipo == kv::db::tipo::VarWChar || tipo == kv::db::tipo::WChar ||
                                   tipo == kv::db::tipo::LongVarWChar;
                const int precision = PrecisionADO(c);
                const bool numerico = precision > 0 && tipo != kv::db::tipo::DBTimeStamp;
                const int tamano = TamanoADO(c);
                QVariant escala;
                if (tipo == kv::db::tipo::Numeric) escala = c.escala;
                else if (tipo == kv::db::tipo::Currency) escala = 4;
                else if (numerico) escala = QVariant();
                r.filas.push_back({base_, QStringLiteral("dbo"), nombre, c.nombre, QVariant(), QVariant(), orden,
                                   !c.defecto.isEmpty(),
                                   c.defecto.isEmpty() ? QVariant() : QVariant(QStringLiteral("(") + c.defecto + QStringLiteral(")")),
                                   QVariant(), c.nulos, tipo, QVariant(),
                                   caracteres ? QVariant(tamano) : QVariant(),
                                   caracteres ? QVariant(ancho && tamano < 1073741823 ? tamano * 2 : tamano) : QVariant(),
                                   numerico ? QVariant(precision) : QVariant(), escala});
            }
        }
    } catch (const ErrorServidor& e) {
        throw ErrorProveedor(e.ComoErrorBD(Origen()));
    }
    return r;
}

QStringList SesionEmbebida::ClavePrimaria(const QString& tabla) {
    try {
        const auto def = LeerDefinicion(Base(base_), tabla);
        if (def) return def->clavePrimaria;
    } catch (const ErrorServidor&) {
    }
    return {};
}

}  // namespace kv::local

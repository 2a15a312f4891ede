// Catalog pass: the catalog views SQL Server offers (INFORMATION_SCHEMA, sys.*,
// the old sysobjects and syscolumns) become queries over the database's own
// catalog. The server's tables and SQLite's stay out of sight: a statement that
// names them gets 208, as for any object that does not exist.

#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/Traductor.h"

namespace kv::local::traduccion {

namespace {

// The user's tables and views of the current database; `id` is the object id
// that OBJECT_ID gives too.
const char* const kObjetos =
    "(SELECT rowid AS id, name AS nombre, type AS tipo, sql AS texto FROM sqlite_master "
    "WHERE type IN ('table', 'view') AND substr(name, 1, 7) COLLATE NOCASE NOT IN ('kv_sys_', 'sqlite_'))";

// The columns of the user's tables, with their SQL Server types.
const char* const kColumnas =
    "(SELECT o.id AS id, o.nombre AS tabla, c.columna AS columna, c.orden AS orden, c.tipo AS tipo, "
    "c.longitud AS longitud, c.precision_ AS precision_, c.escala AS escala, c.nulos AS nulos, "
    "c.identidad AS identidad, c.defecto AS defecto FROM kv_sys_columnas c JOIN "
    "(SELECT rowid AS id, name AS nombre FROM sqlite_master WHERE type = 'table' AND "
    "substr(name, 1, 7) COLLATE NOCASE NOT IN ('kv_sys_', 'sqlite_')) o ON o.nombre = c.tabla COLLATE "
    "NOCASE)";

// The procedures written in T-SQL kept in the database; their ids follow the tables'.
const char* const kRutinas =
    "(SELECT 1000000 + rowid AS id, nombre AS nombre, texto AS texto, creado AS creado, modificado AS "
    "modificado FROM kv_sys_procedimientos)";

// The indexes of the user's tables as SQL Server lists them: the primary key as the
// clustered index 1 (or the heap, 0, of a table without one), then the table's own
// indexes from 2 on under the names they were written with.
const char* const kIndices =
    "SELECT o.id AS object_id, r.nombre COLLATE KV AS name, 1 AS index_id, 1 AS type, 'CLUSTERED' COLLATE KV "
    "AS type_desc, 1 AS is_unique, 1 AS is_primary_key FROM {OBJETOS} o JOIN (SELECT tabla, nombre FROM "
    "kv_sys_restricciones WHERE tipo = 'PK') r ON r.tabla = o.nombre COLLATE NOCASE WHERE o.tipo = 'table' "
    "UNION ALL SELECT o.id, NULL, 0, 0, 'HEAP' COLLATE KV, 0, 0 FROM {OBJETOS} o WHERE o.tipo = 'table' AND "
    "o.nombre COLLATE NOCASE NOT IN (SELECT tabla FROM kv_sys_restricciones WHERE tipo = 'PK') "
    "UNION ALL SELECT o.id, CASE WHEN substr(m.name, 1, length(m.tbl_name) + 1) = m.tbl_name || '$' COLLATE "
    "NOCASE THEN substr(m.name, length(m.tbl_name) + 2) ELSE m.name END COLLATE KV, 1 + (SELECT count(*) FROM "
    "sqlite_master m2 WHERE m2.type = 'index' AND m2.tbl_name = m.tbl_name AND m2.sql IS NOT NULL AND "
    "m2.rowid <= m.rowid), 2, 'NONCLUSTERED' COLLATE KV, CASE WHEN m.sql LIKE 'CREATE UNIQUE%' THEN 1 ELSE 0 "
    "END, 0 FROM sqlite_master m JOIN {OBJETOS} o ON o.nombre = m.tbl_name COLLATE NOCASE WHERE m.type = "
    "'index' AND m.sql IS NOT NULL";

// Size in bytes SQL Server gives a column of the type (max_length, LENGTH).
const char* const kBytes =
    "CASE WHEN c.tipo IN ('nvarchar', 'nchar') THEN CASE WHEN c.longitud < 0 THEN -1 ELSE c.longitud * 2 END "
    "WHEN c.tipo IN ('varchar', 'char', 'varbinary', 'binary') THEN c.longitud "
    "WHEN c.tipo IN ('int', 'real', 'smallmoney', 'smalldatetime') THEN 4 WHEN c.tipo IN ('bigint', 'money', "
    "'float', 'datetime') THEN 8 WHEN c.tipo = 'smallint' THEN 2 WHEN c.tipo IN ('tinyint', 'bit') THEN 1 "
    "WHEN c.tipo IN ('decimal', 'numeric') THEN 9 WHEN c.tipo IN ('text', 'ntext', 'image') THEN 16 ELSE 0 "
    "END";

// Precision SQL Server gives numbers and dates.
const char* const kPrecision =
    "CASE c.tipo WHEN 'int' THEN 10 WHEN 'bigint' THEN 19 WHEN 'smallint' THEN 5 WHEN 'tinyint' THEN 3 "
    "WHEN 'bit' THEN 1 WHEN 'money' THEN 19 WHEN 'smallmoney' THEN 10 WHEN 'float' THEN 53 WHEN 'real' THEN "
    "24 "
    "WHEN 'decimal' THEN CASE WHEN c.precision_ > 0 THEN c.precision_ ELSE 18 END "
    "WHEN 'numeric' THEN CASE WHEN c.precision_ > 0 THEN c.precision_ ELSE 18 END "
    "WHEN 'datetime' THEN 23 WHEN 'smalldatetime' THEN 16 ELSE 0 END";

// SQL Server's system types: name, system_type_id, user_type_id, max_length,
// precision, scale.
struct TipoSistema {
    const char* nombre;
    int id, idUsuario, bytes, precision, escala;
};
const TipoSistema kTiposSistema[] = {
    {"image", 34, 34, 16, 0, 0},           {"text", 35, 35, 16, 0, 0},
    {"uniqueidentifier", 36, 36, 16, 0, 0}, {"tinyint", 48, 48, 1, 3, 0},
    {"smallint", 52, 52, 2, 5, 0},          {"int", 56, 56, 4, 10, 0},
    {"smalldatetime", 58, 58, 4, 16, 0},    {"real", 59, 59, 4, 24, 0},
    {"money", 60, 60, 8, 19, 4},            {"datetime", 61, 61, 8, 23, 3},
    {"float", 62, 62, 8, 53, 0},            {"sql_variant", 98, 98, 8016, 0, 0},
    {"ntext", 99, 99, 16, 0, 0},            {"bit", 104, 104, 1, 1, 0},
    {"decimal", 106, 106, 17, 38, 38},      {"numeric", 108, 108, 17, 38, 38},
    {"smallmoney", 122, 122, 4, 10, 4},     {"bigint", 127, 127, 8, 19, 0},
    {"varbinary", 165, 165, 8000, 0, 0},    {"varchar", 167, 167, 8000, 0, 0},
    {"binary", 173, 173, 8000, 0, 0},       {"char", 175, 175, 8000, 0, 0},
    {"timestamp", 189, 189, 8, 0, 0},       {"nvarchar", 231, 231, 8000, 0, 0},
    {"nchar", 239, 239, 8000, 0, 0},        {"sysname", 231, 256, 256, 0, 0},
};

QString TablaDeTipos() {
    QStringList filas;
    for (const TipoSistema& t : kTiposSistema)
        filas << QStringLiteral("SELECT '%1' COLLATE KV AS name, %2 AS system_type_id, %3 AS user_type_id, %4 AS "
                                "max_length, %5 AS precision, %6 AS scale")
                     .arg(QLatin1String(t.nombre))
                     .arg(t.id)
                     .arg(t.idUsuario)
                     .arg(t.bytes)
                     .arg(t.precision)
                     .arg(t.escala);
    return QLatin1Char('(') + filas.join(QLatin1String(" UNION ALL ")) + QLatin1Char(')');
}

// The system type id of a column's type (c.tipo).
QString IdDeTipo() {
    QString sql = QStringLiteral("CASE c.tipo");
    for (const TipoSistema& t : kTiposSistema)
        if (t.id == t.idUsuario)
            sql += QStringLiteral(" WHEN '%1' THEN %2").arg(QLatin1String(t.nombre)).arg(t.id);
    return sql + QStringLiteral(" WHEN 'sysname' THEN 231 END");
}

// The constraints kept for the user's tables (primary keys 'PK', defaults 'DF'),
// with ids after the procedures'.
const char* const kRestricciones =
    "(SELECT 2000000 + r.rowid AS id, r.nombre AS nombre, r.tipo AS tipo, r.columnas AS columnas, o.id AS tabla_id, "
    "o.nombre AS tabla FROM kv_sys_restricciones r JOIN (SELECT rowid AS id, name AS nombre FROM sqlite_master "
    "WHERE type = 'table' AND substr(name, 1, 7) COLLATE NOCASE NOT IN ('kv_sys_', 'sqlite_')) o ON o.nombre = "
    "r.tabla COLLATE NOCASE)";

// Each column of each primary key, in the key's order (the kept list is "a,b").
const char* const kColumnasDeClave =
    "(WITH RECURSIVE n(id, lista, i) AS (SELECT id, kv_reemplazar(columnas, ',', '\n'), 1 FROM "
    "{RESTRICCIONES} WHERE tipo = 'PK' UNION ALL SELECT id, lista, i + 1 FROM n WHERE i < kv_lineas(lista)) "
    "SELECT n.id AS id, k.nombre AS nombre, k.tabla AS tabla, kv_parte(n.lista, n.i, 1) AS columna, n.i AS orden "
    "FROM n JOIN {RESTRICCIONES} k ON k.id = n.id)";

QString Sustituir(QString sql) {
    sql.replace(QLatin1String("{CLAVES}"), QLatin1String(kColumnasDeClave));
    sql.replace(QLatin1String("{RESTRICCIONES}"), QLatin1String(kRestricciones));
    sql.replace(QLatin1String("{TIPOS}"), TablaDeTipos());
    sql.replace(QLatin1String("{ID_TIPO}"), IdDeTipo());
    sql.replace(QLatin1String("{OBJETOS}"), QLatin1String(kObjetos));
    sql.replace(QLatin1String("{RUTINAS}"), QLatin1String(kRutinas));
    sql.replace(QLatin1String("{COLUMNAS}"), QLatin1String(kColumnas));
    sql.replace(QLatin1String("{BYTES}"), QLatin1String(kBytes));
    sql.replace(QLatin1String("{PRECISION}"), QLatin1String(kPrecision));
    return sql;
}

// The databases of the server, from the session's list (@kv_bases).
const char* const kBases =
    "(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < kv_lineas(@kv_bases)) "
    "SELECT CAST(kv_parte(@kv_bases, i, 1) AS INTEGER) AS id, kv_parte(@kv_bases, i, 2) AS nombre FROM n "
    "WHERE kv_parte(@kv_bases, i, 2) IS NOT NULL)";

}  // namespace

bool EsNombreInterno(const QString& nombre) {
    // SQLite's own tables and the virtual tables it offers under fixed names
    // (pragma_*, dbstat, json_each...) are not T-SQL objects.
    static const char* const kVirtuales[] = {"dbstat", "json_each", "json_tree", "fts3tokenize", "fts4aux",
                                             "fts5vocab", "generate_series", "zipfile", "rtree", "rtree_i32"};
    if (nombre.startsWith(QLatin1String("kv_sys_"), Qt::CaseInsensitive) ||
        nombre.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) ||
        nombre.startsWith(QLatin1String("pragma_"), Qt::CaseInsensitive))
        return true;
    for (const char* v : kVirtuales)
        if (nombre.compare(QLatin1String(v), Qt::CaseInsensitive) == 0) return true;
    return false;
}

std::optional<QString> VistaDelCatalogo(const QStringList& partesEscritas) {
    // base.sys.tables, base.INFORMATION_SCHEMA.TABLES, base..sysobjects: that database's catalog.
    QString base;
    QStringList propias = partesEscritas;
    if (propias.size() >= 3) {
        base = propias[propias.size() - 3];
        propias = propias.mid(propias.size() - 2);
    }
    QStringList partes;
    for (const QString& p : propias)
        if (!p.isEmpty()) partes << p.toLower();
    if (partes.isEmpty()) return std::nullopt;
    const QString ultima = partes.last();
    const QString esquema = partes.size() >= 2 ? partes[partes.size() - 2] : QString();
    QString sql;
    if (esquema == QLatin1String("information_schema")) {
        if (ultima == QLatin1String("tables")) {
            sql = QStringLiteral(
                "SELECT @kv_base COLLATE KV AS TABLE_CATALOG, 'dbo' COLLATE KV AS TABLE_SCHEMA, "
                "nombre COLLATE KV AS TABLE_NAME, CASE tipo WHEN 'table' THEN 'BASE TABLE' ELSE 'VIEW' END "
                "COLLATE KV AS TABLE_TYPE FROM {OBJETOS}");
        } else if (ultima == QLatin1String("views")) {
            sql = QStringLiteral(
                "SELECT @kv_base COLLATE KV AS TABLE_CATALOG, 'dbo' COLLATE KV AS TABLE_SCHEMA, "
                "nombre COLLATE KV AS TABLE_NAME, texto AS VIEW_DEFINITION, 'NONE' AS CHECK_OPTION, "
                "'NO' AS IS_UPDATABLE FROM {OBJETOS} WHERE tipo = 'view'");
        } else if (ultima == QLatin1String("routines")) {
            sql = QStringLiteral(
                "SELECT @kv_base COLLATE KV AS SPECIFIC_CATALOG, 'dbo' COLLATE KV AS SPECIFIC_SCHEMA, nombre "
                "COLLATE KV AS SPECIFIC_NAME, @kv_base COLLATE KV AS ROUTINE_CATALOG, 'dbo' COLLATE KV AS "
                "ROUTINE_SCHEMA, nombre COLLATE KV AS ROUTINE_NAME, 'PROCEDURE' COLLATE KV AS ROUTINE_TYPE, "
                "substr(texto, 1, 4000) AS ROUTINE_DEFINITION, 'SQL' AS ROUTINE_BODY, creado AS CREATED, "
                "modificado AS LAST_ALTERED FROM {RUTINAS}");
        } else if (ultima == QLatin1String("table_constraints")) {
            sql = QStringLiteral(
                "SELECT @kv_base COLLATE KV AS CONSTRAINT_CATALOG, 'dbo' COLLATE KV AS CONSTRAINT_SCHEMA, nombre "
                "COLLATE KV AS CONSTRAINT_NAME, @kv_base COLLATE KV AS TABLE_CATALOG, 'dbo' COLLATE KV AS "
                "TABLE_SCHEMA, tabla COLLATE KV AS TABLE_NAME, 'PRIMARY KEY' COLLATE KV AS CONSTRAINT_TYPE, 'NO' "
                "AS IS_DEFERRABLE, 'NO' AS INITIALLY_DEFERRED FROM {RESTRICCIONES} WHERE tipo = 'PK'");
        } else if (ultima == QLatin1String("key_column_usage")) {
            sql = QStringLiteral(
                "SELECT @kv_base COLLATE KV AS CONSTRAINT_CATALOG, 'dbo' COLLATE KV AS CONSTRAINT_SCHEMA, nombre "
                "COLLATE KV AS CONSTRAINT_NAME, @kv_base COLLATE KV AS TABLE_CATALOG, 'dbo' COLLATE KV AS "
                "TABLE_SCHEMA, tabla COLLATE KV AS TABLE_NAME, columna COLLATE KV AS COLUMN_NAME, orden AS "
                "ORDINAL_POSITION FROM {CLAVES}");
        } else if (ultima == QLatin1String("columns")) {
            sql = QStringLiteral(
                "SELECT @kv_base COLLATE KV AS TABLE_CATALOG, 'dbo' COLLATE KV AS TABLE_SCHEMA, "
                "c.tabla COLLATE KV AS TABLE_NAME, c.columna COLLATE KV AS COLUMN_NAME, c.orden AS "
                "ORDINAL_POSITION, "
                "c.defecto AS COLUMN_DEFAULT, CASE WHEN c.nulos <> 0 THEN 'YES' ELSE 'NO' END COLLATE KV AS "
                "IS_NULLABLE, c.tipo COLLATE KV AS DATA_TYPE, CASE WHEN c.tipo LIKE '%char' OR c.tipo LIKE "
                "'%binary' THEN c.longitud WHEN c.tipo IN ('text', 'image') THEN 2147483647 WHEN c.tipo = "
                "'ntext' "
                "THEN 1073741823 END AS CHARACTER_MAXIMUM_LENGTH, CASE WHEN c.tipo IN ('int', 'bigint', "
                "'smallint', 'tinyint', 'money', 'smallmoney', 'float', 'real', 'decimal', 'numeric') THEN "
                "{PRECISION} END AS NUMERIC_PRECISION, CASE WHEN c.tipo IN ('decimal', 'numeric') THEN "
                "c.escala "
                "WHEN c.tipo IN ('money', 'smallmoney') THEN 4 WHEN c.tipo IN ('int', 'bigint', 'smallint', "
                "'tinyint') THEN 0 END AS NUMERIC_SCALE FROM {COLUMNAS} c");
        }
    } else if (esquema == QLatin1String("sys") || partes.size() == 1 || esquema == QLatin1String("dbo")) {
        const bool sys = esquema == QLatin1String("sys");
        if (sys && ultima == QLatin1String("tables")) {
            sql = QStringLiteral(
                "SELECT nombre COLLATE KV AS name, id AS object_id, 1 AS schema_id, 'U' COLLATE KV "
                "AS type, 'USER_TABLE' COLLATE KV AS type_desc FROM {OBJETOS} WHERE tipo = 'table'");
        } else if (sys && ultima == QLatin1String("views")) {
            sql = QStringLiteral(
                "SELECT nombre COLLATE KV AS name, id AS object_id, 1 AS schema_id, 'V' COLLATE KV "
                "AS type, 'VIEW' COLLATE KV AS type_desc FROM {OBJETOS} WHERE tipo = 'view'");
        } else if (sys && ultima == QLatin1String("objects")) {
            sql = QStringLiteral(
                "SELECT nombre COLLATE KV AS name, id AS object_id, 1 AS schema_id, CASE tipo WHEN 'table' "
                "THEN "
                "'U' ELSE 'V' END COLLATE KV AS type, CASE tipo WHEN 'table' THEN 'USER_TABLE' ELSE 'VIEW' "
                "END "
                "COLLATE KV AS type_desc FROM {OBJETOS} UNION ALL SELECT nombre COLLATE KV, id, 1, 'P' COLLATE "
                "KV, 'SQL_STORED_PROCEDURE' COLLATE KV FROM {RUTINAS} UNION ALL SELECT nombre COLLATE KV, id, 1, "
                "CASE tipo WHEN 'PK' THEN 'PK' ELSE 'D' END COLLATE KV, CASE tipo WHEN 'PK' THEN "
                "'PRIMARY_KEY_CONSTRAINT' ELSE 'DEFAULT_CONSTRAINT' END COLLATE KV FROM {RESTRICCIONES}");
        } else if (sys && ultima == QLatin1String("key_constraints")) {
            sql = QStringLiteral(
                "SELECT nombre COLLATE KV AS name, id AS object_id, tabla_id AS parent_object_id, 1 AS schema_id, "
                "'PK' COLLATE KV AS type, 'PRIMARY_KEY_CONSTRAINT' COLLATE KV AS type_desc, 1 AS unique_index_id "
                "FROM {RESTRICCIONES} WHERE tipo = 'PK'");
        } else if (sys && ultima == QLatin1String("default_constraints")) {
            sql = QStringLiteral(
                "SELECT r.nombre COLLATE KV AS name, r.id AS object_id, r.tabla_id AS parent_object_id, 1 AS "
                "schema_id, 'D' COLLATE KV AS type, 'DEFAULT_CONSTRAINT' COLLATE KV AS type_desc, c.orden AS "
                "parent_column_id, c.defecto AS definition FROM {RESTRICCIONES} r JOIN {COLUMNAS} c ON c.id = "
                "r.tabla_id AND c.columna = r.columnas COLLATE NOCASE WHERE r.tipo = 'DF'");
        } else if (sys && ultima == QLatin1String("types")) {
            sql = QStringLiteral(
                "SELECT name, system_type_id, user_type_id, 4 AS schema_id, max_length, precision, scale, 1 AS "
                "is_nullable, CASE WHEN user_type_id > 255 THEN 1 ELSE 0 END AS is_user_defined FROM {TIPOS}");
        } else if (sys && ultima == QLatin1String("procedures")) {
            sql = QStringLiteral(
                "SELECT nombre COLLATE KV AS name, id AS object_id, 1 AS schema_id, 'P' COLLATE KV AS type, "
                "'SQL_STORED_PROCEDURE' COLLATE KV AS type_desc, creado AS create_date, modificado AS "
                "modify_date FROM {RUTINAS}");
        } else if (sys && ultima == QLatin1String("sql_modules")) {
            sql = QStringLiteral("SELECT id AS object_id, texto AS definition FROM {RUTINAS}");
        } else if (sys && ultima == QLatin1String("columns")) {
            sql = QStringLiteral(
                "SELECT c.id AS object_id, c.columna COLLATE KV AS name, c.orden AS column_id, {ID_TIPO} AS "
                "system_type_id, {ID_TIPO} AS user_type_id, {BYTES} AS max_length, {PRECISION} AS precision, CASE WHEN c.tipo IN ('decimal', 'numeric') THEN "
                "c.escala "
                "WHEN c.tipo IN ('money', 'smallmoney') THEN 4 ELSE 0 END AS scale, CASE WHEN c.nulos <> 0 "
                "THEN 1 "
                "ELSE 0 END AS is_nullable, CASE WHEN c.identidad <> 0 THEN 1 ELSE 0 END AS is_identity "
                "FROM {COLUMNAS} c");
        } else if (sys && ultima == QLatin1String("indexes")) {
            sql = QLatin1String(kIndices);
        } else if (sys && ultima == QLatin1String("schemas")) {
            sql = QStringLiteral(
                "SELECT 'dbo' COLLATE KV AS name, 1 AS schema_id, 1 AS principal_id UNION ALL SELECT 'guest', 2, "
                "2 UNION ALL SELECT 'INFORMATION_SCHEMA', 3, 3 UNION ALL SELECT 'sys', 4, 4");
        } else if (sys && ultima == QLatin1String("databases")) {
            sql = QStringLiteral(
                      "SELECT nombre COLLATE KV AS name, id AS database_id, 'ONLINE' AS state_desc, "
                      "'Modern_Spanish_CI_AS' AS collation_name FROM ") +
                  QLatin1String(kBases);
        } else if (ultima == QLatin1String("sysobjects")) {
            sql = QStringLiteral(
                "SELECT nombre COLLATE KV AS name, id AS id, CASE tipo WHEN 'table' THEN 'U' ELSE 'V' END "
                "COLLATE KV "
                "AS xtype, CASE tipo WHEN 'table' THEN 'U' ELSE 'V' END COLLATE KV AS type, 1 AS uid, 0 AS "
                "parent_obj FROM {OBJETOS} UNION ALL SELECT nombre COLLATE KV, id, 'P' COLLATE KV, 'P' COLLATE KV, "
                "1, 0 FROM {RUTINAS} UNION ALL SELECT nombre COLLATE KV, id, CASE tipo WHEN 'PK' THEN 'PK' ELSE "
                "'D' END COLLATE KV, CASE tipo WHEN 'PK' THEN 'K' ELSE 'D' END COLLATE KV, 1, tabla_id FROM "
                "{RESTRICCIONES}");
        } else if (ultima == QLatin1String("syscolumns")) {
            sql = QStringLiteral(
                "SELECT c.columna COLLATE KV AS name, c.id AS id, c.orden AS colid, {ID_TIPO} AS xtype, {BYTES} AS "
                "length, "
                "{PRECISION} AS prec, CASE WHEN c.tipo IN ('decimal', 'numeric') THEN c.escala ELSE 0 END AS "
                "scale, "
                "CASE WHEN c.nulos <> 0 THEN 1 ELSE 0 END AS isnullable FROM {COLUMNAS} c");
        } else if (ultima == QLatin1String("systypes")) {
            sql = QStringLiteral(
                "SELECT name, system_type_id AS xtype, user_type_id AS xusertype, max_length AS length, precision "
                "AS prec, scale FROM {TIPOS}");
        } else if (ultima == QLatin1String("sysdatabases")) {
            sql =
                QStringLiteral("SELECT nombre COLLATE KV AS name, id AS dbid FROM ") + QLatin1String(kBases);
        }
    }
    if (sql.isEmpty()) return std::nullopt;
    sql = Sustituir(sql);
    if (!base.isEmpty()) {
        const QString esquema = EsquemaDeBase(base) + QLatin1Char('.');
        sql.replace(QLatin1String("FROM sqlite_master"), QLatin1String("FROM ") + esquema + QLatin1String("sqlite_master"));
        sql.replace(QLatin1String("FROM kv_sys_columnas"), QLatin1String("FROM ") + esquema + QLatin1String("kv_sys_columnas"));
        sql.replace(QLatin1String("FROM kv_sys_restricciones"),
                    QLatin1String("FROM ") + esquema + QLatin1String("kv_sys_restricciones"));
        sql.replace(QLatin1String("FROM kv_sys_procedimientos)"),
                    QLatin1String("FROM ") + esquema + QLatin1String("kv_sys_procedimientos)"));
        // The database's name as the server spells it.
        sql.replace(QLatin1String("@kv_base"), QLatin1String("kv_db_name(@kv_bases, kv_db_id(@kv_bases, ") +
                                                   LiteralTexto(base) + QLatin1String("))"));
    }
    return QLatin1Char('(') + sql + QLatin1Char(')');
}

}  // namespace kv::local::traduccion

#include "localserver/Esquema.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include "db/Proveedor.h"
#include "localserver/Errores.h"

namespace kv::local {

namespace {

// Money has no SQLite affinity: a cell keeps the REAL of an amount a double
// holds exactly, or the exact text of one it does not (see Dinero.h).
enum class Almacen { Texto, Entero, Real, Dinero, Fecha, Binario, Ninguno };

Almacen AlmacenDe(const QString& tipo) {
    static const QSet<QString> texto = {"nvarchar", "varchar", "nchar", "char", "ntext", "text", "sysname",
                                        "uniqueidentifier", "xml"};
    static const QSet<QString> entero = {"int", "smallint", "tinyint", "bigint", "bit"};
    static const QSet<QString> real = {"float", "real", "decimal", "numeric"};
    static const QSet<QString> dinero = {"money", "smallmoney"};
    static const QSet<QString> fecha = {"datetime", "smalldatetime", "date", "datetime2"};
    static const QSet<QString> binario = {"image", "varbinary", "binary", "timestamp", "rowversion"};
    const QString t = tipo.toLower();
    if (texto.contains(t)) return Almacen::Texto;
    if (entero.contains(t)) return Almacen::Entero;
    if (real.contains(t)) return Almacen::Real;
    if (dinero.contains(t)) return Almacen::Dinero;
    if (fecha.contains(t)) return Almacen::Fecha;
    if (binario.contains(t)) return Almacen::Binario;
    return Almacen::Ninguno;
}

// Range of the integer types, checked so that an out-of-range value fails as on SQL Server.
bool Rango(const QString& tipo, qint64& minimo, qint64& maximo) {
    const QString t = tipo.toLower();
    if (t == QLatin1String("int")) { minimo = -2147483648LL; maximo = 2147483647LL; return true; }
    if (t == QLatin1String("smallint")) { minimo = -32768; maximo = 32767; return true; }
    if (t == QLatin1String("tinyint")) { minimo = 0; maximo = 255; return true; }
    return false;
}

bool EsTextoConLongitud(const QString& tipo) {
    const QString t = tipo.toLower();
    return t == QLatin1String("nvarchar") || t == QLatin1String("varchar") || t == QLatin1String("nchar") ||
           t == QLatin1String("char") || t == QLatin1String("varbinary") || t == QLatin1String("binary");
}

QString DefinicionColumna(const DefinicionTabla& def, const ColumnaDeclarada& c) {
    const Almacen a = AlmacenDe(c.tipo);
    QString s = Identificador(c.nombre) + QLatin1Char(' ');
    switch (a) {
        case Almacen::Texto: s += QStringLiteral("TEXT COLLATE KV"); break;
        case Almacen::Entero: s += QStringLiteral("INT"); break;  // never a rowid alias: NOT NULL holds
        case Almacen::Real: s += QStringLiteral("REAL"); break;
        case Almacen::Fecha: s += QStringLiteral("TEXT"); break;
        case Almacen::Binario: s += QStringLiteral("BLOB"); break;
        case Almacen::Dinero: s += QStringLiteral("ANY"); break;  // keeps the REAL or the text as given
        case Almacen::Ninguno: break;
    }
    if (!c.nulos) s += QStringLiteral(" NOT NULL");
    if (c.identidad) s += QStringLiteral(" DEFAULT (kv_identidad(%1))").arg(Literal(def.nombre));
    else if (!c.defecto.trimmed().isEmpty()) s += QStringLiteral(" DEFAULT (%1)").arg(c.defecto);
    if (EsTextoConLongitud(c.tipo) && c.longitud > 0) {
        // length() counts characters of text and bytes of binary values, as the declared length does.
        // Trailing blanks that do not fit are dropped without complaint (see the triggers), as on SQL Server.
        const QString medida = a == Almacen::Texto ? QStringLiteral("length(rtrim(%1, ' '))") : QStringLiteral("length(%1)");
        s += QStringLiteral(" CONSTRAINT %1 CHECK (%2 <= %3)")
                 .arg(Identificador(QStringLiteral("kvlon_") + c.nombre), medida.arg(Identificador(c.nombre)))
                 .arg(c.longitud);
    }
    qint64 minimo = 0, maximo = 0;
    if (Rango(c.tipo, minimo, maximo))
        s += QStringLiteral(" CONSTRAINT %1 CHECK (%2 BETWEEN %3 AND %4)")
                 .arg(Identificador(QStringLiteral("kvint_") + c.nombre), Identificador(c.nombre))
                 .arg(minimo)
                 .arg(maximo);
    return s;
}

const ColumnaDeclarada* Buscar(const DefinicionTabla& def, const QString& columna) {
    for (const auto& c : def.columnas)
        if (c.nombre.compare(columna.trimmed(), Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

ColumnaDeclarada* Buscar(DefinicionTabla& def, const QString& columna) {
    for (auto& c : def.columnas)
        if (c.nombre.compare(columna.trimmed(), Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

bool ExisteRestriccion(BaseSqlite& base, const QString& nombre) {
    return base.Escalar(QStringLiteral("SELECT count(*) FROM kv_sys_restricciones WHERE nombre = ?1"), {nombre})
               .toInt() > 0;
}

// Runs `trabajo` inside a savepoint: all of it or none of it, within or without
// a transaction of the connection.
template <typename F>
void Atomico(BaseSqlite& base, F trabajo) {
    base.Ejecutar(QStringLiteral("SAVEPOINT kv_esquema"));
    try {
        trabajo();
        base.Ejecutar(QStringLiteral("RELEASE kv_esquema"));
    } catch (...) {
        sqlite3_exec(base.db(), "ROLLBACK TO kv_esquema; RELEASE kv_esquema;", nullptr, nullptr, nullptr);
        sqlite3_exec(base.db(), "PRAGMA legacy_alter_table=OFF", nullptr, nullptr, nullptr);
        throw;
    }
}

void GuardarCatalogo(BaseSqlite& base, const DefinicionTabla& def) {
    base.Escalar(QStringLiteral("DELETE FROM kv_sys_columnas WHERE tabla = ?1"), {def.nombre});
    base.Escalar(QStringLiteral("DELETE FROM kv_sys_restricciones WHERE tabla = ?1"), {def.nombre});
    int orden = 0;
    for (const auto& c : def.columnas) {
        ++orden;
        base.Escalar(QStringLiteral("INSERT INTO kv_sys_columnas (tabla, columna, orden, tipo, longitud, "
                                    "precision_, escala, nulos, identidad, semilla, incremento, defecto, "
                                    "nombre_defecto) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)"),
                     {def.nombre, c.nombre, orden, c.tipo.toLower(), c.longitud, c.precision, c.escala,
                      c.nulos ? 1 : 0, c.identidad ? 1 : 0, c.semilla, c.incremento,
                      c.defecto.isEmpty() ? QVariant() : QVariant(c.defecto),
                      c.nombreDefecto.isEmpty() ? QVariant() : QVariant(c.nombreDefecto)});
        if (!c.nombreDefecto.isEmpty())
            base.Escalar(QStringLiteral("INSERT OR REPLACE INTO kv_sys_restricciones (nombre, tabla, tipo, columnas) "
                                        "VALUES (?1, ?2, 'DF', ?3)"),
                         {c.nombreDefecto, def.nombre, c.nombre});
    }
    if (!def.clavePrimaria.isEmpty())
        base.Escalar(QStringLiteral("INSERT OR REPLACE INTO kv_sys_restricciones (nombre, tabla, tipo, columnas) "
                                    "VALUES (?1, ?2, 'PK', ?3)"),
                     {def.nombreClave.isEmpty() ? QStringLiteral("PK_") + def.nombre : def.nombreClave, def.nombre,
                      def.clavePrimaria.join(QLatin1Char(','))});
}

void CrearDisparadores(BaseSqlite& base, const DefinicionTabla& def) {
    for (const QString& s : SqlDisparadores(def)) base.Ejecutar(s);
}

// Replaces the table by one of the new shape, keeping its rows, indexes and the
// views that name it.
void Reconstruir(BaseSqlite& base, const DefinicionTabla& anterior, const DefinicionTabla& nueva) {
    const QString temporal = QStringLiteral("kv_sys_reconstruida");
    QStringList indices;
    for (const auto& f : base.Filas(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND "
                                                   "tbl_name = ?1 AND sql IS NOT NULL"),
                                    {anterior.nombre}))
        indices << f[0].toString();
    // The columns both shapes have keep their values.
    QStringList columnas;
    for (const auto& c : nueva.columnas)
        if (Buscar(anterior, c.nombre)) columnas << Identificador(c.nombre);
    base.Ejecutar(QStringLiteral("PRAGMA legacy_alter_table=ON"));
    base.Ejecutar(QStringLiteral("DROP TABLE IF EXISTS ") + Identificador(temporal));
    base.Ejecutar(SqlCrearTabla(nueva, temporal));
    const int rc = sqlite3_exec(base.db(),
                                (QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3")
                                     .arg(Identificador(temporal), columnas.join(QLatin1Char(',')),
                                          Identificador(anterior.nombre)))
                                    .toUtf8()
                                    .constData(),
                                nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const int extendido = sqlite3_extended_errcode(base.db());
        if (extendido == SQLITE_CONSTRAINT_PRIMARYKEY || extendido == SQLITE_CONSTRAINT_UNIQUE)
            throw ErrorServidor(err::ClaveDuplicadaIndice,
                                msj::ClaveDuplicadaIndice(nueva.nombre, nueva.nombreClave),
                                QString::fromLatin1(estado::Integridad));
        if (extendido == SQLITE_CONSTRAINT_NOTNULL && nueva.columnas.size() > anterior.columnas.size())
            throw ErrorServidor(err::ColumnaSinNulosNiDefecto,
                                msj::ColumnaSinNulosNiDefecto(nueva.columnas.back().nombre, nueva.nombre),
                                QString::fromLatin1(estado::General));
        throw ErrorDeSqlite(base, extendido, {QStringLiteral("ALTER"), nueva.nombre});
    }
    base.Ejecutar(QStringLiteral("DROP TABLE ") + Identificador(anterior.nombre));
    base.Ejecutar(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(Identificador(temporal), Identificador(nueva.nombre)));
    base.Ejecutar(QStringLiteral("PRAGMA legacy_alter_table=OFF"));
    for (const QString& i : indices) base.Ejecutar(i);
    CrearDisparadores(base, nueva);
    GuardarCatalogo(base, nueva);
}

ErrorServidor ErrorObjetoExiste(const QString& nombre) {
    return ErrorServidor(err::ObjetoExiste, msj::ObjetoExiste(nombre), QStringLiteral("42S01"));
}

}  // namespace

bool EsTablaDelSistema(const QString& nombre) {
    return nombre.startsWith(QLatin1String(PrefijoSistema), Qt::CaseInsensitive) ||
           nombre.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

void AsegurarCatalogoBase(BaseSqlite& base) {
    const QVariant hay = base.Escalar(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'kv_sys_columnas'"));
    if (hay.toInt() > 0) return;
    base.Ejecutar(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS kv_sys_columnas (tabla TEXT NOT NULL COLLATE NOCASE, "
        "columna TEXT NOT NULL COLLATE NOCASE, orden INTEGER, tipo TEXT, longitud INTEGER, precision_ INTEGER, "
        "escala INTEGER, nulos INTEGER, identidad INTEGER, semilla INTEGER, incremento INTEGER, defecto TEXT, "
        "nombre_defecto TEXT, PRIMARY KEY (tabla, columna));"
        "CREATE TABLE IF NOT EXISTS kv_sys_restricciones (nombre TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
        "tabla TEXT COLLATE NOCASE, tipo TEXT, columnas TEXT);"
        "CREATE TABLE IF NOT EXISTS kv_sys_identidad (tabla TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
        "siguiente INTEGER NOT NULL, incremento INTEGER NOT NULL);"));
}

QString SqlCrearTabla(const DefinicionTabla& def, const QString& nombreFisico) {
    QStringList partes;
    int numero = 0;
    for (const auto& c : def.columnas) {
        ++numero;
        if (AlmacenDe(c.tipo) == Almacen::Ninguno)
            throw ErrorServidor(err::TipoDesconocido, msj::TipoDesconocido(numero, c.nombre, c.tipo),
                                QString::fromLatin1(estado::Sintaxis));
        partes << DefinicionColumna(def, c);
    }
    if (!def.clavePrimaria.isEmpty()) {
        QStringList cols;
        for (const QString& k : def.clavePrimaria) {
            const ColumnaDeclarada* c = Buscar(def, k);
            cols << Identificador(c ? c->nombre : k.trimmed());
        }
        const QString nombre = def.nombreClave.isEmpty() ? QStringLiteral("PK_") + def.nombre : def.nombreClave;
        partes << QStringLiteral("CONSTRAINT %1 PRIMARY KEY (%2)").arg(Identificador(nombre), cols.join(QLatin1Char(',')));
    }
    return QStringLiteral("CREATE TABLE %1 (%2) STRICT").arg(Identificador(nombreFisico), partes.join(QStringLiteral(", ")));
}

QStringList SqlDisparadores(const DefinicionTabla& def) {
    QStringList s;
    const QString t = Identificador(def.nombre);
    const QString base = QStringLiteral("kv_sys_trg_") + def.nombre;
    for (const auto& c : def.columnas) {
        if (!c.identidad) continue;
        const QString col = Identificador(c.nombre);
        s << QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 FOR EACH ROW WHEN NOT kv_identidad_generada(NEW.%3) "
                            "BEGIN SELECT RAISE(ABORT, %4); END")
                 .arg(Identificador(base + QStringLiteral("_identidad")), t, col,
                      Literal(TextoErrorCodificado(err::IdentidadExplicita, msj::IdentidadExplicita(def.nombre))));
        s << QStringLiteral("CREATE TRIGGER %1 BEFORE UPDATE OF %3 ON %2 FOR EACH ROW WHEN NEW.%3 IS NOT OLD.%3 "
                            "BEGIN SELECT RAISE(ABORT, %4); END")
                 .arg(Identificador(base + QStringLiteral("_identidad_upd")), t, col,
                      Literal(TextoErrorCodificado(
                          8102, QStringLiteral("No se puede actualizar la columna de identidad '%1'.").arg(c.nombre))));
        break;  // one identity column per table
    }
    QStringList condiciones, asignaciones, columnas;
    for (const auto& c : def.columnas) {
        const QString col = Identificador(c.nombre);
        const QString tipo = c.tipo.toLower();
        if (AlmacenDe(tipo) == Almacen::Fecha) {
            condiciones << QStringLiteral("NEW.%1 IS NOT kv_fecha_iso(NEW.%1)").arg(col);
            asignaciones << QStringLiteral("%1 = kv_fecha_iso(%1)").arg(col);
            columnas << col;
        } else if (tipo == QLatin1String("real")) {
            // real keeps 4 bytes: what is stored is the value rounded to single precision.
            condiciones << QStringLiteral("NEW.%1 <> kv_real(NEW.%1)").arg(col);
            asignaciones << QStringLiteral("%1 = kv_real(%1)").arg(col);
            columnas << col;
        } else if (tipo == QLatin1String("money") || tipo == QLatin1String("smallmoney")) {
            // A REAL of four decimals that a double holds exactly stays as it is; anything
            // else (whole numbers, texts, amounts near the ends) is made money, 8115 past the range.
            const bool pequeno = tipo == QLatin1String("smallmoney");
            condiciones << QStringLiteral("(typeof(NEW.%1) NOT IN ('real', 'null') OR NEW.%1 <> round(NEW.%1, 4) OR "
                                          "abs(NEW.%1) > %2)")
                               .arg(col, pequeno ? QStringLiteral("214748.3647") : QStringLiteral("450359962737.0496"));
            asignaciones << QStringLiteral("%1 = kv_dinero(%1, '%2')").arg(col, tipo);
            columnas << col;
        } else if ((tipo == QLatin1String("decimal") || tipo == QLatin1String("numeric"))) {
            condiciones << QStringLiteral("NEW.%1 <> round(NEW.%1, %2)").arg(col).arg(c.escala);
            asignaciones << QStringLiteral("%1 = round(%1, %2)").arg(col).arg(c.escala);
            columnas << col;
        } else if (AlmacenDe(tipo) == Almacen::Texto && EsTextoConLongitud(tipo) && c.longitud > 0) {
            condiciones << QStringLiteral("length(NEW.%1) > %2").arg(col).arg(c.longitud);
            asignaciones << QStringLiteral("%1 = substr(%1, 1, %2)").arg(col).arg(c.longitud);
            columnas << col;
        } else if (tipo == QLatin1String("bit")) {
            condiciones << QStringLiteral("NEW.%1 NOT IN (0, 1)").arg(col);
            asignaciones << QStringLiteral("%1 = (%1 <> 0)").arg(col);
            columnas << col;
        }
    }
    if (!condiciones.isEmpty()) {
        const QString cuerpo = QStringLiteral("WHEN %1 BEGIN UPDATE %2 SET %3 WHERE rowid = NEW.rowid; END")
                                   .arg(condiciones.join(QStringLiteral(" OR ")), t,
                                        asignaciones.join(QStringLiteral(", ")));
        s << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 FOR EACH ROW ")
                     .arg(Identificador(base + QStringLiteral("_normaliza_ins")), t) +
                 cuerpo;
        s << QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF %3 ON %2 FOR EACH ROW ")
                     .arg(Identificador(base + QStringLiteral("_normaliza_upd")), t, columnas.join(QStringLiteral(", "))) +
                 cuerpo;
    }
    return s;
}

std::optional<QString> NombreObjeto(BaseSqlite& base, const QString& nombre) {
    const QVariant v = base.Escalar(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE"),
        {nombre});
    if (v.isNull()) return std::nullopt;
    return v.toString();
}

bool EsTablaDeSesion(const QString& nombre) {
    return EsNombreTemporal(nombre) || nombre.startsWith(QLatin1String("kv_tv:"));
}

namespace {

// A column named by a key, or 1911 when the table has none of that name.
ColumnaDeclarada& ColumnaDeClave(DefinicionTabla& def, const QString& nombre) {
    ColumnaDeclarada* c = Buscar(def, nombre);
    if (!c)
        throw ErrorServidor(err::ColumnaNoEnDestino, msj::ColumnaNoEnDestino(nombre.trimmed()),
                            QString::fromLatin1(estado::ColumnaInexistente));
    return *c;
}

// A new table: no column declared twice.
void ComprobarColumnasUnicas(const DefinicionTabla& def) {
    QSet<QString> vistos;
    for (const auto& c : def.columnas) {
        if (vistos.contains(c.nombre.toLower()))
            throw ErrorServidor(err::ColumnaRepetida, msj::ColumnaRepetida(c.nombre, def.nombre),
                                QString::fromLatin1(estado::Sintaxis));
        vistos.insert(c.nombre.toLower());
    }
}

// A new table's key: its columns as declared, and never NULL.
void ResolverClavePrimaria(DefinicionTabla& def) {
    for (QString& k : def.clavePrimaria) k = ColumnaDeClave(def, k).nombre;
    for (auto& c : def.columnas)
        if (def.clavePrimaria.contains(c.nombre)) c.nulos = false;
}

std::optional<QString> NombreDeSesion(BaseSqlite& base, const QString& nombre) {
    const QVariant v = base.Escalar(
        QStringLiteral("SELECT name FROM sqlite_temp_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE"),
        {nombre});
    if (v.isNull()) return std::nullopt;
    return v.toString();
}

}  // namespace

void CrearTablaDeSesion(BaseSqlite& base, const DefinicionTabla& definicion) {
    DefinicionTabla def = definicion;
    if (NombreDeSesion(base, def.nombre)) throw ErrorObjetoExiste(def.nombre);
    ComprobarColumnasUnicas(def);
    if (!def.clavePrimaria.isEmpty()) {
        if (def.nombreClave.isEmpty()) def.nombreClave = QStringLiteral("PK_") + def.nombre;
        ResolverClavePrimaria(def);
    }
    QString sql = SqlCrearTabla(def, def.nombre);
    sql.replace(0, int(qstrlen("CREATE TABLE ")), QStringLiteral("CREATE TEMP TABLE "));
    Atomico(base, [&] {
        base.Ejecutar(sql);
        // Their triggers go to the TEMP schema with them.
        CrearDisparadores(base, def);
        for (const auto& c : def.columnas)
            if (c.identidad) {
                base.Ejecutar(QStringLiteral(
                    "CREATE TEMP TABLE IF NOT EXISTS kv_sys_identidad_sesion (tabla TEXT NOT NULL COLLATE NOCASE "
                    "PRIMARY KEY, siguiente INTEGER NOT NULL, incremento INTEGER NOT NULL)"));
                base.Escalar(QStringLiteral("INSERT OR REPLACE INTO temp.kv_sys_identidad_sesion (tabla, siguiente, "
                                            "incremento) VALUES (?1, ?2, ?3)"),
                             {def.nombre, c.semilla, c.incremento == 0 ? 1 : c.incremento});
                break;
            }
    });
    BaseSqlite::TablaDeSesion t;
    t.columnas = def.columnas;
    t.clavePrimaria = def.clavePrimaria;
    t.nombreClave = def.nombreClave;
    base.tablasDeSesion().insert(def.nombre.toLower(), t);
}

std::optional<DefinicionTabla> LeerDefinicion(BaseSqlite& base, const QString& tabla) {
    if (EsTablaDeSesion(tabla)) {
        const auto nombre = NombreDeSesion(base, tabla);
        const auto it = base.tablasDeSesion().constFind(tabla.toLower());
        if (!nombre || it == base.tablasDeSesion().constEnd()) return std::nullopt;
        DefinicionTabla def;
        def.nombre = *nombre;
        def.columnas = it->columnas;
        def.clavePrimaria = it->clavePrimaria;
        def.nombreClave = it->nombreClave;
        return def;
    }
    AsegurarCatalogoBase(base);
    const auto nombre = NombreObjeto(base, tabla);
    if (!nombre) return std::nullopt;
    DefinicionTabla def;
    def.nombre = *nombre;
    const auto filas = base.Filas(QStringLiteral("SELECT columna, tipo, longitud, precision_, escala, nulos, identidad, "
                                                 "semilla, incremento, defecto, nombre_defecto FROM kv_sys_columnas "
                                                 "WHERE tabla = ?1 ORDER BY orden"),
                                  {def.nombre});
    if (filas.empty()) return std::nullopt;  // a view, or a table made behind the server's back
    for (const auto& f : filas) {
        ColumnaDeclarada c;
        c.nombre = f[0].toString();
        c.tipo = f[1].toString();
        c.longitud = f[2].toInt();
        c.precision = f[3].toInt();
        c.escala = f[4].toInt();
        c.nulos = f[5].toInt() != 0;
        c.identidad = f[6].toInt() != 0;
        c.semilla = f[7].toLongLong();
        c.incremento = f[8].toLongLong();
        c.defecto = f[9].toString();
        c.nombreDefecto = f[10].toString();
        def.columnas.push_back(c);
    }
    const auto pk = base.Filas(
        QStringLiteral("SELECT nombre, columnas FROM kv_sys_restricciones WHERE tabla = ?1 AND tipo = 'PK'"),
        {def.nombre});
    if (!pk.empty()) {
        def.nombreClave = pk[0][0].toString();
        def.clavePrimaria = pk[0][1].toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    return def;
}

void CrearTabla(BaseSqlite& base, const DefinicionTabla& definicion) {
    AsegurarCatalogoBase(base);
    DefinicionTabla def = definicion;
    if (NombreObjeto(base, def.nombre) || ExisteRestriccion(base, def.nombre)) throw ErrorObjetoExiste(def.nombre);
    ComprobarColumnasUnicas(def);
    if (!def.clavePrimaria.isEmpty()) {
        if (def.nombreClave.isEmpty()) def.nombreClave = QStringLiteral("PK_") + def.nombre;
        if (ExisteRestriccion(base, def.nombreClave) || NombreObjeto(base, def.nombreClave))
            throw ErrorObjetoExiste(def.nombreClave);
        ResolverClavePrimaria(def);
    }
    for (const auto& c : def.columnas)
        if (!c.nombreDefecto.isEmpty() && (ExisteRestriccion(base, c.nombreDefecto) || NombreObjeto(base, c.nombreDefecto)))
            throw ErrorObjetoExiste(c.nombreDefecto);
    const QString sql = SqlCrearTabla(def, def.nombre);
    Atomico(base, [&] {
        base.Ejecutar(sql);
        CrearDisparadores(base, def);
        GuardarCatalogo(base, def);
        for (const auto& c : def.columnas)
            if (c.identidad) {
                base.Escalar(QStringLiteral("INSERT OR REPLACE INTO kv_sys_identidad (tabla, siguiente, incremento) "
                                            "VALUES (?1, ?2, ?3)"),
                             {def.nombre, c.semilla, c.incremento == 0 ? 1 : c.incremento});
                break;
            }
    });
}

void AgregarRestricciones(BaseSqlite& base, const QString& tabla, const QStringList& clavePrimaria,
                          const QString& nombreClave, const std::vector<DefectoAgregado>& defectos) {
    const auto anterior = LeerDefinicion(base, tabla);
    if (!anterior)
        throw ErrorServidor(err::TablaNoEncontrada, msj::TablaNoEncontrada(tabla),
                            QString::fromLatin1(estado::TablaInexistente));
    DefinicionTabla nueva = *anterior;
    QSet<QString> nombres;
    auto comprobarNombre = [&](const QString& nombre) {
        if (nombre.isEmpty()) return;
        if (nombres.contains(nombre.toLower()) || ExisteRestriccion(base, nombre) || NombreObjeto(base, nombre))
            throw ErrorObjetoExiste(nombre);
        nombres.insert(nombre.toLower());
    };
    for (const auto& d : defectos) {
        ColumnaDeclarada* c = Buscar(nueva, d.columna);
        if (!c)
            throw ErrorServidor(err::ColumnaNoEnDestino, msj::ColumnaNoEnDestino(d.columna.trimmed()),
                                QString::fromLatin1(estado::ColumnaInexistente));
        if (!c->defecto.isEmpty() || c->identidad)
            throw ErrorServidor(err::DefectoYaDefinido, msj::DefectoYaDefinido(c->nombre, nueva.nombre),
                                QString::fromLatin1(estado::General));
        comprobarNombre(d.nombre);
        c->defecto = d.expresion;
        c->nombreDefecto = d.nombre;
    }
    if (!clavePrimaria.isEmpty()) {
        if (!nueva.clavePrimaria.isEmpty())
            throw ErrorServidor(err::ClaveYaDefinida, msj::ClaveYaDefinida(nueva.nombre),
                                QString::fromLatin1(estado::General));
        const QString nombre = nombreClave.isEmpty() ? QStringLiteral("PK_") + nueva.nombre : nombreClave;
        comprobarNombre(nombre);
        QStringList cols;
        for (const QString& k : clavePrimaria) {
            const ColumnaDeclarada* c = &ColumnaDeClave(nueva, k);
            if (c->nulos)
                throw ErrorServidor(8111,
                                    QStringLiteral("No se puede definir una restricción PRIMARY KEY en una columna "
                                                   "que admite valores NULL en la tabla '%1'.")
                                        .arg(nueva.nombre),
                                    QString::fromLatin1(estado::General));
            cols << c->nombre;
        }
        nueva.clavePrimaria = cols;
        nueva.nombreClave = nombre;
    }
    Atomico(base, [&] { Reconstruir(base, *anterior, nueva); });
}

void AgregarColumnas(BaseSqlite& base, const QString& tabla, const std::vector<ColumnaDeclarada>& columnas) {
    const auto anterior = LeerDefinicion(base, tabla);
    if (!anterior)
        throw ErrorServidor(err::TablaNoEncontrada, msj::TablaNoEncontrada(tabla),
                            QString::fromLatin1(estado::TablaInexistente));
    // Every column is checked against the table and the ones before it, so
    // either all of them go in or none does.
    DefinicionTabla nueva = *anterior;
    QStringList nombresDefecto;
    for (const ColumnaDeclarada& columna : columnas) {
        if (Buscar(nueva, columna.nombre))
            throw ErrorServidor(err::ColumnaRepetida, msj::ColumnaRepetida(columna.nombre, anterior->nombre),
                                QString::fromLatin1(estado::Sintaxis));
        if (!columna.nombreDefecto.isEmpty() &&
            (ExisteRestriccion(base, columna.nombreDefecto) || NombreObjeto(base, columna.nombreDefecto) ||
             nombresDefecto.contains(columna.nombreDefecto, Qt::CaseInsensitive)))
            throw ErrorObjetoExiste(columna.nombreDefecto);
        if (!columna.nombreDefecto.isEmpty()) nombresDefecto << columna.nombreDefecto;
        const bool tieneIdentidad = std::any_of(nueva.columnas.begin(), nueva.columnas.end(),
                                                [](const ColumnaDeclarada& c) { return c.identidad; });
        if (columna.identidad && tieneIdentidad)
            throw ErrorServidor(
                2744,
                QStringLiteral("Se especificaron varias columnas de identidad para la tabla '%1'. "
                               "Sólo se permite una columna de identidad por tabla.")
                    .arg(anterior->nombre),
                QString::fromLatin1(estado::Sintaxis));
        nueva.columnas.push_back(columna);
    }
    Atomico(base, [&] {
        for (const ColumnaDeclarada& columna : columnas)
            if (columna.identidad)
                base.Escalar(
                    QStringLiteral("INSERT OR REPLACE INTO kv_sys_identidad (tabla, siguiente, incremento) "
                                   "VALUES (?1, ?2, ?3)"),
                    {anterior->nombre, columna.semilla, columna.incremento == 0 ? 1 : columna.incremento});
        Reconstruir(base, *anterior, nueva);
    });
}

void QuitarColumna(BaseSqlite& base, const QString& tabla, const QString& columna) {
    const auto anterior = LeerDefinicion(base, tabla);
    if (!anterior)
        throw ErrorServidor(err::TablaNoEncontrada, msj::TablaNoEncontrada(tabla),
                            QString::fromLatin1(estado::TablaInexistente));
    const ColumnaDeclarada* c = Buscar(*anterior, columna);
    if (!c)
        throw ErrorServidor(err::ColumnaAQuitarInexistente, msj::ColumnaAQuitarInexistente(columna, anterior->nombre),
                            QString::fromLatin1(estado::General));
    if (anterior->columnas.size() == 1)
        throw ErrorServidor(err::UnicaColumna, msj::UnicaColumna(c->nombre, anterior->nombre),
                            QString::fromLatin1(estado::General));
    QString dependiente = c->nombreDefecto;
    if (dependiente.isEmpty() && anterior->clavePrimaria.contains(c->nombre, Qt::CaseInsensitive))
        dependiente = anterior->nombreClave;
    if (dependiente.isEmpty())
        for (const auto& f : base.Filas(QStringLiteral("SELECT m.name FROM sqlite_master m, pragma_index_info(m.name) i "
                                                       "WHERE m.type = 'index' AND m.tbl_name = ?1 AND m.sql IS NOT "
                                                       "NULL AND i.name = ?2 COLLATE NOCASE"),
                                        {anterior->nombre, c->nombre})) {
            dependiente = IndiceComoSeEscribio(f[0].toString(), anterior->nombre);
            break;
        }
    if (!dependiente.isEmpty())
        throw ErrorServidor(err::ObjetoDependiente, msj::ObjetoDependiente(dependiente, c->nombre),
                            QString::fromLatin1(estado::General));
    DefinicionTabla nueva = *anterior;
    nueva.columnas.erase(nueva.columnas.begin() + (c - anterior->columnas.data()));
    Atomico(base, [&] {
        if (c->identidad)
            base.Escalar(QStringLiteral("DELETE FROM kv_sys_identidad WHERE tabla = ?1"), {anterior->nombre});
        Reconstruir(base, *anterior, nueva);
    });
}

void DepurarCatalogo(BaseSqlite& base) {
    AsegurarCatalogoBase(base);
    base.Ejecutar(QStringLiteral(
        "DELETE FROM kv_sys_columnas WHERE tabla NOT IN (SELECT name FROM sqlite_master WHERE type = 'table');"
        "DELETE FROM kv_sys_restricciones WHERE tabla NOT IN (SELECT name FROM sqlite_master WHERE type = 'table');"
        "DELETE FROM kv_sys_identidad WHERE tabla NOT IN (SELECT name FROM sqlite_master WHERE type = 'table');"));
}

int TipoADO(const QString& tipo) {
    using namespace kv::db::tipo;
    const QString t = tipo.toLower();
    if (t == QLatin1String("nvarchar") || t == QLatin1String("sysname")) return VarWChar;
    if (t == QLatin1String("varchar")) return VarChar;
    if (t == QLatin1String("nchar")) return WChar;
    if (t == QLatin1String("char")) return Char;
    if (t == QLatin1String("ntext") || t == QLatin1String("xml")) return LongVarWChar;
    if (t == QLatin1String("text")) return LongVarChar;
    if (t == QLatin1String("int")) return Integer;
    if (t == QLatin1String("smallint")) return SmallInt;
    if (t == QLatin1String("tinyint")) return TinyInt;
    if (t == QLatin1String("bigint")) return BigInt;
    if (t == QLatin1String("bit")) return Boolean;
    if (t == QLatin1String("money") || t == QLatin1String("smallmoney")) return Currency;
    if (t == QLatin1String("float")) return Double;
    if (t == QLatin1String("real")) return Single;
    if (t == QLatin1String("decimal") || t == QLatin1String("numeric")) return Numeric;
    if (t == QLatin1String("datetime") || t == QLatin1String("smalldatetime") || t == QLatin1String("date") ||
        t == QLatin1String("datetime2"))
        return DBTimeStamp;
    if (t == QLatin1String("uniqueidentifier")) return 72;
    if (t == QLatin1String("image")) return 205;
    return VarBinary;
}

int TamanoADO(const ColumnaDeclarada& c) {
    const QString t = c.tipo.toLower();
    if (EsTextoConLongitud(t)) return c.longitud > 0 ? c.longitud : 1073741823;
    if (t == QLatin1String("ntext") || t == QLatin1String("text") || t == QLatin1String("image")) return 1073741823;
    if (t == QLatin1String("int") || t == QLatin1String("real") || t == QLatin1String("smallmoney")) return 4;
    if (t == QLatin1String("smallint") || t == QLatin1String("bit")) return 2;
    if (t == QLatin1String("tinyint")) return 1;
    if (t == QLatin1String("bigint") || t == QLatin1String("money") || t == QLatin1String("float")) return 8;
    if (AlmacenDe(t) == Almacen::Fecha) return 16;
    if (t == QLatin1String("decimal") || t == QLatin1String("numeric")) return 19;
    if (t == QLatin1String("uniqueidentifier")) return 16;
    return 0;
}

int PrecisionADO(const ColumnaDeclarada& c) {
    const QString t = c.tipo.toLower();
    if (t == QLatin1String("int")) return 10;
    if (t == QLatin1String("smallint")) return 5;
    if (t == QLatin1String("tinyint")) return 3;
    if (t == QLatin1String("bigint")) return 19;
    if (t == QLatin1String("money")) return 19;
    if (t == QLatin1String("smallmoney")) return 10;
    if (t == QLatin1String("float")) return 15;
    if (t == QLatin1String("real")) return 7;
    if (t == QLatin1String("decimal") || t == QLatin1String("numeric")) return c.precision > 0 ? c.precision : 18;
    if (AlmacenDe(t) == Almacen::Fecha) return 23;
    return 0;
}

}  // namespace kv::local

namespace kv::local {

namespace {

void QuitarDisparadores(BaseSqlite& base, const QString& tabla) {
    for (const auto& f : base.Filas(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND "
                                                   "tbl_name = ?1 COLLATE NOCASE AND name LIKE 'kv\\_sys\\_trg\\_%' "
                                                   "ESCAPE '\\'"),
                                    {tabla}))
        base.Ejecutar(QStringLiteral("DROP TRIGGER ") + Identificador(f[0].toString()));
}

// An index made again under another SQLite name, from its own definition.
void RecrearIndice(BaseSqlite& base, const QString& fisico, const QString& nuevoFisico) {
    const QString sql = base.Escalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND name = ?1"),
                                     {fisico})
                            .toString();
    static const QRegularExpression cabeza(
        QStringLiteral("^(\\s*CREATE\\s+(UNIQUE\\s+)?INDEX\\s+)(\"(?:[^\"]|\"\")*\"|\\[[^\\]]*\\]|`[^`]*`|\\S+)(\\s+ON\\s)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = cabeza.match(sql);
    if (!m.hasMatch()) throw ErrorServidor(err::RenombrarAmbiguo, msj::RenombrarAmbiguo(QStringLiteral("INDEX")),
                                           QString::fromLatin1(estado::General));
    base.Ejecutar(QStringLiteral("DROP INDEX ") + Identificador(fisico));
    base.Ejecutar(m.captured(1) + Identificador(nuevoFisico) + sql.mid(m.capturedStart(4)));
}

bool NombreTomado(BaseSqlite& base, const QString& nombre) {
    return base.Escalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = ?1 COLLATE NOCASE"), {nombre})
               .toInt() > 0;
}

bool HayProcedimiento(BaseSqlite& base, const QString& nombre) {
    const QVariant hay = base.Escalar(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'kv_sys_procedimientos'"));
    return hay.toInt() > 0 &&
           base.Escalar(QStringLiteral("SELECT count(*) FROM kv_sys_procedimientos WHERE nombre = ?1"), {nombre}).toInt() > 0;
}

}  // namespace

void Renombrar(BaseSqlite& base, const QString& objeto, const QString& nuevoDado, const QString& tipoDado) {
    const QString tipo = tipoDado.trimmed().toUpper();
    if (!tipo.isEmpty() && tipo != QLatin1String("OBJECT") && tipo != QLatin1String("COLUMN") &&
        tipo != QLatin1String("INDEX"))
        throw ErrorServidor(err::RenombrarTipoDesconocido, msj::RenombrarTipoDesconocido(tipoDado.trimmed()),
                            QString::fromLatin1(estado::General));
    const QString tipoMostrado = tipo.isEmpty() ? QStringLiteral("OBJECT") : tipo;
    const ErrorServidor ambiguo(err::RenombrarAmbiguo, msj::RenombrarAmbiguo(tipoMostrado),
                                QString::fromLatin1(estado::General));
    const QString nuevo = nuevoDado.trimmed();
    auto partes = PartesDeNombre(objeto.trimmed());
    if (partes)
        for (QString& p : *partes) p = p.trimmed();
    const bool deTabla = tipo == QLatin1String("COLUMN") || tipo == QLatin1String("INDEX");
    // The schema, when written, is dbo; the last part is the one renamed.
    if (!partes || partes->size() > (deTabla ? 3 : 2) || partes->size() < (deTabla ? 2 : 1) ||
        partes->contains(QString()) ||
        (partes->size() == (deTabla ? 3 : 2) && partes->front().compare(QLatin1String("dbo"), Qt::CaseInsensitive) != 0))
        throw ambiguo;
    if (nuevo.isEmpty() || nuevo.size() > 128)
        throw ErrorServidor(err::NombreNoValido, msj::NombreNoValido(nuevo), QString::fromLatin1(estado::General));
    const QString tabla = deTabla ? partes->at(partes->size() - 2) : partes->back();
    const auto def = LeerDefinicion(base, tabla);
    auto duplicado = [&](const QString& clase) {
        return ErrorServidor(err::RenombrarDuplicado, msj::RenombrarDuplicado(nuevo, clase),
                             QString::fromLatin1(estado::General));
    };

    if (!deTabla && !def) {
        // A procedure written in T-SQL.
        if (!HayProcedimiento(base, tabla)) throw ambiguo;
        if (NombreTomado(base, nuevo) || (HayProcedimiento(base, nuevo) && nuevo.compare(tabla, Qt::CaseInsensitive) != 0))
            throw duplicado(QStringLiteral("objeto"));
        base.Escalar(QStringLiteral("UPDATE kv_sys_procedimientos SET nombre = ?1 WHERE nombre = ?2"), {nuevo, tabla});
        return;
    }
    if (!def) throw ambiguo;

    if (tipo == QLatin1String("COLUMN")) {
        ColumnaDeclarada* c = nullptr;
        DefinicionTabla nueva = *def;
        for (auto& col : nueva.columnas)
            if (col.nombre.compare(partes->back(), Qt::CaseInsensitive) == 0) c = &col;
        if (!c) throw ambiguo;
        for (const auto& col : nueva.columnas)
            if (&col != c && col.nombre.compare(nuevo, Qt::CaseInsensitive) == 0) throw duplicado(QStringLiteral("COLUMN"));
        const QString anterior = c->nombre;
        for (QString& k : nueva.clavePrimaria)
            if (k.trimmed().compare(anterior, Qt::CaseInsensitive) == 0) k = nuevo;
        c->nombre = nuevo;
        Atomico(base, [&] {
            QuitarDisparadores(base, def->nombre);
            base.Ejecutar(QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %3")
                              .arg(Identificador(def->nombre), Identificador(anterior), Identificador(nuevo)));
            CrearDisparadores(base, nueva);
            GuardarCatalogo(base, nueva);
        });
        return;
    }

    if (tipo == QLatin1String("INDEX")) {
        QString fisico;
        for (const auto& f : base.Filas(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                                       "tbl_name = ?1 AND sql IS NOT NULL"),
                                        {def->nombre})) {
            const QString escrito = IndiceComoSeEscribio(f[0].toString(), def->nombre);
            if (escrito.compare(partes->back(), Qt::CaseInsensitive) == 0) fisico = f[0].toString();
            else if (escrito.compare(nuevo, Qt::CaseInsensitive) == 0) throw duplicado(QStringLiteral("INDEX"));
        }
        if (fisico.isEmpty()) throw ambiguo;
        const QString nuevoFisico = NombreTomado(base, nuevo) && fisico.compare(nuevo, Qt::CaseInsensitive) != 0
                                        ? NombreIndiceDeTabla(def->nombre, nuevo)
                                        : nuevo;
        Atomico(base, [&] { RecrearIndice(base, fisico, nuevoFisico); });
        return;
    }

    // The table itself.
    if ((NombreTomado(base, nuevo) || HayProcedimiento(base, nuevo)) && def->nombre.compare(nuevo, Qt::CaseInsensitive) != 0)
        throw duplicado(QStringLiteral("objeto"));
    DefinicionTabla nueva = *def;
    nueva.nombre = nuevo;
    Atomico(base, [&] {
        QuitarDisparadores(base, def->nombre);
        base.Ejecutar(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(Identificador(def->nombre), Identificador(nuevo)));
        // Indexes named after the table ("tabla$indice") take the new name.
        for (const auto& f : base.Filas(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                                       "tbl_name = ?1 AND sql IS NOT NULL"),
                                        {nuevo})) {
            const QString fisico = f[0].toString();
            const QString escrito = IndiceComoSeEscribio(fisico, def->nombre);
            if (escrito != fisico) {
                const QString libre = NombreTomado(base, escrito) ? NombreIndiceDeTabla(nuevo, escrito) : escrito;
                RecrearIndice(base, fisico, libre);
            }
        }
        base.Escalar(QStringLiteral("DELETE FROM kv_sys_columnas WHERE tabla = ?1"), {def->nombre});
        base.Escalar(QStringLiteral("DELETE FROM kv_sys_restricciones WHERE tabla = ?1"), {def->nombre});
        base.Escalar(QStringLiteral("UPDATE kv_sys_identidad SET tabla = ?1 WHERE tabla = ?2"), {nuevo, def->nombre});
        const bool conIdentidad = std::any_of(def->columnas.begin(), def->columnas.end(),
                                              [](const ColumnaDeclarada& c) { return c.identidad; });
        if (conIdentidad) {
            // The identity column's default names its table: the table is made
            // again under the new name, with its rows.
            DefinicionTabla renombrada = *def;
            renombrada.nombre = nuevo;
            Reconstruir(base, renombrada, nueva);
        } else {
            CrearDisparadores(base, nueva);
            GuardarCatalogo(base, nueva);
        }
    });
}

}  // namespace kv::local

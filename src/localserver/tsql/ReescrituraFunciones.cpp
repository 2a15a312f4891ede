// Function pass: built-in T-SQL functions and aggregates become SQLite text and
// the kv_* functions of Funciones.h.

#include "localserver/tsql/Traductor.h"

#include <QSysInfo>

#include "localserver/tsql/Mensajes.h"

namespace kv::local::traduccion {

bool Traductor::FuncionDelSistema(const QString& n, const std::vector<Expr>& a, Expr& r) {
    // What the server knows of itself: the session gives @kv_base, @kv_login,
    // @kv_usuario, @kv_identidad, the list of databases (@kv_bases) and of the
    // roles and their members (@kv_roles_servidor, @kv_roles_base).
    auto exigir = [&](size_t minimo, size_t maximo) {
        if (a.size() < minimo || a.size() > maximo) Fallar();
    };
    r.tipo = TipoValor::Texto;
    r.tipoSql = QStringLiteral("nvarchar");
    r.primario = true;
    if (n == QLatin1String("object_id")) {
        exigir(1, 2);
        const QString nombre = QLatin1String("kv_nombre_objeto(") + a[0].sql + QLatin1Char(')');
        auto tablas = [&](const QString& tipos) {
            // A temporary table (tempdb..#t) is the session's: negative ids, as tempdb's.
            return QLatin1String("(SELECT CASE WHEN substr(") + nombre +
                   QLatin1String(", 1, 1) = '#' THEN (SELECT -rowid FROM sqlite_temp_master WHERE type IN (") + tipos +
                   QLatin1String(") AND name = ") + nombre +
                   QLatin1String(" COLLATE NOCASE) ELSE (SELECT rowid FROM sqlite_master WHERE type IN (") + tipos +
                   QLatin1String(") AND name = ") + nombre +
                   QLatin1String(" COLLATE NOCASE AND substr(name, 1, 7) COLLATE NOCASE NOT IN ('kv_sys_', "
                                 "'sqlite_')) END)");
        };
        // A procedure written in T-SQL, kept beside the tables; a primary key or a default.
        const QString procedimiento = QLatin1String("(SELECT 1000000 + rowid FROM kv_sys_procedimientos WHERE nombre = ") +
                                      nombre + QLatin1String(" COLLATE NOCASE)");
        auto restriccion = [&](const char* tipo) {
            return QLatin1String("(SELECT object_id FROM ") + *VistaDelCatalogo({QStringLiteral("sys"), QStringLiteral("objects")}) +
                   QLatin1String(" WHERE type = '") + QLatin1String(tipo) + QLatin1String("' AND name = ") + nombre +
                   QLatin1Char(')');
        };
        r.tipo = TipoValor::Numero;
        r.tipoSql = QStringLiteral("int");
        if (a.size() == 1) {
            r.sql = QLatin1String("coalesce(") + tablas(QStringLiteral("'table', 'view'")) + QLatin1String(", ") +
                    procedimiento + QLatin1String(", ") + restriccion("PK") + QLatin1String(", ") + restriccion("D") +
                    QLatin1Char(')');
            return true;
        }
        QString t = a[1].sql.toUpper();
        if (t.startsWith(QLatin1Char('N'))) t.remove(0, 1);
        if (t == QLatin1String("'U'"))
            r.sql = tablas(QStringLiteral("'table'"));
        else if (t == QLatin1String("'V'"))
            r.sql = tablas(QStringLiteral("'view'"));
        else if (t == QLatin1String("'P'"))
            r.sql = procedimiento;
        else if (t == QLatin1String("'PK'"))
            r.sql = restriccion("PK");
        else if (t == QLatin1String("'D'"))
            r.sql = restriccion("D");
        else
            r.sql = QStringLiteral("NULL");
        return true;
    }
    // What the CATCH block being run handles (NULL outside one).
    static const QHash<QString, QPair<QString, bool>> delError = {
        {QStringLiteral("error_number"), {QStringLiteral("@kv_error_numero"), true}},
        {QStringLiteral("error_message"), {QStringLiteral("@kv_error_mensaje"), false}},
        {QStringLiteral("error_severity"), {QStringLiteral("@kv_error_severidad"), true}},
        {QStringLiteral("error_state"), {QStringLiteral("@kv_error_estado"), true}},
        {QStringLiteral("error_line"), {QStringLiteral("@kv_error_linea"), true}},
        {QStringLiteral("error_procedure"), {QStringLiteral("@kv_error_procedimiento"), false}},
        {QStringLiteral("xact_state"), {QStringLiteral("@kv_estado_transaccion"), true}},
    };
    if (const auto it = delError.find(n); it != delError.end()) {
        exigir(0, 0);
        r.sql = it->first;
        if (it->second) {
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("int");
        }
        return true;
    }
    // The catalog functions install scripts ask before they change a table: answers
    // of the catalog views of the current database.
    auto catalogo = [](const char* vista) {
        return *VistaDelCatalogo({QStringLiteral("sys"), QString::fromLatin1(vista)});
    };
    auto propiedad = [&](const Expr& e, std::initializer_list<std::pair<const char*, const char*>> conocidas) {
        const QString nombre = e.sql.startsWith(QLatin1Char('N')) ? e.sql.mid(1).toLower() : e.sql.toLower();
        for (const auto& [clave, columna] : conocidas)
            if (nombre == QLatin1Char('\'') + QLatin1String(clave) + QLatin1Char('\''))
                return QString::fromLatin1(columna);
        return QString();
    };
    if (n == QLatin1String("object_name")) {
        exigir(1, 1);
        r.sql = QLatin1String("(SELECT name FROM ") + catalogo("objects") + QLatin1String(" WHERE object_id = ") +
                a[0].sql + QLatin1Char(')');
        return true;
    }
    if (n == QLatin1String("col_length")) {
        exigir(2, 2);
        Expr id;
        FuncionDelSistema(QStringLiteral("object_id"), {a[0]}, id);
        r.sql = QLatin1String("(SELECT max_length FROM ") + catalogo("columns") + QLatin1String(" WHERE object_id = ") +
                id.sql + QLatin1String(" AND name = ") + a[1].sql + QLatin1String(" COLLATE NOCASE)");
        r.tipo = TipoValor::Numero;
        r.tipoSql = QStringLiteral("smallint");
        return true;
    }
    if (n == QLatin1String("objectproperty")) {
        exigir(2, 2);
        const QString cuenta = propiedad(a[1], {{"isusertable", "type = 'U'"},
                                                {"istable", "type = 'U'"},
                                                {"isview", "type = 'V'"},
                                                {"isprocedure", "type = 'P'"}});
        r.sql = cuenta.isEmpty() ? QStringLiteral("NULL")
                                 : QLatin1String("(SELECT CASE WHEN ") + cuenta +
                                       QLatin1String(" THEN 1 ELSE 0 END FROM ") + catalogo("objects") +
                                       QLatin1String(" WHERE object_id = ") + a[0].sql + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
        r.tipoSql = QStringLiteral("int");
        return true;
    }
    if (n == QLatin1String("columnproperty")) {
        exigir(3, 3);
        const QString columna = propiedad(a[2], {{"allowsnull", "is_nullable"},
                                                 {"isidentity", "is_identity"},
                                                 {"precision", "precision"},
                                                 {"scale", "scale"}});
        r.sql = columna.isEmpty() ? QStringLiteral("NULL")
                                  : QLatin1String("(SELECT ") + columna + QLatin1String(" FROM ") +
                                        catalogo("columns") + QLatin1String(" WHERE object_id = ") + a[0].sql +
                                        QLatin1String(" AND name = ") + a[1].sql + QLatin1String(" COLLATE NOCASE)");
        r.tipo = TipoValor::Numero;
        r.tipoSql = QStringLiteral("int");
        return true;
    }
    if (n == QLatin1String("db_id")) {
        exigir(0, 1);
        r.sql = QLatin1String("kv_db_id(@kv_bases, ") + (a.empty() ? QStringLiteral("@kv_base") : a[0].sql) +
                QLatin1Char(')');
        r.tipo = TipoValor::Numero;
        r.tipoSql = QStringLiteral("int");
        return true;
    }
    if (n == QLatin1String("db_name")) {
        exigir(0, 1);
        r.sql = a.empty() ? QStringLiteral("@kv_base")
                          : QLatin1String("kv_db_name(@kv_bases, ") + a[0].sql + QLatin1Char(')');
        return true;
    }
    // Principals by name, id and sid, from the session's "id<TAB>name" lists of
    // the server's logins and roles and of the current database's principals.
    if (n == QLatin1String("original_login")) {
        exigir(0, 0);
        r.sql = QStringLiteral("@kv_login");
        return true;
    }
    if (n == QLatin1String("suser_sname") || n == QLatin1String("suser_name") || n == QLatin1String("user_name")) {
        exigir(0, 1);
        const bool usuario = n == QLatin1String("user_name");
        if (a.empty()) {
            r.sql = usuario ? QStringLiteral("@kv_usuario") : QStringLiteral("@kv_login");
            return true;
        }
        const QString id = n == QLatin1String("suser_sname") ? QLatin1String("kv_id_de_sid(") + a[0].sql + QLatin1Char(')')
                                                            : a[0].sql;
        r.sql = QLatin1String("kv_db_name(") +
                (usuario ? QStringLiteral("@kv_principales_base") : QStringLiteral("@kv_principales_servidor")) +
                QLatin1String(", ") + id + QLatin1Char(')');
        return true;
    }
    if (n == QLatin1String("suser_id") || n == QLatin1String("user_id") || n == QLatin1String("suser_sid")) {
        exigir(0, 1);
        const bool usuario = n == QLatin1String("user_id");
        const QString quien =
            a.empty() ? (usuario ? QStringLiteral("@kv_usuario") : QStringLiteral("@kv_login")) : a[0].sql;
        r.sql = QLatin1String("kv_db_id(") +
                (usuario ? QStringLiteral("@kv_principales_base") : QStringLiteral("@kv_principales_servidor")) +
                QLatin1String(", ") + quien + QLatin1Char(')');
        if (n == QLatin1String("suser_sid")) {
            r.sql = QLatin1String("kv_sid(") + r.sql + QLatin1Char(')');
            r.tipoSql = QStringLiteral("varbinary");
        } else {
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("int");
        }
        return true;
    }
    // Role membership, from the session's lists of roles and their members.
    if (n == QLatin1String("is_srvrolemember") || n == QLatin1String("is_member") ||
        n == QLatin1String("is_rolemember")) {
        const bool servidor = n == QLatin1String("is_srvrolemember");
        exigir(1, n == QLatin1String("is_member") ? 1 : 2);
        const QString quien = a.size() == 2 ? a[1].sql : servidor ? QStringLiteral("@kv_login") : QStringLiteral("@kv_usuario");
        r.sql = QLatin1String("kv_es_miembro(") +
                (servidor ? QStringLiteral("@kv_roles_servidor") : QStringLiteral("@kv_roles_base")) +
                QLatin1String(", ") + a[0].sql + QLatin1String(", ") + quien + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
        r.tipoSql = QStringLiteral("int");
        return true;
    }
    if (n == QLatin1String("host_name")) {
        exigir(0, 0);
        r.sql = LiteralTexto(QSysInfo::machineHostName());
        return true;
    }
    if (n == QLatin1String("serverproperty")) {
        // What install scripts ask of the server, in agreement with @@VERSION,
        // @@SERVERNAME and the databases' collation; NULL for any other property.
        exigir(1, 1);
        const QString texto = propiedad(a[0], {{"productversion", "8.00.2039"},
                                               {"productlevel", "SP4"},
                                               {"edition", "Embebido"},
                                               {"servername", "EMBEBIDO"},
                                               {"machinename", "EMBEBIDO"},
                                               {"collation", "Modern_Spanish_CI_AS"}});
        const QString numero = propiedad(a[0], {{"engineedition", "4"},
                                                {"isintegratedsecurityonly", "0"},
                                                {"isclustered", "0"},
                                                {"isfulltextinstalled", "0"},
                                                {"issingleuser", "0"}});
        if (!numero.isEmpty()) {
            r.sql = numero;
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("int");
        } else {
            r.sql = texto.isEmpty() ? QStringLiteral("NULL") : LiteralTexto(texto);
        }
        return true;
    }
    if (n == QLatin1String("scope_identity") || n == QLatin1String("ident_current")) {
        exigir(n == QLatin1String("ident_current") ? 1 : 0, n == QLatin1String("ident_current") ? 1 : 0);
        r.sql = QStringLiteral("@kv_identidad");
        r.tipo = TipoValor::Numero;
        r.tipoSql = QStringLiteral("decimal");
        return true;
    }
    return false;
}

Expr Traductor::Funcion(const QString& nombre, const QString& nombreSalida) {
    // The opening parenthesis is current.
    ExigirSimbolo("(");
    Entrar();
    const QString n = nombre.toLower();
    Expr r;
    const bool conParteDeFecha =
        n == QLatin1String("dateadd") || n == QLatin1String("datediff") || n == QLatin1String("datepart");
    auto args = [&](bool permitirVacio) {
        std::vector<Expr> lista;
        if (EsSimbolo(")")) {
            if (!permitirVacio) Fallar();
            return lista;
        }
        do {
            // The date part (day, month, yy...) is a word of the function's own, never a column.
            if (conParteDeFecha && lista.empty() && EsIdentificador(Actual()) && Siguiente().EsSimbolo(",")) {
                Expr parte;
                parte.sql = Identificador();
                lista.push_back(parte);
                continue;
            }
            lista.push_back(Expresion());
        } while (TomarSimbolo(","));
        return lista;
    };
    auto unir = [](const std::vector<Expr>& lista) {
        QStringList s;
        for (const Expr& e : lista) s << e.sql;
        return s.join(QLatin1String(", "));
    };
    auto exigirCantidad = [&](const std::vector<Expr>& lista, size_t minimo, size_t maximo) {
        if (lista.size() < minimo || lista.size() > maximo) Fallar();
    };

    const bool agregado = n == QLatin1String("count") || n == QLatin1String("count_big") ||
                          n == QLatin1String("sum") || n == QLatin1String("avg") ||
                          n == QLatin1String("min") || n == QLatin1String("max");
    if (agregado && !ambitos_.empty()) {
        ++ambitos_.back().enAgregado;
        ambitos_.back().usaAgregados = true;
    }
    if (n == QLatin1String("count") || n == QLatin1String("count_big")) {
        if (TomarSimbolo("*")) {
            r.sql = QStringLiteral("count(*)");
        } else {
            const bool distinto = Tomar("DISTINCT");
            if (!distinto) Tomar("ALL");
            Expr e = Expresion();
            const bool colacion = distinto && !e.columna && e.tipo != TipoValor::Numero;
            r.sql = QLatin1String("count(") + (distinto ? QLatin1String("DISTINCT ") : QLatin1String("")) +
                    (colacion ? Colacionar(e) : e.sql) + QLatin1Char(')');
        }
        r.tipo = TipoValor::Numero;
        r.tipoSql = n == QLatin1String("count") ? QStringLiteral("int") : QStringLiteral("bigint");
    } else if (n == QLatin1String("sum") || n == QLatin1String("avg") || n == QLatin1String("min") ||
               n == QLatin1String("max")) {
        const bool distinto = Tomar("DISTINCT");
        if (!distinto) Tomar("ALL");
        Expr e = Expresion();
        const QString distintoSql = distinto ? QStringLiteral("DISTINCT ") : QString();
        if ((n == QLatin1String("min") || n == QLatin1String("max")) && EsTipoDinero(e.tipoSql)) {
            // Money compares exactly, also beyond what a double holds.
            r.sql = QLatin1String("kv_") + n + QLatin1String("_dinero(") + distintoSql + e.sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
            r.tipoSql = e.tipoSql;
        } else if (n == QLatin1String("min") || n == QLatin1String("max")) {
            const bool colacion = !e.columna && e.tipo != TipoValor::Numero;
            r.sql = n + QLatin1Char('(') + (colacion ? Colacionar(e) : e.sql) + QLatin1Char(')');
            r.tipo = e.tipo;
            r.tipoSql = e.tipoSql;
        } else if (EsTipoDinero(e.tipoSql)) {
            // Money adds exactly, to four decimals; its average is money too.
            r.sql = QLatin1String("kv_suma_dinero(") + distintoSql + e.sql + QLatin1Char(')');
            if (n == QLatin1String("avg"))
                r.sql = QLatin1String("kv_dinero_op('/', ") + r.sql + QLatin1String(", count(") + distintoSql +
                        e.sql + QLatin1String("))");
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("money");
        } else if (EsTipoEntero(e.tipoSql)) {
            // SUM and AVG of integers are integers: AVG divides as integers do, and an
            // int sum beyond int's range fails as SQL Server fails.
            const QString tipo =
                e.tipoSql == QLatin1String("bigint") ? QStringLiteral("bigint") : QStringLiteral("int");
            const QString suma = QLatin1String("sum(") + distintoSql + e.sql + QLatin1Char(')');
            if (n == QLatin1String("avg")) {
                r.sql = QLatin1String("kv_div(") + suma + QLatin1String(", count(") + distintoSql + e.sql +
                        QLatin1String("))");
            } else {
                r.sql = AjustarAlTipo(suma, tipo);
            }
            r.tipo = TipoValor::Numero;
            r.tipoSql = tipo;
        } else {
            r.sql = n + QLatin1Char('(') + distintoSql + e.sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
            if (e.tipoSql == QLatin1String("float") || e.tipoSql == QLatin1String("real"))
                r.tipoSql = QStringLiteral("float");
            if (e.tipoSql == QLatin1String("decimal")) r.tipoSql = QStringLiteral("decimal");
        }
    } else if (n == QLatin1String("getdate") || n == QLatin1String("sysdatetime") ||
               n == QLatin1String("current_timestamp")) {
        args(true).size() == 0 ? void() : Fallar();
        r.sql = QStringLiteral("kv_getdate()");
        r.tipo = TipoValor::Texto;
        r.tipoSql = QStringLiteral("datetime");
    } else {
        const std::vector<Expr> a = args(true);
        if (n == QLatin1String("len")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("kv_len(") + a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("datalength")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("(length(CAST(") + a[0].sql + QLatin1String(" AS BLOB)))");
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("ltrim") || n == QLatin1String("rtrim")) {
            exigirCantidad(a, 1, 1);
            r.sql = n + QLatin1Char('(') + a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("substring")) {
            exigirCantidad(a, 3, 3);
            r.sql = QLatin1String("kv_subcadena(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("left")) {
            exigirCantidad(a, 2, 2);
            r.sql = QLatin1String("kv_subcadena(") + a[0].sql + QLatin1String(", 1, ") + a[1].sql +
                    QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("right")) {
            exigirCantidad(a, 2, 2);
            r.sql = QLatin1String("kv_derecha(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("isnull")) {
            exigirCantidad(a, 2, 2);
            r.sql = QLatin1String("ifnull(") + unir(a) + QLatin1Char(')');
            r.tipo = a[0].tipo == TipoValor::Nulo ? a[1].tipo : a[0].tipo;
            r.tipoSql = a[0].tipoSql.isEmpty() ? a[1].tipoSql : a[0].tipoSql;
        } else if (n == QLatin1String("coalesce")) {
            if (a.size() < 2) Fallar();
            std::vector<Expr> ramas = a;
            const Expr tipo = TipoDeRamas(ramas);
            r.sql = QLatin1String("coalesce(") + unir(ramas) + QLatin1Char(')');
            r.tipo = tipo.tipo;
            r.tipoSql = tipo.tipoSql;
        } else if (n == QLatin1String("nullif")) {
            exigirCantidad(a, 2, 2);
            const bool colacion = NecesitaColacion(a[0], a[1]);
            r.sql = QLatin1String("nullif(") + (colacion ? Colacionar(a[0]) : a[0].sql) +
                    QLatin1String(", ") + a[1].sql + QLatin1Char(')');
            r.tipo = a[0].tipo;
        } else if (n == QLatin1String("charindex")) {
            exigirCantidad(a, 2, 3);
            r.sql = QLatin1String("kv_charindex(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("upper") || n == QLatin1String("lower")) {
            exigirCantidad(a, 1, 1);
            r.sql = (n == QLatin1String("upper") ? QLatin1String("kv_mayusculas(")
                                                 : QLatin1String("kv_minusculas(")) +
                    a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("replace")) {
            exigirCantidad(a, 3, 3);
            r.sql = QLatin1String("kv_reemplazar(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("space")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("kv_replicar(' ', ") + a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("replicate")) {
            exigirCantidad(a, 2, 2);
            r.sql = QLatin1String("kv_replicar(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
        } else if (n == QLatin1String("year") || n == QLatin1String("month") || n == QLatin1String("day")) {
            exigirCantidad(a, 1, 1);
            const char* formato =
                n == QLatin1String("year") ? "%Y" : (n == QLatin1String("month") ? "%m" : "%d");
            r.sql = QLatin1String("CAST(strftime('") + QLatin1String(formato) +
                    QLatin1String("', kv_fecha(") + a[0].sql + QLatin1String(")) AS INTEGER)");
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("round") && a.size() >= 2 && EsTipoDinero(a[0].tipoSql)) {
            // ROUND of money is money, rounded (or cut) exactly.
            exigirCantidad(a, 2, 3);
            r.sql = QLatin1String("kv_redondear_dinero(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("money");
        } else if (n == QLatin1String("abs") || n == QLatin1String("round") || n == QLatin1String("sign")) {
            exigirCantidad(a, 1, 3);
            const size_t usados = n == QLatin1String("round") ? std::min<size_t>(a.size(), 2) : 1;
            if (n != QLatin1String("round") && a.size() != 1) Fallar();
            QStringList s;
            for (size_t i = 0; i < usados; ++i) s << a[i].sql;
            r.sql = n + QLatin1Char('(') + s.join(QLatin1String(", ")) + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
            r.tipoSql = n == QLatin1String("sign") && EsTipoEntero(a[0].tipoSql) ? QStringLiteral("int")
                                                                                 : a[0].tipoSql;
        } else if (n == QLatin1String("floor") || n == QLatin1String("ceiling")) {
            exigirCantidad(a, 1, 1);
            r.sql = (n == QLatin1String("floor") ? QLatin1String("kv_piso(") : QLatin1String("kv_techo(")) +
                    a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
        } else if (n == QLatin1String("dateadd") || n == QLatin1String("datediff") ||
                   n == QLatin1String("datepart")) {
            // The date part is a bare word: pass it as text.
            if (a.empty()) Fallar();
            QStringList s;
            s << LiteralTexto(a[0].sql.toLower());
            for (size_t i = 1; i < a.size(); ++i) s << a[i].sql;
            if ((n == QLatin1String("datepart") && a.size() != 2) ||
                (n != QLatin1String("datepart") && a.size() != 3))
                Fallar();
            r.sql =
                QLatin1String("kv_") + n + QLatin1Char('(') + s.join(QLatin1String(", ")) + QLatin1Char(')');
            r.tipo = n == QLatin1String("dateadd") ? TipoValor::Texto : TipoValor::Numero;
        } else if (n == QLatin1String("char") || n == QLatin1String("nchar") || n == QLatin1String("unicode") ||
                   n == QLatin1String("ascii")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("kv_") + n + QLatin1Char('(') + a[0].sql + QLatin1Char(')');
            const bool numero = n == QLatin1String("unicode") || n == QLatin1String("ascii");
            r.tipo = numero ? TipoValor::Numero : TipoValor::Texto;
            if (numero) r.tipoSql = QStringLiteral("int");
        } else if (n == QLatin1String("iif")) {
            exigirCantidad(a, 3, 3);
            std::vector<Expr> ramas = {a[1], a[2]};
            const Expr tipo = TipoDeRamas(ramas);
            r.sql = QLatin1String("(CASE WHEN ") + a[0].sql + QLatin1String(" THEN ") + ramas[0].sql +
                    QLatin1String(" ELSE ") + ramas[1].sql + QLatin1String(" END)");
            r.tipo = tipo.tipo;
            r.tipoSql = tipo.tipoSql;
        } else if (n == QLatin1String("choose")) {
            if (a.size() < 2) Fallar();
            std::vector<Expr> ramas(a.begin() + 1, a.end());
            const Expr tipo = TipoDeRamas(ramas);
            QString sql = QLatin1String("(CASE kv_entero(") + a[0].sql + QLatin1Char(')');
            for (size_t i = 0; i < ramas.size(); ++i)
                sql += QLatin1String(" WHEN ") + QString::number(i + 1) + QLatin1String(" THEN ") + ramas[i].sql;
            r.sql = sql + QLatin1String(" END)");
            r.tipo = tipo.tipo;
            r.tipoSql = tipo.tipoSql;
        } else if (n == QLatin1String("concat")) {
            // Each value as text, NULL as an empty text.
            if (a.size() < 2 || a.size() > 254)
                throw ErrorTSQL(mensajes::kArgumentosConcat, mensajes::ArgumentosConcat(), Actual().linea);
            QStringList partes;
            Tipo texto;
            texto.nombre = QStringLiteral("nvarchar");
            texto.longitud = -1;
            for (const Expr& e : a) {
                if (e.tipo == TipoValor::Nulo) continue;
                const QString valor = e.tipo == TipoValor::Texto ? e.sql : ConvertirSinTipo(texto, e, QString()).sql;
                partes << QLatin1String("ifnull(") + valor + QLatin1String(", '')");
            }
            r.sql = partes.isEmpty() ? QStringLiteral("''") : QLatin1Char('(') + partes.join(QLatin1String(" || ")) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
            r.tipoSql = QStringLiteral("nvarchar");
        } else if (n == QLatin1String("format")) {
            exigirCantidad(a, 2, 3);
            const QString& t = a[0].tipoSql;
            const bool fecha = t == QLatin1String("datetime") || t == QLatin1String("smalldatetime") ||
                               t == QLatin1String("date") || t == QLatin1String("datetime2");
            const QString clase = fecha ? QStringLiteral("'fecha'")
                                  : (Rango(t) > 0 || a[0].tipo == TipoValor::Numero) ? QStringLiteral("'numero'")
                                                                                      : QStringLiteral("''");
            r.sql = QLatin1String("kv_format(") + a[0].sql + QLatin1String(", ") + a[1].sql + QLatin1String(", ") +
                    (a.size() > 2 ? a[2].sql : QStringLiteral("NULL")) + QLatin1String(", ") + clase + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
            r.tipoSql = QStringLiteral("nvarchar");
        } else if (n == QLatin1String("stuff")) {
            exigirCantidad(a, 4, 4);
            r.sql = QLatin1String("kv_stuff(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Texto;
            r.tipoSql = a[0].tipoSql.isEmpty() ? QStringLiteral("nvarchar") : a[0].tipoSql;
        } else if (n == QLatin1String("reverse") || n == QLatin1String("quotename") || n == QLatin1String("str") ||
                   n == QLatin1String("parsename") || n == QLatin1String("patindex") ||
                   n == QLatin1String("datename")) {
            const bool unoODos = n == QLatin1String("reverse") || n == QLatin1String("quotename");
            exigirCantidad(a, n == QLatin1String("str") || unoODos ? 1 : 2,
                           n == QLatin1String("reverse") ? 1 : n == QLatin1String("str") ? 3 : 2);
            std::vector<Expr> lista = a;
            if (n == QLatin1String("datename")) lista[0].sql = LiteralTexto(a[0].sql.toLower());
            r.sql = QLatin1String("kv_") + n + QLatin1Char('(') + unir(lista) + QLatin1Char(')');
            r.tipo = n == QLatin1String("patindex") ? TipoValor::Numero : TipoValor::Texto;
            r.tipoSql = n == QLatin1String("patindex")                             ? QStringLiteral("int")
                        : n == QLatin1String("str")                                ? QStringLiteral("varchar")
                        : n == QLatin1String("reverse") && !a[0].tipoSql.isEmpty() ? a[0].tipoSql
                                                                                   : QStringLiteral("nvarchar");
        } else if (n == QLatin1String("isnumeric") || n == QLatin1String("isdate")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("kv_") + n + QLatin1Char('(') + a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("int");
        } else if (n == QLatin1String("power")) {
            // Of the base's type: integers stay integers, money money, the rest float.
            exigirCantidad(a, 2, 2);
            const QString tipo = EsTipoEntero(a[0].tipoSql)
                                     ? (a[0].tipoSql == QLatin1String("bigint") ? QStringLiteral("bigint")
                                                                                : QStringLiteral("int"))
                                 : EsTipoDinero(a[0].tipoSql) || a[0].tipoSql == QLatin1String("decimal")
                                     ? a[0].tipoSql
                                     : QStringLiteral("float");
            r.sql = QLatin1String("kv_potencia(") + unir(a) + QLatin1String(", '") + tipo + QLatin1String("')");
            if (EsTipoDinero(tipo)) r.sql = QLatin1String("kv_dinero(") + r.sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
            r.tipoSql = tipo;
        } else if (n == QLatin1String("square") || n == QLatin1String("sqrt") || n == QLatin1String("exp") ||
                   n == QLatin1String("log") || n == QLatin1String("log10")) {
            exigirCantidad(a, 1, 1);
            r.sql = QLatin1String("kv_") + n + QLatin1Char('(') + a[0].sql + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("float");
        } else if (n == QLatin1String("pi")) {
            exigirCantidad(a, 0, 0);
            r.sql = QStringLiteral("3.141592653589793");
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("float");
        } else if (n == QLatin1String("rand")) {
            exigirCantidad(a, 0, 1);
            r.sql = QLatin1String("kv_rand(") + unir(a) + QLatin1Char(')');
            r.tipo = TipoValor::Numero;
            r.tipoSql = QStringLiteral("float");
        } else if (n == QLatin1String("newid") || n == QLatin1String("getutcdate")) {
            exigirCantidad(a, 0, 0);
            r.sql = QLatin1String("kv_") + n + QLatin1String("()");
            r.tipo = TipoValor::Texto;
            r.tipoSql = n == QLatin1String("newid") ? QStringLiteral("uniqueidentifier") : QStringLiteral("datetime");
        } else if (!FuncionDelSistema(n, a, r)) {
            // The branches above are the T-SQL functions the front end defines;
            // any other name, SQLite's own and the server's helpers included,
            // is unknown to T-SQL.
            (void)nombreSalida;
            throw ErrorTSQL(mensajes::kFuncionDesconocida, mensajes::FuncionDesconocida(nombre),
                            Fin() ? (t_.empty() ? 1 : t_.back().linea) : Actual().linea);
        }
    }
    ExigirSimbolo(")");
    static const QSet<QString> enteras = {QStringLiteral("len"),        QStringLiteral("charindex"),
                                          QStringLiteral("datalength"), QStringLiteral("year"),
                                          QStringLiteral("month"),      QStringLiteral("day"),
                                          QStringLiteral("datediff"),   QStringLiteral("datepart")};
    if (r.tipoSql.isEmpty() && enteras.contains(n)) r.tipoSql = QStringLiteral("int");
    if (agregado && !ambitos_.empty()) --ambitos_.back().enAgregado;
    Salir();
    return r;
}

}  // namespace kv::local::traduccion

// Statement pass: INSERT, UPDATE, DELETE, EXEC, transactions and session options,
// and the dispatch on the head of each statement.

#include "localserver/tsql/Traductor.h"

#include "localserver/tsql/Division.h"

#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/MensajesRutinas.h"

namespace kv::local::traduccion {

// ------------------------------------------------------------------ statements

Sentencia Traductor::Nueva(int clase) const {
    Sentencia s;
    s.clase = static_cast<Clase>(clase);
    s.linea = t_[desde_].linea;
    s.original = TextoOriginal(desde_, fin_);
    return s;
}

QString Traductor::ObjetoDeSentencia(Sentencia& s) {
    QString simple;
    const QString nombre = NombreObjeto(&simple);
    s.tabla = simple;
    return nombre;
}

QString Traductor::ObjetoDefinido(Sentencia& s) {
    const qsizetype bases = lote_.bases.size();
    const qsizetype externos = lote_.objetosExternos.size();
    QStringList partes;
    const QString nombre = NombreObjeto(&s.tabla, &partes);
    if (lote_.objetosExternos.size() == externos) return nombre;
    lote_.objetosExternos.removeLast();
    if (lote_.bases.size() > bases) lote_.bases.removeLast();
    s.baseObjeto = partes[partes.size() - 3];
    return CitarNombre(s.tabla);
}

QString Traductor::TablaEscrita(Sentencia& s) {
    const QString tabla = ObjetoDeSentencia(s);
    if (Es("WITH") && Siguiente().EsSimbolo("(")) {
        ++p_;
        SaltarSugerencias();
    }
    return tabla;
}

void Traductor::Insertar(Sentencia& s) {
    Exigir("INSERT");
    Tomar("INTO");
    const QString tabla = TablaEscrita(s);
    QString sql = QLatin1String("INSERT INTO ") + tabla;
    if (EsSimbolo("(") && !Siguiente().Es("SELECT")) sql += ColumnasNombradas();
    if (Es("EXEC") || Es("EXECUTE")) {
        // INSERT ... EXEC: the rows the call returns.
        const QString destino = s.tabla;
        Ejecutar(s);
        s.insercion = sql;
        s.tabla = destino;
        return;
    }
    if (Tomar("VALUES")) {
        QStringList filas;
        do {
            ExigirSimbolo("(");
            QStringList valores;
            do {
                if (Tomar("DEFAULT")) Fallar();
                valores << LiteralExacto(Expresion().sql);
            } while (TomarSimbolo(","));
            ExigirSimbolo(")");
            filas << QLatin1Char('(') + valores.join(QLatin1String(", ")) + QLatin1Char(')');
        } while (TomarSimbolo(","));
        sql += QLatin1String(" VALUES ") + filas.join(QLatin1String(", "));
    } else if (Es("SELECT") || (EsSimbolo("(") && Siguiente().Es("SELECT"))) {
        sql += QLatin1Char(' ') + (TomarSimbolo("(") ? [&] {
            QString c = Consulta();
            ExigirSimbolo(")");
            return c;
        }()
                                                     : Consulta());
    } else if (Tomar("DEFAULT")) {
        Exigir("VALUES");
        sql += QLatin1String(" DEFAULT VALUES");
    } else {
        Fallar();
    }
    s.sql = sql;
}

const Traductor::FuenteEscrita* Traductor::FuenteDelDestino(const std::vector<FuenteEscrita>& fuentes,
                                                            const QString& destino) const {
    for (const FuenteEscrita& f : fuentes)
        if ((f.alias.isEmpty() ? f.nombre : f.alias).compare(destino, Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

QString Traductor::FromDeEscritura(std::vector<FuenteEscrita>& escritas) {
    if (!Tomar("FROM")) return QString();
    fuentesEscritas_ = &escritas;
    struct Recoger {
        std::vector<FuenteEscrita>*& fuentes;
        ~Recoger() { fuentes = nullptr; }
    } recoger{fuentesEscritas_};
    return ListaFrom(nullptr);
}

void Traductor::Actualizar(Sentencia& s) {
    Exigir("UPDATE");
    const QString tabla = TablaEscrita(s);
    const QString destino = s.tabla;  // a table, or the alias its FROM gives one
    fuentes_.push_back({Fuente{s.tabla.toLower(), s.tabla}});
    struct QuitarFuentes {
        std::vector<std::vector<Fuente>>& pila;
        ~QuitarFuentes() { pila.pop_back(); }
    } quitarFuentes{fuentes_};
    Exigir("SET");
    QStringList asignaciones;
    QStringList columnas;  // each assignment's column, and the value it takes
    QStringList valores;   // with the target's own columns named through it
    do {
        QStringList partes;
        partes << Identificador();
        while (TomarSimbolo(".")) partes << Identificador();
        const QString columna = CitarNombre(partes.last());
        if (Fin() || Actual().tipo != TipoToken::Simbolo) Fallar();
        const QString op = t_[p_].texto;
        static const QStringList compuestos = {QStringLiteral("+="), QStringLiteral("-="),
                                               QStringLiteral("*="), QStringLiteral("/="),
                                               QStringLiteral("%=")};
        columnas << columna;
        const QString propia = CitarNombre(destino) + QLatin1Char('.') + columna;
        if (op == QLatin1String("=")) {
            ++p_;
            valores << LiteralExacto(Expresion().sql);
            asignaciones << columna + QLatin1String(" = ") + valores.last();
        } else if (compuestos.contains(op)) {
            ++p_;
            Expr e = Expresion();
            const QChar o = op[0];
            auto valor = [&](const QString& c) -> QString {
                if (o == QLatin1Char('/')) return QLatin1String("kv_div(") + c + QLatin1String(", ") + e.sql + QLatin1Char(')');
                if (o == QLatin1Char('%')) return QLatin1String("kv_mod(") + c + QLatin1String(", ") + e.sql + QLatin1Char(')');
                if (o == QLatin1Char('+') && e.tipo != TipoValor::Numero)
                    return QLatin1String("kv_suma(") + c + QLatin1String(", ") + e.sql + QLatin1Char(')');
                return c + QLatin1Char(' ') + o + QLatin1String(" (") + e.sql + QLatin1Char(')');
            };
            asignaciones << columna + QLatin1String(" = ") + valor(columna);
            valores << valor(propia);
        } else {
            Fallar();
        }
    } while (TomarSimbolo(","));
    std::vector<FuenteEscrita> escritas;
    const QString desde = FromDeEscritura(escritas);
    const QString filtro = Tomar("WHERE") ? Expresion().sql : QString();
    const FuenteEscrita* propia = FuenteDelDestino(escritas, destino);
    if (!propia) {
        // Without a FROM, or with one that does not name the target: the target's
        // rows that the WHERE, over both, keeps.
        s.sql = QLatin1String("UPDATE ") + tabla + QLatin1String(" SET ") + asignaciones.join(QLatin1String(", ")) +
                (desde.isEmpty() ? QString() : QLatin1String(" FROM ") + desde) +
                (filtro.isEmpty() ? QString() : QLatin1String(" WHERE ") + filtro);
        return;
    }
    // UPDATE a SET ... FROM t a JOIN ...: each row of t the FROM finds takes the values
    // worked out on the row the FROM pairs it with.
    s.tabla = propia->nombre;
    QStringList elegidos{CitarNombre(destino) + QLatin1String(".rowid AS kv_fila")};
    QStringList puestas;
    for (qsizetype i = 0; i < columnas.size(); ++i) {
        elegidos << valores[i] + QLatin1String(" AS kv_valor") + QString::number(i);
        puestas << columnas[i] + QLatin1String(" = kv_nuevos.kv_valor") + QString::number(i);
    }
    s.sql = QLatin1String("UPDATE ") + propia->sql + QLatin1String(" AS kv_destino SET ") +
            puestas.join(QLatin1String(", ")) + QLatin1String(" FROM (SELECT ") + elegidos.join(QLatin1String(", ")) +
            QLatin1String(" FROM ") + desde + (filtro.isEmpty() ? QString() : QLatin1String(" WHERE ") + filtro) +
            QLatin1String(") AS kv_nuevos WHERE kv_destino.rowid = kv_nuevos.kv_fila");
}

void Traductor::Borrar(Sentencia& s) {
    Exigir("DELETE");
    Tomar("FROM");
    const QString tabla = TablaEscrita(s);
    const QString destino = s.tabla;
    std::vector<FuenteEscrita> escritas;
    QString desde = FromDeEscritura(escritas);
    const QString filtro = Tomar("WHERE") ? Expresion().sql : QString();
    if (desde.isEmpty()) {
        s.sql = QLatin1String("DELETE FROM ") + tabla +
                (filtro.isEmpty() ? QString() : QLatin1String(" WHERE ") + filtro);
        return;
    }
    // DELETE [FROM] a FROM t a JOIN ...: the rows of t the FROM finds; a target the
    // FROM does not name joins it as itself.
    const FuenteEscrita* propia = FuenteDelDestino(escritas, destino);
    if (propia) s.tabla = propia->nombre;
    else desde = tabla + QLatin1String(", ") + desde;
    s.sql = QLatin1String("DELETE FROM ") + (propia ? propia->sql : tabla) +
            QLatin1String(" WHERE rowid IN (SELECT ") + CitarNombre(destino) + QLatin1String(".rowid FROM ") + desde +
            (filtro.isEmpty() ? QString() : QLatin1String(" WHERE ") + filtro) + QLatin1Char(')');
}

void Traductor::Ejecutar(Sentencia& s) {
    if (!Tomar("EXEC")) Tomar("EXECUTE");
    if (TomarSimbolo("(")) {
        // EXEC (N'...' + @x): the text is a batch of its own.
        const Expr texto = Expresion();
        ExigirSimbolo(")");
        s.clase = Clase::EjecutarTexto;
        s.sql = QLatin1String("SELECT kv_texto(") + texto.sql + QLatin1String(", -1)");
        return;
    }
    if (!Fin() && Actual().tipo == TipoToken::Variable && Siguiente().EsSimbolo("=")) {
        // EXEC @r = proc: the variable takes the return status.
        s.variables = QStringList{ParametroDeVariable(Actual())};
        p_ += 2;
    }
    QString simple;
    QStringList partes;
    partes << Identificador();
    while (TomarSimbolo(".")) {
        if (EsSimbolo(".")) {
            partes << QString();
            continue;
        }
        partes << Identificador();
    }
    QStringList quedan;
    for (int i = 0; i < partes.size(); ++i) {
        if (i < partes.size() - 1 &&
            (partes[i].isEmpty() || partes[i].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0))
            continue;
        quedan << partes[i];
    }
    s.clase = Clase::Ejecutar;
    s.objeto = quedan.join(QLatin1Char('.'));
    if (Fin()) return;
    do {
        Argumento a;
        if (!Fin() && Actual().tipo == TipoToken::Variable && Siguiente().EsSimbolo("=")) {
            a.nombre = Actual().texto;
            p_ += 2;
        }
        if (Fin()) Fallar();
        const Token& v = Actual();
        if (v.tipo == TipoToken::Cadena) {
            a.valor = v.Valor();
            ++p_;
        } else if (v.tipo == TipoToken::Numero || v.EsSimbolo("-") || v.EsSimbolo("+")) {
            QString texto;
            if (v.EsSimbolo("-") || v.EsSimbolo("+")) {
                texto = v.texto;
                ++p_;
                if (Fin() || Actual().tipo != TipoToken::Numero) Fallar();
            }
            texto += t_[p_++].texto;
            bool ok = false;
            const qlonglong entero = texto.toLongLong(&ok);
            if (ok) {
                a.valor = entero;
            } else {
                const double real = texto.toDouble(&ok);
                if (!ok) Fallar();
                a.valor = real;
            }
        } else if (v.Es("NULL")) {
            a.valor = QVariant();
            ++p_;
        } else if (v.Es("DEFAULT") && v.tipo == TipoToken::Palabra) {
            a.porDefecto = true;
            ++p_;
        } else if (v.tipo == TipoToken::Variable) {
            // A variable passes its value when the statement runs, as SQL Server passes it.
            a.variable = ParametroDeVariable(v);
            a.valor = v.texto;
            ++p_;
        } else if (v.tipo == TipoToken::Palabra || v.tipo == TipoToken::Corchete ||
                   v.tipo == TipoToken::Comillas) {
            a.valor = v.Nombre();
            ++p_;
        } else {
            Fallar();
        }
        if (Tomar("OUTPUT") || Tomar("OUT")) a.salida = true;
        if (a.salida && a.variable.isEmpty() && !a.porDefecto && !v.Es("NULL")) {
            // Only a variable can take a value back (SQL Server's 179).
            throw ErrorTSQL(mensajes::kSalidaSinVariable, mensajes::SalidaSinVariable(), v.linea);
        }
        s.argumentos.push_back(a);
    } while (TomarSimbolo(","));
}

// GRANT permission[, ...] ON [OBJECT::][dbo.]object TO user[, ...] [WITH GRANT OPTION]
// REVOKE [GRANT OPTION FOR] permission[, ...] ON ... {TO | FROM} user[, ...] [CASCADE]
void Traductor::Conceder(Sentencia& s) {
    const bool concede = Tomar("GRANT");
    if (!concede) {
        Exigir("REVOKE");
        if (Tomar("GRANT")) {
            Exigir("OPTION");
            Exigir("FOR");
        }
    }
    s.clase = concede ? Clase::Conceder : Clase::Revocar;
    QStringList permisos;
    do {
        if (Fin() || Actual().tipo != TipoToken::Palabra) Fallar();
        QString permiso = Actual().texto.toUpper();
        ++p_;
        if (permiso == QLatin1String("EXEC")) permiso = QStringLiteral("EXECUTE");
        // Two-word permissions ("VIEW DEFINITION", "TAKE OWNERSHIP").
        if (!Fin() && Actual().tipo == TipoToken::Palabra && !Es("ON"))
            permiso += QLatin1Char(' ') + t_[p_++].texto.toUpper();
        permisos << permiso;
    } while (TomarSimbolo(","));
    s.sql = permisos.join(QLatin1Char(','));
    Exigir("ON");
    if (Es("OBJECT") && Siguiente().EsSimbolo("::")) p_ += 2;
    QStringList partes;
    partes << Identificador();
    while (TomarSimbolo(".")) partes << Identificador();
    if (partes.size() > 1 && partes.front().compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        partes.removeFirst();
    s.objeto = partes.join(QLatin1Char('.'));
    if (!Tomar("TO") && (concede || !Tomar("FROM"))) Fallar();
    do {
        Argumento a;
        a.valor = Identificador();
        s.argumentos.push_back(a);
    } while (TomarSimbolo(","));
    if (concede && Tomar("WITH")) {
        Exigir("GRANT");
        Exigir("OPTION");
    }
    if (!concede) Tomar("CASCADE");
}

// DROP PROC[EDURE] [IF EXISTS] nombre[, ...]
void Traductor::QuitarProcedimiento(Sentencia& s) {
    Exigir("DROP");
    if (!Tomar("PROC")) Exigir("PROCEDURE");
    s.clase = Clase::BorrarProcedimiento;
    if (Es("IF") && Siguiente().Es("EXISTS")) {
        p_ += 2;
        s.sql = QStringLiteral("IF EXISTS");
    }
    do {
        QStringList partes;
        partes << Identificador();
        while (TomarSimbolo(".")) partes << Identificador();
        Argumento a;
        a.valor = partes.last();
        s.argumentos.push_back(a);
    } while (TomarSimbolo(","));
}

void Traductor::Traducir(std::vector<Sentencia>& salida, bool primeraDelLote) {
    const Token& cabeza = Actual();
    Sentencia s = Nueva(static_cast<int>(Clase::Nada));
    if (cabeza.Es("SELECT") || (cabeza.EsSimbolo("(") && Siguiente().Es("SELECT"))) {
        InfoConsulta info;
        QString destino;
        destinoInto_ = cabeza.Es("SELECT") ? &destino : nullptr;
        if (TomarSimbolo("(")) {
            s.sql = Consulta(&info, true);
            ExigirSimbolo(")");
        } else {
            s.sql = Consulta(&info, true);
        }
        destinoInto_ = nullptr;
        s.clase = info.asignaciones.isEmpty() ? Clase::Consulta : Clase::Asignar;
        s.variables = info.asignaciones;
        s.tabla = info.tablaUnica;
        if (!info.asterisco) s.tiposColumnas = info.tipos;
        if (!destino.isEmpty()) {
            // SELECT ... INTO t: a new table with the query's columns and rows.
            if (!info.asignaciones.isEmpty()) Fallar();
            s.clase = Clase::CrearTabla;
            s.tabla = destino;
        }
    } else if (cabeza.Es("INSERT")) {
        s.clase = Clase::Modificacion;
        Insertar(s);
    } else if (cabeza.Es("UPDATE")) {
        s.clase = Clase::Modificacion;
        Actualizar(s);
    } else if (cabeza.Es("DELETE")) {
        s.clase = Clase::Modificacion;
        Borrar(s);
    } else if (cabeza.Es("TRUNCATE")) {
        ++p_;
        Exigir("TABLE");
        s.sql = QLatin1String("DELETE FROM ") + ObjetoDeSentencia(s);
        s.clase = Clase::Modificacion;
    } else if (Seguridad(s)) {
    } else if (cabeza.Es("CREATE")) {
        Crear(salida, s);
        if (!Fin()) Fallar();
        return;
    } else if (cabeza.Es("ALTER")) {
        Alterar(s);
    } else if (cabeza.Es("DROP") && (Siguiente().Es("PROCEDURE") || Siguiente().Es("PROC"))) {
        QuitarProcedimiento(s);
    } else if (cabeza.Es("DROP")) {
        Quitar(salida, s);
        if (!Fin()) Fallar();
        return;
    } else if (cabeza.Es("USE")) {
        if (lote_.enRutina) throw ErrorTSQL(mensajes::kUsarEnRutina, mensajes::UsarEnRutina(), cabeza.linea);
        ++p_;
        s.clase = Clase::Usar;
        s.objeto = Identificador();
    } else if (cabeza.Es("EXEC") || cabeza.Es("EXECUTE")) {
        Ejecutar(s);
    } else if (cabeza.Es("GRANT") || cabeza.Es("REVOKE")) {
        Conceder(s);
    } else if (cabeza.Es("BEGIN")) {
        ++p_;
        Tomar("DISTRIBUTED");
        if (!Tomar("TRAN")) Exigir("TRANSACTION");
        if (!Fin() && (EsIdentificador(Actual()) || Actual().tipo == TipoToken::Variable)) ++p_;
        if (Es("WITH") && Siguiente().Es("MARK")) {
            p_ += 2;
            if (!Fin() && Actual().tipo == TipoToken::Cadena) ++p_;
        }
        s.clase = Clase::IniciarTransaccion;
    } else if (cabeza.Es("COMMIT") || cabeza.Es("ROLLBACK")) {
        ++p_;
        if (!Tomar("TRAN") && !Tomar("TRANSACTION")) Tomar("WORK");
        if (!Fin() && (EsIdentificador(Actual()) || Actual().tipo == TipoToken::Variable)) ++p_;
        s.clase = cabeza.Es("COMMIT") ? Clase::ConfirmarTransaccion : Clase::DeshacerTransaccion;
    } else if (cabeza.Es("DECLARE")) {
        Declarar(salida, s);
        return;
    } else if (cabeza.Es("SET") && Siguiente().tipo == TipoToken::Variable) {
        ++p_;
        AsignarConSet(s);
    } else if (cabeza.Es("PRINT")) {
        Imprimir(s);
    } else if (cabeza.Es("RAISERROR")) {
        Elevar(s);
    } else if (cabeza.Es("WAITFOR")) {
        Esperar(s);
    } else if (cabeza.Es("RETURN")) {
        Retornar(s);
    } else if (cabeza.Es("THROW")) {
        Lanzar(s);
    } else if (cabeza.Es("SET") && (Siguiente().Es("XACT_ABORT") || Siguiente().Es("LOCK_TIMEOUT"))) {
        p_ += 2;
        OpcionDeSesion(s);
    } else if (cabeza.Es("SET")) {
        ++p_;
        // Session options (NOCOUNT, DATEFORMAT, ANSI_..., TRANSACTION ISOLATION LEVEL ...) change nothing
        // here.
        if (Fin() || Actual().tipo != TipoToken::Palabra) Fallar();
        while (!Fin()) {
            if (Actual().tipo != TipoToken::Palabra && Actual().tipo != TipoToken::Numero &&
                !EsSimbolo(",") && !EsSimbolo("=") && Actual().tipo != TipoToken::Cadena)
                Fallar();
            ++p_;
        }
        s.clase = Clase::Nada;
    } else if (primeraDelLote && EsIdentificador(cabeza) && !EsInicioDeSentencia(cabeza) &&
               !cabeza.Es("GO")) {
        // A procedure name alone at the head of a batch runs it.
        Ejecutar(s);
    } else {
        Fallar();
    }
    if (!Fin()) Fallar();
    salida.push_back(s);
}

}  // namespace kv::local::traduccion

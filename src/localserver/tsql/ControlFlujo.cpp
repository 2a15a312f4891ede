// Control-flow pass: variables (DECLARE, SET, SELECT @v =), the conditions of
// IF and WHILE, PRINT, RAISERROR and RETURN, and the @@ values a batch reads.
// The statements of a batch are put in order by the plan step (Plan.cpp).

#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/MensajesRutinas.h"
#include "localserver/tsql/Traductor.h"

namespace kv::local::traduccion {

namespace {

// What the server reports as @@VERSION.
const char* const kVersion = "Servidor embebido de KV_ESTV 1.0 (T-SQL de SQL Server 2000)";

}  // namespace

Expr Traductor::LeerVariable() {
    const Token& tk = Actual();
    const QString nombre = tk.texto.toLower();
    Expr r;
    r.literal = true;
    r.tipo = TipoValor::Numero;
    r.tipoSql = QStringLiteral("int");
    // The server's values: parameters the session gives every statement.
    static const QHash<QString, QString> delServidor = {
        {QStringLiteral("@@rowcount"), QStringLiteral("@kv_filas")},
        {QStringLiteral("@@error"), QStringLiteral("@kv_error")},
        {QStringLiteral("@@identity"), QStringLiteral("@kv_identidad")},
        {QStringLiteral("@@trancount"), QStringLiteral("@kv_transacciones")},
    };
    if (const auto it = delServidor.find(nombre); it != delServidor.end()) {
        ++p_;
        r.sql = it.value();
        if (nombre == QLatin1String("@@identity")) r.tipoSql = QStringLiteral("decimal");
        return r;
    }
    // The server speaks Spanish: its language and the first day of its weeks.
    if (nombre == QLatin1String("@@language")) {
        ++p_;
        r.sql = LiteralTexto(QStringLiteral("Español"));
        r.tipo = TipoValor::Texto;
        r.tipoSql = QStringLiteral("nvarchar");
        return r;
    }
    if (nombre == QLatin1String("@@datefirst")) {
        ++p_;
        r.sql = QStringLiteral("1");
        r.tipoSql = QStringLiteral("tinyint");
        return r;
    }
    if (nombre == QLatin1String("@@spid")) {
        ++p_;
        r.sql = QStringLiteral("@kv_sesion");
        r.tipoSql = QStringLiteral("smallint");
        return r;
    }
    if (nombre == QLatin1String("@@version") || nombre == QLatin1String("@@servername") ||
        nombre == QLatin1String("@@servicename")) {
        ++p_;
        r.sql = nombre == QLatin1String("@@version") ? LiteralTexto(QString::fromUtf8(kVersion))
                                                     : QStringLiteral("'EMBEBIDO'");
        r.tipo = TipoValor::Texto;
        r.tipoSql = QStringLiteral("nvarchar");
        return r;
    }
    const auto it = lote_.variables.constFind(nombre);
    // A table variable is no value: as a scalar it is not declared.
    if (it == lote_.variables.constEnd() || it->tipo.nombre == QLatin1String("table"))
        throw ErrorTSQL(mensajes::kVariableNoDeclarada, mensajes::VariableNoDeclarada(tk.texto), tk.linea);
    ++p_;
    r.sql = it->parametro;
    r.tipoSql = it->tipo.nombre;
    r.tipo = Rango(r.tipoSql) > 0 ? TipoValor::Numero : TipoValor::Desconocido;
    if (r.tipoSql.contains(QLatin1String("char")) || r.tipoSql.contains(QLatin1String("text")) ||
        r.tipoSql == QLatin1String("sysname"))
        r.tipo = TipoValor::Texto;
    return r;
}

const Variable& Traductor::VariableDeclarada(const Token& tk) const {
    const auto it = lote_.variables.constFind(tk.texto.toLower());
    if (it == lote_.variables.constEnd() || it->tipo.nombre == QLatin1String("table"))
        throw ErrorTSQL(mensajes::kVariableNoDeclarada, mensajes::VariableNoDeclarada(tk.texto), tk.linea);
    return *it;
}

QString Traductor::ValorParaVariable(const Variable& v, const QString& op) {
    Expr e = Expresion();
    if (op != QLatin1String("=")) {
        // SET @v += x and the like: the variable with the operator.
        Expr actual;
        actual.sql = v.parametro;
        actual.literal = true;
        actual.tipoSql = v.tipo.nombre;
        actual.tipo = Rango(v.tipo.nombre) > 0 ? TipoValor::Numero : TipoValor::Texto;
        const QChar o = op[0];
        Expr r;
        if (o == QLatin1Char('+') && actual.tipo == TipoValor::Texto) {
            r.sql = QLatin1String("kv_suma(") + actual.sql + QLatin1String(", ") + e.sql + QLatin1Char(')');
        } else if (o == QLatin1Char('/') || o == QLatin1Char('%')) {
            r.sql = (o == QLatin1Char('/') ? QLatin1String("kv_div(") : QLatin1String("kv_mod(")) +
                    actual.sql + QLatin1String(", ") + e.sql + QLatin1Char(')');
        } else {
            r.sql = AjustarAlTipo(
                actual.sql + QLatin1Char(' ') + o + QLatin1String(" (") + e.sql + QLatin1Char(')'),
                TipoDeOperacion(actual.tipoSql, e.tipoSql));
        }
        r.tipo = actual.tipo;
        e = r;
    }
    // The value takes the variable's type, as an assignment converts it.
    return Convertir(v.tipo, e, QString()).sql;
}

void Traductor::Declarar(std::vector<Sentencia>& salida, const Sentencia& base) {
    Exigir("DECLARE");
    bool alguna = false;
    do {
        if (Fin() || Actual().tipo != TipoToken::Variable || Actual().texto.startsWith(QLatin1String("@@")))
            Fallar();
        const Token& tk = Actual();
        ++p_;
        Tomar("AS");
        if (Es("CURSOR")) Fallar();  // cursors are not kept
        const QString nombre = tk.texto.toLower();
        if (Tomar("TABLE")) {
            // A table variable: a table of the frame that runs the declaration.
            if (lote_.variables.contains(nombre))
                throw ErrorTSQL(mensajes::kVariableRepetida, mensajes::VariableRepetida(tk.texto), tk.linea);
            Sentencia s = base;
            s.clase = Clase::CrearTabla;
            s.tabla = tk.texto;
            ExigirSimbolo("(");
            do {
                if (EsSimbolo(")")) break;
                ElementoTabla(s);
            } while (TomarSimbolo(","));
            ExigirSimbolo(")");
            if (s.columnas.empty()) Fallar();
            Variable v;
            v.parametro = QStringLiteral("@kv_v%1").arg(lote_.variables.size() + 1);
            v.tipo.nombre = QStringLiteral("table");
            lote_.variables.insert(nombre, v);
            s.variables = QStringList{v.parametro};
            s.tablasVariables = QStringList{v.parametro};
            salida.push_back(s);
            alguna = true;
            continue;
        }
        const Tipo tipo = LeerTipo();
        if (lote_.variables.contains(nombre))
            throw ErrorTSQL(mensajes::kVariableRepetida, mensajes::VariableRepetida(tk.texto), tk.linea);
        Variable v;
        v.parametro = QStringLiteral("@kv_v%1").arg(lote_.variables.size() + 1);
        v.tipo = tipo;
        lote_.variables.insert(nombre, v);
        if (TomarSimbolo("=")) {
            Sentencia s = base;
            s.clase = Clase::Asignar;
            s.sql = QLatin1String("SELECT ") + ValorParaVariable(v, QStringLiteral("="));
            s.variables = QStringList{v.parametro};
            salida.push_back(s);
            alguna = true;
        }
    } while (TomarSimbolo(","));
    if (!Fin()) Fallar();
    if (!alguna) {
        Sentencia s = base;
        s.clase = Clase::Nada;
        salida.push_back(s);
    }
}

bool Traductor::AsignarConSet(Sentencia& s) {
    // SET already taken; false when it is a session option.
    if (Fin() || Actual().tipo != TipoToken::Variable) return false;
    const Variable& v = VariableDeclarada(Actual());
    ++p_;
    if (Fin() || Actual().tipo != TipoToken::Simbolo) Fallar();
    const QString op = Actual().texto;
    static const QStringList operadores = {QStringLiteral("="),  QStringLiteral("+="), QStringLiteral("-="),
                                           QStringLiteral("*="), QStringLiteral("/="), QStringLiteral("%=")};
    if (!operadores.contains(op)) Fallar();
    ++p_;
    s.clase = Clase::Asignar;
    s.sql = QLatin1String("SELECT ") + ValorParaVariable(v, op);
    s.variables = QStringList{v.parametro};
    return true;
}

void Traductor::Condicion(Sentencia& s) {
    // IF or WHILE taken: the rest of the statement is the condition.
    if (Fin()) Fallar();
    const Expr e = Expresion();
    if (!Fin()) Fallar();
    s.clase = Clase::Si;
    s.sql = QLatin1String("SELECT CASE WHEN ") + e.sql + QLatin1String(" THEN 1 ELSE 0 END");
}

void Traductor::Imprimir(Sentencia& s) {
    Exigir("PRINT");
    const Expr e = Expresion();
    s.clase = Clase::Imprimir;
    s.sql = QLatin1String("SELECT kv_texto(") + e.sql + QLatin1String(", -1)");
}

void Traductor::Esperar(Sentencia& s) {
    Exigir("WAITFOR");
    // WAITFOR DELAY 'hh:mm[:ss[.mmm]]' | WAITFOR TIME 'hh:mm[:ss[.mmm]]', a literal or a variable.
    if (Tomar("DELAY")) {
        s.objeto = QStringLiteral("DELAY");
    } else if (Tomar("TIME")) {
        s.objeto = QStringLiteral("TIME");
    } else {
        Fallar();
    }
    if (Fin() || (Actual().tipo != TipoToken::Cadena && Actual().tipo != TipoToken::Variable)) Fallar();
    const Expr e = Primaria();
    s.clase = Clase::Esperar;
    s.sql = QLatin1String("SELECT kv_texto(") + e.sql + QLatin1String(", -1)");
}

void Traductor::Elevar(Sentencia& s) {
    Exigir("RAISERROR");
    // RAISERROR (mensaje, severidad, estado [, argumento]...) [WITH LOG | NOWAIT | SETERROR]
    ExigirSimbolo("(");
    QStringList partes;
    do {
        partes << Expresion().sql;
    } while (TomarSimbolo(","));
    ExigirSimbolo(")");
    if (partes.size() < 3) Fallar();
    if (Tomar("WITH")) {
        do {
            if (!Tomar("LOG") && !Tomar("NOWAIT")) Exigir("SETERROR");
        } while (TomarSimbolo(","));
    }
    s.clase = Clase::Elevar;
    s.sql = QLatin1String("SELECT ") + partes.join(QLatin1String(", "));
}

void Traductor::Retornar(Sentencia& s) {
    Exigir("RETURN");
    s.clase = Clase::Retornar;
    if (Fin()) return;
    // A batch returns no value; a procedure returns an int, its status.
    if (!lote_.enRutina) throw ErrorTSQL(mensajes::kRetornoConValor, mensajes::RetornoConValor(), Actual().linea);
    Tipo entero;
    entero.nombre = QStringLiteral("int");
    s.sql = QLatin1String("SELECT ") + Convertir(entero, Expresion(), QString()).sql;
}

void Traductor::Lanzar(Sentencia& s) {
    Exigir("THROW");
    s.clase = Clase::Lanzar;
    if (Fin()) return;  // THROW; rethrows the error being handled
    QStringList partes;
    partes << Expresion().sql;
    ExigirSimbolo(",");
    partes << Expresion().sql;
    ExigirSimbolo(",");
    partes << Expresion().sql;
    s.sql = QLatin1String("SELECT ") + partes.join(QLatin1String(", "));
}

void Traductor::OpcionDeSesion(Sentencia& s) {
    // SET XACT_ABORT or SET LOCK_TIMEOUT, taken up to the option's name.
    s.clase = Clase::Opcion;
    if (t_[p_ - 1].Es("LOCK_TIMEOUT")) {
        // Milliseconds to wait for another session's lock: -1 waits, 0 does not.
        s.objeto = QStringLiteral("LOCK_TIMEOUT");
        const bool negativo = TomarSimbolo("-");
        if (Fin() || Actual().tipo != TipoToken::Numero) Fallar();
        bool ok = false;
        const qint64 n = Actual().texto.toLongLong(&ok);
        if (!ok || n > 2147483647LL || (negativo && n != 1)) Fallar();
        ++p_;
        s.sql = QString::number(negativo ? -n : n);
        return;
    }
    s.objeto = QStringLiteral("XACT_ABORT");
    if (Tomar("ON")) s.sql = QStringLiteral("ON");
    else if (Tomar("OFF")) s.sql = QStringLiteral("OFF");
    else Fallar();
}

QString Traductor::ParametroDeVariable(const Token& tk) const {
    static const QHash<QString, QString> delServidor = {
        {QStringLiteral("@@rowcount"), QStringLiteral("@kv_filas")},
        {QStringLiteral("@@error"), QStringLiteral("@kv_error")},
        {QStringLiteral("@@identity"), QStringLiteral("@kv_identidad")},
        {QStringLiteral("@@trancount"), QStringLiteral("@kv_transacciones")},
    };
    const auto it = delServidor.find(tk.texto.toLower());
    if (it != delServidor.end()) return it.value();
    return VariableDeclarada(tk).parametro;
}

}  // namespace kv::local::traduccion

// Expression pass: operators, predicates, CASE and primaries, with the collation
// that text comparisons need.

#include "localserver/tsql/Traductor.h"

#include <QRegularExpression>

#include "localserver/tsql/Mensajes.h"

namespace kv::local::traduccion {

namespace {

QString Parentesis(const Expr& e) { return e.primario ? e.sql : QLatin1Char('(') + e.sql + QLatin1Char(')'); }

// Terms joined by AND or OR; a long chain is nested in halves so that SQLite's
// depth limit is not reached.
Expr Encadenar(const QStringList& partes, const QString& conector) {
    Expr r;
    r.tipo = TipoValor::Numero;
    r.primario = false;
    if (partes.size() == 1) {
        r.sql = partes.front();
    } else if (partes.size() > kCadenaMaxima) {
        r.sql = Balancear(partes, conector, 0, static_cast<int>(partes.size()));
        r.primario = true;
    } else {
        r.sql = partes.join(conector);
    }
    return r;
}

}  // namespace

// ------------------------------------------------------------------ expressions

Expr Traductor::Expresion() {
    Entrar();
    Expr e = O();
    Salir();
    return e;
}

Expr Traductor::O() {
    std::vector<Expr> terminos;
    terminos.push_back(Y());
    while (Tomar("OR")) terminos.push_back(Y());
    if (terminos.size() == 1) return terminos.front();

    // Equalities of one expression with literals become one IN list: long
    // lists of months or companies would pass SQLite's depth limit otherwise.
    QStringList salida;
    QHash<QString, int> grupoDe;
    std::vector<QStringList> valores;
    std::vector<QString> izquierdas;
    std::vector<int> orden;  // >= 0: group index; < 0: -(term + 1)
    for (size_t i = 0; i < terminos.size(); ++i) {
        const Expr& e = terminos[i];
        if (e.igualdad) {
            auto it = grupoDe.find(e.igualIzquierda);
            if (it == grupoDe.end()) {
                const int g = static_cast<int>(valores.size());
                grupoDe.insert(e.igualIzquierda, g);
                valores.push_back({e.igualValor});
                izquierdas.push_back(e.igualIzquierda);
                orden.push_back(g);
            } else {
                valores[it.value()] << e.igualValor;
            }
        } else {
            orden.push_back(-static_cast<int>(i) - 1);
        }
    }
    for (int o : orden) {
        if (o < 0) {
            const Expr& e = terminos[-o - 1];
            salida << Parentesis(e);
        } else if (valores[o].size() == 1) {
            salida << izquierdas[o] + QLatin1String(" = ") + valores[o].front();
        } else {
            salida << izquierdas[o] + QLatin1String(" IN (") + valores[o].join(QLatin1String(", ")) +
                          QLatin1Char(')');
        }
    }
    return Encadenar(salida, QStringLiteral(" OR "));
}

Expr Traductor::Y() {
    std::vector<Expr> terminos;
    terminos.push_back(No());
    while (Tomar("AND")) terminos.push_back(No());
    if (terminos.size() == 1) return terminos.front();
    QStringList partes;
    for (const Expr& e : terminos) partes << Parentesis(e);
    return Encadenar(partes, QStringLiteral(" AND "));
}

Expr Traductor::No() {
    if (Tomar("NOT")) {
        Entrar();
        Expr e = No();
        Salir();
        Expr r;
        r.tipo = TipoValor::Numero;
        r.primario = false;
        r.sql = QLatin1String("NOT ") + Parentesis(e);
        return r;
    }
    return Predicado();
}

QString Traductor::ListaOSubconsulta() {
    ExigirSimbolo("(");
    QString dentro;
    if (Es("SELECT")) {
        Entrar();
        dentro = Consulta();
        Salir();
    } else {
        QStringList items;
        do {
            items << Expresion().sql;
        } while (TomarSimbolo(","));
        dentro = items.join(QLatin1String(", "));
    }
    ExigirSimbolo(")");
    return QLatin1Char('(') + dentro + QLatin1Char(')');
}

Expr Traductor::Predicado() {
    Expr r;
    r.tipo = TipoValor::Numero;
    r.primario = false;
    if (Tomar("EXISTS")) {
        ExigirSimbolo("(");
        Entrar();
        r.sql = QLatin1String("EXISTS (") + Consulta() + QLatin1Char(')');
        Salir();
        ExigirSimbolo(")");
        r.primario = true;
        return r;
    }
    Expr a = Aditiva();
    if (Fin()) return a;
    const Token& op = Actual();
    static const char* const comparaciones[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* c : comparaciones) {
        if (op.EsSimbolo(c)) {
            ++p_;
            QString sqlOp = QString::fromLatin1(c);
            if (sqlOp == QLatin1String("!=")) sqlOp = QStringLiteral("<>");
            if (sqlOp == QLatin1String("!<")) sqlOp = QStringLiteral(">=");
            if (sqlOp == QLatin1String("!>")) sqlOp = QStringLiteral("<=");
            Expr b = Aditiva();
            if (ComparaComoDinero(a, b)) {
                // Amounts compare by value, an exact text past a double's reach too.
                const QString izq = ClaveDinero(a);
                const QString der = ClaveDinero(b);
                r.sql = izq + QLatin1Char(' ') + sqlOp + QLatin1Char(' ') + der;
                if (sqlOp == QLatin1String("=") && b.literal != a.literal) {
                    r.igualdad = true;
                    r.igualIzquierda = b.literal ? izq : der;
                    r.igualValor = b.literal ? der : izq;
                }
                return r;
            }
            const bool colacion = NecesitaColacion(a, b);
            const QString izq = colacion ? Colacionar(a) : Parentesis(a);
            r.sql = izq + QLatin1Char(' ') + sqlOp + QLatin1Char(' ') + Parentesis(b);
            if (sqlOp == QLatin1String("=")) {
                if (b.literal && !a.literal) {
                    r.igualdad = true;
                    r.igualIzquierda = izq;
                    r.igualValor = b.sql;
                } else if (a.literal && !b.literal) {
                    const bool col2 = NecesitaColacion(b, a);
                    r.igualdad = true;
                    r.igualIzquierda = col2 ? Colacionar(b) : Parentesis(b);
                    r.igualValor = a.sql;
                }
            }
            return r;
        }
    }
    const QString izqParen = Parentesis(a);
    if (Es("IS")) {
        ++p_;
        const bool no = Tomar("NOT");
        Exigir("NULL");
        r.sql = izqParen + (no ? QLatin1String(" IS NOT NULL") : QLatin1String(" IS NULL"));
        return r;
    }
    bool no = false;
    if (Es("NOT") && (Siguiente().Es("IN") || Siguiente().Es("LIKE") || Siguiente().Es("BETWEEN"))) {
        ++p_;
        no = true;
    }
    const QString negacion = no ? QStringLiteral(" NOT") : QString();
    if (Tomar("IN")) {
        const bool colacion = !a.columna && a.tipo != TipoValor::Numero && a.tipo != TipoValor::Nulo;
        r.sql =
            (colacion ? Colacionar(a) : izqParen) + negacion + QLatin1String(" IN ") + ListaOSubconsulta();
        return r;
    }
    if (Tomar("LIKE")) {
        Expr patron = Aditiva();
        r.sql = izqParen + negacion + QLatin1String(" LIKE ") + Parentesis(patron);
        if (Tomar("ESCAPE")) r.sql += QLatin1String(" ESCAPE ") + Primaria().sql;
        return r;
    }
    if (Tomar("BETWEEN")) {
        Expr bajo = Aditiva();
        Exigir("AND");
        Expr alto = Aditiva();
        if (ComparaComoDinero(a, bajo) && ComparaComoDinero(a, alto)) {
            r.sql = ClaveDinero(a) + negacion + QLatin1String(" BETWEEN ") + ClaveDinero(bajo) +
                    QLatin1String(" AND ") + ClaveDinero(alto);
            return r;
        }
        const bool colacion = NecesitaColacion(a, bajo) && NecesitaColacion(a, alto);
        r.sql = (colacion ? Colacionar(a) : izqParen) + negacion + QLatin1String(" BETWEEN ") +
                Parentesis(bajo) + QLatin1String(" AND ") + Parentesis(alto);
        return r;
    }
    if (no) Fallar();
    return a;
}

namespace {

// A text operand of an arithmetic operator converts to the other operand's
// type, failing as SQL Server fails (245 for integers, 8114 otherwise).
QString ANumero(const Expr& texto, const Expr& otro) {
    const QString tipo = otro.tipoSql.isEmpty() ? QStringLiteral("int") : otro.tipoSql;
    const QString desde = texto.tipoSql.isEmpty() ? QStringLiteral("nvarchar") : texto.tipoSql;
    return QLatin1String("kv_a_numero(") + texto.sql + QLatin1String(", '") + tipo + QLatin1String("', '") +
           desde + QLatin1String("')");
}

}  // namespace

// Whether a comparison of a and b is one of amounts: money with money, with
// an integer, with a text (read as money) or with a number written with four
// decimals at most. Against a float or a finer decimal, SQL Server compares
// in that type instead.
bool Traductor::ComparaComoDinero(const Expr& a, const Expr& b) {
    const auto comoDinero = [](const Expr& otro) {
        if (EsTipoDinero(otro.tipoSql) || EsTipoEntero(otro.tipoSql)) return true;
        if (otro.tipo == TipoValor::Texto) return true;
        if (otro.tipoSql == QLatin1String("decimal") && otro.literal) {
            const QString escrito = NumeroEscrito(otro.sql);
            const qsizetype punto = escrito.indexOf(QLatin1Char('.'));
            return !escrito.isEmpty() && (punto < 0 || escrito.size() - punto - 1 <= 4);
        }
        return false;
    };
    if (a.tipo == TipoValor::Nulo || b.tipo == TipoValor::Nulo) return false;
    return (EsTipoDinero(a.tipoSql) && comoDinero(b)) || (EsTipoDinero(b.tipoSql) && comoDinero(a));
}

// The value that orders an amount as a number (NULL stays NULL).
QString Traductor::ClaveDinero(const Expr& e) {
    // A number written in the batch is read as written, digit by digit: past
    // fifteen digits no double holds it. A literal that travels as its exact
    // text takes the signs written before it into the text.
    if (e.literal) {
        const QString escrito = NumeroEscrito(e.sql);
        int cifras = 0;
        for (QChar c : escrito)
            if (c.isDigit()) ++cifras;
        if (cifras > 15) return QLatin1String("kv_dinero_clave('") + escrito + QLatin1String("')");
        QString s = e.sql;
        bool negativo = false;
        for (;;) {
            if (s.size() > 1 && s.startsWith(QLatin1Char('(')) && s.endsWith(QLatin1Char(')'))) {
                s = s.mid(1, s.size() - 2);
            } else if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
                negativo = negativo != (s[0] == QLatin1Char('-'));
                s.remove(0, 1);
            } else {
                break;
            }
        }
        if (s != e.sql && s.size() > 2 && s.startsWith(QLatin1Char('\'')) && s.endsWith(QLatin1Char('\''))) {
            const QString numero = s.mid(1, s.size() - 2);
            static const QRegularExpression kNumero(QStringLiteral("^[0-9]+(\\.[0-9]*)?$"));
            if (kNumero.match(numero).hasMatch())
                return QLatin1String("kv_dinero_clave('") + (negativo ? QLatin1String("-") : QLatin1String("")) +
                       numero + QLatin1String("')");
        }
    }
    return QLatin1String("kv_dinero_clave(") + e.sql + QLatin1Char(')');
}

// "a op b" for the additive and bitwise operators, with SQL Server's result type.
Expr Traductor::Sumar(const Expr& a, const QString& op, const Expr& b) {
    if (std::optional<Expr> exacta = OperacionDecimal(a, op, b)) return *exacta;
    Expr r;
    r.primario = false;
    QString sa = Parentesis(a);
    QString sb = Parentesis(b);
    const QString tipo = TipoDeOperacion(a.tipoSql, b.tipoSql);
    const bool texto = a.tipo == TipoValor::Texto || b.tipo == TipoValor::Texto;
    const bool numero = a.tipo == TipoValor::Numero || b.tipo == TipoValor::Numero;
    if (numero && texto && op != QLatin1String("&") && op != QLatin1String("|") && op != QLatin1String("^")) {
        if (a.tipo == TipoValor::Texto) sa = ANumero(a, b);
        if (b.tipo == TipoValor::Texto) sb = ANumero(b, a);
    }
    if (op == QLatin1String("+")) {
        // "+" joins texts and adds numbers; which one depends on the operands.
        if (texto && !numero) {
            r.sql = sa + QLatin1String(" || ") + sb;
            r.tipo = TipoValor::Texto;
        } else if (numero) {
            r.sql = sa + QLatin1String(" + ") + sb;
            r.tipo = TipoValor::Numero;
        } else if (a.tipo == TipoValor::Nulo || b.tipo == TipoValor::Nulo) {
            r.sql = QStringLiteral("NULL");
            r.tipo = TipoValor::Nulo;
            r.literal = true;
            r.primario = true;
        } else {
            r.sql = QLatin1String("kv_suma(") + a.sql + QLatin1String(", ") + b.sql + QLatin1Char(')');
            r.primario = true;
        }
    } else if (op == QLatin1String("^")) {
        r.sql = QLatin1String("((") + a.sql + QLatin1String(") | (") + b.sql + QLatin1String(")) - ((") + a.sql +
                QLatin1String(") & (") + b.sql + QLatin1String("))");
        r.tipo = TipoValor::Numero;
        r.primario = true;
    } else {
        r.sql = sa + QLatin1Char(' ') + op + QLatin1Char(' ') + sb;
        r.tipo = TipoValor::Numero;
    }
    if (r.tipo == TipoValor::Numero && tipo == QLatin1String("money") &&
        (op == QLatin1String("+") || op == QLatin1String("-"))) {
        // Money adds in whole ten-thousandths: exact to the ends of its range.
        r.tipoSql = tipo;
        r.sql = QLatin1String("kv_dinero_op('") + op + QLatin1String("', ") + sa + QLatin1String(", ") + sb +
                QLatin1Char(')');
        r.primario = true;
    } else if (r.tipo == TipoValor::Numero && !tipo.isEmpty() && (op == QLatin1String("+") || op == QLatin1String("-"))) {
        r.tipoSql = tipo;
        const QString ajustado = AjustarAlTipo(r.sql, tipo);
        if (ajustado != r.sql) {
            r.sql = ajustado;
            r.primario = true;
        }
    } else if (r.tipo == TipoValor::Numero && !tipo.isEmpty()) {
        r.tipoSql = EsTipoEntero(tipo) ? tipo : QString();
    }
    return r;
}

namespace {

// Whether a chain of one operator may be grouped in halves and give what the
// left-to-right reading gives: texts joined, or whole numbers and money of one
// type added or multiplied (exact, each partial result still checked). Floats
// and decimals round at each step, and mixed types change type along the chain:
// those keep their order.
bool Asociable(const std::vector<Expr>& terminos, bool suma) {
    const Expr& primero = terminos.front();
    const bool textos = suma && primero.tipo == TipoValor::Texto;
    for (const Expr& e : terminos) {
        if (textos) {
            if (e.tipo != TipoValor::Texto) return false;
            continue;
        }
        // Sums of int, bigint and money mix exactly; products keep one integer type.
        const QString& t = e.tipoSql;
        const bool exacto = t == QLatin1String("int") || t == QLatin1String("bigint") ||
                            (suma && t == QLatin1String("money"));
        if (e.tipo != TipoValor::Numero || !exacto || (!suma && t != primero.tipoSql)) return false;
    }
    return true;
}

}  // namespace

// A chain of one operator, grouped in halves: its SQLite text nests log2(n) deep.
Expr Traductor::Agrupar(const std::vector<Expr>& terminos, const QString& op, size_t desde, size_t hasta) {
    if (hasta - desde == 1) return terminos[desde];
    const size_t medio = desde + (hasta - desde) / 2;
    const Expr izquierda = Agrupar(terminos, op, desde, medio);
    const Expr derecha = Agrupar(terminos, op, medio, hasta);
    return op == QLatin1String("*") ? Multiplicar(izquierda, op, derecha) : Sumar(izquierda, op, derecha);
}

void Traductor::ContarTerminos(size_t terminos) const {
    if (terminos > static_cast<size_t>(kTerminosMaximos))
        throw ErrorTSQL(mensajes::kLimitePila, mensajes::LimitePila(), Actual().linea);
}

Expr Traductor::Aditiva() {
    std::vector<Expr> terminos;
    std::vector<QString> operadores;
    terminos.push_back(Multiplicativa());
    while (!Fin() && Actual().tipo == TipoToken::Simbolo &&
           (EsSimbolo("+") || EsSimbolo("-") || EsSimbolo("&") || EsSimbolo("|") || EsSimbolo("^"))) {
        operadores.push_back(t_[p_++].texto);
        terminos.push_back(Multiplicativa());
        ContarTerminos(terminos.size());
    }
    return EncadenarTerminos(terminos, operadores, false);
}

// Joins the terms of a chain read left to right: long chains of one operator
// whose grouping does not change the result are grouped in halves; others nest
// one level per operator, and past what SQLite reads they are refused (191).
Expr Traductor::EncadenarTerminos(const std::vector<Expr>& terminos, const std::vector<QString>& operadores,
                                  bool multiplicativa) {
    if (operadores.empty()) return terminos.front();
    const QString& op = operadores.front();
    bool uno = op == (multiplicativa ? QLatin1String("*") : QLatin1String("+"));
    for (const QString& o : operadores) uno = uno && o == op;
    if (operadores.size() >= static_cast<size_t>(kCadenaMaxima) && uno && Asociable(terminos, !multiplicativa))
        return Agrupar(terminos, op, 0, terminos.size());
    if (operadores.size() > static_cast<size_t>(kCadenaAnidadaMaxima))
        throw ErrorTSQL(mensajes::kAnidamiento, mensajes::Anidamiento(), Actual().linea);
    Expr a = terminos.front();
    for (size_t i = 0; i < operadores.size(); ++i)
        a = multiplicativa ? Multiplicar(a, operadores[i], terminos[i + 1]) : Sumar(a, operadores[i], terminos[i + 1]);
    return a;
}

Expr Traductor::Multiplicativa() {
    std::vector<Expr> terminos;
    std::vector<QString> operadores;
    terminos.push_back(Unaria());
    while (EsSimbolo("*") || EsSimbolo("/") || EsSimbolo("%")) {
        operadores.push_back(t_[p_++].texto);
        terminos.push_back(Unaria());
        ContarTerminos(terminos.size());
    }
    return EncadenarTerminos(terminos, operadores, true);
}

// "a op b" for *, / and %, with SQL Server's result type.
Expr Traductor::Multiplicar(const Expr& a, const QString& op, const Expr& b) {
    Expr r;
    r.tipo = TipoValor::Numero;
    QString sa = Parentesis(a);
    QString sb = Parentesis(b);
    QString ca = a.sql;
    QString cb = b.sql;
    if (a.tipo == TipoValor::Texto && b.tipo != TipoValor::Texto) ca = sa = ANumero(a, b);
    if (b.tipo == TipoValor::Texto && a.tipo != TipoValor::Texto) cb = sb = ANumero(b, a);
    const QString tipo = TipoDeOperacion(a.tipoSql, b.tipoSql);
    if (std::optional<Expr> exacta = OperacionDecimal(a, op, b)) return *exacta;
    if (tipo == QLatin1String("money") && (op == QLatin1String("*") || op == QLatin1String("/"))) {
        // Money multiplies and divides in whole ten-thousandths, exact to the
        // ends of its range: the result is money again.
        r.sql = QLatin1String("kv_dinero_op('") + op + QLatin1String("', ") + ca + QLatin1String(", ") + cb +
                QLatin1Char(')');
        r.tipoSql = tipo;
        r.primario = true;
        return r;
    }
    if (op == QLatin1String("*")) {
        r.sql = sa + QLatin1String(" * ") + sb;
        r.primario = false;
    } else {
        // SQLite answers NULL to a division by zero; SQL Server fails (8134).
        r.sql = (op == QLatin1String("/") ? QLatin1String("kv_div(") : QLatin1String("kv_mod(")) + ca +
                QLatin1String(", ") + cb + QLatin1Char(')');
    }
    if (!tipo.isEmpty() && op != QLatin1String("%")) {
        r.tipoSql = tipo;
        const QString ajustado = AjustarAlTipo(r.sql, tipo);
        if (ajustado != r.sql) {
            r.sql = ajustado;
            r.primario = true;
        }
    } else if (!tipo.isEmpty() && EsTipoEntero(tipo)) {
        r.tipoSql = tipo;
    }
    return r;
}

Expr Traductor::Unaria() {
    // A run of signs folds into one: nested they would overflow SQLite's parser
    // stack long before SQL Server's own limit.
    if (EsSimbolo("-") || EsSimbolo("+")) {
        int menos = 0;
        while (EsSimbolo("-") || EsSimbolo("+")) {
            if (t_[p_].texto == QLatin1String("-")) ++menos;
            ++p_;
        }
        Entrar();
        Expr e = Unaria();
        Salir();
        Expr r;
        r.tipo = TipoValor::Numero;
        r.literal = e.literal;
        r.tipoSql = e.tipoSql;
        const QString op = menos % 2 ? QStringLiteral("-") : QStringLiteral("+");
        if (menos % 2 && EsTipoDinero(e.tipoSql)) {
            // -money is exact too, and fails past the range (the lowest amount has no opposite).
            r.tipoSql = QStringLiteral("money");
            r.sql = QLatin1String("kv_dinero_op('-', 0, ") + e.sql + QLatin1Char(')');
        } else if (menos % 2 && !e.literal && e.tipoSql == QLatin1String("decimal") && e.precision > 0) {
            // An exact decimal keeps its digits and its type.
            r.precision = e.precision;
            r.escala = e.escala;
            r.sql = QLatin1String("kv_decimal_op('-', 0, 0, ") + e.sql + QLatin1String(", ") +
                    QString::number(e.escala) + QLatin1String(", ") + QString::number(e.precision) +
                    QLatin1String(", ") + QString::number(e.escala) + QLatin1Char(')');
        } else {
            r.sql = QLatin1Char('(') + op + Parentesis(e) + QLatin1Char(')');
        }
        r.primario = true;
        return r;
    }
    if (EsSimbolo("~")) {
        const QString op = t_[p_++].texto;
        Entrar();
        Expr e = Unaria();
        Salir();
        Expr r;
        r.tipo = TipoValor::Numero;
        r.literal = e.literal;
        r.tipoSql = e.tipoSql;
        r.primario = false;
        r.sql = op + Parentesis(e);
        if (op == QLatin1String("-") || op == QLatin1String("+"))
            r.sql = QLatin1Char('(') + r.sql + QLatin1Char(')');
        r.primario = true;
        return r;
    }
    return Primaria();
}

Expr Traductor::Caso() {
    // CASE already taken.
    QString sql = QStringLiteral("CASE");
    if (!Es("WHEN")) {
        Expr operando = Expresion();
        const bool colacion = !operando.columna && operando.tipo != TipoValor::Numero;
        sql += QLatin1Char(' ') + (colacion ? Colacionar(operando) : operando.sql);
    }
    if (!Es("WHEN")) Fallar();
    QStringList condiciones;
    std::vector<Expr> ramas;
    while (Tomar("WHEN")) {
        condiciones << Expresion().sql;
        Exigir("THEN");
        ramas.push_back(Expresion());
    }
    const bool otra = Tomar("ELSE");
    if (otra) ramas.push_back(Expresion());
    Exigir("END");
    Expr r = TipoDeRamas(ramas);
    for (qsizetype i = 0; i < condiciones.size(); ++i)
        sql += QLatin1String(" WHEN ") + condiciones[i] + QLatin1String(" THEN ") + ramas[size_t(i)].sql;
    if (otra) sql += QLatin1String(" ELSE ") + ramas.back().sql;
    r.sql = sql + QLatin1String(" END");
    return r;
}

Expr Traductor::Primaria() {
    if (Fin()) Fallar();
    const Token& tk = Actual();
    Expr r;
    switch (tk.tipo) {
        case TipoToken::Cadena:
            ++p_;
            r.sql = LiteralTexto(tk.Valor());
            r.tipo = TipoValor::Texto;
            r.tipoSql = tk.texto.startsWith(QLatin1Char('N'), Qt::CaseInsensitive)
                            ? QStringLiteral("nvarchar")
                            : QStringLiteral("varchar");
            r.literal = true;
            return r;
        case TipoToken::Numero:
            ++p_;
            if (tk.texto.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
                // A binary constant is bytes, not a number: an odd count of digits gets a leading zero.
                QString digitos = tk.texto.mid(2);
                if (digitos.size() % 2) digitos.prepend(QLatin1Char('0'));
                r.sql = QLatin1String("X'") + digitos + QLatin1Char('\'');
                r.tipoSql = QStringLiteral("varbinary");
                r.literal = true;
                return r;
            }
            r.sql = tk.texto;
            if (r.sql.startsWith(QLatin1Char('.'))) r.sql.prepend(QLatin1Char('0'));
            if (r.sql.endsWith(QLatin1Char('.'))) r.sql.append(QLatin1Char('0'));
            r.tipo = TipoValor::Numero;
            r.tipoSql = TipoDeLiteral(tk.texto);
            r.literal = true;
            return r;
        case TipoToken::Parametro:
            ++p_;
            r.sql = QStringLiteral("?");
            r.literal = true;
            return r;
        case TipoToken::Variable:
            // A variable the batch declared, or one of the server's @@ values; SQLite
            // would read an unknown name as NULL, so it is refused as SQL Server does.
            return LeerVariable();
        case TipoToken::Simbolo:
            if (tk.EsSimbolo("(")) {
                ++p_;
                Entrar();
                if (Es("SELECT")) {
                    InfoConsulta info;
                    r.sql = QLatin1Char('(') + Consulta(&info) + QLatin1Char(')');
                    if (!info.asterisco && info.tipos.size() == 1) r.tipoSql = TipoBase(info.tipos.front());
                    if (Rango(r.tipoSql) > 0) r.tipo = TipoValor::Numero;
                } else {
                    Expr dentro = Expresion();
                    r = dentro;
                    r.sql = QLatin1Char('(') + dentro.sql + QLatin1Char(')');
                    r.columna = false;
                    r.igualdad = false;
                }
                Salir();
                r.primario = true;
                ExigirSimbolo(")");
                return r;
            }
            Fallar();
        default:
            break;
    }
    if (tk.Es("NULL")) {
        ++p_;
        r.sql = QStringLiteral("NULL");
        r.tipo = TipoValor::Nulo;
        r.literal = true;
        return r;
    }
    if (tk.Es("CASE")) {
        if (casos_ >= kCasosAnidadosMaximo)
            throw ErrorTSQL(mensajes::kCasoAnidado, mensajes::CasoAnidado(), tk.linea);
        ++p_;
        Entrar();
        ++casos_;
        r = Caso();
        --casos_;
        Salir();
        return r;
    }
    if ((tk.Es("CAST") || tk.Es("TRY_CAST")) && Siguiente().EsSimbolo("(")) {
        p_ += 2;
        Entrar();
        Expr valor = Expresion();
        Exigir("AS");
        Tipo tipo = LeerTipo();
        ExigirSimbolo(")");
        Salir();
        return Convertir(tipo, valor, QString());
    }
    if ((tk.Es("CONVERT") || tk.Es("TRY_CONVERT")) && Siguiente().EsSimbolo("(")) {
        p_ += 2;
        Entrar();
        Tipo tipo = LeerTipo();
        ExigirSimbolo(",");
        Expr valor = Expresion();
        QString estilo;
        if (TomarSimbolo(",")) estilo = Expresion().sql;
        ExigirSimbolo(")");
        Salir();
        return Convertir(tipo, valor, estilo);
    }
    if ((tk.Es("SYSTEM_USER") || tk.Es("CURRENT_USER") || tk.Es("SESSION_USER") || tk.Es("USER")) &&
        !Siguiente().EsSimbolo("(") && !Siguiente().EsSimbolo(".")) {
        ++p_;
        r.sql = tk.Es("SYSTEM_USER") ? QStringLiteral("@kv_login") : QStringLiteral("@kv_usuario");
        r.tipo = TipoValor::Texto;
        r.tipoSql = QStringLiteral("nvarchar");
        r.literal = true;
        return r;
    }
    if (tk.Es("CURRENT_TIMESTAMP")) {
        ++p_;
        r.sql = QStringLiteral("kv_getdate()");
        r.tipo = TipoValor::Texto;
        r.tipoSql = QStringLiteral("datetime");
        return r;
    }
    if (!EsIdentificador(tk)) {
        // Functions whose names are reserved words.
        if ((tk.Es("LEFT") || tk.Es("RIGHT")) && Siguiente().EsSimbolo("(")) {
            ++p_;
            return Funcion(tk.texto, tk.texto);
        }
        Fallar();
    }
    // Column reference or function call.
    QStringList partes;
    partes << Identificador();
    while (EsSimbolo(".") && (EsIdentificador(Siguiente()) || Siguiente().EsSimbolo("."))) {
        ++p_;
        if (EsSimbolo(".")) {
            partes << QString();
            continue;
        }
        partes << Identificador();
    }
    if (EsSimbolo("(")) {
        QString simple;
        const QString salida = ParteSinEsquema(partes, &simple);
        return Funcion(simple, salida);
    }
    QStringList citadas;
    for (const QString& q : partes) {
        if (q.isEmpty()) continue;
        citadas << CitarNombre(q);
    }
    // "dbo.tabla.columna" keeps the table and the column.
    if (citadas.size() == 3 && partes[0].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        citadas.removeFirst();
    r.sql = citadas.join(QLatin1Char('.'));
    r.columna = true;
    r.tipoSql = TipoDeColumna(partes);
    if (Rango(r.tipoSql) > 0) r.tipo = TipoValor::Numero;
    AnotarColumna(partes);
    return r;
}

}  // namespace kv::local::traduccion

// Type pass: SQL Server type names and their ISO synonyms, CAST / CONVERT, and
// the result types of expressions by SQL Server's rules (money stays exact,
// int op int stays int and overflows as int).

#include "localserver/tsql/Traductor.h"

#include <algorithm>

#include "localserver/tsql/Decimal.h"
#include "localserver/tsql/Mensajes.h"

namespace kv::local::traduccion {

Tipo Traductor::LeerTipo() {
    Tipo tipo;
    if (Fin() || !(Actual().tipo == TipoToken::Palabra || Actual().tipo == TipoToken::Corchete)) Fallar();
    tipo.nombre = t_[p_++].Nombre().toLower();
    if (tipo.nombre == QLatin1String("dbo") && EsSimbolo(".")) {
        ++p_;
        if (Fin()) Fallar();
        tipo.nombre = t_[p_++].Nombre().toLower();
    }
    if (tipo.nombre == QLatin1String("double") && Es("PRECISION")) {
        ++p_;
        tipo.nombre = QStringLiteral("float");
    }
    // ISO names of the types, stored under SQL Server's own names.
    if (tipo.nombre == QLatin1String("national")) {
        if (Tomar("CHARACTER") || Tomar("CHAR")) {
            tipo.nombre = Tomar("VARYING") ? QStringLiteral("nvarchar") : QStringLiteral("nchar");
        } else {
            Exigir("TEXT");
            tipo.nombre = QStringLiteral("ntext");
        }
    } else if (tipo.nombre == QLatin1String("character") || tipo.nombre == QLatin1String("char")) {
        tipo.nombre = Tomar("VARYING") ? QStringLiteral("varchar") : QStringLiteral("char");
    } else if (tipo.nombre == QLatin1String("nchar") && Tomar("VARYING")) {
        tipo.nombre = QStringLiteral("nvarchar");
    } else if (tipo.nombre == QLatin1String("integer")) {
        tipo.nombre = QStringLiteral("int");
    } else if (tipo.nombre == QLatin1String("dec")) {
        tipo.nombre = QStringLiteral("decimal");
    }
    if (TomarSimbolo("(")) {
        auto numero = [&]() {
            if (Tomar("MAX")) return -1;
            if (Fin() || Actual().tipo != TipoToken::Numero) Fallar();
            bool ok = false;
            const int v = t_[p_++].texto.toInt(&ok);
            if (!ok) Fallar();
            return v;
        };
        const int primero = numero();
        if (TomarSimbolo(",")) {
            tipo.precision = primero;
            tipo.escala = numero();
        } else if (tipo.nombre == QLatin1String("decimal") || tipo.nombre == QLatin1String("numeric")) {
            tipo.precision = primero;
        } else if (tipo.nombre == QLatin1String("float")) {
            tipo.precision = primero;
        } else {
            tipo.longitud = primero;
        }
        ExigirSimbolo(")");
    }
    if (tipo.nombre == QLatin1String("float") && tipo.precision > 0 && tipo.precision <= 24)
        tipo.nombre = QStringLiteral("real");
    return tipo;
}

// Order in which SQL Server converts numbers: the operand of lower rank takes
// the type of the other.
int Rango(const QString& tipo) {
    static const QHash<QString, int> orden = {
        {QStringLiteral("bit"), 1},   {QStringLiteral("tinyint"), 2}, {QStringLiteral("smallint"), 3},
        {QStringLiteral("int"), 4},   {QStringLiteral("bigint"), 5},  {QStringLiteral("smallmoney"), 6},
        {QStringLiteral("money"), 7}, {QStringLiteral("decimal"), 8}, {QStringLiteral("numeric"), 8},
        {QStringLiteral("real"), 9},  {QStringLiteral("float"), 10},
    };
    return orden.value(tipo, 0);
}

bool EsTipoEntero(const QString& tipo) {
    return tipo == QLatin1String("int") || tipo == QLatin1String("bigint") ||
           tipo == QLatin1String("smallint") || tipo == QLatin1String("tinyint") ||
           tipo == QLatin1String("bit");
}

bool EsTipoDinero(const QString& tipo) {
    return tipo == QLatin1String("money") || tipo == QLatin1String("smallmoney");
}

QString TipoDeOperacion(const QString& a, const QString& b) {
    const int ra = Rango(a);
    const int rb = Rango(b);
    if (ra == 0 || rb == 0) return QString();
    QString t = ra >= rb ? a : b;
    // Small integers and bits compute as int; smallmoney as money.
    if (t == QLatin1String("tinyint") || t == QLatin1String("smallint") || t == QLatin1String("bit"))
        t = QStringLiteral("int");
    if (t == QLatin1String("smallmoney")) t = QStringLiteral("money");
    if (t == QLatin1String("numeric")) t = QStringLiteral("decimal");
    return t;
}

int Precedencia(const QString& tipo) {
    static const QHash<QString, int> orden = {
        {QStringLiteral("binary"), 1},         {QStringLiteral("varbinary"), 2},
        {QStringLiteral("char"), 3},           {QStringLiteral("varchar"), 4},
        {QStringLiteral("nchar"), 5},          {QStringLiteral("nvarchar"), 6},
        {QStringLiteral("sysname"), 6},        {QStringLiteral("uniqueidentifier"), 7},
        {QStringLiteral("timestamp"), 8},      {QStringLiteral("image"), 9},
        {QStringLiteral("text"), 10},          {QStringLiteral("ntext"), 11},
        {QStringLiteral("bit"), 12},           {QStringLiteral("tinyint"), 13},
        {QStringLiteral("smallint"), 14},      {QStringLiteral("int"), 15},
        {QStringLiteral("bigint"), 16},        {QStringLiteral("smallmoney"), 17},
        {QStringLiteral("money"), 18},         {QStringLiteral("decimal"), 19},
        {QStringLiteral("numeric"), 19},       {QStringLiteral("real"), 20},
        {QStringLiteral("float"), 21},         {QStringLiteral("time"), 22},
        {QStringLiteral("date"), 23},          {QStringLiteral("smalldatetime"), 24},
        {QStringLiteral("datetime"), 25},      {QStringLiteral("datetime2"), 26},
        {QStringLiteral("datetimeoffset"), 27}, {QStringLiteral("xml"), 28},
        {QStringLiteral("sql_variant"), 29},
    };
    return orden.value(tipo, 0);
}

Expr Traductor::TipoDeRamas(std::vector<Expr>& ramas) {
    Expr r;
    r.tipo = TipoValor::Nulo;
    for (const Expr& e : ramas) {
        if (e.tipo == TipoValor::Nulo) continue;
        if (r.tipo == TipoValor::Nulo) r.tipo = e.tipo;
        if (Precedencia(e.tipoSql) > Precedencia(r.tipoSql)) r.tipoSql = e.tipoSql;
    }
    if (r.tipoSql == QLatin1String("numeric")) r.tipoSql = QStringLiteral("decimal");
    if (Rango(r.tipoSql) > 0) {
        r.tipo = TipoValor::Numero;
        // Money and whole numbers are read as amounts by the money functions; a
        // text becomes money as CAST would make it (8115, 235 as SQL Server).
        if (EsTipoDinero(r.tipoSql))
            for (Expr& e : ramas)
                if (e.tipo == TipoValor::Texto)
                    e.sql = QLatin1String("kv_dinero(") + e.sql +
                            (r.tipoSql == QLatin1String("smallmoney") ? QLatin1String(", 'smallmoney')")
                                                                      : QLatin1String(")"));
    }
    if (r.tipo == TipoValor::Nulo) r.tipo = TipoValor::Desconocido;
    return r;
}

QString AjustarAlTipo(const QString& sql, const QString& tipo) {
    if (tipo == QLatin1String("int") || tipo == QLatin1String("bigint") || tipo == QLatin1String("money"))
        return QLatin1String("kv_resultado(") + sql + QLatin1String(", '") + tipo + QLatin1String("')");
    return sql;
}

QString NumeroEscrito(const QString& sql) {
    // "12.5", "(-12.5)" or "(+(-12.5))": what the expression pass makes of a signed literal.
    QString s = sql;
    QString signo;
    for (;;) {
        if (s.startsWith(QLatin1Char('(')) && s.endsWith(QLatin1Char(')'))) {
            s = s.mid(1, s.size() - 2);
        } else if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
            if (s[0] == QLatin1Char('-')) signo = signo.isEmpty() ? QStringLiteral("-") : QString();
            s.remove(0, 1);
        } else {
            break;
        }
    }
    if (s.isEmpty()) return QString();
    bool punto = false;
    for (QChar c : s) {
        if (c == QLatin1Char('.') && !punto) {
            punto = true;
        } else if (c.unicode() < '0' || c.unicode() > '9') {
            return QString();
        }
    }
    return signo + s;
}

QString LiteralExacto(const QString& sql) {
    const QString n = NumeroEscrito(sql);
    int cifras = 0;
    for (QChar c : n)
        if (c.isDigit()) ++cifras;
    // Up to fifteen digits a REAL gives the literal back.
    if (cifras <= 15) return sql;
    return QLatin1Char('\'') + n + QLatin1Char('\'');
}

QString TipoDeLiteral(const QString& texto) {
    if (texto.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) return QStringLiteral("varbinary");
    if (texto.contains(QLatin1Char('e'), Qt::CaseInsensitive)) return QStringLiteral("float");
    if (texto.contains(QLatin1Char('.'))) return QStringLiteral("decimal");
    bool ok = false;
    const qint64 v = texto.toLongLong(&ok);
    if (ok && v <= 2147483647LL) return QStringLiteral("int");
    return QStringLiteral("decimal");
}

namespace {

// decimal(p, s) of an operand of exact decimal arithmetic and the SQL that
// gives its value (a literal as its written digits); false when not known.
bool OperandoDecimal(const Expr& e, decimal::Tipo& t, QString& sql) {
    sql = e.sql;
    const QString escrito = e.literal ? NumeroEscrito(e.sql) : QString();
    if (!escrito.isEmpty() && (e.tipoSql == QLatin1String("decimal") || e.tipoSql == QLatin1String("int"))) {
        t = decimal::TipoDeLiteral(escrito);
        sql = QLatin1Char('\'') + escrito + QLatin1Char('\'');
        return true;
    }
    static const QHash<QString, decimal::Tipo> fijos = {
        {QStringLiteral("money"), {19, 4}},   {QStringLiteral("smallmoney"), {10, 4}},
        {QStringLiteral("bigint"), {19, 0}},  {QStringLiteral("int"), {10, 0}},
        {QStringLiteral("smallint"), {5, 0}}, {QStringLiteral("tinyint"), {3, 0}},
        {QStringLiteral("bit"), {1, 0}},
    };
    if (const auto it = fijos.constFind(e.tipoSql); it != fijos.constEnd()) {
        t = *it;
        return true;
    }
    if (e.tipoSql == QLatin1String("decimal") && e.precision > 0) {
        t = {e.precision, e.escala};
        return true;
    }
    return false;
}

}  // namespace

std::optional<Expr> OperacionDecimal(const Expr& a, const QString& op, const Expr& b) {
    if (op.size() != 1 || !QStringLiteral("+-*/").contains(op)) return std::nullopt;
    if (a.tipo == TipoValor::Texto || b.tipo == TipoValor::Texto) return std::nullopt;
    if (TipoDeOperacion(a.tipoSql, b.tipoSql) != QLatin1String("decimal")) return std::nullopt;
    decimal::Tipo ta, tb;
    QString sa, sb;
    if (!OperandoDecimal(a, ta, sa) || !OperandoDecimal(b, tb, sb)) return std::nullopt;
    const decimal::Tipo t = decimal::TipoDeOperacion(op.at(0).toLatin1(), ta, tb);
    Expr r;
    r.tipo = TipoValor::Numero;
    r.tipoSql = QStringLiteral("decimal");
    r.precision = t.precision;
    r.escala = t.escala;
    r.primario = true;
    r.sql = QLatin1String("kv_decimal_op('") + op + QLatin1String("', ") + sa + QLatin1String(", ") +
            QString::number(ta.escala) + QLatin1String(", ") + sb + QLatin1String(", ") + QString::number(tb.escala) +
            QLatin1String(", ") + QString::number(t.precision) + QLatin1String(", ") + QString::number(t.escala) +
            QLatin1Char(')');
    return r;
}

QString TipoAnunciado(const Expr& e) {
    if (e.tipoSql == QLatin1String("decimal") && e.precision > 0)
        return QStringLiteral("decimal(%1,%2)").arg(e.precision).arg(e.escala);
    return e.tipoSql;
}

QString TipoBase(const QString& anunciado) {
    const qsizetype parentesis = anunciado.indexOf(QLatin1Char('('));
    return parentesis < 0 ? anunciado : anunciado.left(parentesis);
}

std::vector<Traductor::Fuente> Traductor::LeerFuentesAdelante() const {
    std::vector<Fuente> fuentes;
    if (!lote_.tipos) return fuentes;
    // The FROM of this level: past parentheses, before anything that ends the level.
    int i = p_;
    int nivel = 0;
    for (; i < fin_; ++i) {
        const Token& tk = t_[i];
        if (tk.EsSimbolo("(")) {
            ++nivel;
        } else if (tk.EsSimbolo(")")) {
            if (nivel == 0) return fuentes;
            --nivel;
        } else if (nivel == 0) {
            if (tk.Es("FROM")) break;
            if (tk.Es("UNION") || tk.Es("EXCEPT") || tk.Es("INTERSECT") || tk.Es("WHERE") || tk.Es("ORDER") ||
                tk.Es("GROUP"))
                return fuentes;
        }
    }
    ++i;
    while (i < fin_) {
        Fuente f;
        if (t_[i].EsSimbolo("(")) {
            int n = 0;
            do {
                if (t_[i].EsSimbolo("(")) ++n;
                if (t_[i].EsSimbolo(")")) --n;
                ++i;
            } while (i < fin_ && n > 0);
        } else if (EsIdentificador(t_[i])) {
            f.tabla = t_[i++].Nombre();
            while (i + 1 < fin_ && t_[i].EsSimbolo(".")) {
                ++i;
                if (t_[i].EsSimbolo(".")) continue;
                if (!EsIdentificador(t_[i])) break;
                f.tabla = t_[i++].Nombre();
            }
        } else {
            break;
        }
        if (i < fin_ && t_[i].Es("AS")) ++i;
        if (i < fin_ && EsIdentificador(t_[i])) {
            f.alias = t_[i++].Nombre().toLower();
        } else {
            f.alias = f.tabla.toLower();
        }
        fuentes.push_back(f);
        // Hints and join conditions, up to the next source.
        int n = 0;
        bool otra = false;
        for (; i < fin_; ++i) {
            const Token& tk = t_[i];
            if (tk.EsSimbolo("(")) {
                ++n;
            } else if (tk.EsSimbolo(")")) {
                if (n == 0) return fuentes;
                --n;
            } else if (n == 0) {
                if (tk.Es("JOIN") || tk.EsSimbolo(",")) {
                    ++i;
                    otra = true;
                    break;
                }
                if (tk.Es("WHERE") || tk.Es("GROUP") || tk.Es("ORDER") || tk.Es("HAVING") || tk.Es("UNION") ||
                    tk.Es("EXCEPT") || tk.Es("INTERSECT"))
                    return fuentes;
            }
        }
        if (!otra) break;
    }
    return fuentes;
}

QString Traductor::TipoDeColumna(const QStringList& partes) const {
    if (!lote_.tipos || partes.isEmpty()) return QString();
    const QString& columna = partes.last();
    QString calificador;
    for (qsizetype k = partes.size() - 2; k >= 0; --k) {
        if (!partes[k].isEmpty()) {
            calificador = partes[k].toLower();
            break;
        }
    }
    // The innermost level first: a correlated subquery also sees the levels around it.
    for (auto nivel = fuentes_.rbegin(); nivel != fuentes_.rend(); ++nivel) {
        for (const Fuente& f : *nivel) {
            if (f.tabla.isEmpty()) continue;
            if (!calificador.isEmpty() && f.alias != calificador && f.tabla.toLower() != calificador)
                continue;
            const QString t = lote_.tipos->Tipo(f.tabla, columna);
            if (!t.isEmpty()) return t;
        }
    }
    return QString();
}

Expr Traductor::Convertir(const Tipo& tipo, const Expr& valor, const QString& estilo) {
    const bool haciaDecimal = tipo.nombre == QLatin1String("numeric") || tipo.nombre == QLatin1String("decimal");
    decimal::Tipo origen;
    QString operando;
    if ((haciaDecimal || EsTipoDinero(tipo.nombre)) && valor.tipo != TipoValor::Texto &&
        OperandoDecimal(valor, origen, operando) && !(EsTipoDinero(valor.tipoSql) && EsTipoDinero(tipo.nombre))) {
        // An exact number (money, a whole number, a written or exact decimal)
        // rescaled exactly: rounded half away from zero, 8115 past the type.
        decimal::Tipo destino = {decimal::kPrecisionMaxima, 4};
        if (haciaDecimal) {
            destino.precision = tipo.precision > 0 ? std::min(tipo.precision, decimal::kPrecisionMaxima) : 18;
            destino.escala = std::clamp(tipo.escala, 0, destino.precision);
        }
        Expr r;
        r.tipo = TipoValor::Numero;
        r.sql = QLatin1String("kv_decimal_op('+', ") + operando + QLatin1String(", ") +
                QString::number(origen.escala) + QLatin1String(", 0, 0, ") + QString::number(destino.precision) +
                QLatin1String(", ") + QString::number(destino.escala) + QLatin1Char(')');
        if (haciaDecimal) {
            r.tipoSql = QStringLiteral("decimal");
            r.precision = destino.precision;
            r.escala = destino.escala;
        } else {
            r.tipoSql = tipo.nombre;
            r.sql = QLatin1String("kv_dinero(") + r.sql + QLatin1String(", '") + tipo.nombre + QLatin1String("')");
        }
        return r;
    }
    Expr r = ConvertirSinTipo(tipo, valor, estilo);
    r.tipoSql = haciaDecimal ? QStringLiteral("decimal") : tipo.nombre;
    return r;
}

Expr Traductor::ConvertirSinTipo(const Tipo& tipo, const Expr& valor, const QString& estilo) {
    Expr r;
    const QString& n = tipo.nombre;
    if (n == QLatin1String("datetime") || n == QLatin1String("smalldatetime") || n == QLatin1String("date") ||
        n == QLatin1String("datetime2")) {
        r.sql = QLatin1String("kv_fecha(") + valor.sql +
                (estilo.isEmpty() ? QString() : QLatin1String(", ") + estilo) + QLatin1Char(')');
        if (n == QLatin1String("date")) r.sql = QLatin1String("substr(") + r.sql + QLatin1String(", 1, 10)");
        r.tipo = TipoValor::Texto;
    } else if (n.contains(QLatin1String("char")) || n == QLatin1String("text") ||
               n == QLatin1String("ntext") || n == QLatin1String("sysname")) {
        int largo = tipo.longitud;
        if (largo == 0 && n != QLatin1String("text") && n != QLatin1String("ntext")) largo = 30;
        if (EsTipoDinero(valor.tipoSql)) {
            // Money writes its own digits, exactly, in the style asked for.
            r.sql = QLatin1String("kv_texto_dinero(") + valor.sql + QLatin1String(", ") + QString::number(largo) +
                    QLatin1String(", ") + (estilo.isEmpty() ? QStringLiteral("NULL") : estilo) + QLatin1String(", '") +
                    n + QLatin1String("')");
            r.tipo = TipoValor::Texto;
            return r;
        }
        r.sql = QLatin1String("kv_texto(") + valor.sql + QLatin1String(", ") + QString::number(largo) +
                (estilo.isEmpty() ? QString() : QLatin1String(", ") + estilo) + QLatin1Char(')');
        r.tipo = TipoValor::Texto;
    } else if (n == QLatin1String("int") || n == QLatin1String("bigint") || n == QLatin1String("smallint") ||
               n == QLatin1String("tinyint")) {
        r.sql = QLatin1String("kv_entero(") + valor.sql + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("bit")) {
        r.sql = QLatin1String("(CASE WHEN ") + valor.sql +
                QLatin1String(" IS NULL THEN NULL WHEN kv_numero(") + valor.sql +
                QLatin1String(") <> 0 THEN 1 ELSE 0 END)");
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("money") || n == QLatin1String("smallmoney")) {
        // A text is read exactly to the ten-thousandth; a number rounds to four
        // decimals. Either fails with 8115 past money's range.
        // Money itself, a text and anything smallmoney are read in whole ten-thousandths.
        const bool numero = (valor.tipo == TipoValor::Numero || Rango(valor.tipoSql) > 0) &&
                            !EsTipoDinero(valor.tipoSql) && n == QLatin1String("money");
        // A number written in the batch is read as written, digit by digit.
        const QString escrito = NumeroEscrito(valor.sql);
        if (!escrito.isEmpty())
            r.sql = QLatin1String("kv_dinero('") + escrito +
                    (n == QLatin1String("smallmoney") ? QLatin1String("', 'smallmoney')") : QLatin1String("')"));
        else if (numero)
            r.sql = QLatin1String("kv_resultado(round(kv_numero(") + valor.sql + QLatin1String("), 4), 'money')");
        else if (n == QLatin1String("smallmoney"))
            r.sql = QLatin1String("kv_dinero(") + valor.sql + QLatin1String(", 'smallmoney')");
        else
            r.sql = QLatin1String("kv_dinero(") + valor.sql + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("decimal") || n == QLatin1String("numeric")) {
        // The target type names itself in the conversion error.
        r.sql = QLatin1String("round(kv_numero(") + valor.sql + QLatin1String(", '") + n +
                QLatin1String("'), ") + QString::number(tipo.escala) + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("float")) {
        r.sql = QLatin1String("kv_numero(") + valor.sql + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("real")) {
        r.sql = QLatin1String("kv_real(kv_numero(") + valor.sql + QLatin1String("))");
        r.tipo = TipoValor::Numero;
    } else {
        r.sql = valor.sql;
        r.tipo = valor.tipo;
        r.primario = valor.primario;
    }
    return r;
}

}  // namespace kv::local::traduccion

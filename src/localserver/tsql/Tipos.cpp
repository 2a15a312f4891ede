// Type pass: SQL Server type names and CAST / CONVERT.

#include "localserver/tsql/Traductor.h"

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
    return tipo;
}

Expr Traductor::Convertir(const Tipo& tipo, const Expr& valor, const QString& estilo) {
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
        r.sql = QLatin1String("round(kv_numero(") + valor.sql + QLatin1String("), 4)");
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("decimal") || n == QLatin1String("numeric")) {
        r.sql = QLatin1String("round(kv_numero(") + valor.sql + QLatin1String("), ") +
                QString::number(tipo.escala) + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else if (n == QLatin1String("float") || n == QLatin1String("real")) {
        r.sql = QLatin1String("kv_numero(") + valor.sql + QLatin1Char(')');
        r.tipo = TipoValor::Numero;
    } else {
        r.sql = valor.sql;
        r.tipo = valor.tipo;
        r.primario = valor.primario;
    }
    return r;
}

}  // namespace kv::local::traduccion

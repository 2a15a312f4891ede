// Shared pieces of the translator: reserved words, names and quoting, collation of comparisons.

#include "localserver/tsql/Traductor.h"

#include <sqlite3.h>

#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/MensajesRutinas.h"

namespace kv::local::traduccion {

const QSet<QString>& Reservadas() {
    static const QSet<QString> palabras = {
        QStringLiteral("ADD"),         QStringLiteral("ALL"),          QStringLiteral("ALTER"),
        QStringLiteral("AND"),         QStringLiteral("ANY"),          QStringLiteral("AS"),
        QStringLiteral("ASC"),         QStringLiteral("BEGIN"),        QStringLiteral("BETWEEN"),
        QStringLiteral("BY"),          QStringLiteral("CASE"),         QStringLiteral("CHECK"),
        QStringLiteral("CLUSTERED"),   QStringLiteral("COLLATE"),      QStringLiteral("COLUMN"),
        QStringLiteral("COMMIT"),      QStringLiteral("CONSTRAINT"),   QStringLiteral("CREATE"),
        QStringLiteral("CROSS"),       QStringLiteral("DATABASE"),     QStringLiteral("DECLARE"),
        QStringLiteral("DEFAULT"),     QStringLiteral("DELETE"),       QStringLiteral("DESC"),
        QStringLiteral("DISTINCT"),    QStringLiteral("DROP"),         QStringLiteral("ELSE"),
        QStringLiteral("END"),         QStringLiteral("ESCAPE"),       QStringLiteral("EXCEPT"),
        QStringLiteral("EXEC"),        QStringLiteral("EXECUTE"),      QStringLiteral("EXISTS"),
        QStringLiteral("FOR"),         QStringLiteral("FOREIGN"),      QStringLiteral("FROM"),
        QStringLiteral("FULL"),        QStringLiteral("GROUP"),        QStringLiteral("HAVING"),
        QStringLiteral("IDENTITY"),    QStringLiteral("IF"),           QStringLiteral("IN"),
        QStringLiteral("INDEX"),       QStringLiteral("INNER"),        QStringLiteral("INSERT"),
        QStringLiteral("INTERSECT"),   QStringLiteral("INTO"),         QStringLiteral("IS"),
        QStringLiteral("JOIN"),        QStringLiteral("KEY"),          QStringLiteral("LEFT"),
        QStringLiteral("LIKE"),        QStringLiteral("NONCLUSTERED"), QStringLiteral("NOT"),
        QStringLiteral("NULL"),        QStringLiteral("ON"),           QStringLiteral("OR"),
        QStringLiteral("ORDER"),       QStringLiteral("OUTER"),        QStringLiteral("PERCENT"),
        QStringLiteral("PRIMARY"),     QStringLiteral("PRINT"),        QStringLiteral("PROCEDURE"),
        QStringLiteral("REFERENCES"),  QStringLiteral("RIGHT"),        QStringLiteral("ROLLBACK"),
        QStringLiteral("SELECT"),      QStringLiteral("SET"),          QStringLiteral("TABLE"),
        QStringLiteral("THEN"),        QStringLiteral("TOP"),          QStringLiteral("TRAN"),
        QStringLiteral("TRANSACTION"), QStringLiteral("TRUNCATE"),     QStringLiteral("UNION"),
        QStringLiteral("UNIQUE"),      QStringLiteral("UPDATE"),       QStringLiteral("USE"),
        QStringLiteral("VALUES"),      QStringLiteral("VIEW"),         QStringLiteral("WHEN"),
        QStringLiteral("WHERE"),       QStringLiteral("WHILE"),        QStringLiteral("WITH"),
    };
    return palabras;
}

bool EsReservada(const Token& t) {
    return t.tipo == TipoToken::Palabra && Reservadas().contains(t.texto.toUpper());
}

bool EsIdentificador(const Token& t) {
    return (t.tipo == TipoToken::Palabra && !EsReservada(t)) || t.tipo == TipoToken::Corchete ||
           t.tipo == TipoToken::Comillas;
}

QString CitarNombre(const QString& nombre) {
    bool simple = !nombre.isEmpty() && (nombre[0].isLetter() || nombre[0] == QLatin1Char('_'));
    for (QChar c : nombre)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_'))) simple = false;
    if (simple) {
        const QByteArray utf8 = nombre.toUtf8();
        if (!sqlite3_keyword_check(utf8.constData(), static_cast<int>(utf8.size()))) return nombre;
    }
    QString s = nombre;
    return QLatin1Char('"') + s.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString LiteralTexto(const QString& valor) {
    QString s = valor;
    return QLatin1Char('\'') + s.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

QString Colacionar(const Expr& e) {
    if (e.primario) return e.sql + kColacion;
    return QLatin1Char('(') + e.sql + QLatin1Char(')') + kColacion;
}

bool NecesitaColacion(const Expr& izq, const Expr& der) {
    if (izq.tipo == TipoValor::Numero || der.tipo == TipoValor::Numero) return false;
    if (izq.tipo == TipoValor::Nulo || der.tipo == TipoValor::Nulo) return false;
    if (izq.columna) return false;
    if (izq.literal && der.columna) return false;
    return true;
}

QString Balancear(const QStringList& terminos, const QString& conector, int desde, int hasta) {
    if (hasta - desde == 1) return terminos[desde];
    const int medio = (desde + hasta) / 2;
    return QLatin1Char('(') + Balancear(terminos, conector, desde, medio) + conector +
           Balancear(terminos, conector, medio, hasta) + QLatin1Char(')');
}

// ------------------------------------------------------------------ names

QString Traductor::ParteSinEsquema(const QStringList& partes, QString* simple) {
    QStringList quedan;
    for (int i = 0; i < partes.size(); ++i) {
        const bool ultima = i == partes.size() - 1;
        if (!ultima &&
            (partes[i].isEmpty() || partes[i].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)) {
            continue;
        }
        quedan << partes[i];
    }
    if (simple) *simple = quedan.isEmpty() ? QString() : quedan.last();
    QStringList citadas;
    for (const QString& q : quedan) citadas << CitarNombre(q);
    return citadas.join(QLatin1Char('.'));
}

QString Traductor::NombreObjeto(QString* simple, QStringList* partesEscritas) {
    QStringList partes;
    const Token& primero = Actual();
    if (!Fin() && primero.tipo == TipoToken::Variable && !primero.texto.startsWith(QLatin1String("@@"))) {
        // A table variable: the session gives the text the running frame's table.
        const auto it = lote_.variables.constFind(primero.texto.toLower());
        if (it == lote_.variables.constEnd() || it->tipo.nombre != QLatin1String("table"))
            throw ErrorTSQL(mensajes::kVariableDeTablaNoDeclarada, mensajes::VariableDeTablaNoDeclarada(primero.texto),
                            primero.linea);
        ++p_;
        if (!lote_.tablasVariables.contains(it->parametro)) lote_.tablasVariables << it->parametro;
        if (partesEscritas) *partesEscritas = QStringList{primero.texto};
        if (simple) *simple = primero.texto;
        return CitarNombre(NombreVariableDeTabla(it->parametro));
    }
    partes << Identificador();
    while (EsSimbolo(".")) {
        ++p_;
        if (EsSimbolo(".")) {  // db..tabla
            partes << QString();
            continue;
        }
        partes << Identificador();
    }
    if (partesEscritas) *partesEscritas = partes;
    QString propio;
    QString sql = ParteSinEsquema(partes, &propio);
    if (EsNombreTemporal(partes.last())) {
        // tempdb..#t or #t: the session's own table, whatever database is written.
        if (simple) *simple = partes.last();
        return CitarNombre(partes.last());
    }
    if (partes.size() >= 3 && !partes[partes.size() - 3].isEmpty()) {
        // base.esquema.objeto: the object of another database, through its schema.
        const QString base = partes[partes.size() - 3];
        if (!lote_.bases.contains(base)) lote_.bases << base;
        QStringList escritas;
        for (qsizetype i = partes.size() - 3; i < partes.size(); ++i) escritas << partes[i];
        lote_.objetosExternos << escritas.join(QLatin1Char('.'));
        propio = partes.last();
        sql = EsquemaDeBase(base) + QLatin1Char('.') + CitarNombre(propio);
    }
    if (EsNombreInterno(propio))
        throw ErrorTSQL(mensajes::kObjetoInvalido, mensajes::ObjetoInvalido(propio), primero.linea);
    if (simple) *simple = propio;
    return sql;
}

}  // namespace kv::local::traduccion

namespace kv::local {

QString NombreVariableDeTabla(const QString& parametro) { return QStringLiteral("kv_tv:") + parametro; }

bool EsNombreTemporal(const QString& nombre) {
    return nombre.size() > 1 && nombre[0] == QLatin1Char('#');
}

QString NombreIndiceDeTabla(const QString& tabla, const QString& indice) {
    return tabla + QLatin1Char('$') + indice;
}

QString IndiceComoSeEscribio(const QString& fisico, const QString& tabla) {
    const QString prefijo = tabla + QLatin1Char('$');
    return fisico.startsWith(prefijo, Qt::CaseInsensitive) ? fisico.mid(prefijo.size()) : fisico;
}

std::optional<QStringList> PartesDeNombre(const QString& s) {
    QStringList partes{QString()};
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == QLatin1Char('.')) {
            partes << QString();
        } else if (c == QLatin1Char('[') || c == QLatin1Char('"')) {
            if (!partes.back().isEmpty()) return std::nullopt;
            const QChar cierra = c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('"');
            bool cerrado = false;
            for (++i; i < s.size(); ++i) {
                if (s[i] != cierra) {
                    partes.back() += s[i];
                } else if (i + 1 < s.size() && s[i + 1] == cierra) {
                    partes.back() += s[++i];
                } else {
                    cerrado = true;
                    break;
                }
            }
            if (!cerrado || (i + 1 < s.size() && s[i + 1] != QLatin1Char('.'))) return std::nullopt;
        } else {
            partes.back() += c;
        }
    }
    return partes;
}

QString EsquemaDeBase(const QString& base) {
    QString b = base;
    return QLatin1String("\"kv_db_") + b.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

}  // namespace kv::local

#pragma once
// Batches of the shapes that once ended the process: long chains of operators,
// deep parentheses, deep CASE, deep BEGIN / IF / WHILE, long IN lists, each
// alone or behind the statements that went before them (a transaction, a
// failed ROUND, a DATEADD out of range) or inside a grouped query. Shared by
// the fuzz test and the fuzz benchmark; deterministic for a given generator.

#include <QString>
#include <QStringList>
#include <random>

namespace kv::pruebas::generadores {

// A length from 1 to `maximo`, most of them short: lengths spread over the
// orders of magnitude, so that the limits of every stage are crossed.
inline int Largo(std::mt19937& azar, int maximo) {
    const int cifras = 1 + static_cast<int>(azar() % 6);  // 10 .. 1,000,000
    int tope = 1;
    for (int i = 0; i < cifras; ++i) tope *= 10;
    tope = std::min(tope, maximo);
    return 1 + static_cast<int>(azar() % static_cast<unsigned>(tope));
}

inline QString Elegir(std::mt19937& azar, const QStringList& opciones) {
    return opciones[static_cast<int>(azar() % static_cast<unsigned>(opciones.size()))];
}

// An expression chain: terms of one kind joined by operators of one family.
inline QString Cadena(std::mt19937& azar, int maximo) {
    const int n = Largo(azar, maximo);
    const QString termino = Elegir(azar, {QStringLiteral("1"), QStringLiteral("'a'"), QStringLiteral("1e0"),
                                          QStringLiteral("NULL"), QStringLiteral("CAST(1 AS money)"),
                                          QStringLiteral("2147483647"), QStringLiteral("(1)"),
                                          QStringLiteral("-1"), QStringLiteral("Consumo")});
    const QString op = Elegir(azar, {QStringLiteral(" + "), QStringLiteral("+"), QStringLiteral("/**/+/**/"),
                                     QStringLiteral(" - "), QStringLiteral(" * "), QStringLiteral(" / "),
                                     QStringLiteral(" & "), QStringLiteral("\n+\n")});
    QString s = termino;
    s.reserve(n * (termino.size() + op.size()));
    for (int i = 1; i < n; ++i) s += op + termino;
    return s;
}

// A condition chain of AND / OR.
inline QString Condiciones(std::mt19937& azar, int maximo) {
    const int n = Largo(azar, maximo);
    const QString con = Elegir(azar, {QStringLiteral(" OR "), QStringLiteral(" AND ")});
    const QString termino = Elegir(azar, {QStringLiteral("1 = 1"), QStringLiteral("Grupo1 = 'A'"),
                                          QStringLiteral("NOT 1 = 0"), QStringLiteral("(1 < 2)")});
    QString s = termino;
    for (int i = 1; i < n; ++i) s += con + termino;
    return s;
}

inline QString Parentesis(std::mt19937& azar, int maximo) {
    const int n = Largo(azar, maximo);
    const int cierra = azar() % 4 == 0 ? static_cast<int>(azar() % static_cast<unsigned>(n + 1)) : n;
    return QStringLiteral("(").repeated(n) + QStringLiteral("1") + QStringLiteral(")").repeated(cierra);
}

inline QString Caso(std::mt19937& azar, int maximo) {
    const int n = Largo(azar, maximo);
    return QStringLiteral("CASE WHEN 1 = 1 THEN ").repeated(n) + QStringLiteral("1") +
           QStringLiteral(" END").repeated(n);
}

inline QString ListaIn(std::mt19937& azar, int maximo) {
    const int n = Largo(azar, maximo);
    QString s = QStringLiteral("1 IN (");
    s.reserve(n * 7);
    for (int i = 0; i < n; ++i) {
        if (i) s += QLatin1Char(',');
        s += azar() % 2 ? QString::number(i) : QStringLiteral("'v%1'").arg(i);
    }
    return s + QLatin1Char(')');
}

// Nested IF, WHILE and BEGIN around one statement.
inline QString Bloques(std::mt19937& azar, int maximo) {
    const int n = Largo(azar, maximo);
    const QString abrir = Elegir(azar, {QStringLiteral("IF 1=1 "), QStringLiteral("WHILE 1=0 "),
                                        QStringLiteral("BEGIN "), QStringLiteral("IF 1=0 SELECT 0 ELSE "),
                                        QStringLiteral("IF 1=1 BEGIN ")});
    QString cerrar;
    if (abrir.contains(QLatin1String("BEGIN"))) cerrar = QStringLiteral(" END");
    return abrir.repeated(n) + QStringLiteral("SELECT 1") + cerrar.repeated(azar() % 8 == 0 ? n / 2 : n);
}

// What goes before the shape in its batch, and whether it sits in a grouped query.
inline QString Envolver(std::mt19937& azar, const QString& expresion, bool condicion) {
    QString previo = Elegir(azar, {QString(), QString(), QStringLiteral("BEGIN TRAN "),
                                   QStringLiteral("SELECT ROUND('x', -2483648); "),
                                   QStringLiteral("SELECT DATEADD(quarter, -1, '0001-01-01') "),
                                   QStringLiteral("DECLARE @v int = 1 ")});
    QString cuerpo;
    switch (azar() % 4) {
        case 0:
            cuerpo = condicion ? QStringLiteral("SELECT 1 WHERE ") + expresion : QStringLiteral("SELECT ") + expresion;
            break;
        case 1:
            cuerpo = condicion ? QStringLiteral("SELECT Grupo1, SUM(ValorVenta) FROM DET_ESTV0001 WHERE ") +
                                     expresion + QStringLiteral(" GROUP BY Grupo1")
                               : QStringLiteral("SELECT Grupo1, SUM(ValorVenta) + ") + expresion +
                                     QStringLiteral(" AS v FROM DET_ESTV0001 GROUP BY Grupo1");
            break;
        case 2:
            cuerpo = QStringLiteral("IF ") + (condicion ? expresion : QStringLiteral("1 = ") + expresion) +
                     QStringLiteral(" PRINT 'si'");
            break;
        default:
            cuerpo = condicion ? QStringLiteral("UPDATE DET_ESTV0001 SET Consumo = 1 WHERE ") + expresion
                               : QStringLiteral("SET @v = ") + expresion;
            if (!condicion && !previo.contains(QLatin1String("@v"))) previo += QStringLiteral("DECLARE @v int ");
            break;
    }
    QString lote = previo + cuerpo;
    if (previo.startsWith(QLatin1String("BEGIN TRAN"))) lote += QStringLiteral(" ROLLBACK");
    return lote;
}

// One batch of one of the shapes, each stage's limit crossed now and then.
// `maximo` bounds the lengths (a million for the benchmark, less for a test run).
inline QString Lote(std::mt19937& azar, int maximo) {
    switch (azar() % 7) {
        case 0:
        case 1:
            return Envolver(azar, Cadena(azar, std::min(maximo, 250000)), false);
        case 2:
            return Envolver(azar, Condiciones(azar, std::min(maximo, 100000)), true);
        case 3:
            return Envolver(azar, Parentesis(azar, maximo), false);
        case 4:
            return Envolver(azar, Caso(azar, std::min(maximo, 100000)), false);
        case 5:
            return Envolver(azar, ListaIn(azar, std::min(maximo, 200000)), true);
        default:
            return Bloques(azar, std::min(maximo, 100000));
    }
}

}  // namespace kv::pruebas::generadores

#include "localserver/Agrupacion.h"

#include <QSet>
#include <vector>

#include "localserver/ErrorServidor.h"

namespace kv::local {

namespace {

enum class TipoPieza { Nombre, Cadena, Numero, Simbolo };

struct Pieza {
    TipoPieza tipo;
    QString texto;  // names unquoted
    int nivel;      // parenthesis depth where it stands
};

std::vector<Pieza> Piezas(const QString& s) {
    std::vector<Pieza> p;
    int nivel = 0;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('\'')) {
            qsizetype j = i + 1;
            while (j < n) {
                if (s[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && s[j + 1] == QLatin1Char('\'')) { j += 2; continue; }
                    break;
                }
                ++j;
            }
            p.push_back({TipoPieza::Cadena, s.mid(i, j - i + 1), nivel});
            i = j + 1;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('[') || c == QLatin1Char('`')) {
            const QChar cierre = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            qsizetype j = s.indexOf(cierre, i + 1);
            if (j < 0) j = n;
            p.push_back({TipoPieza::Nombre, s.mid(i + 1, j - i - 1), nivel});
            i = j + 1;
        } else if (c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#')) {
            qsizetype j = i;
            while (j < n && (s[j].isLetterOrNumber() || s[j] == QLatin1Char('_') || s[j] == QLatin1Char('@') ||
                             s[j] == QLatin1Char('#') || s[j] == QLatin1Char('$')))
                ++j;
            p.push_back({TipoPieza::Nombre, s.mid(i, j - i), nivel});
            i = j;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
            qsizetype j = i;
            while (j < n && (s[j].isLetterOrNumber() || s[j] == QLatin1Char('.'))) ++j;
            p.push_back({TipoPieza::Numero, s.mid(i, j - i), nivel});
            i = j;
        } else if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
            const qsizetype j = s.indexOf(QLatin1Char('\n'), i);
            i = j < 0 ? n : j;
        } else {
            if (c == QLatin1Char(')')) --nivel;
            p.push_back({TipoPieza::Simbolo, QString(c), nivel});
            if (c == QLatin1Char('(')) ++nivel;
            ++i;
        }
    }
    return p;
}

bool Es(const Pieza& p, const char* palabra) {
    return p.tipo == TipoPieza::Nombre && p.texto.compare(QLatin1String(palabra), Qt::CaseInsensitive) == 0;
}

const QSet<QString>& Agregados() {
    static const QSet<QString> s = {"sum", "count", "min", "max", "avg", "total", "group_concat", "count_big",
                                    "stdev", "stdevp", "var", "varp", "string_agg"};
    return s;
}

const QSet<QString>& Reservadas() {
    static const QSet<QString> s = {"select", "from", "where", "and", "or", "not", "null", "is", "in", "like", "glob",
                                    "between", "case", "when", "then", "else", "end", "as", "asc", "desc", "collate",
                                    "distinct", "all", "exists", "cast", "escape", "true", "false", "integer", "real",
                                    "text", "int", "numeric", "blob", "current_timestamp", "current_date",
                                    "current_time", "nulls", "first", "last", "over", "partition", "by"};
    return s;
}

using Tramo = std::pair<size_t, size_t>;  // [desde, hasta)

// Splits a range at the commas of its own depth.
std::vector<Tramo> PorComas(const std::vector<Pieza>& p, Tramo t, int nivel) {
    std::vector<Tramo> r;
    size_t inicio = t.first;
    for (size_t i = t.first; i < t.second; ++i)
        if (p[i].tipo == TipoPieza::Simbolo && p[i].texto == QLatin1String(",") && p[i].nivel == nivel) {
            r.push_back({inicio, i});
            inicio = i + 1;
        }
    if (inicio < t.second) r.push_back({inicio, t.second});
    return r;
}

QString Normal(const std::vector<Pieza>& p, Tramo t) {
    QStringList l;
    for (size_t i = t.first; i < t.second; ++i) l << p[i].texto.toLower();
    return l.join(QLatin1Char(' '));
}

size_t Cierre(const std::vector<Pieza>& p, size_t abre) {
    const int nivel = p[abre].nivel;
    for (size_t i = abre + 1; i < p.size(); ++i)
        if (p[i].tipo == TipoPieza::Simbolo && p[i].texto == QLatin1String(")") && p[i].nivel == nivel) return i;
    return p.size();
}

// First column of the range that is neither grouped nor inside an aggregate, or empty.
QString ColumnaSuelta(const std::vector<Pieza>& p, Tramo t, const QSet<QString>& agrupadas,
                      const QSet<QString>& expresiones, const std::function<bool(const QString&)>& esColumna) {
    if (expresiones.contains(Normal(p, t))) return {};
    for (size_t i = t.first; i < t.second; ++i) {
        const Pieza& x = p[i];
        if (x.tipo == TipoPieza::Simbolo && x.texto == QLatin1String("(") && i + 1 < t.second && Es(p[i + 1], "select")) {
            i = Cierre(p, i);
            continue;
        }
        if (x.tipo != TipoPieza::Nombre) continue;
        const bool llamada = i + 1 < t.second && p[i + 1].tipo == TipoPieza::Simbolo && p[i + 1].texto == QLatin1String("(");
        if (llamada) {
            if (Agregados().contains(x.texto.toLower())) i = Cierre(p, i + 1);
            continue;
        }
        if (Es(x, "collate")) {
            ++i;
            continue;
        }
        if (Reservadas().contains(x.texto.toLower())) continue;
        // "t.col": the table part is no column.
        if (i + 1 < t.second && p[i + 1].tipo == TipoPieza::Simbolo && p[i + 1].texto == QLatin1String(".")) continue;
        // A grouped expression inside a larger one ("ltrim(GRUPO1)" when GRUPO1 is grouped).
        if (agrupadas.contains(x.texto.toLower())) continue;
        if (esColumna(x.texto)) return x.texto;
    }
    return {};
}

}  // namespace

void ComprobarAgrupacion(const QString& sqlite, const std::function<bool(const QString&)>& esColumna) {
    const std::vector<Pieza> p = Piezas(sqlite);
    if (p.empty() || !Es(p[0], "select")) return;
    size_t desde = p.size(), agrupar = p.size(), teniendo = p.size(), ordenar = p.size(), limite = p.size();
    for (size_t i = 1; i < p.size(); ++i) {
        if (p[i].nivel != 0 || p[i].tipo != TipoPieza::Nombre) continue;
        if (Es(p[i], "union") || Es(p[i], "except") || Es(p[i], "intersect")) return;
        if (Es(p[i], "from") && desde == p.size()) desde = i;
        else if (Es(p[i], "group") && i + 1 < p.size() && Es(p[i + 1], "by")) agrupar = i;
        else if (Es(p[i], "having")) teniendo = i;
        else if (Es(p[i], "order") && i + 1 < p.size() && Es(p[i + 1], "by")) ordenar = i;
        else if (Es(p[i], "limit")) limite = i;
    }
    if (agrupar == p.size() || desde == p.size()) return;
    const size_t finAgrupar = std::min({teniendo, ordenar, limite});
    QSet<QString> agrupadas, expresiones;
    for (const Tramo& t : PorComas(p, {agrupar + 2, finAgrupar}, 0)) {
        expresiones.insert(Normal(p, t));
        for (size_t i = t.first; i < t.second; ++i)
            if (p[i].tipo == TipoPieza::Nombre) agrupadas.insert(p[i].texto.toLower());
    }
    QString tabla;
    if (desde + 1 < p.size() && p[desde + 1].tipo == TipoPieza::Nombre) tabla = p[desde + 1].texto;

    size_t inicioLista = 1;
    if (inicioLista < desde && Es(p[inicioLista], "distinct")) ++inicioLista;
    QSet<QString> alias;
    for (Tramo t : PorComas(p, {inicioLista, desde}, 0)) {
        if (t.second - t.first >= 2 && Es(p[t.second - 2], "as")) {
            alias.insert(p[t.second - 1].texto.toLower());
            t.second -= 2;
        }
        const QString suelta = ColumnaSuelta(p, t, agrupadas, expresiones, esColumna);
        if (!suelta.isEmpty())
            throw ErrorServidor(8120,
                                QStringLiteral("La columna '%1.%2' no es válida en la lista de selección porque no está "
                                               "contenida en una función de agregado ni en la cláusula GROUP BY.")
                                    .arg(tabla, suelta),
                                QString::fromLatin1(estado::Sintaxis));
    }
    if (ordenar == p.size()) return;
    for (Tramo t : PorComas(p, {ordenar + 2, limite}, 0)) {
        while (t.second > t.first && (Es(p[t.second - 1], "asc") || Es(p[t.second - 1], "desc"))) --t.second;
        if (t.second - t.first >= 2 && Es(p[t.second - 2], "collate")) t.second -= 2;
        if (t.second - t.first == 1 && (p[t.first].tipo == TipoPieza::Numero || alias.contains(p[t.first].texto.toLower())))
            continue;
        const QString suelta = ColumnaSuelta(p, t, agrupadas, expresiones, esColumna);
        if (!suelta.isEmpty())
            throw ErrorServidor(8127,
                                QStringLiteral("La columna \"%1.%2\" no es válida en la cláusula ORDER BY porque no está "
                                               "contenida en una función de agregado ni en la cláusula GROUP BY.")
                                    .arg(tabla, suelta),
                                QString::fromLatin1(estado::Sintaxis));
    }
}

}  // namespace kv::local

#include "localserver/tds/Parametros.h"

#include <stdexcept>

namespace kv::tds {

namespace {

bool EsDeNombre(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$'; }

}  // namespace

std::vector<ParametroDeclarado> LeerDeclaracion(const QString& declaracion) {
    std::vector<ParametroDeclarado> r;
    QStringList partes;
    int profundidad = 0;
    QString actual;
    for (QChar c : declaracion) {
        if (c == u'(') ++profundidad;
        if (c == u')') --profundidad;
        if (c == u',' && profundidad == 0) {
            partes << actual;
            actual.clear();
            continue;
        }
        actual.append(c);
    }
    partes << actual;
    for (const QString& bruta : partes) {
        const QString parte = bruta.trimmed();
        if (parte.isEmpty()) {
            if (partes.size() == 1) break;
            throw std::invalid_argument("parámetro vacío");
        }
        if (!parte.startsWith(u'@')) throw std::invalid_argument("falta el nombre del parámetro");
        int fin = 1;
        while (fin < parte.size() && EsDeNombre(parte[fin])) ++fin;
        ParametroDeclarado p;
        p.nombre = parte.left(fin);
        QString resto = parte.mid(fin).trimmed();
        for (const char* palabra : {"OUTPUT", "OUT"}) {
            if (resto.endsWith(QLatin1String(palabra), Qt::CaseInsensitive)) {
                const QString antes = resto.left(resto.size() - qsizetype(qstrlen(palabra)));
                if (antes.isEmpty() || antes.back().isSpace()) {
                    p.salida = true;
                    resto = antes.trimmed();
                    break;
                }
            }
        }
        if (resto.startsWith(QLatin1String("AS "), Qt::CaseInsensitive)) resto = resto.mid(3).trimmed();
        p.tipo = resto;
        r.push_back(p);
    }
    return r;
}

SentenciaConMarcas Marcar(const QString& s, const QStringList& nombres) {
    SentenciaConMarcas r;
    r.texto.reserve(s.size());
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto copiarHasta = [&](qsizetype fin) {
        r.texto.append(QStringView(s).mid(i, fin - i));
        i = fin;
    };
    while (i < n) {
        const QChar c = s[i];
        if (c == u'\'') {
            // A string, with '' for a quote inside.
            qsizetype j = i + 1;
            while (j < n) {
                if (s[j] == u'\'') {
                    if (j + 1 < n && s[j + 1] == u'\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            copiarHasta(std::min(n, j + 1));
        } else if (c == u'[' || c == u'"') {
            const QChar cierre = c == u'[' ? u']' : u'"';
            qsizetype j = i + 1;
            while (j < n) {
                if (s[j] == cierre) {
                    if (j + 1 < n && s[j + 1] == cierre) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            copiarHasta(std::min(n, j + 1));
        } else if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            qsizetype j = s.indexOf(u'\n', i);
            copiarHasta(j < 0 ? n : j);
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            // Comments nest in T-SQL.
            int nivel = 0;
            qsizetype j = i;
            while (j < n) {
                if (j + 1 < n && s[j] == u'/' && s[j + 1] == u'*') {
                    ++nivel;
                    j += 2;
                } else if (j + 1 < n && s[j] == u'*' && s[j + 1] == u'/') {
                    --nivel;
                    j += 2;
                    if (nivel == 0) break;
                } else {
                    ++j;
                }
            }
            copiarHasta(std::min(n, j));
        } else if (c == u'@' && !(i + 1 < n && s[i + 1] == u'@') && !(i > 0 && EsDeNombre(s[i - 1]))) {
            qsizetype j = i + 1;
            while (j < n && EsDeNombre(s[j])) ++j;
            const QString nombre = s.mid(i, j - i);
            int indice = -1;
            for (int k = 0; k < nombres.size(); ++k)
                if (nombres[k].compare(nombre, Qt::CaseInsensitive) == 0) indice = k;
            if (indice >= 0) {
                r.texto.append(u'?');
                r.orden.push_back(indice);
                i = j;
            } else {
                copiarHasta(j);
            }
        } else if (c == u'@') {
            // @@ROWCOUNT and the like: the whole name at once.
            qsizetype j = i;
            while (j < n && EsDeNombre(s[j])) ++j;
            copiarHasta(j);
        } else if (EsDeNombre(c)) {
            qsizetype j = i;
            while (j < n && EsDeNombre(s[j]) && s[j] != u'@') ++j;
            copiarHasta(j == i ? i + 1 : j);
        } else {
            copiarHasta(i + 1);
        }
    }
    return r;
}

}  // namespace kv::tds

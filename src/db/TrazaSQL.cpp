#include "db/TrazaSQL.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <vector>

namespace kv::db {

namespace {

// The pieces of a batch as far as the trace needs to tell them apart.
enum class Pieza { Blanco, Comentario, Cadena, Corchete, Comillas, Palabra, Numero, Simbolo };

struct Trozo {
    Pieza pieza;
    qsizetype inicio;
    qsizetype fin;
};

bool LetraDeNombre(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

// End of a quoted piece that starts at `i` with `apertura` and ends with
// `cierre`, a doubled `cierre` standing for itself; an open one runs to the end.
qsizetype FinCitado(const QString& t, qsizetype i, QChar cierre) {
    for (qsizetype j = i + 1; j < t.size(); ++j) {
        if (t.at(j) != cierre) continue;
        if (j + 1 < t.size() && t.at(j + 1) == cierre) {
            ++j;
            continue;
        }
        return j + 1;
    }
    return t.size();
}

std::vector<Trozo> Partir(const QString& t) {
    std::vector<Trozo> trozos;
    qsizetype i = 0;
    const qsizetype n = t.size();
    while (i < n) {
        const QChar c = t.at(i);
        const QChar d = i + 1 < n ? t.at(i + 1) : QChar();
        qsizetype fin = i + 1;
        Pieza pieza = Pieza::Simbolo;
        if (c.isSpace()) {
            while (fin < n && t.at(fin).isSpace()) ++fin;
            pieza = Pieza::Blanco;
        } else if (c == u'-' && d == u'-') {
            while (fin < n && t.at(fin) != u'\n') ++fin;
            pieza = Pieza::Comentario;
        } else if (c == u'/' && d == u'*') {
            // Block comments nest.
            int nivel = 1;
            fin = i + 2;
            while (fin < n && nivel > 0) {
                if (t.at(fin) == u'/' && fin + 1 < n && t.at(fin + 1) == u'*') {
                    ++nivel;
                    fin += 2;
                } else if (t.at(fin) == u'*' && fin + 1 < n && t.at(fin + 1) == u'/') {
                    --nivel;
                    fin += 2;
                } else {
                    ++fin;
                }
            }
            pieza = Pieza::Comentario;
        } else if (c == u'\'' || ((c == u'N' || c == u'n') && d == u'\'' &&
                                  (i == 0 || !LetraDeNombre(t.at(i - 1))))) {
            fin = FinCitado(t, c == u'\'' ? i : i + 1, u'\'');
            pieza = Pieza::Cadena;
        } else if (c == u'[') {
            fin = FinCitado(t, i, u']');
            pieza = Pieza::Corchete;
        } else if (c == u'"') {
            fin = FinCitado(t, i, u'"');
            pieza = Pieza::Comillas;
        } else if (c.isDigit() || (c == u'.' && d.isDigit())) {
            while (fin < n && (t.at(fin).isLetterOrNumber() || t.at(fin) == u'.' ||
                               ((t.at(fin) == u'+' || t.at(fin) == u'-') &&
                                (t.at(fin - 1) == u'e' || t.at(fin - 1) == u'E'))))
                ++fin;
            pieza = Pieza::Numero;
        } else if (LetraDeNombre(c)) {
            while (fin < n && LetraDeNombre(t.at(fin))) ++fin;
            pieza = Pieza::Palabra;
        }
        trozos.push_back({pieza, i, fin});
        i = fin;
    }
    return trozos;
}

// The text a quoted piece stands for.
QString Contenido(const QString& t, const Trozo& z) {
    qsizetype a = z.inicio;
    QChar cierre;
    if (z.pieza == Pieza::Cadena) {
        if (t.at(a) != u'\'') ++a;
        cierre = u'\'';
    } else if (z.pieza == Pieza::Corchete) {
        cierre = u']';
    } else if (z.pieza == Pieza::Comillas) {
        cierre = u'"';
    } else {
        return t.mid(z.inicio, z.fin - z.inicio);
    }
    qsizetype b = z.fin;
    if (b - a >= 2 && t.at(b - 1) == cierre) --b;
    QString v = t.mid(a + 1, b - a - 1);
    v.replace(QString(2, cierre), QString(cierre));
    return v;
}

// The significant pieces (no blanks, no comments), by index into `trozos`.
std::vector<size_t> Significativos(const std::vector<Trozo>& trozos) {
    std::vector<size_t> s;
    for (size_t k = 0; k < trozos.size(); ++k)
        if (trozos[k].pieza != Pieza::Blanco && trozos[k].pieza != Pieza::Comentario) s.push_back(k);
    return s;
}

bool TocaClavesEn(const QString& sql, int profundidad);

// Whether the batch creates or changes a login or a password anywhere, also in
// the text of dynamic SQL it carries.
bool TocaClavesEn(const QString& sql, int profundidad) {
    const std::vector<Trozo> trozos = Partir(sql);
    const std::vector<size_t> sig = Significativos(trozos);
    auto palabra = [&](size_t k) -> QString {
        if (k >= sig.size()) return QString();
        const Trozo& z = trozos[sig[k]];
        if (z.pieza == Pieza::Palabra) return sql.mid(z.inicio, z.fin - z.inicio).toLower();
        if (z.pieza == Pieza::Corchete || z.pieza == Pieza::Comillas) return Contenido(sql, z).toLower();
        return QString();
    };
    auto esIgual = [&](size_t k) {
        return k < sig.size() && trozos[sig[k]].pieza == Pieza::Simbolo && sql.at(trozos[sig[k]].inicio) == u'=';
    };
    for (size_t k = 0; k < sig.size(); ++k) {
        const Trozo& z = trozos[sig[k]];
        if (z.pieza == Pieza::Cadena) {
            // Dynamic SQL: EXEC('...'), sp_executesql N'...', a variable that is run later.
            if (profundidad < 4 && TocaClavesEn(Contenido(sql, z), profundidad + 1)) return true;
            continue;
        }
        const QString w = palabra(k);
        if (w.isEmpty()) continue;
        if (w == QLatin1String("sp_addlogin") || w == QLatin1String("sp_password") ||
            w.endsWith(QLatin1String(".sp_addlogin")) || w.endsWith(QLatin1String(".sp_password")))
            return true;
        if (w == QLatin1String("login") && k > 0) {
            const QString antes = palabra(k - 1);
            if (antes == QLatin1String("create") || antes == QLatin1String("alter")) return true;
        }
        if ((w == QLatin1String("password") || w == QLatin1String("old_password")) && esIgual(k + 1)) return true;
        if (w.startsWith(u'@') && w.contains(QLatin1String("pass")) && esIgual(k + 1)) return true;
    }
    return false;
}

// Bare words and quoted names given as procedure arguments: a password written
// [Secreto12], "Secreto13" or Secreto14 is taken as its text.
void MarcarArgumentos(const QString& sql, const std::vector<Trozo>& trozos, std::vector<bool>& ocultar) {
    const std::vector<size_t> sig = Significativos(trozos);
    auto texto = [&](size_t k) { return sql.mid(trozos[sig[k]].inicio, trozos[sig[k]].fin - trozos[sig[k]].inicio); };
    auto simbolo = [&](size_t k, QChar c) {
        return k < sig.size() && trozos[sig[k]].pieza == Pieza::Simbolo && sql.at(trozos[sig[k]].inicio) == c;
    };
    auto esPalabra = [&](size_t k, const char* w) {
        return k < sig.size() && trozos[sig[k]].pieza == Pieza::Palabra &&
               texto(k).compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    };
    for (size_t k = 0; k < sig.size(); ++k) {
        if (!esPalabra(k, "EXEC") && !esPalabra(k, "EXECUTE")) continue;
        size_t j = k + 1;
        if (simbolo(j, u'(')) continue;
        // EXEC @resultado = procedure ...
        if (j < sig.size() && texto(j).startsWith(u'@') && simbolo(j + 1, u'=')) j += 2;
        // The procedure's name, possibly qualified.
        if (j >= sig.size()) break;
        ++j;
        while (simbolo(j, u'.')) {
            ++j;
            if (j < sig.size() && !simbolo(j, u'.')) ++j;
        }
        for (;;) {
            if (j >= sig.size()) break;
            if (trozos[sig[j]].pieza == Pieza::Palabra && texto(j).startsWith(u'@') && simbolo(j + 1, u'=')) j += 2;
            if (j >= sig.size()) break;
            const Trozo& v = trozos[sig[j]];
            const QString t = texto(j);
            const bool palabraClave = v.pieza == Pieza::Palabra &&
                                      (t.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0 ||
                                       t.compare(QLatin1String("DEFAULT"), Qt::CaseInsensitive) == 0 ||
                                       t.startsWith(u'@'));
            if (v.pieza == Pieza::Corchete || v.pieza == Pieza::Comillas ||
                (v.pieza == Pieza::Palabra && !palabraClave))
                ocultar[sig[j]] = true;
            if (v.pieza == Pieza::Simbolo && (sql.at(v.inicio) == u'-' || sql.at(v.inicio) == u'+')) ++j;
            ++j;
            if (esPalabra(j, "OUTPUT") || esPalabra(j, "OUT")) ++j;
            if (!simbolo(j, u',')) break;
            ++j;
        }
        k = j > k ? j - 1 : k;
    }
}

}  // namespace

bool TocaClaves(const QString& sql) { return TocaClavesEn(sql, 0); }

QString OcultarClaves(const QString& sql) {
    if (!TocaClaves(sql)) return sql;
    // A batch that touches logins or passwords keeps its shape and none of its
    // values: every literal, every comment and every word given to a procedure
    // is masked, so that a password passes neither as a literal, nor through a
    // variable, nor inside dynamic SQL.
    const std::vector<Trozo> trozos = Partir(sql);
    std::vector<bool> ocultar(trozos.size(), false);
    for (size_t k = 0; k < trozos.size(); ++k)
        if (trozos[k].pieza == Pieza::Cadena || trozos[k].pieza == Pieza::Numero ||
            trozos[k].pieza == Pieza::Comentario)
            ocultar[k] = true;
    MarcarArgumentos(sql, trozos, ocultar);
    QString resultado;
    resultado.reserve(sql.size());
    for (size_t k = 0; k < trozos.size(); ++k) {
        const Trozo& z = trozos[k];
        if (!ocultar[k]) {
            resultado += QStringView(sql).mid(z.inicio, z.fin - z.inicio);
            continue;
        }
        switch (z.pieza) {
            case Pieza::Cadena:
                resultado += QLatin1String("'***'");
                break;
            case Pieza::Corchete:
                resultado += QLatin1String("[***]");
                break;
            case Pieza::Comillas:
                resultado += QLatin1String("\"***\"");
                break;
            case Pieza::Comentario:
                resultado += sql.at(z.inicio + 1) == u'-' ? QLatin1String("--***") : QLatin1String("/***/");
                // A line comment ends at its line feed, which stays.
                break;
            default:
                resultado += QLatin1String("***");
                break;
        }
    }
    return resultado;
}

std::unique_ptr<TrazaSQL> TrazaSQL::DesdeEntorno() {
    const QString archivo = qEnvironmentVariable(kVariableTrazaSQL).trimmed();
    if (archivo.isEmpty()) return nullptr;
    return std::make_unique<TrazaSQL>(archivo);
}

TrazaSQL::TrazaSQL(const QString& archivo) : archivo_(archivo) {}

QByteArray TrazaSQL::Linea(const EntradaTraza& e) {
    QJsonObject o;
    o.insert(QStringLiteral("hora"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("operacion"), e.operacion);
    o.insert(QStringLiteral("servidor"), e.servidor);
    o.insert(QStringLiteral("base"), e.base);
    o.insert(QStringLiteral("sql"), OcultarClaves(e.sql));
    o.insert(QStringLiteral("ms"), std::round(e.ms * 1000.0) / 1000.0);
    o.insert(QStringLiteral("filas"), e.filas ? QJsonValue(static_cast<double>(*e.filas)) : QJsonValue());
    o.insert(QStringLiteral("error"), e.error ? QJsonValue(*e.error) : QJsonValue());
    if (e.numero) o.insert(QStringLiteral("numero"), *e.numero);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void TrazaSQL::Escribir(const EntradaTraza& entrada) {
    if (!archivo_.isOpen()) {
        // Unbuffered append: each line goes out in one write, so several connections
        // (and several programs) can share one trace file without mixing lines.
        const bool nuevo = !archivo_.exists();
        if (!archivo_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            if (!avisado_) qWarning() << "No se puede escribir la traza SQL en" << archivo_.fileName();
            avisado_ = true;
            return;
        }
        // The trace names servers, databases and logins: for its owner's eyes only.
        if (nuevo) archivo_.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QByteArray linea = Linea(entrada);
    linea.append('\n');
    archivo_.write(linea);
}

}  // namespace kv::db

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

const QString kOculta = QStringLiteral("'***'");

bool LetraDeNombre(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#'; }

// End of the string literal that starts at `i` (an apostrophe, or N before it); -1 when none starts there.
qsizetype FinLiteral(const QString& t, qsizetype i) {
    if (i < t.size() && (t.at(i) == u'N' || t.at(i) == u'n') && i + 1 < t.size() && t.at(i + 1) == u'\'') ++i;
    if (i >= t.size() || t.at(i) != u'\'') return -1;
    for (qsizetype j = i + 1; j < t.size(); ++j) {
        if (t.at(j) != u'\'') continue;
        if (j + 1 < t.size() && t.at(j + 1) == u'\'') {
            ++j;
            continue;
        }
        return j + 1;
    }
    return t.size();
}

qsizetype SaltarBlancos(const QString& t, qsizetype i) {
    while (i < t.size() && t.at(i).isSpace()) ++i;
    return i;
}

// The literals of the argument list that starts at `i` whose position (0-based)
// is in `posiciones`, or whose parameter name speaks of a password.
void OcultarArgumentos(const QString& t, qsizetype i, std::initializer_list<int> posiciones,
                       std::vector<std::pair<qsizetype, qsizetype>>& tramos) {
    int posicion = 0;
    for (;;) {
        i = SaltarBlancos(t, i);
        QString nombre;
        if (i < t.size() && t.at(i) == u'@') {
            const qsizetype inicio = i;
            while (i < t.size() && LetraDeNombre(t.at(i))) ++i;
            nombre = t.mid(inicio, i - inicio).toLower();
            i = SaltarBlancos(t, i);
            if (i >= t.size() || t.at(i) != u'=') return;
            i = SaltarBlancos(t, i + 1);
        }
        const qsizetype fin = FinLiteral(t, i);
        if (fin >= 0) {
            const bool clave =
                nombre.isEmpty()
                    ? std::find(posiciones.begin(), posiciones.end(), posicion) != posiciones.end()
                    : (nombre.contains(QLatin1String("pass")) || nombre == QLatin1String("@old") ||
                       nombre == QLatin1String("@new"));
            if (clave) tramos.emplace_back(i, fin);
            i = fin;
        } else {
            while (i < t.size() && (LetraDeNombre(t.at(i)) || t.at(i) == u'.')) ++i;
        }
        i = SaltarBlancos(t, i);
        if (i >= t.size() || t.at(i) != u',') return;
        ++i;
        ++posicion;
    }
}

}  // namespace

QString OcultarClaves(const QString& sql) {
    if (!sql.contains(QLatin1String("pass"), Qt::CaseInsensitive) &&
        !sql.contains(QLatin1String("sp_addlogin"), Qt::CaseInsensitive))
        return sql;
    std::vector<std::pair<qsizetype, qsizetype>> tramos;
    qsizetype i = 0;
    while (i < sql.size()) {
        const qsizetype literal = FinLiteral(sql, i);
        if (literal >= 0 && sql.at(i) == u'\'') {
            i = literal;
            continue;
        }
        if (!LetraDeNombre(sql.at(i)) || (i > 0 && LetraDeNombre(sql.at(i - 1)))) {
            ++i;
            continue;
        }
        qsizetype fin = i;
        while (fin < sql.size() && LetraDeNombre(sql.at(fin))) ++fin;
        const QString palabra = sql.mid(i, fin - i).toLower();
        if (palabra == QLatin1String("sp_addlogin")) {
            OcultarArgumentos(sql, fin, {1}, tramos);
        } else if (palabra == QLatin1String("sp_password")) {
            OcultarArgumentos(sql, fin, {0, 1}, tramos);
        } else if (palabra.startsWith(u'@') && palabra.contains(QLatin1String("pass"))) {
            OcultarArgumentos(sql, i, {}, tramos);
        } else if (palabra == QLatin1String("password") || palabra == QLatin1String("old_password")) {
            qsizetype j = SaltarBlancos(sql, fin);
            if (j < sql.size() && sql.at(j) == u'=') {
                j = SaltarBlancos(sql, j + 1);
                const qsizetype f = FinLiteral(sql, j);
                if (f >= 0) tramos.emplace_back(j, f);
            }
        }
        i = fin;
    }
    if (tramos.empty()) return sql;
    std::sort(tramos.begin(), tramos.end());
    QString resultado;
    qsizetype desde = 0;
    for (const auto& [inicio, fin] : tramos) {
        if (inicio < desde) continue;
        resultado += QStringView(sql).mid(desde, inicio - desde);
        resultado += kOculta;
        desde = fin;
    }
    resultado += QStringView(sql).mid(desde);
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

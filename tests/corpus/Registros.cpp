#include "Registros.h"

#include <QCryptographicHash>
#include <algorithm>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <limits>

namespace kv::pruebas::corpus {

namespace {

struct Linea {
    int numero;  // 1-based line of the script
    QString texto;
};

// The script's lines without their carriage returns, blank ones empty and comment
// lines ("#" first) left out altogether: a comment does not end a record.
std::vector<Linea> Lineas(const QByteArray& guion) {
    std::vector<Linea> l;
    int numero = 0;
    qsizetype inicio = 0;
    while (inicio < guion.size()) {
        qsizetype fin = guion.indexOf('\n', inicio);
        if (fin < 0) fin = guion.size();
        ++numero;
        QByteArray bruta = guion.mid(inicio, fin - inicio);
        if (bruta.endsWith('\r')) bruta.chop(1);
        inicio = fin + 1;
        if (bruta.trimmed().isEmpty()) bruta.clear();
        if (bruta.startsWith('#')) continue;
        l.push_back({numero, QString::fromUtf8(bruta)});
    }
    return l;
}

QStringList Palabras(const QString& linea) { return linea.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts); }

QString Palabra(const QStringList& p, int i) { return i < p.size() ? p[i] : QString(); }

bool Entero(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return true;
        default:
            return false;
    }
}

bool Real(const QVariant& v) {
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

qint64 Truncado(double d) {
    if (!std::isfinite(d)) return 0;
    if (d >= 9.2e18 || d <= -9.2e18) return 0;
    return static_cast<qint64>(std::trunc(d));
}

}  // namespace

QString Formatear(const QVariant& valor, QChar tipo) {
    if (!valor.isValid() || valor.isNull()) return QStringLiteral("NULL");
    if (tipo == QLatin1Char('I')) {
        if (valor.typeId() == QMetaType::Bool) return valor.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        if (Entero(valor)) return QString::number(valor.toLongLong());
        if (Real(valor)) return QString::number(Truncado(valor.toDouble()));
        const QString t = valor.toString().trimmed();
        bool ok = false;
        const qint64 n = t.toLongLong(&ok);
        if (ok) return QString::number(n);
        const double d = t.toDouble(&ok);
        // Text that is no number reads as 0, as the client's conversion leaves it.
        return QString::number(ok ? Truncado(d) : 0);
    }
    if (tipo == QLatin1Char('R')) {
        bool ok = false;
        double d = valor.typeId() == QMetaType::Bool ? (valor.toBool() ? 1.0 : 0.0) : valor.toDouble(&ok);
        if (valor.typeId() != QMetaType::Bool && !ok) d = valor.toString().trimmed().toDouble();
        return QString::asprintf("%.3f", d);
    }
    QByteArray t;
    if (valor.typeId() == QMetaType::Bool)
        t = valor.toBool() ? "1" : "0";
    else if (Real(valor))
        t = QByteArray::number(valor.toDouble(), 'g', 15);
    else
        t = valor.toString().toUtf8();
    if (t.isEmpty()) return QStringLiteral("(empty)");
    for (char& c : t)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) c = '@';
    return QString::fromLatin1(t);
}

std::optional<QStringList> Ordenar(QStringList valores, int columnas, const QString& modo) {
    if (modo.isEmpty() || modo == QLatin1String("nosort")) return valores;
    if (modo == QLatin1String("valuesort")) columnas = 1;
    else if (modo != QLatin1String("rowsort")) return std::nullopt;
    if (columnas <= 0) return valores;
    std::vector<QList<QByteArray>> filas;
    for (qsizetype i = 0; i + columnas <= valores.size(); i += columnas) {
        QList<QByteArray> f;
        for (int c = 0; c < columnas; ++c) f << valores[i + c].toUtf8();
        filas.push_back(f);
    }
    // Bytewise, column by column, as strcmp orders them.
    std::stable_sort(filas.begin(), filas.end(), [](const QList<QByteArray>& a, const QList<QByteArray>& b) {
        for (qsizetype c = 0; c < a.size(); ++c) {
            const int r = std::strcmp(a[c].constData(), b[c].constData());
            if (r != 0) return r < 0;
        }
        return false;
    });
    QStringList s;
    for (const auto& f : filas)
        for (const auto& v : f) s << QString::fromUtf8(v);
    return s;
}

QString Resumen(const QStringList& valores) {
    QCryptographicHash md5(QCryptographicHash::Md5);
    for (const auto& v : valores) {
        md5.addData(v.toUtf8());
        md5.addData("\n");
    }
    return QString::fromLatin1(md5.result().toHex());
}

Cuentas Ejecutar(const QByteArray& guion, const QString& nombreMotor, const Motor& motor) {
    Cuentas cuentas;
    const std::vector<Linea> lineas = Lineas(guion);
    std::map<QString, QString> etiquetas;  // label -> hash of its first result
    int umbral = 8;
    size_t i = 0;
    const auto vacia = [&](size_t k) { return k >= lineas.size() || lineas[k].texto.isEmpty(); };
    const auto fallo = [&](int linea, const QString& que) {
        cuentas.fallos << QStringLiteral("line %1: %2").arg(linea).arg(que);
    };
    const auto mismaEtiqueta = [&](const QString& etiqueta, const QString& hash) {
        const auto [it, nueva] = etiquetas.emplace(etiqueta, hash);
        return nueva || it->second == hash;
    };

    bool primera = true;
    while (true) {
        // The next record starts after the blank lines that end the last one.
        if (!primera)
            while (i < lineas.size() && !vacia(i)) ++i;
        primera = false;
        while (i < lineas.size() && vacia(i)) ++i;
        if (i >= lineas.size()) break;
        const int inicio = lineas[i].numero;
        QStringList p = Palabras(lineas[i].texto);

        bool omitir = false;
        while (Palabra(p, 0) == QLatin1String("skipif") || Palabra(p, 0) == QLatin1String("onlyif")) {
            const bool es = Palabra(p, 1).compare(nombreMotor, Qt::CaseInsensitive) == 0;
            if (Palabra(p, 0) == QLatin1String("skipif") ? es : !es) omitir = true;
            ++i;
            p = vacia(i) ? QStringList() : Palabras(lineas[i].texto);
        }
        const QString clase = Palabra(p, 0);
        if (omitir) {
            ++cuentas.omitidos;
            // A skipped query with a label still says what its label's result is.
            if (clase == QLatin1String("query") && !Palabra(p, 3).isEmpty()) {
                size_t k = i + 1;
                while (!vacia(k) && lineas[k].texto != QLatin1String("----")) ++k;
                if (!vacia(k)) ++k;
                if (!vacia(k)) {
                    QString hash;
                    const QRegularExpression re(QStringLiteral("^\\d+ values hashing to ([0-9a-f]{32})$"));
                    const auto m = re.match(lineas[k].texto);
                    if (m.hasMatch()) {
                        hash = m.captured(1);
                    } else {
                        QStringList esperados;
                        while (!vacia(k)) esperados << lineas[k++].texto;
                        hash = Resumen(esperados);
                    }
                    if (!mismaEtiqueta(Palabra(p, 3), hash))
                        fallo(inicio, QStringLiteral("labeled result [%1] does not agree with previous values")
                                          .arg(Palabra(p, 3)));
                }
            }
            continue;
        }

        if (clase == QLatin1String("statement")) {
            QStringList sql;
            while (!vacia(i + 1)) sql << lineas[++i].texto;
            const QString modo = Palabra(p, 1);
            const Respuesta r = motor(sql.join(QLatin1Char('\n')));
            ++cuentas.ejecutados;
            bool bien = true;
            if (modo == QLatin1String("ok")) {
                if (r.error) {
                    bien = false;
                    fallo(inicio, QStringLiteral("statement failed: %1\n    %2").arg(*r.error, sql.join(QStringLiteral("\n    "))));
                }
            } else if (modo == QLatin1String("error")) {
                if (!r.error) {
                    bien = false;
                    fallo(inicio, QStringLiteral("statement succeeded, an error was expected\n    %1")
                                      .arg(sql.join(QStringLiteral("\n    "))));
                }
            } else {
                bien = false;
                fallo(inicio, QStringLiteral("statement argument should be 'ok' or 'error'"));
            }
            (bien ? cuentas.aprobados : cuentas.fallidos)++;
        } else if (clase == QLatin1String("query")) {
            const QString tipos = Palabra(p, 1);
            const QString orden = Palabra(p, 2);
            const QString etiqueta = Palabra(p, 3);
            QStringList sql;
            while (!vacia(i + 1) && lineas[i + 1].texto != QLatin1String("----")) sql << lineas[++i].texto;
            QStringList esperados;
            int lineaEsperados = inicio;
            if (!vacia(i + 1)) {
                ++i;  // the "----"
                if (!vacia(i + 1)) lineaEsperados = lineas[i + 1].numero;
                while (!vacia(i + 1)) esperados << lineas[++i].texto;
            }
            if (tipos.isEmpty() || tipos.contains(QRegularExpression(QStringLiteral("[^IRT]")))) {
                ++cuentas.fallidos;
                fallo(inicio, QStringLiteral("bad type string '%1'").arg(tipos));
                continue;
            }
            const QString texto = sql.join(QLatin1Char('\n'));
            const Respuesta r = motor(texto);
            ++cuentas.ejecutados;
            const int antes = static_cast<int>(cuentas.fallos.size());
            const QString sqlLegible = sql.join(QStringLiteral("\n    "));
            if (r.error) {
                fallo(inicio, QStringLiteral("query failed: %1\n    %2").arg(*r.error, sqlLegible));
            } else {
                QStringList valores;
                for (const auto& fila : r.filas)
                    for (size_t c = 0; c < fila.size(); ++c)
                        valores << Formatear(fila[c], static_cast<qsizetype>(c) < tipos.size() ? tipos[static_cast<qsizetype>(c)] : QLatin1Char('T'));
                const bool columnasBien =
                    r.filas.empty() || r.filas.front().size() == static_cast<size_t>(tipos.size());
                if (!columnasBien)
                    fallo(inicio, QStringLiteral("%1 columns, the record says %2\n    %3")
                                      .arg(r.filas.front().size()).arg(tipos.size()).arg(sqlLegible));
                const auto ordenados = Ordenar(valores, static_cast<int>(tipos.size()), orden);
                if (!ordenados) {
                    fallo(inicio, QStringLiteral("unknown sort method: '%1'").arg(orden));
                } else if (columnasBien) {
                    valores = *ordenados;
                    const QString hash = Resumen(valores);
                    if (!etiqueta.isEmpty() && !mismaEtiqueta(etiqueta, hash))
                        fallo(inicio, QStringLiteral("labeled result [%1] does not agree with previous values")
                                          .arg(etiqueta));
                    const int n = static_cast<int>(valores.size());
                    if (umbral == 0 || n <= umbral) {
                        if (valores != esperados) {
                            fallo(lineaEsperados,
                                  QStringLiteral("wrong result - expected [%1] got [%2]\n    %3")
                                      .arg(esperados.join(QLatin1Char(' ')), valores.join(QLatin1Char(' ')),
                                           sqlLegible));
                        }
                    } else {
                        const QString resumen = QStringLiteral("%1 values hashing to %2").arg(n).arg(hash);
                        if (esperados.size() != 1 || esperados.front() != resumen)
                            fallo(lineaEsperados, QStringLiteral("wrong result hash - expected [%1] got [%2]\n    %3")
                                                      .arg(esperados.join(QLatin1Char(' ')), resumen, sqlLegible));
                    }
                }
            }
            (cuentas.fallos.size() == antes ? cuentas.aprobados : cuentas.fallidos)++;
        } else if (clase == QLatin1String("hash-threshold")) {
            umbral = Palabra(p, 1).toInt();
        } else if (clase == QLatin1String("halt")) {
            cuentas.detenido = true;
            break;
        } else {
            ++cuentas.fallidos;
            fallo(inicio, QStringLiteral("unknown record type: '%1'").arg(clase));
            break;
        }
    }
    return cuentas;
}

}  // namespace kv::pruebas::corpus

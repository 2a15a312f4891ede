#include "db/Proveedor.h"

#include <cmath>

#include <QMutex>
#include <QMutexLocker>
#include <algorithm>

#include "db/Conexion.h"
#include "db/ProveedorOdbc.h"

namespace kv::db {

namespace {

std::string TextoErrores(const std::vector<ErrorBD>& errores) {
    if (errores.empty()) return "Error del proveedor de datos";
    const ErrorBD& e = errores.front();
    return QStringLiteral("%1 %2").arg(e.numero ? e.numero : e.errorNativo).arg(e.descripcion).toStdString();
}

// Key of a connection-string pair: trimmed, blanks inside folded to one, upper case.
QString NormalizarClave(const QString& clave) { return clave.simplified().toUpper(); }

// A value written between quotes or braces loses them ("a;b" keeps its semicolon).
QString LimpiarValor(const QString& valor) {
    const QString v = valor.trimmed();
    if (v.size() >= 2) {
        const QChar a = v.front(), z = v.back();
        if ((a == u'"' && z == u'"') || (a == u'\'' && z == u'\'')) {
            QString dentro = v.mid(1, v.size() - 2);
            dentro.replace(QString(2, a), QString(a));
            return dentro;
        }
        if (a == u'{' && z == u'}') return v.mid(1, v.size() - 2).replace(QStringLiteral("}}"), QStringLiteral("}"));
    }
    return v;
}

struct Registro {
    QMutex cerrojo;
    std::vector<std::shared_ptr<Proveedor>> proveedores;  // oldest first
};

Registro& ElRegistro() {
    static Registro registro;
    return registro;
}

}  // namespace

ErrorProveedor::ErrorProveedor(std::vector<ErrorBD> errores)
    : errores_(std::move(errores)), texto_(TextoErrores(errores_)) {}

ErrorProveedor::ErrorProveedor(ErrorBD error) : ErrorProveedor(std::vector<ErrorBD>{std::move(error)}) {}

std::vector<QPair<QString, QString>> ParametrosConexion::Pares(const QString& cadena) {
    std::vector<QPair<QString, QString>> pares;
    QString actual;
    QChar comilla;
    bool enLlave = false;
    auto cerrar = [&]() {
        if (!actual.trimmed().isEmpty()) {
            const qsizetype igual = actual.indexOf(u'=');
            if (igual < 0)
                pares.push_back({NormalizarClave(actual), QString()});
            else
                pares.push_back({NormalizarClave(actual.left(igual)), actual.mid(igual + 1)});
        }
        actual.clear();
    };
    for (qsizetype i = 0; i < cadena.size(); ++i) {
        const QChar c = cadena.at(i);
        if (enLlave) {
            actual += c;
            if (c == u'}') {
                if (i + 1 < cadena.size() && cadena.at(i + 1) == u'}') {
                    actual += cadena.at(++i);
                } else {
                    enLlave = false;
                }
            }
            continue;
        }
        if (!comilla.isNull()) {
            actual += c;
            if (c == comilla) comilla = QChar();
            continue;
        }
        if (c == u';') {
            cerrar();
            continue;
        }
        // Quotes and braces only open a value when they start it.
        if ((c == u'"' || c == u'\'' || c == u'{') && actual.contains(u'=') &&
            actual.mid(actual.indexOf(u'=') + 1).trimmed().isEmpty()) {
            if (c == u'{')
                enLlave = true;
            else
                comilla = c;
        }
        actual += c;
    }
    cerrar();
    return pares;
}

QString ValorCadenaConexion(const QString& valor) {
    const bool protegido = valor.contains(u';') || valor != valor.trimmed() || valor.startsWith(u'{') ||
                           valor.startsWith(u'"') || valor.startsWith(u'\'');
    if (!protegido) return valor;
    return u'{' + QString(valor).replace(QStringLiteral("}"), QStringLiteral("}}")) + u'}';
}

bool EsCadenaOracle(const QString& cadena) {
    const QString proveedor = ParametrosConexion::Analizar(cadena).Proveedor();
    return proveedor.startsWith(QLatin1String("OraOLEDB"), Qt::CaseInsensitive) ||
           proveedor.startsWith(QLatin1String("MSDAORA"), Qt::CaseInsensitive);
}

ParametrosConexion ParametrosConexion::Analizar(const QString& cadena) {
    ParametrosConexion p;
    p.cadena = cadena;
    // The first appearance of a keyword counts, as the ODBC driver manager reads it.
    for (const auto& [clave, valor] : Pares(cadena)) {
        if (clave.isEmpty() || p.valores.contains(clave)) continue;
        p.valores.insert(clave, LimpiarValor(valor));
    }
    return p;
}

QString ParametrosConexion::Valor(std::initializer_list<const char*> claves) const {
    for (const char* clave : claves) {
        const QString v = valores.value(QString::fromLatin1(clave));
        if (!v.isEmpty()) return v;
    }
    return QString();
}

void RegistrarProveedor(std::shared_ptr<Proveedor> proveedor) {
    if (!proveedor) return;
    Registro& r = ElRegistro();
    QMutexLocker bloqueo(&r.cerrojo);
    r.proveedores.push_back(std::move(proveedor));
}

void QuitarProveedor(const std::shared_ptr<Proveedor>& proveedor) {
    Registro& r = ElRegistro();
    QMutexLocker bloqueo(&r.cerrojo);
    r.proveedores.erase(std::remove(r.proveedores.begin(), r.proveedores.end(), proveedor), r.proveedores.end());
}

QString MensajeProveedorNoDisponible(const QString& proveedor) {
    return QStringLiteral("El proveedor \"%1\" no está disponible en esta plataforma.").arg(proveedor);
}

QString MensajeProveedorDesconocido(const QString& proveedor) {
    return QStringLiteral("No se encontró el proveedor \"%1\". Es posible que no esté instalado correctamente.")
        .arg(proveedor);
}

std::shared_ptr<Proveedor> ElegirProveedor(const ParametrosConexion& parametros) {
    {
        Registro& r = ElRegistro();
        QMutexLocker bloqueo(&r.cerrojo);
        for (auto it = r.proveedores.rbegin(); it != r.proveedores.rend(); ++it)
            if ((*it)->Atiende(parametros)) return *it;
    }
    const QString proveedor = parametros.Proveedor();
    const QString mayus = proveedor.toUpper();
    if (mayus.startsWith(QStringLiteral("MICROSOFT.JET.OLEDB"))) {
        ErrorBD e;
        e.numero = adoerr::ProveedorNoDisponible;
        e.descripcion = MensajeProveedorNoDisponible(proveedor);
        e.origen = QStringLiteral("ADODB.Connection");
        throw ErrorProveedor(e);
    }
    std::shared_ptr<Proveedor> odbc = ProveedorOdbcIntegrado();
    if (odbc->Atiende(parametros)) return odbc;
    ErrorBD e;
    e.numero = adoerr::ProveedorNoDisponible;
    e.descripcion = MensajeProveedorDesconocido(proveedor);
    e.origen = QStringLiteral("ADODB.Connection");
    throw ErrorProveedor(e);
}

QVariant ValorDecimal(const QString& digitos) {
    // Sign, the digits without leading zeros, and the count of decimals.
    const auto forma = [](const QString& t, int& decimales) {
        QString cifras;
        bool negativo = false;
        decimales = -1;
        for (QChar c : t.trimmed()) {
            if (c == QLatin1Char('-')) {
                negativo = true;
            } else if (c == QLatin1Char('.')) {
                decimales = 0;
            } else if (c.unicode() >= '0' && c.unicode() <= '9') {
                if (decimales >= 0) ++decimales;
                if (!cifras.isEmpty() || c != QLatin1Char('0')) cifras += c;
            } else if (c != QLatin1Char('+')) {
                return QString();
            }
        }
        if (decimales < 0) decimales = 0;
        if (cifras.isEmpty()) return QStringLiteral("0");
        return (negativo ? QStringLiteral("-") : QString()) + cifras;
    };
    int decimales = 0;
    const QString propia = forma(digitos, decimales);
    bool bien = false;
    const double d = digitos.trimmed().toDouble(&bien);
    if (propia.isEmpty() || !bien || !std::isfinite(d)) return QVariant();
    int otros = 0;
    const QString deReal = forma(QString::number(d, 'f', decimales), otros);
    if (deReal == propia || (propia == QLatin1String("0") && deReal == QLatin1String("-0"))) return QVariant(d);
    return QVariant(digitos.trimmed());
}

}  // namespace kv::db

#include "db/DB_Dll.h"

#include <QCoreApplication>
#include <QMetaType>
#include <cmath>
#include <cstdlib>

#include "db/DB_DllInterno.h"
#include "util/UtilGeneral.h"
#include "util/UtilRutas.h"

namespace kv::db {

namespace {

struct EstadoGlobal {
    std::unique_ptr<DB_Dll> principal;
    VentanaAcceso ventana;
    bool confidencialidad = false;
    QString nombreProceso;
    std::function<void()> terminar;
};

EstadoGlobal& Global() {
    static EstadoGlobal estado;
    return estado;
}

}  // namespace

DB_Dll::DB_Dll() = default;
DB_Dll::~DB_Dll() = default;

DB_Dll& DB_Dll::Principal() {
    auto& g = Global();
    if (!g.principal) {
        g.principal = std::make_unique<DB_Dll>();
        // The connection is closed while the application object still exists,
        // not during static destruction after the providers are gone.
        static bool rutinaFinal = false;
        if (!rutinaFinal && QCoreApplication::instance()) {
            qAddPostRoutine(&DB_Dll::DescartarPrincipal);
            rutinaFinal = true;
        }
    }
    return *g.principal;
}

void DB_Dll::DescartarPrincipal() { Global().principal.reset(); }

void DB_Dll::EstablecerVentanaAcceso(VentanaAcceso ventana) { Global().ventana = std::move(ventana); }

void DB_Dll::EstablecerConfidencialidad(bool activa) { Global().confidencialidad = activa; }

bool DB_Dll::Confidencialidad() { return Global().confidencialidad; }

void DB_Dll::EstablecerNombreProceso(const QString& nombre) { Global().nombreProceso = nombre; }

QString DB_Dll::NombreProceso() {
    if (!Global().nombreProceso.isEmpty()) return Global().nombreProceso;
    return UtilRutas::NombreEjecutable();
}

void DB_Dll::EstablecerTerminacion(std::function<void()> terminar) {
    Global().terminar = std::move(terminar);
}

QString DB_Dll::pSQLOLEDB() { return QStringLiteral("SQLOLEDB"); }
QString DB_Dll::pJETOLEDB40() { return QStringLiteral("Microsoft.Jet.OLEDB.4.0"); }
QString DB_Dll::pJETOLEDB35() { return QStringLiteral("Microsoft.Jet.OLEDB.3.51"); }

bool DB_Dll::PasoVentanaAcceso() {
    DatosAcceso datos;
    datos.base = gDBName;
    datos.servidor = gServidor;
    datos.usuario = gUsuario;
    datos.clave = gUserPassWord;
    datos.plataforma = 0;
    const VentanaAcceso& ventana = Global().ventana;
    const bool acepto = ventana ? ventana(datos) : false;
    if (!acepto) {
        gOpenFlag = false;
        return false;
    }
    gOpenFlag = true;
    gDBName = datos.base;
    gServidor = datos.servidor;
    gUsuario = datos.usuario;
    gUserPassWord = datos.clave;
    if (datos.plataforma > 0) {
        gProveedor = QStringLiteral("OraOLEDB.Oracle.1");
        if (!gServidor.contains(QLatin1Char('#'))) gServidor += QLatin1Char('#');
    } else {
        gProveedor = QStringLiteral("SQLOLEDB");
    }
    return true;
}

namespace interno {

void Terminar() {
    if (Global().terminar) {
        Global().terminar();
        return;
    }
    DB_Dll::DescartarPrincipal();
    // The program is closed because its database went away, not because its
    // work is done: whoever started it (a scheduled job, a script) must see a
    // failure, not a normal end.
    std::exit(kSalidaConexionPerdida);
}

double ValorInicial(const QString& texto) {
    // Blanks are skipped wherever they are, as the old numeric reader did ("1 2" is 12).
    QString limpio;
    limpio.reserve(texto.size());
    for (const QChar c : texto)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r') limpio.append(c);
    qsizetype i = 0;
    const qsizetype n = limpio.size();
    QString numero;
    if (i < n && (limpio[i] == u'-' || limpio[i] == u'+')) numero.append(limpio[i++]);
    bool digitos = false, punto = false;
    while (i < n) {
        const QChar c = limpio[i];
        if (c.isDigit() && c.unicode() < 128) {
            numero.append(c);
            digitos = true;
        } else if (c == u'.' && !punto) {
            numero.append(c);
            punto = true;
        } else {
            break;
        }
        ++i;
    }
    if (!digitos) return 0.0;
    if (i < n && (limpio[i] == u'e' || limpio[i] == u'E')) {
        qsizetype j = i + 1;
        QString exponente = QStringLiteral("e");
        if (j < n && (limpio[j] == u'-' || limpio[j] == u'+')) exponente.append(limpio[j++]);
        bool hay = false;
        while (j < n && limpio[j].isDigit() && limpio[j].unicode() < 128) {
            exponente.append(limpio[j++]);
            hay = true;
        }
        if (hay) numero += exponente;
    }
    bool ok = false;
    const double v = numero.toDouble(&ok);
    return ok ? v : 0.0;
}

bool EsNulo(const QVariant& valor) { return !valor.isValid() || valor.isNull(); }

double NumeroDe(const QVariant& valor) {
    if (EsNulo(valor)) return 0.0;
    switch (valor.typeId()) {
        case QMetaType::Bool:
            return valor.toBool() ? 1.0 : 0.0;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return valor.toDouble();
        default:
            return ValorInicial(valor.toString());
    }
}

QString TextoDecimal(double numero) {
    if (!std::isfinite(numero)) return QStringLiteral("0");
    if (numero == std::floor(numero) && std::fabs(numero) < 1e15)
        return QString::number(static_cast<qint64>(numero));
    QString texto = QString::number(numero, 'f', 10);
    while (texto.endsWith(u'0')) texto.chop(1);
    if (texto.endsWith(u'.')) texto.chop(1);
    if (texto == QStringLiteral("-0")) texto = QStringLiteral("0");
    return texto;
}

QVariant SinNulo(const QVariant& valor) { return EsNulo(valor) ? QVariant(QString()) : valor; }

int ContarPalabras(const QString& texto) { return UtilGeneral::ContarPalabras(texto); }

QString CarpetaAplicacion() { return UtilRutas::Carpeta(); }

}  // namespace interno

}  // namespace kv::db

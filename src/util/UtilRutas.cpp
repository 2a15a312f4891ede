#include "util/UtilRutas.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "util/UtilGeneral.h"

namespace kv::UtilRutas {

namespace {

QString& CarpetaEstablecida() {
    static QString carpeta;
    return carpeta;
}

QString RutaEjecutable() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

}  // namespace

QString Carpeta() {
    const QString& establecida = CarpetaEstablecida();
    return establecida.isEmpty() ? CarpetaPorDefecto() : establecida;
}

void Carpeta(const QString& carpeta) { EstablecerCarpeta(carpeta); }

void EstablecerCarpeta(const QString& carpeta) {
    CarpetaEstablecida() = UtilGeneral::NormalizarCarpeta(carpeta);
}

QString CarpetaPorDefecto() {
    const QString desdeEntorno = qEnvironmentVariable("KVESTV_CARPETA");
    if (!desdeEntorno.trimmed().isEmpty())
        return UtilGeneral::NormalizarCarpeta(QDir(desdeEntorno).absolutePath());
    return CarpetaEjecutable();
}

QString CarpetaEjecutable() {
    return UtilGeneral::NormalizarCarpeta(QFileInfo(RutaEjecutable()).absolutePath());
}

QString NombreEjecutable() { return QFileInfo(RutaEjecutable()).completeBaseName(); }

QString CarpetaConfiguracion() {
    return UtilGeneral::NormalizarCarpeta(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
        QLatin1String(kCarpetaPrograma));
}

}  // namespace kv::UtilRutas

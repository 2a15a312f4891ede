#include "soporte/CarpetasTemporales.h"

#include <QCoreApplication>
#include <QDir>

namespace kv::pruebas {

CarpetasTemporales::CarpetasTemporales()
    : anteriorCarpeta_(qgetenv("KVESTV_CARPETA")),
      anteriorDatos_(qgetenv("KVESTV_DATOS")),
      habiaCarpeta_(qEnvironmentVariableIsSet("KVESTV_CARPETA")),
      habiaDatos_(qEnvironmentVariableIsSet("KVESTV_DATOS")) {
    QDir(dir_.path()).mkpath("app");
    QDir(dir_.path()).mkpath("datos");
    qputenv("KVESTV_CARPETA", aplicacion().toUtf8());
    qputenv("KVESTV_DATOS", datos().toUtf8());
}

CarpetasTemporales::~CarpetasTemporales() {
    if (habiaCarpeta_) qputenv("KVESTV_CARPETA", anteriorCarpeta_); else qunsetenv("KVESTV_CARPETA");
    if (habiaDatos_) qputenv("KVESTV_DATOS", anteriorDatos_); else qunsetenv("KVESTV_DATOS");
}

QString CarpetasTemporales::raiz() const { return dir_.path() + "/"; }
QString CarpetasTemporales::aplicacion() const { return dir_.path() + "/app/"; }
QString CarpetasTemporales::datos() const { return dir_.path() + "/datos/"; }

QString CarpetaBinarios() {
    const QString desdeEntorno = qEnvironmentVariable("KVESTV_PRUEBAS_BIN");
    if (!desdeEntorno.isEmpty()) return QDir(desdeEntorno).absolutePath() + "/";
    return QDir(QCoreApplication::applicationDirPath()).absolutePath() + "/";
}

}  // namespace kv::pruebas

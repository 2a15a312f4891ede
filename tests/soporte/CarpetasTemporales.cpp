#include "soporte/CarpetasTemporales.h"

#include <QCoreApplication>
#include <QDir>

namespace kv::pruebas {

CarpetasTemporales::CarpetasTemporales() {
    QDir(dir_.path()).mkpath("app");
    QDir(dir_.path()).mkpath("datos");
    const QByteArray raizSinBarra = dir_.path().toUtf8();
    const std::pair<const char*, QByteArray> valores[] = {
        {"KVESTV_CARPETA", aplicacion().toUtf8()},
        {"KVESTV_DATOS", datos().toUtf8()},
        {"TEMP", raizSinBarra},
        {"TMP", raizSinBarra},
        {"TMPDIR", raizSinBarra},
    };
    for (const auto& [nombre, valor] : valores) {
        anteriores_.push_back({nombre, qEnvironmentVariableIsSet(nombre), qgetenv(nombre)});
        qputenv(nombre, valor);
    }
}

CarpetasTemporales::~CarpetasTemporales() {
    for (auto it = anteriores_.rbegin(); it != anteriores_.rend(); ++it) {
        if (it->habia)
            qputenv(it->nombre, it->valor);
        else
            qunsetenv(it->nombre);
    }
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

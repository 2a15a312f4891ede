#include "util/UtilSistema.h"

#include <pwd.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#include "util/Interaccion.h"
#include "util/UtilGeneral.h"

namespace kv::UtilSistema {

QString NombreMaquina() { return QSysInfo::machineHostName(); }

QString NombreUsuario() {
    QString usuario = qEnvironmentVariable("USER");
    if (usuario.isEmpty()) usuario = qEnvironmentVariable("LOGNAME");
    if (usuario.isEmpty()) {
        if (const passwd* cuenta = getpwuid(geteuid())) usuario = QString::fromLocal8Bit(cuenta->pw_name);
    }
    return usuario;
}

QString CarpetaTemporal() {
    const QStringList candidatas = {
        QDir::tempPath(), QStandardPaths::writableLocation(QStandardPaths::CacheLocation), QDir::homePath()};
    for (const QString& carpeta : candidatas) {
        if (carpeta.isEmpty()) continue;
        QDir().mkpath(carpeta);
        const QFileInfo info(carpeta);
        if (info.isDir() && info.isWritable()) return UtilGeneral::NormalizarCarpeta(info.absoluteFilePath());
    }
    return UtilGeneral::NormalizarCarpeta(QDir::tempPath());
}

bool AbrirDocumento(QWidget*, const QString&, const QString& archivo, const QString& parametros,
                    const QString& carpeta, int) {
    return interaccion().AbrirDocumento(archivo, parametros, carpeta);
}

}  // namespace kv::UtilSistema

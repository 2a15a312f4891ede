#include "core/Utilidades.h"

#include <QDir>
#include <QSysInfo>

namespace kv::core {

QString NombreMaquina() { return QSysInfo::machineHostName(); }

QString NombreUsuario() {
    QString usuario = qEnvironmentVariable("USER");
    if (usuario.isEmpty()) usuario = qEnvironmentVariable("LOGNAME");
    return usuario;
}

QString LeerIni(const QString&, const QString&, const QString&, const QString& defecto) { return defecto; }

QString Codificar(const QString& texto) { return texto; }
QString Decodificar(const QString& texto) { return texto; }

QString NormalizarCarpeta(const QString& carpeta) {
    QString resultado = carpeta;
    if (!resultado.endsWith(QLatin1Char('/'))) resultado += QLatin1Char('/');
    return resultado;
}

QString AjustarTexto(const QString& texto, int ancho) { return texto.left(ancho); }

QString SinNulo(const QVariant& valor) {
    if (valor.isNull() || !valor.isValid()) return QString();
    return valor.toString();
}

QString CarpetaTemporalSistema() { return QDir::tempPath(); }

}  // namespace kv::core

#include "util/UtilIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "util/ArchivoAcotado.h"
#include "util/UtilGeneral.h"
#include "util/UtilRutas.h"

namespace kv::UtilIni {

namespace {

// The file of that name in the folder, its letter case ignored (an exact match first).
QString EnCarpeta(const QString& carpeta, const QString& nombre) {
    const QDir dir(carpeta);
    if (carpeta.isEmpty() || !dir.exists()) return QString();
    // Devices, FIFOs and broken links are found too, so that reading them says what is wrong.
    const QFileInfo exacto(dir.filePath(nombre));
    if (exacto.exists() || exacto.isSymLink()) return dir.filePath(nombre);
    const QStringList archivos = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& a : archivos)
        if (a.compare(nombre, Qt::CaseInsensitive) == 0) return dir.filePath(a);
    return QString();
}

// Profile files of the suite were written by Windows programs: UTF-8 when it is
// valid, otherwise the Western single-byte code page.
QString TextoDelArchivo(const QByteArray& bytes) {
    QByteArray contenido = bytes;
    if (contenido.startsWith("\xEF\xBB\xBF")) contenido.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString texto = utf8.decode(contenido);
    if (!utf8.hasError()) return texto;
    return QString::fromLatin1(contenido);
}

}  // namespace

QString LeerIniDeArchivo(const QString& ruta, const QString& seccion, const QString& clave,
                         const QString& defecto) {
    const QString seccionBuscada = seccion.trimmed();
    const QString claveBuscada = clave.trimmed();
    if (ruta.isEmpty() || seccionBuscada.isEmpty() || claveBuscada.isEmpty()) return defecto;
    const util::LecturaAcotada lectura = util::LeerArchivoAcotado(ruta);
    if (!lectura.leido) {
        util::AvisarArchivoIlegible(lectura, ruta, QStringLiteral("Se usan los valores por omisión."));
        return defecto;
    }
    const QString texto = TextoDelArchivo(lectura.datos);

    bool dentro = false, vista = false;
    for (QStringView linea : QStringView(texto).split(QLatin1Char('\n'))) {
        linea = linea.trimmed();
        if (linea.startsWith(QLatin1Char('['))) {
            if (dentro) break;  // only the first section of that name counts
            qsizetype fin = linea.indexOf(QLatin1Char(']'));
            if (fin < 0) fin = linea.size();
            dentro =
                !vista && linea.mid(1, fin - 1).trimmed().compare(seccionBuscada, Qt::CaseInsensitive) == 0;
            vista = vista || dentro;
            continue;
        }
        if (!dentro || linea.startsWith(QLatin1Char(';'))) continue;
        const qsizetype igual = linea.indexOf(QLatin1Char('='));
        if (igual < 0) continue;
        if (linea.left(igual).trimmed().compare(claveBuscada, Qt::CaseInsensitive) == 0)
            return linea.mid(igual + 1).trimmed().toString();
    }
    return defecto;
}

QStringList CarpetasDeBusqueda() {
    QStringList carpetas;
    const QString desdeEntorno = qEnvironmentVariable(kVariableIni);
    if (!desdeEntorno.trimmed().isEmpty()) {
        const QFileInfo info(desdeEntorno);
        carpetas << UtilGeneral::NormalizarCarpeta(info.isFile() ? info.absolutePath()
                                                                 : info.absoluteFilePath());
    }
    carpetas << UtilRutas::Carpeta() << UtilRutas::CarpetaConfiguracion();
    return carpetas;
}

QString BuscarArchivo(const QString& archivo) {
    const QString nombre = archivo.trimmed();
    if (nombre.isEmpty()) return QString();
    if (nombre.contains(QLatin1Char('/')) || nombre.contains(QLatin1Char('\\'))) {
        QString ruta = nombre;
        ruta.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QFileInfo info(ruta);
        return EnCarpeta(info.path(), info.fileName());
    }
    // The variable may name the INI file itself, under whatever name.
    const QFileInfo variable(qEnvironmentVariable(kVariableIni));
    if (!variable.filePath().isEmpty() && variable.isFile()) return variable.absoluteFilePath();
    for (const QString& carpeta : CarpetasDeBusqueda()) {
        const QString ruta = EnCarpeta(carpeta, nombre);
        if (!ruta.isEmpty()) return ruta;
    }
    return QString();
}

QString LeerIni(const QString& archivo, const QString& seccion, const QString& clave,
                const QString& defecto) {
    const QString ruta = BuscarArchivo(archivo);
    if (ruta.isEmpty()) return defecto;
    return LeerIniDeArchivo(ruta, seccion, clave, defecto);
}

}  // namespace kv::UtilIni

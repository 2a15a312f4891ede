#include "access/Lanzador.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "util/KvError.h"
#include "util/UtilGeneral.h"

namespace kv::access {

namespace {

constexpr qint32 kErrorAccesoArchivo = 75;
const QString kOrigen = QStringLiteral("Crear Acceso Directo");

QString& ProgramaFijado() {
    static QString programa;
    return programa;
}

}  // namespace

QString CarpetaEscritorio() {
    QString carpeta = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (carpeta.isEmpty()) carpeta = QDir::homePath() + QStringLiteral("/Desktop");
    return kv::UtilGeneral::NormalizarCarpeta(carpeta);
}

QString ProgramaDelLanzador() {
    if (!ProgramaFijado().isEmpty()) return ProgramaFijado();
    return QCoreApplication::applicationFilePath();
}

void EstablecerProgramaDelLanzador(const QString& programa) { ProgramaFijado() = programa; }

QString ArgumentoExec(const QString& argumento) {
    static const QString reservados = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool citar = argumento.isEmpty();
    for (const QChar c : argumento)
        if (reservados.contains(c)) citar = true;
    QString texto;
    if (!citar) {
        texto = argumento;
    } else {
        texto = QStringLiteral("\"");
        for (const QChar c : argumento) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') texto += u'\\';
            texto += c;
        }
        texto += u'"';
    }
    // "%" starts a field code in an Exec line.
    texto.replace(QLatin1String("%"), QLatin1String("%%"));
    return ValorEntrada(texto);
}

QString ValorEntrada(const QString& valor) {
    QString texto;
    for (const QChar c : valor) {
        if (c == u'\\')
            texto += QLatin1String("\\\\");
        else if (c == u'\n')
            texto += QLatin1String("\\n");
        else if (c == u'\r')
            texto += QLatin1String("\\r");
        else if (c == u'\t')
            texto += QLatin1String("\\t");
        else
            texto += c;
    }
    return texto;
}

QString ContenidoLanzador(const QString& programa, const QString& icono) {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Version=1.0\n"
               "Name=%1\n"
               "Comment=Estadísticas de ventas: abre la ventana de acceso con las conexiones registradas\n"
               "Exec=%2\n"
               "Icon=%3\n"
               "Terminal=false\n"
               "Categories=Office;\n")
        .arg(QString::fromUtf8(kNombreAccesoDirecto), ArgumentoExec(programa), ValorEntrada(icono));
}

QString CrearLanzador() {
    const QString carpeta = CarpetaEscritorio();
    const QString ruta = carpeta + QString::fromUtf8(kNombreAccesoDirecto) + QStringLiteral(".desktop");
    const QString programa = QFileInfo(ProgramaDelLanzador()).absoluteFilePath();
    const QString icono = QFileInfo(programa).absolutePath() + u'/' + QString::fromLatin1(kArchivoIcono);
    if (!QDir().mkpath(carpeta))
        throw KvExcepcion(kErrorAccesoArchivo, QStringLiteral("No se pudo crear la carpeta %1").arg(carpeta),
                          kOrigen);
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        throw KvExcepcion(kErrorAccesoArchivo,
                          QStringLiteral("No se pudo escribir %1: %2").arg(ruta, archivo.errorString()),
                          kOrigen);
    archivo.write(ContenidoLanzador(programa, icono).toUtf8());
    if (!archivo.commit())
        throw KvExcepcion(kErrorAccesoArchivo,
                          QStringLiteral("No se pudo escribir %1: %2").arg(ruta, archivo.errorString()),
                          kOrigen);
    // Desktops start only launchers their owner may execute.
    QFile::setPermissions(ruta, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return ruta;
}

}  // namespace kv::access

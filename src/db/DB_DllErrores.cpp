// The class's own error treatment: one message box, one log line, the answer.

#include <QDateTime>
#include <QFile>

#include "db/DB_Dll.h"
#include "db/DB_DllInterno.h"
#include "util/Interaccion.h"

namespace kv::db {

using namespace interno;

namespace {
const QString kNombreLog = QStringLiteral("KVERR.LOG");
const QString kColaTitulo = QStringLiteral(" Aviso al operador!!! - 5 ");
constexpr int kBotonesPorDefecto = estilo::AnularReintentarOmitir + estilo::Critico;  // 18
}  // namespace

QString DB_Dll::MensajeError(const KvError& error) {
    return QStringLiteral("Ha ocurrido el Siguiente Error (") + QString::number(error.numero).trimmed() +
           QStringLiteral(") ") + error.descripcion.trimmed();
}

QString DB_Dll::TituloError(const KvError& error, const std::optional<QString>& Rutina) {
    const QString parteRutina = Rutina ? QStringLiteral(" - ") + *Rutina : QString();
    return error.origen + parteRutina + kColaTitulo;
}

QString DB_Dll::PalabraRespuesta(int r) {
    switch (r) {
        case respuesta::Reintentar:
            return QStringLiteral("Reintentar");
        case respuesta::Omitir:
            return QStringLiteral("Ignorar");
        case respuesta::Anular:
            return QStringLiteral("Abortar");
        case respuesta::Cancelar:
            return QStringLiteral("Cancelar");
        case respuesta::Si:
            return QStringLiteral("Sí");
        case respuesta::No:
            return QStringLiteral("No");
        default:
            return QString();
    }
}

QString DB_Dll::LineaRegistro(const QDateTime& momento, const QString& parteRutina, const QString& mensaje,
                              const QString& palabra) {
    return momento.toString(QStringLiteral("MM-dd-yyyy")) + QStringLiteral(" ") +
           momento.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" Rutina: ") +
           parteRutina.trimmed() + QStringLiteral(" Mensaje ") + mensaje.trimmed() +
           QStringLiteral(" Respondió : ") + palabra;
}

QString DB_Dll::RutaArchivoErrores() const {
    if (!gLogErr.isEmpty()) return gLogErr;
    QString carpeta = CarpetaAplicacion();
    if (!carpeta.endsWith(QLatin1Char('/')) && !carpeta.endsWith(QLatin1Char('\\')))
        carpeta += QLatin1Char('/');
    return carpeta + kNombreLog;
}

int DB_Dll::TratamientoErrores(const KvError& CodErr, std::optional<int> Botones,
                               const std::optional<QString>& Rutina) {
    if (CodErr.numero == 0) return 0;
    QString ruta, mensaje, titulo;
    try {
        ruta = RutaArchivoErrores();
        mensaje = MensajeError(CodErr);
        titulo = TituloError(CodErr, Rutina);
    } catch (...) {
    }
    int r = 0;
    try {
        r = kv::interaccion().Mensaje(mensaje, Botones.value_or(kBotonesPorDefecto), titulo);
    } catch (...) {
    }
    try {
        const QString parteRutina = Rutina ? QStringLiteral(" - ") + *Rutina : QString();
        const QString linea =
            LineaRegistro(QDateTime::currentDateTime(), parteRutina, mensaje, PalabraRespuesta(r)) +
            QStringLiteral("\r\n");
        QFile archivo(ruta);
        // A log that cannot be written simply gets no line; the answer still counts.
        if (archivo.open(QIODevice::WriteOnly | QIODevice::Append)) {
            archivo.write(linea.toUtf8());
            archivo.close();
        }
    } catch (...) {
    }
    return r;
}

}  // namespace kv::db

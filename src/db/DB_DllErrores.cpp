// The class's own error treatment: one message box, one log line, the answer.

#include <QDateTime>
#include <QFile>

#include "db/DB_Dll.h"
#include "db/DB_DllInterno.h"
#include "util/AvisoError.h"
#include "util/Interaccion.h"

namespace kv::db {

using namespace interno;

namespace {
const QString kNombreLog = QStringLiteral("KVERR.LOG");
const QString kColaTitulo = QStringLiteral(" Aviso al operador!!! - 5 ");
constexpr int kBotonesPorDefecto = estilo::AnularReintentarOmitir + estilo::Critico;  // 18
}  // namespace

QString DB_Dll::MensajeError(const KvError& error) { return aviso::Mensaje(error); }

QString DB_Dll::TituloError(const KvError& error, const std::optional<QString>& Rutina) {
    return aviso::Titulo(error, Rutina, kColaTitulo);
}

QString DB_Dll::PalabraRespuesta(int r) { return aviso::PalabraRespuesta(r); }

QString DB_Dll::LineaRegistro(const QDateTime& momento, const QString& parteRutina, const QString& mensaje,
                              const QString& palabra) {
    return aviso::LineaLog(momento, parteRutina, mensaje, palabra);
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
        const QString linea = aviso::LineaLog(QDateTime::currentDateTime(), aviso::ParteRutina(Rutina),
                                              mensaje, aviso::PalabraRespuesta(r)) +
                              aviso::kFinLineaLog;
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

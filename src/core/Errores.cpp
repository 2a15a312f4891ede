#include "core/Errores.h"

#include <QDir>
#include <QFile>
#include <QTime>

#include "core/Sentencias.h"
#include "core/Utilidades.h"
#include "db/DB_Dll.h"
#include "util/AvisoError.h"
#include "util/Interaccion.h"

namespace kv::core {

namespace {
// An empty routine name leaves the routine part out.
std::optional<QString> RutinaNombrada(const QString& rutina) {
    return rutina.isEmpty() ? std::nullopt : std::optional<QString>(rutina);
}
}  // namespace

QString MensajeError(const KvError& error) { return aviso::Mensaje(error); }

QString TituloError(const KvError& error, const QString& rutina) {
    return aviso::Titulo(error, RutinaNombrada(rutina), QStringLiteral(" Aviso al operador!!! - 2 "));
}

QString PalabraRespuesta(int respuesta) { return aviso::PalabraRespuesta(respuesta); }

QString LineaLogError(const QDateTime& momento, const QString& rutina, const QString& mensaje,
                      int respuesta) {
    return aviso::LineaLog(momento, aviso::ParteRutina(RutinaNombrada(rutina)), mensaje,
                           aviso::PalabraRespuesta(respuesta)) +
           aviso::kFinLineaLog;
}

QString CarpetaLogErrores() {
    QString carpeta;
    for (const char* variable : {"TEMP", "TMP", "TMPDIR"}) {
        carpeta = qEnvironmentVariable(variable).trimmed();
        if (!carpeta.isEmpty()) break;
    }
    if (carpeta.isEmpty()) carpeta = CarpetaTemporalSistema().trimmed();
    carpeta = NormalizarCarpeta(carpeta);
    carpeta = QDir::toNativeSeparators(carpeta);
    const QChar separador = QDir::separator();
    while (carpeta.size() > 1 && carpeta.endsWith(separador) && carpeta.at(carpeta.size() - 2) == separador)
        carpeta.chop(1);
    if (!carpeta.endsWith(separador)) carpeta += separador;
    return carpeta;
}

QString RutaLogErrores() { return CarpetaLogErrores() + QString::fromLatin1(kArchivoLogErrores); }

namespace {
// Appends one line; a log that cannot be opened or written simply gets nothing.
void AnotarEnLog(QFile& archivo, const QString& linea) {
    if (!archivo.isOpen()) return;
    archivo.write(linea.toLocal8Bit());
    archivo.close();
}
}  // namespace

int GTratamientoErrores(const KvError& error, int botones, const QString& rutina) {
    try {
        QFile archivo(RutaLogErrores());
        // Opened before anything else, like the log always was: a call with
        // error number 0 still leaves the file created.
        (void)archivo.open(QIODevice::Append | QIODevice::WriteOnly);
        const QString mensaje = MensajeError(error);
        const QString titulo = TituloError(error, rutina);
        if (error.numero == 0) {
            archivo.close();
            return 0;
        }
        int respuesta = 0;
        try {
            respuesta = interaccion().Mensaje(mensaje, botones, titulo);
        } catch (...) {
            respuesta = 0;
        }
        try {
            AnotarEnLog(archivo, LineaLogError(QDateTime::currentDateTime(), rutina, mensaje, respuesta));
        } catch (...) {
        }
        return respuesta;
    } catch (...) {
        return 0;
    }
}

ManejadorError ManejadorRutina(const QString& rutina) {
    return [rutina](const KvError& error) { return GTratamientoErrores(error, kBotonesError, rutina); };
}

void GRegistrarErrorSQL(const QString& sql, qint32 errorNativo, const QString& textoError,
                        kv::db::DB_Dll* base) {
    try {
        kv::db::DB_Dll& destino = base ? *base : kv::db::DB_Dll::Principal();
        kv::db::Recordset rs;
        QString sentencia = QStringLiteral("select  top 1 * from AUX_ERR  with(nolock) ");
        // Minutes only, as the record always kept them; the date goes as a
        // date value so no server reads day and month the wrong way round.
        QDateTime momento = QDateTime::currentDateTime();
        momento.setTime(QTime(momento.time().hour(), momento.time().minute()));
        const std::vector<PasoAtrapado> pasos = {
            [&] { destino.AbrirRecordset(sentencia, rs, nullptr, 2, 3); },
            [&] { rs.AddNew(); },
            [&] { rs.Asignar(QStringLiteral("Proceso"), kv::db::DB_Dll::NombreProceso()); },
            [&] { rs.Asignar(QStringLiteral("Fecha"), momento); },
            [&] { rs.Asignar(QStringLiteral("Error"), errorNativo); },
            [&] { rs.Asignar(QStringLiteral("Descripcion"), AjustarTexto(textoError, 250)); },
            [&] { rs.Asignar(QStringLiteral("SQL"), sql); },
            [&] { rs.Asignar(QStringLiteral("pc"), NombreMaquina()); },
            [&] { rs.Asignar(QStringLiteral("Usuario"), destino.gUsuario); },
            [&] { rs.Update(); },
        };
        // Each field that cannot be written (a column an older AUX_ERR lacks, a value
        // it refuses) is left out and the rest of the row is still recorded.
        EjecutarPasos(pasos, [](const KvError&) { return respuesta::Omitir; });
        try {
            if (rs.State() != 0) rs.Close();
        } catch (...) {
        }
    } catch (...) {
    }
}

void GActualizarDatoScript(const QStringList& sentencias, ResultadoScript& resultado,
                           bool toleraClaveDuplicada, bool toleraRestriccion, bool mostrarMensaje,
                           kv::db::DB_Dll* base) {
    kv::db::DB_Dll& destino = base ? *base : kv::db::DB_Dll::Principal();
    const QString CR = QStringLiteral("\r");
    resultado.huboError = false;
    QString script;
    for (const QString& sentencia : sentencias) {
        if (!sentencia.trimmed().isEmpty()) script += CR + sentencia;
    }
    if (script.isEmpty()) return;
    script = QStringLiteral("BEGIN TRANSACTION ") + CR + CR + script + CR;
    resultado.script = script;
    const QString copia = script;
    qint32 primerNativo = 0;
    QString textoColectado;

    const std::vector<PasoAtrapado> pasos = {
        [&] {
            QString enviado = script;
            qint32 afectados = 0;
            destino.gCnn.Errors().Clear();
            try {
                destino.EjecutaConsultaSQL(enviado, afectados);
            } catch (...) {
                // Server errors are read from the connection's collection below.
            }
        },
        [&] {
            kv::db::ErroresADO& errores = destino.gCnn.Errors();
            if (errores.Count() == 0) return;
            primerNativo = errores.Item(0).errorNativo;
            resultado.huboError = true;
            textoColectado.clear();
            const QString CRLF = QStringLiteral("\r\n");
            if (errores.Count() == 1) {
                textoColectado += QString::number(errores.Item(0).errorNativo) + QStringLiteral(" : ") +
                                  errores.Item(0).descripcion + CRLF;
                resultado.textoError = textoColectado;
            } else {
                // The last message is the server's closing one ("the statement has been terminated").
                for (int k = 0; k <= errores.Count() - 2; ++k) {
                    textoColectado += QString::number(errores.Item(k).errorNativo) + QStringLiteral(" : ") +
                                      errores.Item(k).descripcion + CRLF;
                    resultado.textoError = textoColectado;
                }
            }
            if ((toleraClaveDuplicada && primerNativo == 2627) ||
                (toleraRestriccion && primerNativo == 547)) {
                resultado.textoError = errores.Item(0).descripcion;
                textoColectado.clear();
            }
            errores.Clear();
        },
        [&] {
            if (resultado.huboError) {
                try {
                    QString deshacer = QStringLiteral("ROLLBACK TRANSACTION");
                    qint32 afectados = 0;
                    destino.EjecutaConsultaSQL(deshacer, afectados);
                    destino.gCnn.Errors().Clear();
                } catch (...) {
                }
                GRegistrarErrorSQL(copia, primerNativo, textoColectado, &destino);
                if (!textoColectado.trimmed().isEmpty() && mostrarMensaje)
                    interaccion().Mensaje(textoColectado, 16, QString::fromLatin1(kTituloAvisoScript));
            } else {
                // A failed commit is reported, not passed over.
                destino.gCnn.Execute(QStringLiteral("COMMIT TRANSACTION"));
            }
        },
        [&] { resultado.errorNativo = primerNativo; },
    };
    EjecutarPasos(pasos, ManejadorRutina(QStringLiteral("GActualizarDatoScript")));
}

}  // namespace kv::core

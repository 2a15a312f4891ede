#pragma once
// The central error routine, the record of failed SQL scripts and the
// transaction runner of the application core.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "util/KvError.h"

namespace kv::db {
class DB_Dll;
}

namespace kv::core {

// Source given to errors raised by the program's own code.
inline constexpr const char* kOrigenPrograma = "KV_ESTV";
// Default buttons of the error routine: Abort/Retry/Ignore with the critical-stop icon.
inline constexpr int kBotonesError = 18;
inline constexpr const char* kArchivoLogErrores = "KVERR.LOG";
inline constexpr const char* kTituloAvisoScript = "Aviso al Operador!";

// Texts of the error routine.
QString MensajeError(const KvError& error);
QString TituloError(const KvError& error, const QString& rutina);
QString PalabraRespuesta(int respuesta);
// One line of KVERR.LOG, CR LF included.
QString LineaLogError(const QDateTime& momento, const QString& rutina, const QString& mensaje, int respuesta);

// Folder of KVERR.LOG: TEMP, else TMP, else TMPDIR, else the system's temporary
// folder; it always ends in one separator.
QString CarpetaLogErrores();
QString RutaLogErrores();

// Shows the error, appends one line to KVERR.LOG and returns the operator's
// answer (0 for error number 0: nothing shown, nothing logged). Never throws.
int GTratamientoErrores(const KvError& error, int botones = kBotonesError, const QString& rutina = QString());

// Handler for EjecutarPasos that reports through GTratamientoErrores under `rutina`.
ManejadorError ManejadorRutina(const QString& rutina);

// Appends one AUX_ERR row on `base` (the main database object when null). Never throws.
void GRegistrarErrorSQL(const QString& sql, qint32 errorNativo, const QString& textoError,
                        kv::db::DB_Dll* base = nullptr);

// Results of GActualizarDatoScript.
struct ResultadoScript {
    bool huboError = false;
    qint32 errorNativo = 0;  // untouched when nothing ran or the operator gave up
    QString script;
    QString textoError;
};

// Runs `sentencias` (blank entries skipped) as one transaction on `base` (the
// main database object when null); on a server error rolls back, records the
// script in AUX_ERR and, with `mostrarMensaje`, shows the server's messages.
void GActualizarDatoScript(const QStringList& sentencias, ResultadoScript& resultado,
                           bool toleraClaveDuplicada, bool toleraRestriccion, bool mostrarMensaje,
                           kv::db::DB_Dll* base = nullptr);

}  // namespace kv::core

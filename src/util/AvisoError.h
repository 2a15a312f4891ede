#pragma once
// The texts of the error routines: the operator's message, the title, the word
// for the answer and the line appended to the error log. The application's
// central routine and the database class's own routine show and log errors the
// same way, so both build their texts here; they differ only in the title's
// fixed tail and in where the log file lives.

#include <QDateTime>
#include <QString>
#include <optional>

#include "util/KvError.h"

namespace kv::aviso {

// "Ha ocurrido el Siguiente Error (" + number + ") " + trimmed description.
QString Mensaje(const KvError& error);

// " - " + routine when a routine was named, else empty.
QString ParteRutina(const std::optional<QString>& rutina);

// The error's source, the routine part and the caller's fixed tail.
QString Titulo(const KvError& error, const std::optional<QString>& rutina, const QString& cola);

// The word the log keeps for an answer: 4 "Reintentar", 5 "Ignorar", 3 "Abortar",
// 2 "Cancelar", 6 "Sí", 7 "No"; anything else (OK among them) an empty word.
QString PalabraRespuesta(int respuesta);

// One log line without its end: date, time, " Rutina: ", the trimmed routine
// part, " Mensaje ", the trimmed message, " Respondió : ", the answer word.
QString LineaLog(const QDateTime& momento, const QString& parteRutina, const QString& mensaje,
                 const QString& palabra);

// What ends each line of the log.
inline const QString kFinLineaLog = QStringLiteral("\r\n");

}  // namespace kv::aviso

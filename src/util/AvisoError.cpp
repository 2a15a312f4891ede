#include "util/AvisoError.h"

#include "util/KvError.h"

namespace kv::aviso {

QString Mensaje(const KvError& error) {
    return QStringLiteral("Ha ocurrido el Siguiente Error (") + QString::number(error.numero).trimmed() +
           QStringLiteral(") ") + error.descripcion.trimmed();
}

QString ParteRutina(const std::optional<QString>& rutina) {
    return rutina ? QStringLiteral(" - ") + *rutina : QString();
}

QString Titulo(const KvError& error, const std::optional<QString>& rutina, const QString& cola) {
    return error.origen + ParteRutina(rutina) + cola;
}

QString PalabraRespuesta(int respuesta) {
    struct Palabra {
        int respuesta;
        const char16_t* texto;
    };
    static constexpr Palabra kPalabras[] = {
        {respuesta::Reintentar, u"Reintentar"},
        {respuesta::Omitir, u"Ignorar"},
        {respuesta::Anular, u"Abortar"},
        {respuesta::Cancelar, u"Cancelar"},
        {respuesta::Si, u"Sí"},
        {respuesta::No, u"No"},
    };
    for (const Palabra& p : kPalabras)
        if (p.respuesta == respuesta) return QString::fromUtf16(p.texto);
    return QString();
}

QString LineaLog(const QDateTime& momento, const QString& parteRutina, const QString& mensaje,
                 const QString& palabra) {
    return momento.toString(QStringLiteral("MM-dd-yyyy")) + QStringLiteral(" ") +
           momento.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" Rutina: ") +
           parteRutina.trimmed() + QStringLiteral(" Mensaje ") + mensaje.trimmed() +
           QStringLiteral(" Respondió : ") + palabra;
}

}  // namespace kv::aviso

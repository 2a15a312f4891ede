#include "util/KvError.h"

namespace kv {

KvExcepcion::KvExcepcion(KvError error)
    : error_(std::move(error)),
      texto_(QStringLiteral("%1 %2").arg(error_.numero).arg(error_.descripcion).toStdString()) {}

KvExcepcion::KvExcepcion(qint32 numero, const QString& descripcion, const QString& origen)
    : KvExcepcion(KvError{numero, descripcion, origen}) {}

bool EjecutarPasos(const std::vector<PasoAtrapado>& pasos, const ManejadorError& manejador) {
    for (size_t i = 0; i < pasos.size();) {
        KvError error;
        try {
            pasos[i]();
            ++i;
            continue;
        } catch (const KvExcepcion& e) {
            error = e.error();
        } catch (const std::exception& e) {
            error = KvError{-1, QString::fromLocal8Bit(e.what()), QString()};
        }
        const int respuesta = manejador(error);
        if (respuesta == respuesta::Reintentar) continue;
        if (respuesta == respuesta::Omitir) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

bool EjecutarPasos(std::initializer_list<PasoAtrapado> pasos, const ManejadorError& manejador) {
    return EjecutarPasos(std::vector<PasoAtrapado>(pasos), manejador);
}

}  // namespace kv

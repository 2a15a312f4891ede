#include "core/Arranque.h"

namespace kv::core {

bool HayPantalla() {
    if (qEnvironmentVariable("QT_QPA_PLATFORM")
            .trimmed()
            .compare(QLatin1String("offscreen"), Qt::CaseInsensitive) == 0)
        return false;
    return !qEnvironmentVariable("DISPLAY").trimmed().isEmpty() ||
           !qEnvironmentVariable("WAYLAND_DISPLAY").trimmed().isEmpty();
}

QString MensajeSinPantalla(const QString& servidor, const QString& base, const QString& usuario) {
    return QStringLiteral(
               "KV_ESTV: conexión abierta con la base %1 del servidor %2 como %3.\n"
               "No hay pantalla: para ver las estadísticas ejecute kv_estv en una sesión gráfica, "
               "o kv_estv --informe \"NOMBRE\" seguido de la misma conexión para imprimir una "
               "estadística.\n")
        .arg(base, servidor, usuario);
}

}  // namespace kv::core

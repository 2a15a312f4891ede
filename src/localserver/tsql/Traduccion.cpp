#include "localserver/tsql/Traduccion.h"

#include "localserver/tsql/Plan.h"

namespace kv::local {

ErrorTSQL::ErrorTSQL(int numero, QString mensaje, int linea)
    : numero_(numero), mensaje_(std::move(mensaje)), linea_(linea) {
    texto_ = (QString::number(numero_) + QLatin1String(": ") + mensaje_).toStdString();
}

std::vector<Sentencia> TraducirLote(const QString& lote, TiposColumnas* tipos) {
    std::vector<Sentencia> salida;
    for (PlanSentencia& plan : PlanificarLote(lote, tipos)) salida.push_back(std::move(plan.sentencia));
    return salida;
}

}  // namespace kv::local

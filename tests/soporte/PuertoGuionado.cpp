#include "soporte/PuertoGuionado.h"

#include <gtest/gtest.h>

namespace kv::pruebas {

PuertoGuionado::PuertoGuionado() {
    auto nuevo = std::make_unique<InteraccionGuionada>();
    puerto_ = nuevo.get();
    anterior_ = EstablecerInteraccion(std::move(nuevo));
}

PuertoGuionado::~PuertoGuionado() {
    if (!permitirInesperados_ && puerto_->HuboInesperados())
        ADD_FAILURE() << "Diálogos no previstos por la prueba:\n"
                      << puerto_->Inesperados().join(QLatin1Char('\n')).toStdString();
    if (!permitirPendientes_ && !puerto_->Pendientes().isEmpty())
        ADD_FAILURE() << "Respuestas preparadas que nadie pidió:\n"
                      << puerto_->Pendientes().join(QLatin1Char('\n')).toStdString();
    EstablecerInteraccion(std::move(anterior_));
}

}  // namespace kv::pruebas

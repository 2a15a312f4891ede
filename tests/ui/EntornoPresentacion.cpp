#include "EntornoPresentacion.h"

#include <gtest/gtest.h>

#include "soporte/PuertoGuionado.h"
#include "stats/Reconstruccion.h"

namespace kv::pruebas {

namespace {
EntornoPresentacion* comun = nullptr;
}

EntornoPresentacion& EntornoPresentacion::Comun() {
    if (!comun) comun = new EntornoPresentacion();
    return *comun;
}

void EntornoPresentacion::Liberar() {
    delete comun;
    comun = nullptr;
}

EntornoPresentacion::EntornoPresentacion()
    : entorno_(std::make_unique<EntornoEstadisticas>(QStringList{"NORTE", "SUR"})) {
    const QDate hoy = QDate::currentDate();
    entorno_->LlenarDemo("NORTE", 0, 900, hoy);
    entorno_->LlenarDemo("SUR", 1, 500, hoy);
    entorno_->Almacen();
    entorno_->AgregarEmpresa("NORTE", false);
    entorno_->AgregarEmpresa("SUR", true);
    PuertoGuionado puerto;
    puerto.PermitirInesperados();
    kv::stats::Definicion d;
    d.grupos[static_cast<size_t>(kv::stats::IndiceCatalogo("IdVendedor"))] = true;
    d.grupos[static_cast<size_t>(kv::stats::IndiceCatalogo("IdRubro"))] = true;
    kv::stats::MarcarOrden(d.orden, 3, true);
    d.totales = {true, true, true, true, true, true};
    d.top = "4";
    kv::stats::EstadoDefinicion estado;
    estado.nombre = QStringLiteral("Vendedores y rubros");
    estado.modo = kv::stats::ModoGrabacion::Nuevo;
    kv::db::DB_Dll empresa;
    const bool grabada =
        kv::stats::GrabarEstadistica(entorno_->Almacen(), d, estado, [&](const QString& tabla) {
            kv::stats::ReconstruirEstadistica(entorno_->Almacen(), tabla, empresa);
        });
    if (!grabada) throw std::runtime_error("no se pudo grabar la estadística de prueba");
    tabla_ = estado.tabla;
}

kv::stats::EntradaCarga EntornoPresentacion::Entrada() const {
    kv::stats::EntradaCarga e;
    e.tabla = tabla_;
    e.titulos = {QStringLiteral("Vendedor"), QStringLiteral("Rubro"), QStringLiteral("Grupo3")};
    e.top = "4";
    e.topOtros = "Otros";
    e.empresas = {"NORTE", "SUR"};
    e.orden[3] = {true, "1"};  // Valor Venta descending: the biggest sales first
    e.ascendente = false;
    e.totales = {true, true, true, true, true, true};
    e.decimales = 2;
    return e;
}

std::shared_ptr<const kv::ui::DatosGrilla> EntornoPresentacion::Cargar(const kv::stats::EntradaCarga& entrada,
                                                                       kv::stats::ModeloGrafico& grafico) {
    PuertoGuionado puerto;
    puerto.PermitirInesperados();
    kv::db::Recordset grilla;
    const auto resultado = kv::stats::CargarEstadistica(entorno_->Almacen(), entrada, grafico, grilla);
    auto datos = kv::ui::DatosGrilla::DesdeRecordset(grilla, resultado.vistas, entrada.decimales);
    if (grilla.State() != 0) entorno_->Almacen().CierraRecordset(grilla);
    return datos;
}

}  // namespace kv::pruebas

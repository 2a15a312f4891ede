// The rebuild call: one connection per company of MA_EMPRESAS, in table order,
// a company that cannot be opened is skipped after the connection question.
#include <gtest/gtest.h>

#include "EntornoEstadisticas.h"
#include "db/Recordset.h"
#include "soporte/PuertoGuionado.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Reconstruccion.h"

using namespace kv::stats;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;

TEST(Reconstruccion, EmpresaInaccesibleSeSaltaYLasDemasSeReconstruyen) {
    EntornoEstadisticas e({"NORTE", "SUR"});
    const QDate hoy = QDate::currentDate();
    e.LlenarDemo("NORTE", 0, 300, hoy);
    e.LlenarDemo("SUR", 1, 300, hoy);
    kv::db::DB_Dll& almacen = e.Almacen();
    e.AgregarEmpresa("NORTE", false);
    e.AgregarEmpresa("OESTE", false);  // listed, but no such database
    e.AgregarEmpresa("SUR", true);

    Definicion d;
    d.grupos[static_cast<size_t>(IndiceCatalogo("IdVendedor"))] = true;
    EstadoDefinicion estado;
    estado.nombre = "Vendedores";
    estado.modo = ModoGrabacion::Nuevo;
    ASSERT_TRUE(GrabarEstadistica(almacen, d, estado, [](const QString&) {}));

    PuertoGuionado puerto;
    puerto.PermitirInesperados();
    puerto->ResponderMensaje(kv::respuesta::No);
    kv::db::DB_Dll empresa;
    ReconstruirEstadistica(almacen, estado.tabla, empresa);

    const auto progresos = puerto->Llamadas(kv::InteraccionGuionada::Tipo::ProgresoActualizar);
    QStringList nombres;
    for (const auto& p : progresos) nombres << p.progreso;
    EXPECT_EQ(nombres, (QStringList{"", "NORTE", "OESTE", "SUR"}));
    for (const auto& p : progresos) EXPECT_EQ(p.titulo, QString::fromUtf8("Actualizando Estadísticas"));
    ASSERT_GE(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].titulo, " Error de Conexion a Base de Datos");
    EXPECT_GT(
        e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM " + estado.tabla + " WHERE Base = 'NORTE'").toInt(),
        0);
    EXPECT_GT(
        e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM " + estado.tabla + " WHERE Base = 'SUR'").toInt(),
        0);
    // The last company's connection stays open, with the rebuild's time-out.
    EXPECT_EQ(empresa.gCnn.State(), kv::db::ado::Abierto);
    EXPECT_EQ(empresa.gDBName, "SUR");
    EXPECT_EQ(empresa.gCnn.CommandTimeout(), 720);
    EXPECT_FALSE(puerto->ProgresoAbierto());
}

TEST(Reconstruccion, SinEmpresasNoMuestraNada) {
    EntornoEstadisticas e;
    kv::db::DB_Dll& almacen = e.Almacen();
    PuertoGuionado puerto;
    kv::db::DB_Dll empresa;
    ReconstruirEstadistica(almacen, "DET_ESTV0000", empresa);
    EXPECT_TRUE(puerto->Llamadas().isEmpty());
    EXPECT_EQ(empresa.gCnn.State(), kv::db::ado::Cerrado);
}

// A load on the embedded server: chart rows with TOP and remainder, the grid
// recordset, the progress window and its cancel, the messages.
#include <gtest/gtest.h>

#include "EntornoEstadisticas.h"
#include "db/Recordset.h"
#include "soporte/PuertoGuionado.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"
#include "stats/Exportacion.h"

using namespace kv::stats;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;

namespace {

// A statistic by article whose table holds eight articles in two companies
// and three months; sales and cost stored negative, as stock movements.
class CargaPrueba : public ::testing::Test {
  protected:
    void SetUp() override {
        entorno_ = std::make_unique<EntornoEstadisticas>();
        PuertoGuionado puerto;
        Definicion d;
        d.grupos[static_cast<size_t>(IndiceCatalogo("IdArticulo"))] = true;
        EstadoDefinicion estado;
        estado.nombre = "Articulos";
        estado.modo = ModoGrabacion::Nuevo;
        ASSERT_TRUE(GrabarEstadistica(entorno_->Almacen(), d, estado, [](const QString&) {}));
        tabla_ = estado.tabla;
        // Article An sells n*10 in NORTE in 1/2024 (cost n*6); B, C ... H less.
        const char* articulos[] = {"A01", "A02", "A03", "A04", "A05", "A06", "A07", "A08"};
        for (int i = 0; i < 8; ++i) {
            const double venta = (8 - i) * 10.0;
            const double costo = i == 6 ? 0.0 : (8 - i) * 6.0;
            Insertar("NORTE", "1/2024", articulos[i], -(8 - i), -costo, -venta);
            Insertar("SUR", "1/2024", articulos[i], -1, -1, -2);
            Insertar("NORTE", "6/2023", articulos[i], -100, -100, -100);  // outside the months loaded
        }
        Insertar("NORTE", "2/2024", "A08", -1, -0.125, -0.5);
    }

    void Insertar(const QString& base, const QString& mes, const QString& g1, double c, double k, double v) {
        entorno_->Ejecutar(
            "KV_ESTADISTICAS",
            QStringLiteral("INSERT INTO %1 (Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, "
                           "ValorVenta) VALUES ('%2','%3','%4',' ',' ',%5,%6,%7)")
                .arg(tabla_, base, mes, g1)
                .arg(c)
                .arg(k)
                .arg(v));
    }

    EntradaCarga Entrada() const {
        EntradaCarga e;
        e.tabla = tabla_;
        e.titulos = {QString::fromUtf8("Artículo"), "Grupo2", "Grupo3"};
        e.top = "5";
        e.topOtros = "Otros";
        e.empresas = {"NORTE"};
        e.mesDesde = "1/2024";
        e.mesHasta = "3/2024";
        e.orden[3] = {true, "1"};  // Valor Venta descending: the biggest sales first
        e.ascendente = false;
        e.totales = {true, true, true, true, true, true};
        e.decimales = 2;
        return e;
    }

    std::unique_ptr<EntornoEstadisticas> entorno_;
    QString tabla_;
};

}  // namespace

TEST_F(CargaPrueba, Top5ConRestoYGrilla) {
    PuertoGuionado puerto;
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    const auto r = CargarEstadistica(entorno_->Almacen(), Entrada(), modelo, grilla);
    ASSERT_FALSE(r.rechazada);
    EXPECT_FALSE(r.sinDatos);
    EXPECT_FALSE(r.cancelada);
    ASSERT_EQ(modelo.Filas(), 6);
    EXPECT_EQ(modelo.etiquetas, (QStringList{"A01   ", "A02   ", "A03   ", "A04   ", "A05   ", "Otros"}));
    EXPECT_DOUBLE_EQ(modelo.valores[0][0], 8);
    EXPECT_DOUBLE_EQ(modelo.valores[0][1], 48);
    EXPECT_DOUBLE_EQ(modelo.valores[0][2], 80);
    EXPECT_DOUBLE_EQ(modelo.valores[0][3], Redondear(32.0 / 48 * 100, 2));
    EXPECT_DOUBLE_EQ(modelo.valores[0][4], 40);
    EXPECT_DOUBLE_EQ(modelo.valores[0][5], 32);
    // Remainder: A06 (30/18), A07 (20/0), A08 (10/6 plus 0.5/0.125 in 2/2024).
    EXPECT_DOUBLE_EQ(modelo.valores[5][0], 3 + 2 + 1 + 1);
    EXPECT_DOUBLE_EQ(modelo.valores[5][1], 18 + 0 + 6.13);
    EXPECT_DOUBLE_EQ(modelo.valores[5][2], 30 + 20 + 10.5);
    EXPECT_DOUBLE_EQ(modelo.valores[5][3], Redondear((60.5 - 24.13) / 24.13 * 100, 2));
    EXPECT_DOUBLE_EQ(modelo.valores[5][4], Redondear((60.5 - 24.13) / 60.5 * 100, 2));
    EXPECT_DOUBLE_EQ(modelo.valores[5][5], 12 + 20 + 4.38);  // 10.5 - 6.125 rounds to 4.38

    // Progress window: its texts, and closed at the end.
    const auto llamadas = puerto->Llamadas(kv::InteraccionGuionada::Tipo::ProgresoIniciar);
    ASSERT_EQ(llamadas.size(), 1);
    EXPECT_EQ(llamadas[0].titulo, QString::fromUtf8("Creando gráfico"));
    EXPECT_EQ(llamadas[0].estilo, 1);
    const auto actualizaciones = puerto->Llamadas(kv::InteraccionGuionada::Tipo::ProgresoActualizar);
    ASSERT_FALSE(actualizaciones.isEmpty());
    EXPECT_EQ(actualizaciones[0].titulo, QString::fromUtf8("Creando Gráfico"));
    EXPECT_EQ(actualizaciones[0].mensaje, "Espere por favor");
    EXPECT_EQ(actualizaciones[0].progreso, "|");
    EXPECT_FALSE(puerto->ProgresoAbierto());

    // Grid: every group per company, signs inverted, ordered by the groups.
    ASSERT_EQ(grilla.State(), kv::db::ado::Abierto);
    const auto filas = FilasGrilla(grilla);
    ASSERT_EQ(filas.size(), 9u);
    EXPECT_EQ(filas[0],
              (QStringList{"BASE", QString::fromUtf8("Artículo"), "Grupo2", "Grupo3", "CONSUMO", "VALORCOSTO",
                           "VALORVENTA", "UTL_COSTOPorc", "UTL_VENTAPorc", "UTILIDAD"}));
    EXPECT_EQ(filas[1][0], "NORTE");
    EXPECT_EQ(filas[1][1], "A01");
    EXPECT_EQ(filas[1][6], "80");
    EXPECT_EQ(filas[7][1], "A07");
    EXPECT_EQ(filas[7][7], "100");  // cost 0
    EXPECT_EQ(LineaExportacion(filas[7]).count('\t'), 10);
    EXPECT_TRUE(LineaExportacion(filas[7]).startsWith("NORTE\tA07\t \t \t"));
    EXPECT_EQ(r.vistas.categorias, (std::array<QString, 3>{QString::fromUtf8("Artículo"), "", ""}));
}

TEST_F(CargaPrueba, DosEmpresasSumanYLaGrillaLasSepara) {
    PuertoGuionado puerto;
    EntradaCarga e = Entrada();
    e.empresas = {"NORTE", "SUR"};
    e.top = "10";
    e.totales = {true, false, true, false, false, false};
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
    ASSERT_EQ(modelo.Filas(), 8);
    EXPECT_EQ(modelo.columnas, (QStringList{"Consumo", "Valor Venta"}));
    EXPECT_DOUBLE_EQ(modelo.valores[0][0], 9);
    EXPECT_DOUBLE_EQ(modelo.valores[0][1], 82);
    EXPECT_EQ(FilasGrilla(grilla).size(), 17u);
}

TEST_F(CargaPrueba, SinEmpresaNoHayDatos) {
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    EntradaCarga e = Entrada();
    e.empresas.clear();
    ModeloGrafico modelo;
    modelo.Dimensionar(2, 1);
    modelo.valores[1][0] = 7;
    kv::db::Recordset grilla;
    const auto r = CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
    EXPECT_TRUE(r.sinDatos);
    EXPECT_FALSE(r.fallida);  // an answer without rows is no failure
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto, "No se encontraron datos!!!");
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Aviso al usuario");
    EXPECT_EQ(puerto->Mensajes()[0].estilo, kv::estilo::Informacion);
    EXPECT_DOUBLE_EQ(modelo.valores[1][0], 0);  // the chart keeps its zeroed cells
    EXPECT_EQ(grilla.State(), kv::db::ado::Abierto);
    EXPECT_EQ(FilasGrilla(grilla).size(), 1u);
}

TEST_F(CargaPrueba, CancelarDejaLoCargadoYSigue) {
    PuertoGuionado puerto;
    puerto->CancelarProgresoEn(1);
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    const auto r = CargarEstadistica(entorno_->Almacen(), Entrada(), modelo, grilla);
    EXPECT_TRUE(r.cancelada);
    EXPECT_EQ(modelo.Filas(), 6);
    EXPECT_DOUBLE_EQ(modelo.valores[0][0], 0);
    EXPECT_EQ(grilla.State(), kv::db::ado::Abierto);  // the grid is still loaded
    EXPECT_FALSE(puerto->ProgresoAbierto());
}

TEST_F(CargaPrueba, FiltrosMesesYOrdenPorPorcentaje) {
    PuertoGuionado puerto;
    EntradaCarga e = Entrada();
    e.mesDesde = "2/2024";
    e.mesHasta = "2/2024";
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
    ASSERT_EQ(modelo.Filas(), 1);
    EXPECT_EQ(modelo.etiquetas[0], "A08   ");

    e = Entrada();
    e.filtros[0].valores = "A02,a03";
    e.filtros[0].desde = "A03";
    CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
    ASSERT_EQ(modelo.Filas(), 1);
    EXPECT_EQ(modelo.etiquetas[0], "A03   ");

    // A group with cost 0 sorts by profit percentage without a division error.
    e = Entrada();
    e.orden = {};
    e.orden[4] = {true, "1"};
    e.ascendente = false;
    e.top = "1";
    CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
    ASSERT_EQ(modelo.Filas(), 2);
    EXPECT_EQ(modelo.etiquetas[0], "A07   ");
    EXPECT_DOUBLE_EQ(modelo.valores[0][3], 100);
    // The date criterion is left out of the grouped query.
    e.orden[0] = {true, "2"};
    const auto r = CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
    EXPECT_FALSE(r.abandonada);
    EXPECT_FALSE(r.consultaGrafico.contains("Convert(datetime"));
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST_F(CargaPrueba, MesesImposiblesNoCarganNada) {
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    EntradaCarga e = Entrada();
    e.mesDesde = "4/2024";
    e.mesHasta = "1/2024";
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    const auto r = CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
    EXPECT_TRUE(r.rechazada);
    EXPECT_EQ(grilla.State(), kv::db::ado::Cerrado);
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(
        puerto->Mensajes()[0].texto,
        QString::fromUtf8("El mes desde (4/2024) es posterior al mes hasta (1/2024): no se cargaron datos."));
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Aviso al usuario");
}

TEST_F(CargaPrueba, MuchosGruposNoActualizanElProgresoPorFila) {
    for (int lote = 0; lote < 10; ++lote) {
        QStringList valores;
        for (int i = 0; i < 500; ++i)
            valores << QStringLiteral("('NORTE','1/2024','Z%1',' ',' ',-1,-1,-2)")
                           .arg(lote * 500 + i, 5, 10, QLatin1Char('0'));
        entorno_->Ejecutar(
            "KV_ESTADISTICAS",
            "INSERT INTO " + tabla_ +
                " (Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, ValorVenta) VALUES " +
                valores.join(','));
    }
    PuertoGuionado puerto;
    puerto->ProcesarEventosReales(false);
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    const auto r = CargarEstadistica(entorno_->Almacen(), Entrada(), modelo, grilla);
    ASSERT_FALSE(r.sinDatos);
    ASSERT_EQ(modelo.Filas(), 6);
    EXPECT_DOUBLE_EQ(modelo.valores[5][0], 3 + 2 + 1 + 1 + 5000);
    EXPECT_GE(puerto->ActualizacionesProgreso(), 1);
    EXPECT_LT(puerto->ActualizacionesProgreso(), 100);  // 5008 groups, a few updates a second
    EXPECT_LT(puerto->VecesProcesarEventos(), 100);
}

TEST_F(CargaPrueba, ConsultaRechazadaNoSeConfundeConSinDatos) {
    {
        // The statistic table is missing: the server refuses the chart query.
        PuertoGuionado puerto;
        puerto.PermitirInesperados();
        puerto.PermitirPendientes();
        EntradaCarga e = Entrada();
        e.tabla = "DET_ESTV9999";
        ModeloGrafico modelo;
        kv::db::Recordset grilla;
        const auto r = CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
        EXPECT_TRUE(r.fallida);
        EXPECT_FALSE(r.sinDatos);
        EXPECT_EQ(modelo.Filas(), 0);
        EXPECT_EQ(grilla.State(), kv::db::ado::Cerrado);
        EXPECT_FALSE(puerto->ProgresoAbierto());
    }
}

// Which groups a TOP keeps, and in which order, for the ordering criteria over
// amounts: computed here from the demo's sale lines (stored as stock
// movements, a sale negative) and compared with the chart rows of a load, on
// the fast aggregation route and on the general one. "Descendente" keeps the
// biggest amounts as the user reads them; "Ascendente" the smallest.
#include <gtest/gtest.h>

#include <QDate>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <vector>

#include "EntornoEstadisticas.h"
#include "db/Recordset.h"
#include "localserver/rapida/RutaAgregacion.h"
#include "soporte/PuertoGuionado.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"
#include "stats/Catalogo.h"
#include "stats/Reconstruccion.h"

using namespace kv::stats;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;

namespace {

// What a seller sold, as the user reads it (signs turned): quantity, cost, sales, profit.
struct Vendido {
    double consumo = 0, costo = 0, venta = 0;
    double Valor(int criterio) const {
        switch (criterio) {
            case 1:
                return consumo;
            case 2:
                return costo;
            case 3:
                return venta;
            default:
                return venta - costo;  // Utilidad $
        }
    }
};

class OrdenImportes : public ::testing::Test {
  protected:
    void SetUp() override {
        entorno_ = std::make_unique<EntornoEstadisticas>();
        PuertoGuionado puerto;
        puerto.PermitirInesperados();
        entorno_->LlenarDemo("NORTE", 0, 4000, QDate::currentDate());
        entorno_->Almacen();
        entorno_->AgregarEmpresa("NORTE", false);
        Definicion d;
        d.grupos[static_cast<size_t>(IndiceCatalogo("IdVendedor"))] = true;
        estado_.nombre = "Vendedores";
        estado_.modo = ModoGrabacion::Nuevo;
        kv::db::DB_Dll empresa;
        ASSERT_TRUE(GrabarEstadistica(entorno_->Almacen(), d, estado_, [&](const QString& t) {
            ReconstruirEstadistica(entorno_->Almacen(), t, empresa);
        }));
        // The sale lines themselves, summed per seller here.
        for (const auto& fila : entorno_->Filas(
                 "NORTE",
                 "SELECT IdVendedor, Cantidad, CostoUnitario, PrecioUnitario FROM MV_STOCK "
                 "WHERE TipoMovimiento = 'VTA'")) {
            Vendido& v = vendidos_[fila[0].toString().trimmed()];
            const double cantidad = fila[1].toDouble();
            v.consumo -= cantidad;
            v.costo -= cantidad * fila[2].toDouble();
            v.venta -= cantidad * fila[3].toDouble();
        }
        ASSERT_GT(vendidos_.size(), 6);
    }
    void TearDown() override { kv::local::rapida::ActivarRutaAgregacion(true); }

    EntradaCarga Entrada(int criterio, bool ascendente) const {
        EntradaCarga e;
        e.tabla = estado_.tabla;
        e.titulos = {QStringLiteral("Vendedor"), TituloNivelVacio(1), TituloNivelVacio(2)};
        e.top = "5";
        e.topOtros = "Resto";
        e.empresas = {"NORTE"};
        e.orden[static_cast<size_t>(criterio)] = {true, "1"};
        e.ascendente = ascendente;
        return e;
    }

    // The five values a TOP 5 must keep, in order.
    std::vector<double> Esperados(int criterio, bool ascendente) const {
        std::vector<double> valores;
        for (const Vendido& v : vendidos_) valores.push_back(v.Valor(criterio));
        std::sort(valores.begin(), valores.end());
        if (!ascendente) std::reverse(valores.begin(), valores.end());
        valores.resize(5);
        return valores;
    }

    std::unique_ptr<EntornoEstadisticas> entorno_;
    EstadoDefinicion estado_;
    QHash<QString, Vendido> vendidos_;
};

}  // namespace

TEST_F(OrdenImportes, TopCincoGuardaLosMayoresComoSeLeenEnAmbasRutas) {
    PuertoGuionado puerto;
    const char* nombres[] = {"", "Consumo", "Valor Costo", "Valor Venta", "", "", "Utilidad $"};
    for (const bool rapida : {true, false}) {
        kv::local::rapida::ActivarRutaAgregacion(rapida);
        for (const int criterio : {1, 2, 3, 6}) {
            for (const bool ascendente : {false, true}) {
                const std::string caso = std::string(nombres[criterio]) +
                                         (ascendente ? " Ascendente" : " Descendente") +
                                         (rapida ? ", ruta de agregación" : ", ruta general");
                ModeloGrafico modelo;
                kv::db::Recordset grilla;
                const auto r = CargarEstadistica(entorno_->Almacen(), Entrada(criterio, ascendente), modelo, grilla);
                entorno_->Almacen().CierraRecordset(grilla);
                ASSERT_FALSE(r.rechazada) << caso;
                ASSERT_EQ(modelo.Filas(), 6) << caso;
                EXPECT_EQ(modelo.etiquetas[5], "Resto") << caso;
                const std::vector<double> esperados = Esperados(criterio, ascendente);
                for (int fila = 0; fila < 5; ++fila) {
                    const QString vendedor = modelo.grupos[static_cast<size_t>(fila)][0].trimmed();
                    ASSERT_TRUE(vendidos_.contains(vendedor)) << caso << " " << vendedor.toStdString();
                    // The kept seller is the one with the expected amount (a tie may swap equals).
                    EXPECT_NEAR(vendidos_[vendedor].Valor(criterio), esperados[static_cast<size_t>(fila)],
                                0.005)
                        << caso << ", fila " << fila << ": " << vendedor.toStdString();
                }
            }
        }
    }
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

// The best seller by sales is in a TOP 1 "Descendente", and the remainder holds
// every other seller's sales (the chart shows amounts without their sign).
TEST_F(OrdenImportes, TopUnoDescendenteEsElMejorVendedor) {
    PuertoGuionado puerto;
    QString mejor;
    double total = 0;
    for (auto it = vendidos_.cbegin(); it != vendidos_.cend(); ++it) {
        total += std::fabs(it->venta);
        if (mejor.isEmpty() || it->venta > vendidos_[mejor].venta) mejor = it.key();
    }
    EntradaCarga e = Entrada(3, false);
    e.top = "1";
    e.totales = {false, false, true, false, false, false};
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    CargarEstadistica(entorno_->Almacen(), e, modelo, grilla);
    ASSERT_EQ(modelo.Filas(), 2);
    EXPECT_EQ(modelo.grupos[0][0].trimmed(), mejor);
    EXPECT_NEAR(modelo.valores[0][0], vendidos_[mejor].venta, 0.01);
    EXPECT_NEAR(modelo.valores[1][0], total - vendidos_[mejor].venta, 0.01 * vendidos_.size());
}

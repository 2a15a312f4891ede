// The pivot on a loaded statistic: every subtotal, the grand total and the
// profit percentages checked against sums taken straight from the statistic
// table; the company filter; sorting; the tree model and view.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QTreeView>
#include <map>

#include "EntornoPresentacion.h"
#include "ui/Grilla.h"
#include "ui/TablaDinamica.h"
#include "ui/VistaTablaDinamica.h"

using kv::pruebas::EntornoPresentacion;
using kv::ui::Diezmilesimas;
using kv::ui::TablaDinamica;

namespace {

// Sums as the grid shows them (signs inverted), straight from the table.
struct Sumas {
    double consumo = 0, costo = 0, venta = 0;
};

class TablaDinamicaPrueba : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { EntornoPresentacion::Liberar(); }

    static std::map<QString, Sumas> SumasPor(const QString& agrupacion, const QString& donde = QString()) {
        auto& e = EntornoPresentacion::Comun();
        std::map<QString, Sumas> sumas;
        const QString sql = "SELECT " + agrupacion +
                            ", SUM(CONSUMO), SUM(VALORCOSTO), SUM(VALORVENTA) FROM " + e.Tabla() + " " +
                            donde + " GROUP BY " + agrupacion;
        for (const auto& f : e.Entorno().Filas("KV_ESTADISTICAS", sql)) {
            QString clave;
            for (size_t i = 0; i + 3 < f.size(); ++i) clave += f[i].toString().trimmed().toUpper() + "|";
            const size_t n = f.size();
            sumas[clave] = {-f[n - 3].toDouble(), -f[n - 2].toDouble(), -f[n - 1].toDouble()};
        }
        return sumas;
    }

    static QString Clave(const TablaDinamica::Nodo& nodo) {
        QString clave;
        for (const TablaDinamica::Nodo* n = &nodo; n && n->nivel >= 0; n = n->padre)
            clave = n->etiqueta.toUpper() + "|" + clave;
        return clave;
    }

    static void Comparar(const TablaDinamica& tabla, const TablaDinamica::Nodo& nodo, const Sumas& s) {
        SCOPED_TRACE(Clave(nodo).toStdString());
        EXPECT_EQ(nodo.sumas[0], Diezmilesimas(s.consumo));
        EXPECT_EQ(nodo.sumas[1], Diezmilesimas(s.costo));
        EXPECT_EQ(nodo.sumas[2], Diezmilesimas(s.venta));
        EXPECT_EQ(nodo.sumas[3], Diezmilesimas(s.venta) - Diezmilesimas(s.costo));
        const double porcCosto = s.costo == 0 ? 100 : (s.venta - s.costo) / s.costo * 100;
        const double porcVenta = s.venta == 0 ? 100 : (s.venta - s.costo) / s.venta * 100;
        // Data fields in box order: Consumo, Costo, Venta, % costo, % venta, Utilidad.
        EXPECT_NEAR(tabla.Valor(nodo, 3), porcCosto, 1e-7);
        EXPECT_NEAR(tabla.Valor(nodo, 4), porcVenta, 1e-7);
    }

    std::shared_ptr<const kv::ui::DatosGrilla> Datos() {
        auto& e = EntornoPresentacion::Comun();
        kv::stats::ModeloGrafico grafico;
        return e.Cargar(e.Entrada(), grafico);
    }
};

}  // namespace

TEST_F(TablaDinamicaPrueba, SubtotalesYTotalGeneralSonLasSumasDeLaTabla) {
    TablaDinamica tabla;
    tabla.Vincular(Datos());
    EXPECT_EQ(tabla.CampoFiltro(), "BASE");
    EXPECT_EQ(tabla.CamposFila(), (QStringList{"Vendedor", "Rubro"}));
    EXPECT_EQ(tabla.CamposDatos(), (QStringList{"Consumo", "ValorCosto", "ValorVenta", "UTL_COSTOPorc",
                                                "UTL_VENTAPorc", "UTILIDAD"}));
    EXPECT_EQ(tabla.TitulosDatos(), (QStringList{"Consumo", "Valor Costo", "Valor Venta",
                                                 "Utilidad s/Costo %", "Utilidad s/Venta %", "Utilidad $"}));

    const auto total = SumasPor("'T'");
    ASSERT_EQ(total.size(), 1u);
    Comparar(tabla, tabla.Raiz(), total.begin()->second);
    EXPECT_EQ(tabla.Raiz().etiqueta, "Total general");

    const auto porVendedor = SumasPor("GRUPO1");
    const auto porRubro = SumasPor("GRUPO1, GRUPO2");
    ASSERT_EQ(tabla.Raiz().hijos.size(), porVendedor.size());
    ASSERT_GE(porVendedor.size(), 2u);
    int hojas = 0;
    bool porcentajeNoEsPromedio = false;
    for (const auto& vendedor : tabla.Raiz().hijos) {
        ASSERT_TRUE(porVendedor.count(Clave(*vendedor))) << Clave(*vendedor).toStdString();
        Comparar(tabla, *vendedor, porVendedor.at(Clave(*vendedor)));
        double sumaPorcentajes = 0;
        for (const auto& rubro : vendedor->hijos) {
            ASSERT_TRUE(porRubro.count(Clave(*rubro)));
            Comparar(tabla, *rubro, porRubro.at(Clave(*rubro)));
            EXPECT_TRUE(rubro->hijos.empty());
            sumaPorcentajes += tabla.Valor(*rubro, 4);
            ++hojas;
        }
        const double promedio = sumaPorcentajes / static_cast<double>(vendedor->hijos.size());
        if (vendedor->hijos.size() > 1 && std::fabs(promedio - tabla.Valor(*vendedor, 4)) > 1e-6)
            porcentajeNoEsPromedio = true;
    }
    EXPECT_EQ(hojas, static_cast<int>(porRubro.size()));
    // The data makes the difference visible: a subtotal's percentage is not the mean of its rows'.
    EXPECT_TRUE(porcentajeNoEsPromedio);
    EXPECT_EQ(tabla.Hojas().size(), porRubro.size());
}

TEST_F(TablaDinamicaPrueba, FiltroPorUnaEmpresa) {
    TablaDinamica tabla;
    tabla.Vincular(Datos());
    EXPECT_EQ(tabla.ValoresFiltro(), (QStringList{"NORTE", "SUR"}))
        << tabla.ValoresFiltro().join(",").toStdString();
    tabla.Filtrar({"SUR"});
    const auto total = SumasPor("'T'", "WHERE BASE = 'SUR'");
    Comparar(tabla, tabla.Raiz(), total.begin()->second);
    const auto porVendedor = SumasPor("GRUPO1", "WHERE BASE = 'SUR'");
    ASSERT_EQ(tabla.Raiz().hijos.size(), porVendedor.size());
    for (const auto& vendedor : tabla.Raiz().hijos)
        Comparar(tabla, *vendedor, porVendedor.at(Clave(*vendedor)));
    // A company name in other letter case filters the same.
    tabla.Filtrar({"sur"});
    Comparar(tabla, tabla.Raiz(), total.begin()->second);
    tabla.Filtrar({});
    Comparar(tabla, tabla.Raiz(), SumasPor("'T'").begin()->second);
}

TEST_F(TablaDinamicaPrueba, OrdenarPorCualquierColumna) {
    TablaDinamica tabla;
    tabla.Vincular(Datos());
    const auto orden = [&](int dato) {
        std::vector<double> valores;
        for (const auto& hijo : tabla.Raiz().hijos) valores.push_back(tabla.Valor(*hijo, dato));
        return valores;
    };
    tabla.Ordenar(3, false);  // Valor Venta, biggest first
    auto ventas = orden(2);
    EXPECT_TRUE(std::is_sorted(ventas.rbegin(), ventas.rend()));
    for (const auto& vendedor : tabla.Raiz().hijos) {
        std::vector<double> hijas;
        for (const auto& rubro : vendedor->hijos) hijas.push_back(tabla.Valor(*rubro, 2));
        EXPECT_TRUE(std::is_sorted(hijas.rbegin(), hijas.rend()));
    }
    tabla.Ordenar(5, true);  // Utilidad s/Venta %, smallest first
    auto porcentajes = orden(4);
    EXPECT_TRUE(std::is_sorted(porcentajes.begin(), porcentajes.end()));
    tabla.Ordenar(0, false);  // labels, Z to A
    QStringList etiquetas;
    for (const auto& hijo : tabla.Raiz().hijos) etiquetas << hijo->etiqueta;
    QStringList esperadas = etiquetas;
    std::sort(esperadas.begin(), esperadas.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) > 0; });
    EXPECT_EQ(etiquetas, esperadas);
    // The order survives a change of filter.
    tabla.Filtrar({"NORTE"});
    QStringList filtradas;
    for (const auto& hijo : tabla.Raiz().hijos) filtradas << hijo->etiqueta;
    EXPECT_TRUE(std::is_sorted(filtradas.begin(), filtradas.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) > 0;
    }));
}

TEST(TablaDinamicaDatos, ClavesSinMayusculasNiBlancosYPorcentajeConCostoCero) {
    auto datos = std::make_shared<kv::ui::DatosGrilla>();
    for (const char* nombre : {"BASE", "Marca", "Grupo2", "Grupo3", "CONSUMO", "VALORCOSTO", "VALORVENTA",
                               "UTL_COSTOPorc", "UTL_VENTAPorc", "UTILIDAD"})
        datos->columnas.push_back({nombre, kv::db::tipo::Currency, 0, {}});
    datos->columnas[0].tipo = datos->columnas[1].tipo = kv::db::tipo::VarWChar;
    const auto fila = [&](const QString& base, const QString& marca, double c, double k, double v) {
        datos->filas.push_back({base, marca, " ", " ", c, k, v, 0.0, 0.0, v - k});
    };
    fila("NORTE", "Acme ", 1, 0, 10.1);
    fila("SUR", " ACME", 2, 0, 0.2);
    fila("SUR", "Otra", 3, 4, 5);
    datos->vistas.categorias = {"Marca", "", ""};
    datos->vistas.valores = {"", "ValorCosto", "ValorVenta", "UTL_COSTOPorc", "UTL_VENTAPorc", ""};
    TablaDinamica tabla;
    tabla.Vincular(datos);
    ASSERT_EQ(tabla.Raiz().hijos.size(), 2u);
    const auto& acme = *tabla.Raiz().hijos[0];
    EXPECT_EQ(acme.etiqueta, "Acme");
    EXPECT_EQ(acme.sumas[2], 103000);  // 10.1 + 0.2 exactly
    EXPECT_EQ(tabla.Texto(acme, 1), kv::ui::TextoImporte(103000, 2));
    EXPECT_DOUBLE_EQ(tabla.Valor(acme, 2), 100.0);  // no cost: 100, as the grid query gives
    EXPECT_DOUBLE_EQ(tabla.Valor(tabla.Raiz(), 2), (15.3 - 4) / 4 * 100);
    EXPECT_DOUBLE_EQ(tabla.Valor(tabla.Raiz(), 3), (15.3 - 4) / 15.3 * 100);
    EXPECT_EQ(tabla.CantidadDatos(), 4);
}

TEST_F(TablaDinamicaPrueba, VistaConFiltroNivelesYTotal) {
    kv::ui::VistaTablaDinamica vista;
    vista.resize(900, 500);
    vista.Vincular(Datos());
    EXPECT_EQ(vista.objectName(), "PivotTable1");
    auto* modelo = vista.Modelo();
    const int vendedores = static_cast<int>(modelo->Tabla().Raiz().hijos.size());
    EXPECT_EQ(modelo->rowCount(), vendedores + 1);  // plus the grand total
    EXPECT_EQ(modelo->columnCount(), 7);
    EXPECT_EQ(modelo->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("Vendedor › Rubro"));
    EXPECT_EQ(modelo->headerData(3, Qt::Horizontal).toString(), "Valor Venta");
    const QModelIndex total = modelo->IndiceTotal();
    EXPECT_EQ(total.data().toString(), "Total general");
    EXPECT_EQ(modelo->index(total.row(), 3).data().toString(),
              kv::ui::TextoImporte(modelo->Tabla().Raiz().sumas[2], 2));
    EXPECT_EQ(modelo->rowCount(total), 0);

    // Collapsed at first; the level chooser opens the second level.
    auto* arbol = vista.Arbol();
    const QModelIndex primero = modelo->index(0, 0);
    EXPECT_GT(modelo->rowCount(primero), 0);
    EXPECT_FALSE(arbol->isExpanded(primero));
    vista.ExpandirHastaNivel(1);
    EXPECT_TRUE(arbol->isExpanded(primero));
    EXPECT_EQ(modelo->parent(modelo->index(0, 0, primero)), primero);

    // Filter: the chooser lists every company after "(Todas)".
    auto* filtro = vista.Filtro();
    ASSERT_EQ(filtro->count(), 3);
    EXPECT_EQ(filtro->itemText(0), "(Todas)");
    filtro->setCurrentIndex(filtro->findText("SUR"));
    EXPECT_EQ(modelo->Tabla().Filtro(), QStringList{"SUR"});
    EXPECT_EQ(modelo->Tabla().Raiz().sumas[2],
              Diezmilesimas(SumasPor("'T'", "WHERE BASE = 'SUR'").begin()->second.venta));
    EXPECT_TRUE(arbol->isExpanded(modelo->index(0, 0)));  // the open levels stay open

    // A header click sorts by that column.
    arbol->header()->setSortIndicator(3, Qt::DescendingOrder);
    EXPECT_EQ(modelo->Tabla().ColumnaOrden(), 3);
    const double a = modelo->index(0, 3).data(kv::ui::kRolNumero).toDouble();
    const double b = modelo->index(1, 3).data(kv::ui::kRolNumero).toDouble();
    EXPECT_GE(a, b);
    // Auto-fit: the label column is as wide as its widest shown text needs.
    EXPECT_GE(arbol->columnWidth(0),
              arbol->fontMetrics().horizontalAdvance(modelo->index(0, 0).data().toString()));
}

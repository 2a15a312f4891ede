// The editor's fields served by the real lookup windows on the demo company:
// the statistic name, a range field, a selective field with ticks and the
// family tree; the load then runs with the picked filter.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "EntornoEstadisticas.h"
#include "VentanaPrueba.h"
#include "core/Ajustes.h"
#include "core/Sentencias.h"
#include "lookup/Lib_ClsCons3.h"
#include "lookup/Lib_FrmCons3.h"
#include "lookup/Lib_FrmCons3Tree.h"
#include "lookup/ModeloConsulta.h"
#include "soporte/PuertoGuionado.h"
#include "soporte/VentanaModal.h"
#include "ui/frmKv_EstV.h"

using kv::lookup::Lib_FrmCons3;
using kv::lookup::Lib_FrmCons3Tree;
using kv::pruebas::AlAbrir;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;
using kv::ui::frmKv_EstV;

namespace {
// With KVESTV_CAPTURAS naming a folder, pictures of the windows are left there.
void Capturar(QWidget* ventana, const QString& nombre) {
    const QString carpeta = qEnvironmentVariable("KVESTV_CAPTURAS");
    if (!carpeta.isEmpty()) ventana->grab().save(QDir(carpeta).filePath(nombre));
}

struct Consultas {
    explicit Consultas(const QString& carpeta) {
        kv::core::AjustesConsulta& a = kv::core::AjustesConsultas();
        a.gUsarMascarasConsultas = true;
        a.gRutaMascaraConsultas = carpeta + QString::fromLatin1(kv::core::kArchivoConsultas);
        kv::core::GrabarConsultasBase();
        kv::lookup::Lib_ClsCons3::DescartarCompartida();
    }
    ~Consultas() {
        kv::lookup::Lib_ClsCons3::DescartarCompartida();
        kv::core::AjustesConsultas() = kv::core::AjustesConsulta();
    }
};
}  // namespace

TEST(ConsultasEditor, CadaCampoAbreSuConsultaYLaCargaUsaElFiltro) {
    EntornoEstadisticas e;
    e.LlenarDemo("NORTE", 0, 600, QDate::currentDate());
    e.Almacen();
    e.AgregarEmpresa("NORTE", false);
    kv::pruebas::GrabarDefinicion(e, "Vendedores y familias", {"IdVendedor", "IdFamilia"}, "50");
    const Consultas consultas(e.carpetas().aplicacion());
    const QString vendedor =
        e.Valor("NORTE", "SELECT MIN(IdVendedor) FROM MV_STOCK WHERE TipoMovimiento = 'VTA'")
            .toString()
            .trimmed();
    const QString otro = e.Valor("NORTE", "SELECT MAX(IdVendedor) FROM MV_STOCK WHERE TipoMovimiento = 'VTA'")
                             .toString()
                             .trimmed();
    ASSERT_NE(vendedor, otro);

    PuertoGuionado puerto;
    frmKv_EstV v(e.Erp());
    v.resize(1280, 900);
    v.show();
    QApplication::setActiveWindow(&v);

    // The statistic name: a list of the saved names on the store.
    QStringList nombres;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* l) {
        for (int f = 0; f < l->Modelo()->Filas(); ++f) nombres << l->Modelo()->Texto(f, 0);
        QTest::keyClicks(l->CajasBusqueda()[0]->lineEdit(), "vendedores y");
        QTest::keyClick(l->Lista(), Qt::Key_Return);
    });
    QTest::mouseClick(v.Campo("NOMBRE"), Qt::RightButton);
    EXPECT_EQ(nombres, QStringList{"Vendedores y familias"});
    EXPECT_EQ(v.Campo("NOMBRE")->text(), "Vendedores y familias");
    ASSERT_TRUE(v.Existente());
    EXPECT_EQ(kv::db::DB_Dll::Principal().gCnn.DefaultDatabase().toUpper(), "NORTE");

    // A range field: one seller.
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* l) {
        EXPECT_FALSE(l->CheckBoxes);
        const int fila = l->Busqueda(1, vendedor);
        ASSERT_GE(fila, 0);
        l->Lista()->setCurrentIndex(l->Modelo()->index(fila, 0));
        Capturar(l, "consulta-vendedores.png");
        QTest::keyClick(l->Lista(), Qt::Key_Return);
    });
    QTest::mouseClick(v.Campo("G1Desde"), Qt::RightButton);
    EXPECT_EQ(v.Campo("G1Desde")->text(), vendedor);
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* l) {
        l->Lista()->setCurrentIndex(l->Modelo()->index(l->Busqueda(1, vendedor), 0));
        l->findChild<QPushButton*>("CmdAceptar")->click();
    });
    QApplication::setActiveWindow(&v);
    v.Campo("G1Hasta")->setFocus();
    QTest::keyClick(v.Campo("G1Hasta"), Qt::Key_F5);
    EXPECT_EQ(v.Campo("G1Hasta")->text(), vendedor);

    // F9 loads that seller only.
    QApplication::setActiveWindow(&v);
    QTest::keyClick(v.Campo("G1Hasta"), Qt::Key_F9);
    ASSERT_GT(v.Grafico().Filas(), 0);
    for (int r = 0; r < v.Grafico().Filas(); ++r) {
        if (r == v.Grafico().filaResto) continue;
        EXPECT_EQ(v.Grafico().grupos[static_cast<size_t>(r)][0].trimmed(), vendedor) << r;
    }
    Capturar(&v, "ventana-filtrada.png");

    // The selective field: ticks.
    v.Campo("G1Desde")->clear();
    v.Campo("G1Hasta")->clear();
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* l) {
        EXPECT_TRUE(l->CheckBoxes);
        for (const QString& id : {vendedor, otro}) l->Modelo()->Marcar(l->Busqueda(1, id), true);
        Capturar(l, "consulta-marcas.png");
        l->findChild<QPushButton*>("CmdAceptar")->click();
    });
    QTest::mouseClick(v.Campo("Grupo1"), Qt::RightButton);
    const QStringList elegidos = v.Campo("Grupo1")->text().split(',');
    EXPECT_EQ(QSet<QString>(elegidos.begin(), elegidos.end()), (QSet<QString>{vendedor, otro}));

    // The family field: the tree; a ticked family brings its subfamilies.
    QStringList esperadas;
    AlAbrir<Lib_FrmCons3Tree>([&](Lib_FrmCons3Tree* t) {
        QTreeWidgetItem* nodo = t->Nodo("A01");
        ASSERT_NE(nodo, nullptr);
        nodo->setExpanded(true);
        nodo->setCheckState(0, Qt::Checked);
        for (QTreeWidgetItemIterator it(t->Arbol()); *it; ++it)
            if ((*it)->checkState(0) == Qt::Checked)
                esperadas << (*it)->data(0, Qt::UserRole + 1).toString().mid(1);
        Capturar(t, "consulta-familias.png");
        t->findChild<QPushButton*>("CmdAceptar")->click();
    });
    QTest::mouseClick(v.Campo("Grupo2"), Qt::RightButton);
    EXPECT_GT(esperadas.size(), 1);
    EXPECT_EQ(v.Campo("Grupo2")->text(), esperadas.join(','));
    for (const QString& codigo : esperadas) EXPECT_TRUE(codigo.startsWith("01")) << codigo.toStdString();

    // The window's keys act in the active window: the tree has just closed.
    QApplication::setActiveWindow(&v);
    QTest::keyClick(v.Campo("Grupo2"), Qt::Key_F9);
    ASSERT_GT(v.Grafico().Filas(), 0);
    for (int r = 0; r < v.Grafico().Filas(); ++r) {
        if (r == v.Grafico().filaResto) continue;
        const auto& grupos = v.Grafico().grupos[static_cast<size_t>(r)];
        EXPECT_TRUE(grupos[0].trimmed() == vendedor || grupos[0].trimmed() == otro) << r;
        EXPECT_TRUE(grupos[1].trimmed().startsWith("01")) << grupos[1].toStdString();
    }
    Capturar(&v, "ventana-familias.png");
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

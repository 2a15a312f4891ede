// The tree lookup on the demo company: the family tree, ticks going down,
// search, the server search and the check of the returned codes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "EntornoConsultas.h"
#include "lookup/Lib_ClsCons3.h"
#include "lookup/Lib_FrmCons3Tree.h"
#include "soporte/PuertoGuionado.h"

using kv::lookup::Lib_ClsCons3;
using kv::lookup::Lib_FrmCons3Tree;
using kv::pruebas::AlAbrir;
using kv::pruebas::EntornoConsultas;
using kv::pruebas::PuertoGuionado;

namespace {
const QString kFamilias = "SELECT IDFAMILIA,DESCRIPCION FROM V_TA_FAMILIAS ORDER BY IDFAMILIA";

QString Padre(Lib_FrmCons3Tree* t, const QString& clave) {
    QTreeWidgetItem* nodo = t->Nodo(clave);
    if (!nodo || !nodo->parent()) return QString();
    return nodo->parent()->data(0, Qt::UserRole + 1).toString();
}
}  // namespace

TEST(Arbol, FamiliasPorCodigoMarcasHaciaAbajoYVerificacion) {
    EntornoConsultas e;
    e.Ejecutar("INSERT INTO TA_FAMILIAS (IdFamilia, Descripcion) VALUES ('99', 'Sueltos')");
    e.Ejecutar("INSERT INTO TA_FAMILIAS (IdFamilia, Descripcion) VALUES ('9901', 'Sueltos chicos')");
    PuertoGuionado puerto;
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    QStringList marcadas;
    AlAbrir<Lib_FrmCons3Tree>([&](Lib_FrmCons3Tree* t) {
        EXPECT_EQ(t->windowTitle(), "Consulta...");
        QTreeWidgetItem* raiz = t->Nodo("A");
        ASSERT_NE(raiz, nullptr);
        EXPECT_EQ(raiz->text(0), "Consulta...");
        EXPECT_TRUE(raiz->isExpanded());
        EXPECT_EQ(t->Nodo("A01")->text(0), QString::fromUtf8("01 - Almacén"));
        EXPECT_EQ(Padre(t, "A01"), "A");
        EXPECT_EQ(Padre(t, "A0101"), "A01");
        EXPECT_EQ(Padre(t, "A9901"), "A99");
        // Ticking a family ticks everything below it; unticking clears it again.
        t->Nodo("A99")->setCheckState(0, Qt::Checked);
        EXPECT_EQ(t->Nodo("A9901")->checkState(0), Qt::Checked);
        t->Nodo("A99")->setCheckState(0, Qt::Unchecked);
        EXPECT_EQ(t->Nodo("A9901")->checkState(0), Qt::Unchecked);
        t->Nodo("A01")->setCheckState(0, Qt::Checked);
        for (QTreeWidgetItemIterator it(t->Arbol()); *it; ++it)
            if ((*it)->checkState(0) == Qt::Checked)
                marcadas << (*it)->data(0, Qt::UserRole + 1).toString().mid(1);
        // A code no longer in the master table is not handed back.
        e.Ejecutar("DELETE FROM TA_FAMILIAS WHERE IdFamilia = '0101'");
        t->findChild<QPushButton*>("CmdAceptar")->click();
    });
    consulta.CampoDevuelto = "IDFAMILIA";
    consulta.Checks = true;
    consulta.ConsultaSearch(kFamilias, true);
    ASSERT_GT(marcadas.size(), 3);
    EXPECT_EQ(marcadas.first(), "01");
    marcadas.removeAll("0101");
    EXPECT_EQ(consulta.Valores, marcadas);
    EXPECT_FALSE(consulta.Checks);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST(Arbol, BusquedaEleccionSimpleYRaiz) {
    EntornoConsultas e;
    PuertoGuionado puerto;
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    AlAbrir<Lib_FrmCons3Tree>([&](Lib_FrmCons3Tree* t) {
        QLineEdit* caja = t->CajaBusqueda()->lineEdit();
        caja->setFocus();
        QTest::keyClicks(caja, "0102");
        EXPECT_EQ(t->Arbol()->currentItem(), t->Nodo("A0102"));
        caja->clear();
        QTest::keyClicks(caja, "bebi");  // by description
        EXPECT_EQ(t->Arbol()->currentItem(), t->Nodo("A02"));
        QTest::keyClick(caja, Qt::Key_Return);
    });
    consulta.CampoDevuelto = "IDFAMILIA";
    consulta.ConsultaSearch(kFamilias, true);
    EXPECT_EQ(consulta.ValorDevuelto, "02");

    AlAbrir<Lib_FrmCons3Tree>([&](Lib_FrmCons3Tree* t) {
        t->Arbol()->setCurrentItem(t->Nodo("A"));
        t->findChild<QPushButton*>("CmdAceptar")->click();
    });
    consulta.CampoDevuelto = "IDFAMILIA";
    consulta.ConsultaSearch(kFamilias, true);
    EXPECT_TRUE(consulta.ValorDevuelto.isEmpty());
}

TEST(Arbol, F5EnFamiliasYEnOtrosCodigos) {
    EntornoConsultas e;
    for (const char* fila : {"('01', 'Ventas')", "('0101', 'Ventas O''Higgins')", "('0102', 'Ventas norte')",
                             "('02', 'Compras')"})
        e.Ejecutar(QString("INSERT INTO TA_CCOSTO (Codigo, Descripcion) VALUES ") + fila);
    PuertoGuionado puerto;
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    int nodosFamilias = -1;
    AlAbrir<Lib_FrmCons3Tree>([&](Lib_FrmCons3Tree* t) {
        QLineEdit* caja = t->CajaBusqueda()->lineEdit();
        caja->setFocus();
        QTest::keyClicks(caja, "past");
        QTest::keyClick(caja, Qt::Key_F5);
        nodosFamilias = 0;
        for (QTreeWidgetItemIterator it(t->Arbol()); *it; ++it) ++nodosFamilias;
        EXPECT_NE(t->Nodo("A0102"), nullptr);  // "Pastas"
        EXPECT_EQ(t->Nodo("A01"), nullptr);
        t->findChild<QPushButton*>("CmdCancelar")->click();
    });
    consulta.ConsultaSearch(kFamilias, true);
    EXPECT_GE(nodosFamilias, 2);
    EXPECT_LT(nodosFamilias, 10);

    QStringList hijos;
    AlAbrir<Lib_FrmCons3Tree>([&](Lib_FrmCons3Tree* t) {
        EXPECT_EQ(Padre(t, "A0101"), "A01");
        EXPECT_EQ(Padre(t, "A0102"), "A01");
        EXPECT_EQ(Padre(t, "A02"), "A");
        QLineEdit* caja = t->CajaBusqueda()->lineEdit();
        QTest::keyClicks(caja, "o'hig");
        QTest::keyClick(caja, Qt::Key_F5);
        EXPECT_EQ(
            t->SentenciaActual(),
            "SELECT Codigo, Descripcion FROM TA_CCOSTO  where Descripcion like '%o''hig%' ORDER BY Codigo");
        for (QTreeWidgetItemIterator it(t->Arbol()); *it; ++it) hijos << (*it)->text(0);
        t->Arbol()->setCurrentItem(t->Nodo("A0101"));
        t->findChild<QPushButton*>("CmdAceptar")->click();
    });
    consulta.CampoDevuelto = "CODIGO";
    consulta.ConsultaSearch("SELECT Codigo, Descripcion FROM TA_CCOSTO ORDER BY Codigo", true);
    EXPECT_EQ(hijos, (QStringList{"Consulta...", "0101 - Ventas O'Higgins"}));
    EXPECT_EQ(consulta.ValorDevuelto, "0101");
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

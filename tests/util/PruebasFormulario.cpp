#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

#include "util/UtilFormulario.h"
#include "util/UtilGeneral.h"

using namespace kv;

namespace {

struct VentanaDeCampos {
    VentanaDeCampos() {
        auto* disposicion = new QVBoxLayout(&ventana);
        const QStringList claves = {"NOMBRE", "FechaD", "FechaH", "Grupo1", "G1Desde", "TOP", "TOPOtros"};
        for (const QString& clave : claves) {
            auto* campo = new QLineEdit(&ventana);
            UtilFormulario::PonerClave(campo, clave);
            disposicion->addWidget(campo);
            txtFields.append(campo);
        }
    }
    QWidget ventana;
    QList<QLineEdit*> txtFields;
};

}  // namespace

TEST(IndiceControl, ClaveSinDistinguirMayusculas) {
    VentanaDeCampos v;
    EXPECT_EQ(UtilFormulario::IndiceControl("NOMBRE", v.txtFields), 0);
    EXPECT_EQ(UtilFormulario::IndiceControl("nombre", v.txtFields), 0);
    EXPECT_EQ(UtilFormulario::IndiceControl("top", v.txtFields), 5);
    EXPECT_EQ(UtilFormulario::IndiceControl("topOtros", v.txtFields), 6);
    EXPECT_EQ(UtilFormulario::IndiceControl("topotros", v.txtFields), 6);
    EXPECT_EQ(UtilFormulario::IndiceControl("g1Desde", v.txtFields), 4);
    EXPECT_EQ(UtilFormulario::IndiceControl("GRUPO1", v.txtFields), 3);
    EXPECT_EQ(UtilFormulario::IndiceControl("Grupo9", v.txtFields), -1);
    EXPECT_EQ(UtilFormulario::IndiceControl("", v.txtFields), -1);
    EXPECT_EQ(UtilFormulario::Clave(v.txtFields[1]), "FechaD");

    // Any widget type; null members are skipped.
    QWidget padre;
    auto* a = new QCheckBox(&padre);
    auto* b = new QCheckBox(&padre);
    UtilFormulario::PonerClave(a, "Cantidad");
    UtilFormulario::PonerClave(b, "Venta");
    const QList<QCheckBox*> chkSum = {a, nullptr, b};
    EXPECT_EQ(UtilFormulario::IndiceControl("VENTA", chkSum), 2);
    const QList<QWidget*> genericos = {a, b};
    EXPECT_EQ(UtilFormulario::IndiceControl("cantidad", genericos), 0);
}

TEST(Formulario, AvanzarFocoConEnter) {
    VentanaDeCampos v;
    v.txtFields[2]->setEnabled(false);  // skipped
    v.ventana.show();
    v.txtFields[1]->setFocus();
    EXPECT_EQ(UtilFormulario::AvanzarFoco(13, v.txtFields[1]), v.txtFields[3]);
    EXPECT_EQ(UtilFormulario::AvanzarFoco(Qt::Key_Return, v.txtFields[3]), v.txtFields[4]);
    EXPECT_EQ(UtilFormulario::AvanzarFoco(Qt::Key_Enter, v.txtFields[4]), v.txtFields[5]);
    // Any other key does not move the focus.
    EXPECT_EQ(UtilFormulario::AvanzarFoco(65, v.txtFields[1]), nullptr);
}

TEST(Formulario, FiltrarTecla) {
    QLineEdit campo;
    int c = 'a';
    EXPECT_TRUE(UtilFormulario::FiltrarTecla(&campo, c));
    EXPECT_EQ(c, 'a');
    c = 8;
    EXPECT_TRUE(UtilFormulario::FiltrarTecla(&campo, c));
    EXPECT_EQ(c, 8);
    c = 13;
    EXPECT_TRUE(UtilFormulario::FiltrarTecla(&campo, c));
    EXPECT_EQ(c, 13);
    c = 1;
    EXPECT_FALSE(UtilFormulario::FiltrarTecla(&campo, c));
    EXPECT_EQ(c, 0);
    c = 0x00F1;  // ñ
    EXPECT_TRUE(UtilFormulario::FiltrarTecla(&campo, c));
    EXPECT_EQ(c, 0x00F1);
    campo.setProperty(UtilFormulario::kPropiedadMayusculas, true);
    EXPECT_TRUE(UtilFormulario::FiltrarTecla(&campo, c));
    EXPECT_EQ(c, 0x00D1);  // Ñ
    c = '7';
    EXPECT_TRUE(UtilFormulario::FiltrarTecla(&campo, c));
    EXPECT_EQ(c, '7');
}

TEST(Formulario, PrepararFocoYControles) {
    VentanaDeCampos v;
    v.txtFields[0]->setText("Ventas por familia");
    UtilFormulario::PrepararFoco(v.txtFields[0], QString());
    EXPECT_EQ(v.txtFields[0]->selectedText(), "Ventas por familia");
    EXPECT_TRUE(v.txtFields[0]->statusTip().isEmpty());
    UtilFormulario::PrepararFoco(v.txtFields[1], "Mes inicial");
    EXPECT_EQ(v.txtFields[1]->statusTip(), "Mes inicial");

    UtilFormulario::PrepararControles(&v.ventana, 1);
    EXPECT_EQ(v.txtFields[0]->text(), "Ventas por familia");  // the name stays
    EXPECT_FALSE(v.txtFields[0]->hasSelectedText());
    EXPECT_EQ(v.txtFields[0]->cursorPosition(), 0);
    UtilFormulario::PrepararControles(nullptr, 1);  // no window, nothing to do
}

TEST(Formulario, PrepararVentana) {
    QWidget padre;
    padre.setGeometry(100, 100, 800, 600);
    QWidget ventana(&padre, Qt::Window);
    ventana.resize(200, 100);
    UtilGeneral::PrepararVentana(&ventana, false);
    EXPECT_FALSE(ventana.windowTitle().isEmpty());
    ventana.setWindowTitle("Estadísticas");
    UtilGeneral::PrepararVentana(&ventana, true);
    EXPECT_EQ(ventana.windowTitle(), "Estadísticas");
    EXPECT_EQ(ventana.geometry().center().x() / 10, padre.frameGeometry().center().x() / 10);
    UtilGeneral::PrepararVentana(nullptr, true);
}

// The sign-in window: its controls, the registered connections, the hints, and
// signing in through the connection opener on the embedded server.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "EntornoAcceso.h"
#include "access/frmAcceso.h"
#include "core/Ajustes.h"
#include "core/Inicio.h"
#include "core/ServidorPrueba.h"
#include "db/DB_Dll.h"
#include "soporte/PuertoGuionado.h"
#include "util/UtilGeneral.h"
#include "util/UtilRutas.h"

using kv::access::frmAcceso;
using kv::db::DB_Dll;
using kv::pruebas::Filas;
using kv::pruebas::Teclear;

namespace {

// Other programs wrote some of these lines: a quoted name with a comma, a port,
// blanks around fields, lines that are no record at all.
const QByteArray kBases =
    "VENTAS / SRV01,ventas,ventas,00,srv01:1444\r\n"
    "\"EL PUERTO, S.A. / SRV02\",\"El Puerto, S.A.\",x,00,  srv02  \r\n"
    "esta linea no es un registro\r\n"
    "\r\n"
    "NORTE / EMBEBIDO,NORTE,NORTE,15CFF79EAA,EMBEBIDO\r\n"
    "  ,sin,nombre,00,srv\r\n";

// On screen and active, so that focus changes reach the boxes.
void Mostrar(QWidget& ventana) {
    ventana.show();
    ventana.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
}

class VentanaAcceso : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::UtilRutas::EstablecerCarpeta(QString());
        DB_Dll::DescartarPrincipal();
        DB_Dll::EstablecerNombreProceso("KV_ESTV");
        kv::access::InstalarVentanaAcceso(true);
    }
    void TearDown() override {
        kv::core::CerrarConexiones();
        DB_Dll::EstablecerVentanaAcceso({});
        DB_Dll::EstablecerNombreProceso(QString());
        kv::UtilRutas::EstablecerCarpeta(QString());
    }
    QString App() const { return servidor_.carpetas().aplicacion(); }

    kv::pruebas::ServidorPrueba servidor_{"NORTE", "NORTE", "NORTE"};
};

TEST_F(VentanaAcceso, ControlesConSusTextos) {
    kv::pruebas::EscribirBases(App(), "NORTE / EMBEBIDO,NORTE,NORTE,00,EMBEBIDO\r\n");
    frmAcceso v;
    EXPECT_EQ(v.windowTitle(), "Control de Acceso");
    EXPECT_FALSE(v.Aceptar);
    EXPECT_FALSE(v.windowIcon().isNull());
    auto texto = [&](const char* nombre) {
        if (auto* l = v.findChild<QLabel*>(nombre)) return l->text();
        if (auto* b = v.findChild<QPushButton*>(nombre)) return b->text();
        return QString("<no está>");
    };
    EXPECT_EQ(texto("lblBases"), "Conexiones registradas");
    EXPECT_EQ(texto("lblAcceso"), "Complete los datos de conexion");
    EXPECT_EQ(texto("bcAceptar"), "Aceptar");
    EXPECT_EQ(texto("bcCancelar"), "Cancelar");
    EXPECT_EQ(texto("CmdRegistrar"), "Registrar");
    EXPECT_EQ(texto("CmdLineaComando"), "Crear Acceso Directo");
    ASSERT_NE(v.findChild<QListWidget*>("lstBases"), nullptr);
    ASSERT_NE(v.findChild<QGroupBox*>("framAcceso"), nullptr);
    auto* plataforma = v.findChild<QComboBox*>("CboPlataformaDB");
    ASSERT_NE(plataforma, nullptr);
    EXPECT_EQ(plataforma->count(), 2);
    EXPECT_EQ(plataforma->itemText(0), "SQL Server");
    EXPECT_EQ(plataforma->itemText(1), "ORACLE");
    auto ayuda = [&](const char* nombre) {
        auto* c = v.findChild<QLineEdit*>(nombre);
        return c ? c->toolTip() : QString("<no está>");
    };
    EXPECT_EQ(ayuda("TxtServidor"), "ingrese el nombre del servidor e instancia");
    EXPECT_EQ(ayuda("TxtPuerto"), "Ingrese el Puerto ");
    EXPECT_EQ(ayuda("TxtDbName"), "ingrese el nombre de la base de datos");
    EXPECT_EQ(ayuda("TxtUserId"), "Ingrese el nombre de usuario");
    EXPECT_EQ(ayuda("TxtUserPassword"), "Ingrese la contraseña");
    EXPECT_EQ(v.TxtUserPassword->echoMode(), QLineEdit::Password);
    // Hint texts are never cut: each box is wide enough for its own.
    for (QLineEdit* c : {v.TxtServidor, v.TxtDbName, v.TxtUserId})
        EXPECT_GE(c->minimumWidth(), c->fontMetrics().horizontalAdvance(c->toolTip()));
}

TEST_F(VentanaAcceso, LasPistasSonTextoSeleccionado) {
    // No file entry to fill the boxes: every box starts on its hint.
    kv::pruebas::EscribirBases(App(), "");
    frmAcceso v;
    EXPECT_EQ(v.TxtDbName->text(), "ingrese el nombre de la base de datos");
    EXPECT_EQ(v.TxtDbName->selectedText(), "ingrese el nombre de la base de datos");
    EXPECT_EQ(v.TxtServidor->text(), "ingrese el nombre del servidor e instancia");
    EXPECT_EQ(v.TxtServidor->selectedText(), "ingrese el nombre del servidor e instancia");
    EXPECT_EQ(v.TxtUserId->text(), "Ingrese el usuario");
    EXPECT_EQ(v.TxtUserPassword->text(), "");
    EXPECT_EQ(v.TxtPuerto->text(), "1433");
    EXPECT_EQ(v.lstBases->count(), 0);

    Mostrar(v);
    // Typing over the hint replaces it; emptying the box brings it back, selected.
    Teclear(v.TxtDbName, "VENTAS");
    EXPECT_EQ(v.TxtDbName->text(), "VENTAS");
    v.TxtDbName->selectAll();
    QTest::keyClick(v.TxtDbName, Qt::Key_Backspace);
    EXPECT_EQ(v.TxtDbName->text(), "ingrese el nombre de la base de datos");
    EXPECT_EQ(v.TxtDbName->selectedText(), "ingrese el nombre de la base de datos");
    // The user box gets its hint back when it takes the focus.
    v.TxtUserId->setText("");
    v.TxtServidor->setFocus();
    v.TxtUserId->setFocus();
    EXPECT_EQ(v.TxtUserId->text(), "Ingrese el usuario");
    EXPECT_EQ(v.TxtUserId->selectedText(), "Ingrese el usuario");
}

TEST_F(VentanaAcceso, ListaDesdeBasesConComillasLineasRarasYPuertos) {
    kv::pruebas::EscribirBases(App(), kBases);
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    frmAcceso v;
    // One message names the line that is no record; the others load. A record
    // without a name is read but not listed.
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto,
              "La línea 3 de BASES.TXT no es una conexión registrada válida (se esperan cinco campos "
              "separados por comas: nombre, base de datos, usuario, contraseña y servidor) y se pasó por "
              "alto.\nLas demás conexiones se cargaron.\n\nArchivo: " +
                  App() + "BASES.TXT");
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Conexiones registradas");
    EXPECT_EQ(puerto->Mensajes()[0].estilo, 48);
    EXPECT_EQ(Filas(v), QStringList({"VENTAS / SRV01", "EL PUERTO, S.A. / SRV02", "NORTE / EMBEBIDO"}));
    EXPECT_EQ(v.rutaArchivo, App() + "BASES.TXT");

    // The first entry is selected and fills the boxes: server and port apart,
    // user and password always empty.
    EXPECT_EQ(v.lstBases->currentRow(), 0);
    EXPECT_EQ(v.TxtServidor->text(), "SRV01");
    EXPECT_EQ(v.TxtPuerto->text(), "1444");
    EXPECT_EQ(v.TxtDbName->text(), "ventas");
    EXPECT_EQ(v.TxtUserPassword->text(), "");
    // The user box gets its hint after the list is filled.
    EXPECT_EQ(v.TxtUserId->text(), "Ingrese el usuario");

    Mostrar(v);
    // Clicking the second entry: the quoted name is found, its server has no
    // port, so the port goes back to the default instead of keeping 1444.
    Teclear(v.TxtUserId, "alguien");
    QListWidget* lista = v.lstBases;
    QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, lista->visualItemRect(lista->item(1)).center());
    EXPECT_EQ(v.TxtServidor->text(), "srv02");
    EXPECT_EQ(v.TxtDbName->text(), "El Puerto, S.A.");
    EXPECT_EQ(v.TxtPuerto->text(), "1433");
    EXPECT_EQ(v.TxtUserId->text(), "");
    // The keyboard moves through the list and fills the boxes as well.
    lista->setFocus();
    QTest::keyClick(lista, Qt::Key_Down);
    EXPECT_EQ(v.TxtDbName->text(), "NORTE");
    EXPECT_EQ(v.TxtServidor->text(), "EMBEBIDO");
}

TEST_F(VentanaAcceso, SinBasesTxtAvisaPorLaRutinaCentral) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Omitir);
    frmAcceso v;
    EXPECT_EQ(v.lstBases->count(), 0);
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_TRUE(puerto->Mensajes()[0].texto.contains("No se encontró el archivo " + App() + "BASES.TXT"))
        << puerto->Mensajes()[0].texto.toStdString();
    EXPECT_TRUE(puerto->Mensajes()[0].titulo.contains("FormLoad"))
        << puerto->Mensajes()[0].titulo.toStdString();
    EXPECT_EQ(puerto->Mensajes()[0].estilo, 18);
}

TEST_F(VentanaAcceso, DatosBaseDistingueMayusculas) {
    kv::pruebas::EscribirBases(App(), "VENTAS / SRV01,ventas,ventas," +
                                          kv::UtilGeneral::Codificar("clave").toLatin1() + ",srv01:1444\r\n");
    frmAcceso v;
    v.servidorEncontrado.clear();
    v.DatosBase("ventas / srv01");
    EXPECT_EQ(v.servidorEncontrado, "");
    v.DatosBase("  VENTAS / SRV01 ");
    EXPECT_EQ(v.servidorEncontrado, "srv01:1444");
    EXPECT_EQ(v.baseEncontrada, "ventas");
    EXPECT_EQ(v.usuarioEncontrado, "ventas");
    EXPECT_EQ(v.claveEncontrada, "clave");
}

TEST_F(VentanaAcceso, AceptarDevuelveLoEscritoYCancelarNo) {
    kv::pruebas::EscribirBases(App(), kBases);
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    {
        frmAcceso v;
        Mostrar(v);
        // The selected entry is on port 1444: the server goes back with it.
        Teclear(v.TxtUserId, "ana");
        Teclear(v.TxtUserPassword, "secreta");
        QTest::mouseClick(v.bcAceptar, Qt::LeftButton);
        EXPECT_TRUE(v.Aceptar);
        EXPECT_FALSE(v.isVisible());
        kv::db::DatosAcceso d;
        v.LeerDatos(d);
        EXPECT_EQ(d.servidor, "SRV01,1444");
        EXPECT_EQ(d.base, "ventas");
        EXPECT_EQ(d.usuario, "ana");
        EXPECT_EQ(d.clave, "secreta");
        EXPECT_EQ(d.plataforma, 0);
        EXPECT_EQ(v.TxtServidor->text(), "SRV01");
    }
    {
        // Boxes left empty: the user's hint is real text and goes back as the user name.
        kv::pruebas::EscribirBases(App(), "");
        frmAcceso v;
        Mostrar(v);
        Teclear(v.TxtServidor, "srv9");
        Teclear(v.TxtDbName, "compras");
        v.CboPlataformaDB->setCurrentIndex(1);
        QTest::mouseClick(v.bcAceptar, Qt::LeftButton);
        kv::db::DatosAcceso d;
        v.LeerDatos(d);
        EXPECT_EQ(d.usuario, "Ingrese el usuario");
        EXPECT_EQ(d.servidor, "srv9");
        EXPECT_EQ(d.plataforma, 1);
    }
    {
        frmAcceso v;
        Mostrar(v);
        QTest::mouseClick(v.bcCancelar, Qt::LeftButton);
        EXPECT_FALSE(v.Aceptar);
        EXPECT_FALSE(v.isVisible());
    }
    {
        frmAcceso v;
        Mostrar(v);
        QTest::keyClick(&v, Qt::Key_Escape);
        EXPECT_FALSE(v.Aceptar);
    }
}

TEST_F(VentanaAcceso, EntrarPorElAbridorDeConexiones) {
    kv::pruebas::EscribirBases(App(), kBases);
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);  // the line that is no record
    puerto->ResponderMensaje(kv::respuesta::Si);       // the wrong password: try again
    puerto->ResponderMensaje(kv::respuesta::Aceptar);  // the line, on the second window
    QStringList vistos;
    kv::pruebas::GuionVentanas guion({
        [](frmAcceso& v) {
            QListWidget* lista = v.lstBases;
            QTest::mouseClick(lista->viewport(), Qt::LeftButton, {},
                              lista->visualItemRect(lista->item(2)).center());
            Teclear(v.TxtUserId, "NORTE");
            Teclear(v.TxtUserPassword, "MALA");
            QTest::mouseClick(v.bcAceptar, Qt::LeftButton);
        },
        [&](frmAcceso& v) {
            // Shown again with what was typed.
            vistos << v.TxtServidor->text() << v.TxtDbName->text() << v.TxtUserId->text()
                   << v.TxtUserPassword->text();
            Teclear(v.TxtUserPassword, "NORTE");
            QTest::mouseClick(v.bcAceptar, Qt::LeftButton);
        },
    });
    DB_Dll& erp = DB_Dll::Principal();
    erp.OpenServerADODB(true, 3, QString(), true, true);
    EXPECT_EQ(guion.Atendidas(), 2);
    EXPECT_EQ(guion.Inesperadas(), 0);
    EXPECT_EQ(vistos, QStringList({"EMBEBIDO", "NORTE", "NORTE", "MALA"}));
    EXPECT_TRUE(erp.gOpenFlag);
    EXPECT_EQ(erp.gServidor, "EMBEBIDO");
    EXPECT_EQ(erp.gDBName, "NORTE");
    EXPECT_EQ(erp.gUsuario, "NORTE");
    EXPECT_EQ(erp.gCnn.State(), kv::db::ado::Abierto);
    const auto mensajes = puerto->Mensajes();
    ASSERT_EQ(mensajes.size(), 3);
    EXPECT_EQ(mensajes[1].titulo, " Error de Conexion a Base de Datos");
    EXPECT_TRUE(mensajes[1].texto.contains("Codigo Nativo: 18456")) << mensajes[1].texto.toStdString();
    EXPECT_EQ(mensajes[1].estilo, kv::estilo::SiNo + kv::estilo::Critico);
}

TEST_F(VentanaAcceso, CancelarNoIntentaConectar) {
    kv::pruebas::EscribirBases(App(), "NORTE / EMBEBIDO,NORTE,NORTE,00,EMBEBIDO\r\n");
    kv::pruebas::GuionVentanas guion({[](frmAcceso& v) { QTest::mouseClick(v.bcCancelar, Qt::LeftButton); }});
    DB_Dll& erp = DB_Dll::Principal();
    erp.OpenServerADODB(true, 3, QString(), true, true);
    EXPECT_EQ(guion.Atendidas(), 1);
    EXPECT_FALSE(erp.gOpenFlag);
    EXPECT_EQ(erp.gCnn.State(), kv::db::ado::Cerrado);
}

TEST_F(VentanaAcceso, ArranqueSinLineaEntraComoNorte) {
    // The program's start-up with nothing on its command line, as a desktop launcher starts it.
    kv::pruebas::EscribirBases(App(),
                               "NORTE / EMBEBIDO,NORTE,NORTE,15CFF79EAA,EMBEBIDO\r\n"
                               "SUR / EMBEBIDO,SUR,SUR,08D5F7,EMBEBIDO\r\n");
    int terminaciones = 0;
    kv::core::EstablecerTerminacionInicio([&] { ++terminaciones; });
    kv::core::Ajustes() = kv::core::AjustesSistema{};
    QStringList lista;
    kv::pruebas::GuionVentanas guion({[&](frmAcceso& v) {
        lista = Filas(v);
        // The first entry is already in the boxes; the user types name and password.
        Teclear(v.TxtUserId, "NORTE");
        Teclear(v.TxtUserPassword, "NORTE");
        QTest::keyClick(v.TxtUserPassword, Qt::Key_Return);
    }});
    QString cadena;
    const bool abierta = kv::core::IniciarSistema(false, " ", cadena, 3);
    kv::core::EstablecerTerminacionInicio({});
    EXPECT_TRUE(abierta);
    EXPECT_EQ(terminaciones, 0);
    EXPECT_EQ(lista, QStringList({"NORTE / EMBEBIDO", "SUR / EMBEBIDO"}));
    EXPECT_EQ(DB_Dll::Principal().gDBName, "NORTE");
    EXPECT_EQ(servidor_.Valor("SELECT Usuario FROM Control_Acceso").toString(), "NORTE");
    kv::core::Ajustes() = kv::core::AjustesSistema{};
}

}  // namespace

// The start-up in the same process, on a fresh embedded server.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "ServidorPrueba.h"
#include "core/Ajustes.h"
#include "core/Configuracion.h"
#include "core/Inicio.h"
#include "core/LineaComandos.h"
#include "core/Utilidades.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "soporte/PuertoGuionado.h"

using namespace kv::core;
using kv::db::DB_Dll;

namespace {

const QString kLinea =
    "@server=EMBEBIDO; @dbname= EMPRESA; @usuario= U; @Password= %1; @ParametroAdicional=; "
    "@Caja=1;quiv@";

class InicioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Ajustes() = AjustesSistema{};
        AjustesConsultas() = AjustesConsulta{};
        DB_Dll::EstablecerNombreProceso("KV_ESTV");
        EstablecerTerminacionInicio([this] { ++terminaciones_; });
        qputenv("TEMP", servidor_.carpetas().raiz().toUtf8());
        qputenv("KVESTV_INI", (servidor_.carpetas().raiz() + "CN000pr.INI").toUtf8());
    }
    void TearDown() override {
        CerrarConexiones();
        EstablecerTerminacionInicio({});
        DB_Dll::EstablecerNombreProceso(QString());
        Ajustes() = AjustesSistema{};
        AjustesConsultas() = AjustesConsulta{};
        qunsetenv("TEMP");
        qunsetenv("KVESTV_INI");
    }
    void EscribirIni(const QString& texto) {
        QFile f(servidor_.carpetas().raiz() + "CN000pr.INI");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(texto.toUtf8());
    }
    int Accesos() { return servidor_.Valor("SELECT COUNT(*) FROM Control_Acceso").toInt(); }

    kv::pruebas::ServidorPrueba servidor_;
    int terminaciones_ = 0;
};

TEST_F(InicioTest, AbreLaBaseCargaLaConfiguracionYRegistraElAcceso) {
    servidor_.CrearAlmacenEstadisticas();
    servidor_.Ejecutar("INSERT INTO TA_CONFIGURACION (Clave, Valor) VALUES ('Top_Default', '50')");
    kv::pruebas::PuertoGuionado puerto;
    QString cadena;
    EXPECT_TRUE(IniciarSistema(false, kLinea.arg("P"), cadena, 3));
    EXPECT_EQ(terminaciones_, 0);
    const AjustesSistema& a = Ajustes();
    DB_Dll& erp = DB_Dll::Principal();
    EXPECT_TRUE(erp.gOpenFlag);
    EXPECT_EQ(erp.gServidor, "EMBEBIDO");
    EXPECT_EQ(erp.gDBName, "EMPRESA");
    EXPECT_EQ(a.carpetaAplicacion, servidor_.carpetas().aplicacion());
    EXPECT_EQ(a.archivoAyuda, servidor_.carpetas().aplicacion() + "htmlhelp/orbitalsuite.chm");
    EXPECT_EQ(a.claveEstacion, ClaveEstacion(NombreMaquina(), NombreUsuario()));
    EXPECT_EQ(a.barrasPlanas, 1);
    EXPECT_EQ(a.caja, "1");
    EXPECT_EQ(a.usuarioLogeado, "U");
    EXPECT_EQ(a.topDefault, "50");
    EXPECT_EQ(a.tablaConfiguracion, "ta_configuracion");
    // The store had no time-out: 0 is stored and 360 used.
    EXPECT_EQ(a.tiempoConsulta, 360);
    EXPECT_EQ(erp.gCnn.CommandTimeout(), 360);
    EXPECT_EQ(erp.gCnn.IsolationLevel(), 256);
    EXPECT_TRUE(BaseEstadisticas().gOpenFlag);
    servidor_.Ejecutar("USE KV_ESTADISTICAS");
    EXPECT_EQ(servidor_.Valor("SELECT COUNT(*) FROM TA_CONFIGURACION").toInt(), 1);
    EXPECT_EQ(servidor_.Valor("SELECT Clave FROM TA_CONFIGURACION").toString(), "TIMEOUT");
    EXPECT_EQ(servidor_.Valor("SELECT Valor FROM TA_CONFIGURACION").toString(), "0");
    EXPECT_EQ(servidor_.Valor("SELECT Grupo FROM TA_CONFIGURACION").toString(), "BaseDeDatos");
    servidor_.Ejecutar("USE EMPRESA");
    // Lookup settings and their definition file.
    EXPECT_EQ(AjustesConsultas().gConnString, erp.gConnString);
    EXPECT_TRUE(AjustesConsultas().gUsarMascarasConsultas);
    EXPECT_EQ(AjustesConsultas().gRutaMascaraConsultas, servidor_.carpetas().aplicacion() + "consultas.krv");
    EXPECT_EQ(QFileInfo(AjustesConsultas().gRutaMascaraConsultas).size(), 11 * 1202);
    EXPECT_EQ(Accesos(), 1);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());

    // Already open: the command line is not read again, the start is recorded again
    // and an existing definition file is left alone.
    EXPECT_TRUE(IniciarSistema(false, "@server=OTRO; @dbname=OTRA;", cadena, 3));
    EXPECT_EQ(erp.gDBName, "EMPRESA");
    EXPECT_EQ(Accesos(), 2);
    EXPECT_EQ(QFileInfo(AjustesConsultas().gRutaMascaraConsultas).size(), 11 * 1202);
}

TEST_F(InicioTest, CarpetaSinPermisoDeEscrituraNoPierdeLaConfiguracionNiElAcceso) {
    // The program folder lies under a plain file: nothing can be written there.
    const QString archivo = servidor_.carpetas().raiz() + "no_es_carpeta";
    {
        QFile f(archivo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QByteArray anterior = qgetenv("KVESTV_CARPETA");
    qputenv("KVESTV_CARPETA", (archivo + "/").toUtf8());
    servidor_.Ejecutar("INSERT INTO TA_CONFIGURACION (Clave, Valor) VALUES ('Top_Default', '50')");
    kv::pruebas::PuertoGuionado puerto;
    QString cadena;
    EXPECT_TRUE(IniciarSistema(false, kLinea.arg("P"), cadena, 3));
    qputenv("KVESTV_CARPETA", anterior);
    EXPECT_FALSE(QFileInfo::exists(archivo + "/consultas.krv"));
    EXPECT_EQ(AjustesConsultas().gRutaMascaraConsultas, archivo + "/consultas.krv");
    EXPECT_EQ(Ajustes().topDefault, "50");
    EXPECT_EQ(Accesos(), 1);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST_F(InicioTest, TiempoDeConsultaDelAlmacen) {
    servidor_.CrearAlmacenEstadisticas();
    servidor_.Ejecutar("USE KV_ESTADISTICAS");
    servidor_.Ejecutar(
        "INSERT INTO TA_CONFIGURACION (Clave, Valor, ValorAux, Grupo) VALUES ('TimeOut', '120', 'aux', 'X')");
    servidor_.Ejecutar("USE EMPRESA");
    QString cadena;
    EXPECT_TRUE(IniciarSistema(false, kLinea.arg("P"), cadena, 3));
    EXPECT_EQ(Ajustes().tiempoConsulta, 120);
    EXPECT_EQ(DB_Dll::Principal().gCnn.CommandTimeout(), 120);
    QString aux;
    EXPECT_EQ(CfgKV("TimeOut", &aux), "120");
    EXPECT_EQ(aux, "aux");

    // Writing a key: trimmed and upper-cased key; an empty auxiliary value keeps the stored one.
    GrabaCfgKV(" timeout ", " 240 ", "", true, "BaseDeDatos", true);
    EXPECT_EQ(CfgKV("TIMEOUT", &aux), "240");
    EXPECT_EQ(aux, "aux");
    GrabaCfgKV("TimeOut", " 30 ", " otro ", false, "G", false);
    EXPECT_EQ(CfgKV("TimeOut", &aux), " 30 ");
    EXPECT_EQ(aux, "otro");
    GrabaCfgKV("D'Nueva", "1", "", false, "G", true);
    EXPECT_EQ(CfgKV("D'NUEVA"), "1");
}

TEST_F(InicioTest, SinAlmacenQuedaElTiempoPorDefecto) {
    QString cadena;
    EXPECT_TRUE(IniciarSistema(false, kLinea.arg("P"), cadena, 3));
    EXPECT_FALSE(BaseEstadisticas().gOpenFlag);
    EXPECT_EQ(Ajustes().tiempoConsulta, 360);
    EXPECT_EQ(Accesos(), 1);
}

TEST_F(InicioTest, ClaveIncorrectaTermina) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::No);
    QString cadena;
    EXPECT_FALSE(IniciarSistema(false, kLinea.arg("MALA"), cadena, 3));
    EXPECT_EQ(terminaciones_, 1);
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes().at(0).titulo, " Error de Conexion a Base de Datos");
    EXPECT_TRUE(puerto->Mensajes().at(0).texto.contains("Codigo Nativo: 18456"));
    EXPECT_EQ(Accesos(), 0);
}

TEST_F(InicioTest, LineaVaciaPideLosDatosYSinVentanaTermina) {
    QString cadena;
    EXPECT_FALSE(IniciarSistema(false, QString(), cadena, 3));
    EXPECT_EQ(terminaciones_, 1);
    EXPECT_FALSE(DB_Dll::Principal().gOpenFlag);
}

TEST_F(InicioTest, MarcaOracleArmaLaCadena) {
    kv::pruebas::PuertoGuionado puerto;
    puerto.PermitirInesperados();
    QString cadena;
    EXPECT_FALSE(IniciarSistema(false, "@server=#ORCL; @dbname= XE; @usuario= U; @Password= P;", cadena, 3));
    EXPECT_EQ(cadena, "Provider=OraOLEDB.Oracle.1;Data Source=XE;User Id=U;Password=P;");
    EXPECT_EQ(DB_Dll::Principal().gServidor, "ORCL");
    EXPECT_EQ(terminaciones_, 1);
}

TEST_F(InicioTest, AjustesGuardadosDeLaEstacion) {
    const QString seccion = NombreMaquina().toUpper() + "|" + NombreUsuario().toUpper() + "BaseDeDatos";
    EscribirIni("[" + seccion + "]\r\nServidor=EMBE|BIDO\r\nDbName=EMPRESA\r\nUsuario=" + Codificar("U") +
                "\r\nUserPassWord=" + Codificar("P") + "\r\n[" +
                ClaveEstacion(NombreMaquina(), NombreUsuario()) + "]\r\nFlatToolbars=0\r\n");
    QString cadena;
    EXPECT_TRUE(IniciarSistema(true, "   ", cadena, 3));
    EXPECT_EQ(DB_Dll::Principal().gServidor, "EMBEBIDO");
    EXPECT_EQ(DB_Dll::Principal().gUsuario, "U");
    EXPECT_EQ(Ajustes().barrasPlanas, 0);
    EXPECT_EQ(Accesos(), 1);
}

TEST_F(InicioTest, SinArchivoIniLosAjustesGuardadosUsanElUsuarioPorDefecto) {
    kv::pruebas::PuertoGuionado puerto;
    puerto.PermitirInesperados();
    QString cadena;
    // Server and database are empty: the access window is asked for and, without one, start-up ends.
    EXPECT_FALSE(IniciarSistema(true, QString(), cadena, 3));
    EXPECT_EQ(DB_Dll::Principal().gUsuario, "Korvane");
    EXPECT_EQ(DB_Dll::Principal().gUserPassWord, "pelumbo");
    EXPECT_EQ(terminaciones_, 1);
}

TEST(Pieles, NumerosYArchivos) {
    EXPECT_EQ(PielPara(1).archivo, "Styles/Vista.cjstyles");
    EXPECT_EQ(PielPara(2).archivo, "Styles/WinXP.Luna.cjstyles");
    EXPECT_EQ(PielPara(3).archivo, "Styles/WinXP.Royale.cjstyles");
    EXPECT_EQ(PielPara(4).archivo, "Styles/iTunes");
    EXPECT_EQ(PielPara(4).ini, "Normalitunes.ini");
    EXPECT_EQ(PielPara(0).archivo, "Styles/Office2007.cjstyles");
    EXPECT_EQ(PielPara(9).archivo, "Styles/Office2007.cjstyles");
    EXPECT_TRUE(PielPara(9).ini.isEmpty());
    for (int n : {1, 2, 3, 4, 5}) {
        QWidget ventana;
        EXPECT_TRUE(AplicarPiel(ventana, PielPara(n))) << n;
        EXPECT_FALSE(ventana.styleSheet().isEmpty());
    }
}

TEST(Pieles, UnaPielQueNoCargaDejaElEstiloPorDefecto) {
    QWidget ventana;
    Piel rota = PielPara(1);
    rota.hojaEstilo = ":/estilos/no_existe.qss";
    EXPECT_FALSE(AplicarPiel(ventana, rota));
    EXPECT_TRUE(ventana.styleSheet().isEmpty());
}

TEST(Pieles, AplicarEstiloLeeElIni) {
    kv::pruebas::CarpetasTemporales carpetas;
    QFile f(carpetas.raiz() + "cn000pr.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("[" + NombreUsuario().toUpper() + "Styles]\r\nStyles=3\r\n").toUtf8());
    f.close();
    qputenv("KVESTV_INI", (carpetas.raiz() + "cn000pr.ini").toUtf8());
    QWidget ventana;
    AplicarEstilo(ventana);
    EXPECT_EQ(Ajustes().estiloPiel, 3);
    EXPECT_EQ(ventana.property("piel").toInt(), 3);
    qunsetenv("KVESTV_INI");
    Ajustes() = AjustesSistema{};
}

TEST(Ventana, IconoYEstiloDeBarras) {
    kv::pruebas::PuertoGuionado puerto;
    Ajustes().barrasPlanas = 0;
    QWidget ventana;
    auto* barra = new QObject(&ventana);
    barra->setObjectName("TBarRep1");
    ConfigurarVentana(ventana);
    EXPECT_FALSE(ventana.windowIcon().isNull());
    EXPECT_EQ(barra->property("StyleBar").toInt(), 0);

    QWidget mdi;
    mdi.setObjectName("frmMDI");
    auto* otra = new QObject(&mdi);
    otra->setObjectName("UtilNet1");
    ConfigurarVentana(mdi);
    EXPECT_FALSE(otra->property("StyleBar").isValid());
    Ajustes() = AjustesSistema{};
}

}  // namespace

namespace {

// A stored time-out beyond 32767 seconds is kept as it is.
TEST_F(InicioTest, TiempoDeConsultaGrandeSeConserva) {
    servidor_.CrearAlmacenEstadisticas();
    servidor_.Ejecutar("USE KV_ESTADISTICAS");
    servidor_.Ejecutar("INSERT INTO TA_CONFIGURACION (Clave, Valor, Grupo) VALUES ('TimeOut', '40000', 'X')");
    servidor_.Ejecutar("USE EMPRESA");
    QString cadena;
    EXPECT_TRUE(IniciarSistema(false, kLinea.arg("P"), cadena, 3));
    EXPECT_EQ(Ajustes().tiempoConsulta, 40000);
    EXPECT_EQ(DB_Dll::Principal().gCnn.CommandTimeout(), 40000);
    EXPECT_EQ(CfgKV("TimeOut"), "40000");
}

// The store login's password comes from the start-up INI when an administrator
// set it there (coded), and the built-in one applies otherwise.
TEST_F(InicioTest, ClaveDelAlmacenDesdeElIni) {
    servidor_.CrearAlmacenEstadisticas();
    EXPECT_EQ(ClaveEstadisticas(), "QZ_TABLEROVENTA");
    servidor_.Ejecutar("EXEC sp_password 'QZ_TABLEROVENTA', 'Otra;Clave', 'KV_ESTADISTICAS'");
    EscribirIni("[KV_ESTADISTICAS]\r\nClaveAlmacen=" + Codificar("Otra;Clave") + "\r\n");
    EXPECT_EQ(ClaveEstadisticas(), "Otra;Clave");
    QString cadena;
    EXPECT_TRUE(IniciarSistema(false, kLinea.arg("P"), cadena, 3));
    EXPECT_TRUE(BaseEstadisticas().gOpenFlag);
    EXPECT_EQ(BaseEstadisticas().gUserPassWord, "Otra;Clave");
}

}  // namespace

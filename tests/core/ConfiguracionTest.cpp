// Configuration keys, the user's options, the access record and the script
// runner, on a fresh embedded server.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "ServidorPrueba.h"
#include "core/Ajustes.h"
#include "core/Configuracion.h"
#include "core/Errores.h"
#include "core/Inicio.h"
#include "core/Utilidades.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "soporte/PuertoGuionado.h"

using namespace kv::core;
using kv::db::DB_Dll;

namespace {

TEST(ReglasConfiguracion, Banderas) {
    EXPECT_TRUE(BanderaSI("si"));
    EXPECT_TRUE(BanderaSI("SI"));
    EXPECT_FALSE(BanderaSI(" SI"));
    EXPECT_FALSE(BanderaSI(" "));
    EXPECT_TRUE(BanderaSIRecortada(" SI "));
    EXPECT_FALSE(BanderaSIRecortada("NO"));
    EXPECT_FALSE(BanderaNOApaga(" "));
    EXPECT_FALSE(BanderaNOApaga(""));
    EXPECT_FALSE(BanderaNOApaga("no"));
    EXPECT_TRUE(BanderaNOApaga("S"));
    EXPECT_TRUE(BanderaNoNO(" "));
    EXPECT_TRUE(BanderaNoNO("SI"));
    EXPECT_FALSE(BanderaNoNO(" no "));
}

TEST(ReglasConfiguracion, Numeros) {
    EXPECT_EQ(NumeroCorto("12abc"), 12);
    EXPECT_EQ(NumeroCorto("abc"), 0);
    EXPECT_EQ(NumeroCorto(" 7"), 7);
    EXPECT_EQ(NumeroCorto("99999"), 0);
    EXPECT_EQ(Importe4(" 12,5 "), 125000);
    EXPECT_EQ(Importe4("3.14159"), 31416);
    EXPECT_EQ(Importe4("x"), 0);
    EXPECT_EQ(Color("255"), 255);
    EXPECT_EQ(Color("16776960.4"), 16776960);
    EXPECT_EQ(Color(""), 0);
}

TEST(ReglasConfiguracion, SentenciaDeLectura) {
    EXPECT_EQ(SentenciaLeerClave("TA_CONFIGURACION", " TopConsArt "),
              "SELECT VALOR, valoraux FROM TA_CONFIGURACION with(nolock)  WHERE CLAVE = 'TopConsArt'");
    EXPECT_EQ(SentenciaLeerClave("ta_configuracion", "[fecha desde]"),
              "SELECT VALOR, VALORAUX FROM TA_CONFIGURACION WITH(NOLOCK)  WHERE CLAVE = '[FECHA DESDE]'");
    // A key never ends the literal early.
    EXPECT_EQ(SentenciaLeerClave("T", "A'B"),
              "SELECT VALOR, valoraux FROM T with(nolock)  WHERE CLAVE = 'A''B'");
    EXPECT_EQ(
        SentenciaTareaUsuario("ANA", "KV_ESTV"),
        "SELECT TA_TAREAS.USUARIO, TA_MENU.Proceso, TA_MENU.Clave , TA_MENU.Nombre  FROM TA_TAREAS  "
        "with(nolock) INNER JOIN TA_MENU ON TA_TAREAS.TAREA = TA_MENU.Clave  WHERE (TA_TAREAS.USUARIO = "
        "'ANA ') AND (TA_MENU.Proceso LIKE '%KV_ESTV%')");
}

// The ERP database open on the main object, as start-up leaves it.
class ConBaseERP : public ::testing::Test {
  protected:
    void SetUp() override {
        Ajustes() = AjustesSistema{};
        DB_Dll::EstablecerNombreProceso("KV_ESTV");
        DB_Dll& base = DB_Dll::Principal();
        base.gServidor = "EMBEBIDO";
        base.gDBName = servidor_.base();
        base.gUsuario = servidor_.usuario();
        base.gUserPassWord = servidor_.clave();
        base.OpenServerADODB(false, 3, QString(), true, false);
        ASSERT_TRUE(base.gOpenFlag);
        qputenv("TEMP", servidor_.carpetas().raiz().toUtf8());
    }
    void TearDown() override {
        CerrarConexiones();
        DB_Dll::EstablecerNombreProceso(QString());
        Ajustes() = AjustesSistema{};
        qunsetenv("TEMP");
    }
    void Clave(const QString& clave, const QString& valor, const QString& aux = QString()) {
        servidor_.Ejecutar("INSERT INTO TA_CONFIGURACION (Clave, Valor, ValorAux) VALUES ('" + clave +
                           "', '" + valor + "', " + (aux.isNull() ? QString("NULL") : "'" + aux + "'") + ")");
    }
    kv::pruebas::ServidorPrueba servidor_;
};

using Cfg_ = ConBaseERP;

TEST_F(Cfg_, ValorAuxiliarYClaveAusente) {
    kv::pruebas::PuertoGuionado puerto;
    Clave("TopConsArt", "500", "aux");
    servidor_.Ejecutar("INSERT INTO TA_CONFIGURACION (Clave, Valor) VALUES ('NULO', NULL)");
    QString aux = "x";
    EXPECT_EQ(Cfg("TopConsArt", &aux), "500");
    EXPECT_EQ(aux, "aux");
    EXPECT_EQ(Cfg(" topconsart "), "500");
    EXPECT_EQ(Cfg("NoExiste", &aux), " ");
    EXPECT_EQ(aux, "");
    EXPECT_EQ(Cfg("NULO", &aux), "");
    EXPECT_EQ(aux, "");
    EXPECT_EQ(Cfg("THEME"), "1");
    EXPECT_EQ(Cfg("O'Hara"), " ");
    Clave("O''Hara", "con apostrofo");
    EXPECT_EQ(Cfg("O'Hara"), "con apostrofo");
}

TEST_F(Cfg_, SinBaseAbiertaDevuelveVacio) {
    Clave("TopConsArt", "500");
    DB_Dll::Principal().gOpenFlag = false;
    EXPECT_EQ(Cfg("TopConsArt"), "");
    DB_Dll::Principal().gOpenFlag = true;
    EXPECT_EQ(Cfg("TopConsArt"), "500");
}

using CargarConfiguracionTest = ConBaseERP;

TEST_F(CargarConfiguracionTest, ValoresPorDefectoSinClaves) {
    kv::pruebas::PuertoGuionado puerto;
    CargarConfiguracion("/carpeta/");
    const AjustesSistema& a = Ajustes();
    EXPECT_EQ(a.tablaConfiguracion, "ta_configuracion");
    EXPECT_FALSE(a.mostrarStockEnConsultas);
    EXPECT_EQ(a.tituloClientes, "");
    EXPECT_EQ(a.archivoTareas, "/carpeta/KVDOCTareas.krv");
    EXPECT_EQ(a.cantidadDecimales, " ");
    EXPECT_TRUE(a.moduloOrdenDeTrabajo);
    EXPECT_FALSE(a.maderera);
    EXPECT_EQ(a.colorFondo, 16776960);
    EXPECT_EQ(a.colorLetra, 0);
    EXPECT_EQ(a.periodo, 0);
    EXPECT_EQ(a.maxDto, 0);
    EXPECT_EQ(a.condicionIvaEmpresa, 1);
    EXPECT_EQ(a.topDefault, "1000");
    EXPECT_EQ(a.unidadNegocio, "   1");
    EXPECT_FALSE(a.usaFacturaProforma);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST_F(CargarConfiguracionTest, CadaReglaDeLectura) {
    Clave("MostrarStockenConsultas", "si");
    Clave("TituloClientes", "  Clientes  ");
    Clave("UsaConsultaLike", " SI");
    Clave("EXIGECLAVECONSULTALIKEARTICULOS", "SI");
    Clave("CantidadDecimales", " 2 ");
    Clave("SS_CONFIDENCIALIDAD", "SI");
    Clave("RazonSocialPorUneg", " SI ");
    Clave("VALIDACODIGOBARRA", "no");
    Clave("CFondo", "255");
    Clave("CLetra", "65280");
    Clave("ModuloOrdenDeTrabajo", " no ");
    Clave("V_ModificaCPrecio", "S");
    Clave("C_ModificaCPrecio", "NO");
    Clave("MADERERA", " ");
    Clave("MAD_TIRAS", " tiras ");
    Clave("PERIODO", "12abc");
    Clave("MaxDto", " 12,5 ");
    Clave("MaxDtoProforma", "x");
    Clave("PideClave_StockNeg", "SI");
    Clave("CONDIVAEMPRESA", "0");
    Clave("CONDIVA", "3");
    Clave("Top_Default", " 250 ");
    Clave("UNIDADDEMEDIDA_KG", " Kg ");
    CargarConfiguracion("/c/");
    const AjustesSistema& a = Ajustes();
    EXPECT_TRUE(a.mostrarStockEnConsultas);
    EXPECT_EQ(a.tituloClientes, "Clientes");
    EXPECT_FALSE(a.usaConsultaLike);
    EXPECT_TRUE(a.exigeClaveConsultaLikeArticulos);
    EXPECT_EQ(a.cantidadDecimales, " 2 ");
    EXPECT_TRUE(a.confidencialidad);
    EXPECT_TRUE(DB_Dll::Confidencialidad());
    EXPECT_TRUE(a.razonSocialPorUnidad);
    EXPECT_FALSE(a.validaCodigoBarra);
    EXPECT_EQ(a.colorFondo, 255);
    EXPECT_EQ(a.colorLetra, 65280);
    EXPECT_FALSE(a.moduloOrdenDeTrabajo);
    EXPECT_TRUE(a.ventasModificaPrecio);
    EXPECT_FALSE(a.comprasModificaPrecio);
    EXPECT_FALSE(a.maderera);
    EXPECT_EQ(a.madTiras, "tiras");
    EXPECT_EQ(a.periodo, 12);
    EXPECT_EQ(a.maxDto, 125000);
    EXPECT_EQ(a.maxDtoProforma, 0);
    EXPECT_TRUE(a.pideClaveStockNegativo);
    EXPECT_FALSE(a.pideClaveMarkUpBase);
    EXPECT_EQ(a.condicionIvaEmpresa, 3);
    EXPECT_EQ(a.topDefault, " 250 ");
    EXPECT_EQ(a.unidadMedidaKG, "Kg");
    DB_Dll::EstablecerConfidencialidad(false);
}

TEST_F(CargarConfiguracionTest, OpcionesDelUsuario) {
    Clave("UsaFacturaProforma", "SI");
    servidor_.Ejecutar(
        "INSERT INTO ta_usuarios (Nombre, UNegocio, verproforma, Administrador) VALUES ('U', '  2', 0, 1)");
    CargarConfiguracion("/c/");
    EXPECT_EQ(Ajustes().unidadNegocio, "  2");
    EXPECT_FALSE(Ajustes().usaFacturaProforma);

    // A user without a row keeps the configured option and the default unit.
    Ajustes() = AjustesSistema{};
    Ajustes().usuarioActual = "SIN FILA";
    CargarConfiguracion("/c/");
    EXPECT_EQ(Ajustes().unidadNegocio, "   1");
    EXPECT_TRUE(Ajustes().usaFacturaProforma);

    // A user name with an apostrophe reads its own row.
    servidor_.Ejecutar("INSERT INTO ta_usuarios (Nombre, UNegocio, verproforma) VALUES ('D''Alba', '9', 1)");
    Ajustes() = AjustesSistema{};
    Ajustes().usuarioActual = "D'Alba";
    CargarConfiguracion("/c/");
    EXPECT_EQ(Ajustes().unidadNegocio, "9");
    EXPECT_TRUE(Ajustes().usaFacturaProforma);
}

using RegistrarAccesoTest = ConBaseERP;

TEST_F(RegistrarAccesoTest, FilaConLaTareaDelMenu) {
    kv::pruebas::PuertoGuionado puerto;
    servidor_.Ejecutar(
        "INSERT INTO TA_MENU (Clave, Proceso, Nombre) VALUES ('M1', 'KV_ESTV', 'Estadísticas de ventas')");
    servidor_.Ejecutar("INSERT INTO TA_TAREAS (USUARIO, TAREA) VALUES ('U', 'M1')");
    const QDateTime antes = QDateTime::currentDateTime();
    RegistrarAcceso();
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
    auto c = servidor_.Conectar();
    auto rs = c->Execute("SELECT * FROM Control_Acceso");
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Valor("Maquina").toString(), NombreMaquina().trimmed().toUpper());
    EXPECT_EQ(rs->Valor("Usuario").toString(), "U");
    EXPECT_EQ(rs->Valor("Formulario").toString(), "KV_ESTV");
    EXPECT_EQ(rs->Valor("Tarea").toString(), "ESTADÍSTICAS DE VENTAS");
    EXPECT_EQ(rs->Valor("NombreUsuario").toString(), "U");
    const QString ingreso = rs->Valor("Ingreso").toString();
    EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d$").match(ingreso).hasMatch())
        << ingreso.toStdString();
    EXPECT_LE(qAbs(QDateTime::fromString("20" + ingreso.mid(6, 2) + ingreso.left(6) + ingreso.mid(8),
                                         "yyyydd/MM/ HH:mm")
                       .secsTo(antes)),
              120);
    EXPECT_EQ(Ajustes().usuarioActual, "U");
}

TEST_F(RegistrarAccesoTest, UsuarioConApostrofoSeGuardaSinEl) {
    kv::pruebas::PuertoGuionado puerto;
    DB_Dll::Principal().gUsuario = "o'Brien";
    RegistrarAcceso("Otro Proceso");
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
    EXPECT_EQ(servidor_.Valor("SELECT Usuario FROM Control_Acceso").toString(), "OBRIEN");
    EXPECT_EQ(servidor_.Valor("SELECT NombreUsuario FROM Control_Acceso").toString(), "oBrien");
    EXPECT_EQ(servidor_.Valor("SELECT Formulario FROM Control_Acceso").toString(), "OTRO PROCESO");
    EXPECT_EQ(servidor_.Valor("SELECT Tarea FROM Control_Acceso").toString(), "");
}

TEST_F(RegistrarAccesoTest, SupervisorSinTareaUsaElNombreDelPrograma) {
    DB_Dll::Principal().gUsuario = "Operador Maestro Gral";
    RegistrarAcceso();
    EXPECT_EQ(servidor_.Valor("SELECT Tarea FROM Control_Acceso").toString(), "KV_ESTV");
}

using ScriptTest = ConBaseERP;

TEST_F(ScriptTest, ConfirmaCuandoNoHayErrores) {
    kv::pruebas::PuertoGuionado puerto;
    ResultadoScript r;
    r.errorNativo = 99;
    GActualizarDatoScript(
        {"INSERT INTO TA_MENU (Clave) VALUES ('A')", "  ", "INSERT INTO TA_MENU (Clave) VALUES ('B')"}, r,
        false, false, true);
    EXPECT_FALSE(r.huboError);
    EXPECT_EQ(r.errorNativo, 0);
    EXPECT_EQ(r.script,
              "BEGIN TRANSACTION \r\r\rINSERT INTO TA_MENU (Clave) VALUES ('A')\rINSERT INTO TA_MENU (Clave) "
              "VALUES ('B')\r");
    EXPECT_EQ(servidor_.Valor("SELECT COUNT(*) FROM TA_MENU").toInt(), 2);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST_F(ScriptTest, SoloBlancosNoEjecutaNada) {
    ResultadoScript r;
    r.huboError = true;
    r.errorNativo = 99;
    r.script = "antes";
    GActualizarDatoScript({"", "   "}, r, false, false, true);
    EXPECT_FALSE(r.huboError);
    EXPECT_EQ(r.errorNativo, 99);
    EXPECT_EQ(r.script, "antes");
}

TEST_F(ScriptTest, ClaveDuplicadaSinToleranciaDeshaceAvisaYRegistra) {
    servidor_.Ejecutar("INSERT INTO TA_MENU (Clave) VALUES ('A')");
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    ResultadoScript r;
    GActualizarDatoScript(
        {"INSERT INTO TA_MENU (Clave) VALUES ('B')", "INSERT INTO TA_MENU (Clave) VALUES ('A')"}, r, false,
        false, true);
    EXPECT_TRUE(r.huboError);
    EXPECT_EQ(r.errorNativo, 2627);
    EXPECT_TRUE(r.textoError.startsWith("2627 : ")) << r.textoError.toStdString();
    EXPECT_TRUE(r.textoError.endsWith("\r\n"));
    // Rolled back: the first insert of the script is gone too.
    EXPECT_EQ(servidor_.Valor("SELECT COUNT(*) FROM TA_MENU").toInt(), 1);
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes().at(0).texto, r.textoError);
    EXPECT_EQ(puerto->Mensajes().at(0).titulo, "Aviso al Operador!");
    EXPECT_EQ(puerto->Mensajes().at(0).estilo, 16);

    auto c = servidor_.Conectar();
    auto rs = c->Execute("SELECT * FROM AUX_ERR");
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Valor("Proceso").toString(), "KV_ESTV");
    EXPECT_EQ(rs->Valor("Error").toInt(), 2627);
    EXPECT_EQ(rs->Valor("Descripcion").toString(), r.textoError.left(250));
    EXPECT_EQ(rs->Valor("SQL").toString(), r.script);
    EXPECT_EQ(rs->Valor("pc").toString(), NombreMaquina());
    EXPECT_EQ(rs->Valor("Usuario").toString(), "U");
    EXPECT_FALSE(rs->Valor("Fecha").isNull());
}

TEST_F(ScriptTest, ClaveDuplicadaConToleranciaNoAvisa) {
    servidor_.Ejecutar("INSERT INTO TA_MENU (Clave) VALUES ('A')");
    kv::pruebas::PuertoGuionado puerto;
    ResultadoScript r;
    GActualizarDatoScript({"INSERT INTO TA_MENU (Clave) VALUES ('A')"}, r, true, false, true);
    EXPECT_TRUE(r.huboError);
    EXPECT_EQ(r.errorNativo, 2627);
    EXPECT_FALSE(r.textoError.isEmpty());
    EXPECT_FALSE(r.textoError.startsWith("2627 : "));
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
    EXPECT_EQ(servidor_.Valor("SELECT COUNT(*) FROM AUX_ERR").toInt(), 1);
    EXPECT_EQ(servidor_.Valor("SELECT Descripcion FROM AUX_ERR").toString(), "");
}

TEST_F(ScriptTest, TextosConApostrofosSeGuardanTalCual) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    ResultadoScript r;
    GActualizarDatoScript({"INSERT INTO NO_EXISTE (Nombre) VALUES ('D''Alba')"}, r, false, false, true);
    EXPECT_TRUE(r.huboError);
    EXPECT_EQ(r.errorNativo, 208);
    EXPECT_EQ(servidor_.Valor("SELECT SQL FROM AUX_ERR").toString(),
              "BEGIN TRANSACTION \r\r\rINSERT INTO NO_EXISTE (Nombre) VALUES ('D''Alba')\r");
}

TEST(ScriptSinTablaDeErrores, NoFallaNiPierdeElAviso) {
    // A company database without AUX_ERR: the record is simply not written.
    kv::pruebas::ServidorPrueba servidor("SINERR", "U", "P", false);
    servidor.Ejecutar(
        "CREATE TABLE TA_MENU (Clave nvarchar(20) NOT NULL PRIMARY KEY, Proceso nvarchar(100) NULL, "
        "Nombre nvarchar(100) NULL)");
    servidor.Ejecutar("INSERT INTO TA_MENU (Clave) VALUES ('A')");
    qputenv("TEMP", servidor.carpetas().raiz().toUtf8());
    DB_Dll& base = DB_Dll::Principal();
    base.gServidor = "EMBEBIDO";
    base.gDBName = "SINERR";
    base.gUsuario = "U";
    base.gUserPassWord = "P";
    base.OpenServerADODB(false, 3, QString(), true, false);
    ASSERT_TRUE(base.gOpenFlag);
    {
        kv::pruebas::PuertoGuionado puerto;
        puerto.PermitirInesperados();
        puerto.PermitirPendientes();
        puerto->ResponderMensaje(kv::respuesta::Aceptar);
        ResultadoScript r;
        EXPECT_NO_THROW(
            GActualizarDatoScript({"INSERT INTO TA_MENU (Clave) VALUES ('A')"}, r, false, false, true));
        EXPECT_TRUE(r.huboError);
        EXPECT_EQ(r.errorNativo, 2627);
        bool avisado = false;
        for (const auto& m : puerto->Mensajes()) avisado = avisado || m.titulo == "Aviso al Operador!";
        EXPECT_TRUE(avisado);
    }
    CerrarConexiones();
    qunsetenv("TEMP");
}

// An older AUX_ERR without the "pc" column still gets the row, with every other field.
TEST(RegistrarErrorSQL, SinColumnaPcGrabaLoDemas) {
    kv::pruebas::ServidorPrueba servidor("SINPC", "U", "P", false);
    servidor.Ejecutar(
        "CREATE TABLE AUX_ERR (Proceso nvarchar(50) NULL, Fecha datetime NULL, Error int NULL, "
        "Descripcion nvarchar(250) NULL, SQL ntext NULL, Usuario nvarchar(50) NULL)");
    DB_Dll& base = DB_Dll::Principal();
    base.gServidor = "EMBEBIDO";
    base.gDBName = "SINPC";
    base.gUsuario = "U";
    base.gUserPassWord = "P";
    base.OpenServerADODB(false, 3, QString(), true, false);
    ASSERT_TRUE(base.gOpenFlag);
    DB_Dll::EstablecerNombreProceso("KV_ESTV");
    GRegistrarErrorSQL("INSERT INTO X VALUES (1)", 208, "El nombre de objeto 'X' no es válido.");
    auto c = servidor.Conectar();
    auto rs = c->Execute("SELECT * FROM AUX_ERR");
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Valor("Proceso").toString(), "KV_ESTV");
    EXPECT_EQ(rs->Valor("Error").toInt(), 208);
    EXPECT_EQ(rs->Valor("Descripcion").toString(), "El nombre de objeto 'X' no es válido.");
    EXPECT_EQ(rs->Valor("SQL").toString(), "INSERT INTO X VALUES (1)");
    EXPECT_EQ(rs->Valor("Usuario").toString(), "U");
    EXPECT_FALSE(rs->Valor("Fecha").isNull());
    DB_Dll::EstablecerNombreProceso(QString());
    CerrarConexiones();
}

}  // namespace

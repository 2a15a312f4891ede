// Faults of the database class found in review: Oracle decided by the provider,
// the time-out kept across a reconnection, every form of a restricted table
// rewritten, connection values that cannot break out of their keyword, and the
// error numbers as ADO gives them.

#include "DB_DllPruebas.h"

using kv::db::DB_Dll;
using kv::db::Recordset;
namespace adoerr = kv::db::adoerr;

namespace kv::pruebas {
namespace {

class OracleSoloPorProveedor : public DB_DllPrueba {};

// "oracle" inside a password or a database name is no Oracle connection: the
// INSERT reaches the server as it was written.
TEST_F(OracleSoloPorProveedor, LaPalabraEnLaClaveOLaBaseNoCuenta) {
    DB_Dll& db = Principal();
    db.gServidor = QStringLiteral("GRABADOR");
    db.gDBName = QStringLiteral("ORACLE_VENTAS");
    db.gUsuario = QStringLiteral("ventas");
    db.gUserPassWord = QStringLiteral("miOracle1");
    db.OpenServerADODB(false, 3, QString(), false, false);
    ASSERT_TRUE(db.gOpenFlag);
    grabador_->Olvidar();
    grabador_->Afectados(QStringLiteral("INSERT"), 1);
    QString sql = QStringLiteral("INSERT INTO T VALUES (1)");
    qint32 afectados = 0;
    db.EjecutaConsultaSQL(sql, afectados);
    EXPECT_EQ(grabador_->Llamadas(), QStringList{QStringLiteral("Ejecutar INSERT INTO T VALUES (1)")});
    EXPECT_EQ(afectados, 1);
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT ISNULL(A,0) FROM T")),
              QStringLiteral("SELECT ISNULL(A,0) FROM T"));
    Recordset rs;
    QString consulta = QStringLiteral("SELECT TOP 5 ISNULL(A,0) FROM T");
    db.AbrirRecordset(consulta, rs);
    EXPECT_EQ(grabador_->Sentencias().last(), QStringLiteral("SELECT TOP 5 ISNULL(A,0) FROM T"));
}

TEST_F(OracleSoloPorProveedor, ElProveedorDeOracleSiCuenta) {
    DB_Dll oracle;
    Abrir(oracle, true);
    grabador_->Olvidar();
    EXPECT_EQ(oracle.ORACLE_Dicc(QStringLiteral("SELECT ISNULL(A,0) FROM T")),
              QStringLiteral("SELECT NVL(A,0) FROM T"));
    EXPECT_TRUE(kv::db::EsCadenaOracle(QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=XE;")));
    EXPECT_TRUE(kv::db::EsCadenaOracle(QStringLiteral("provider = msdaora;Data Source=XE;")));
    EXPECT_FALSE(kv::db::EsCadenaOracle(QStringLiteral("PROVIDER=SQLOLEDB;Server=ORACLE;Pwd=oracle;")));
    EXPECT_FALSE(
        kv::db::EsCadenaOracle(QStringLiteral("PROVIDER=SQLOLEDB;Server=S;Pwd={x;Provider=OraOLEDB};")));
}

class TiempoDeComando : public DB_DllPrueba {};

TEST_F(TiempoDeComando, LaReconexionDevuelveElQueTenia) {
    DB_Dll& db = Principal();
    Abrir(db);
    db.gCnn.SetCommandTimeout(360);
    db.gOpenFlag = false;
    db.ReintentaConectar();
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_EQ(db.gCnn.CommandTimeout(), 360);
    // Also when the reopening fails.
    grabador_->FallarApertura(ProveedorGrabador::ErrorConexionPerdida());
    db.ReintentaConectar();
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_EQ(db.gCnn.CommandTimeout(), 360);
}

// A lost link recovered inside AbrirRecordset leaves the long time-out in place.
TEST_F(TiempoDeComando, TrasUnaPerdidaRecuperada) {
    DB_Dll& db = Principal();
    Abrir(db);
    db.gCnn.SetCommandTimeout(360);
    grabador_->PerderConexion(1);
    Recordset rs;
    QString sql = QStringLiteral("SELECT A FROM T");
    db.AbrirRecordset(sql, rs);
    EXPECT_EQ(rs.State(), kv::db::ado::Abierto);
    EXPECT_EQ(db.gCnn.CommandTimeout(), 360);
}

class SinonimosSinEscape : public DB_DllPrueba {
  protected:
    DB_Dll db;
};

TEST_F(SinonimosSinEscape, CadaFormaDeNombrarLaTabla) {
    const QList<QPair<QString, QString>> casos = {
        {"SELECT * FROM [MA_CUENTAS]", "SELECT * FROM [SS_MA_CUENTAS]"},
        {"SELECT * FROM dbo.MA_CUENTAS", "SELECT * FROM dbo.SS_MA_CUENTAS"},
        {"SELECT * FROM [dbo].[MA_CUENTAS] WHERE 1=1", "SELECT * FROM [dbo].[SS_MA_CUENTAS] WHERE 1=1"},
        {"SELECT * FROM EMPRESA1.dbo.MA_CUENTAS", "SELECT * FROM EMPRESA1.dbo.SS_MA_CUENTAS"},
        {"SELECT * FROM (SELECT * FROM MA_CUENTAS)", "SELECT * FROM (SELECT * FROM SS_MA_CUENTAS)"},
        {"SELECT * FROM MA_CUENTAS;", "SELECT * FROM SS_MA_CUENTAS;"},
        {"SELECT * FROM MA_CUENTAS,T", "SELECT * FROM SS_MA_CUENTAS,T"},
        {"SELECT * FROM\tMA_CUENTAS\tWHERE 1=1", "SELECT * FROM\tSS_MA_CUENTAS\tWHERE 1=1"},
        {"SELECT *\r\nFROM\r\nMA_CUENTAS\r\nWHERE 1=1", "SELECT *\r\nFROM\r\nSS_MA_CUENTAS\r\nWHERE 1=1"},
        {"SELECT *\nFROM MA_CUENTAS\n", "SELECT *\nFROM SS_MA_CUENTAS\n"},
        {"SELECT A FROM T WHERE A IN (SELECT C FROM MA_CUENTAS)",
         "SELECT A FROM T WHERE A IN (SELECT C FROM SS_MA_CUENTAS)"},
        {"SELECT * FROM V_TA_CAJAS;SELECT * FROM [MV_ASIENTOS]",
         "SELECT * FROM SS_V_TA_CAJAS;SELECT * FROM [SS_MV_ASIENTOS]"},
        {"SELECT * FROM dbo.AC_CUENTASDIARIO_CCOSTO", "SELECT * FROM dbo.SS_AC_CUENTAS_DIARIO_CCOSTO"},
        {"SELECT * FROM [AC_CUENTASDIARIO]", "SELECT * FROM [SS_AC_CUENTASDIARIO]"},
    };
    DB_Dll::EstablecerConfidencialidad(true);
    for (const auto& [entrada, salida] : casos)
        EXPECT_EQ(db.SS_TSinonimos(entrada), salida) << entrada.toStdString();
}

TEST_F(SinonimosSinEscape, OtrosNombresYLaMarcaNoCambian) {
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM SS_MA_CUENTAS")),
              QStringLiteral("SELECT * FROM SS_MA_CUENTAS"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT MA_CUENTAS_ID FROM [X_MA_CUENTAS]")),
              QStringLiteral("SELECT MA_CUENTAS_ID FROM [X_MA_CUENTAS]"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM [@Admin_MA_CUENTAS]")),
              QStringLiteral("SELECT * FROM [MA_CUENTAS]"));
    // Applied twice, nothing changes the second time.
    const QString una = db.SS_TSinonimos(QStringLiteral("SELECT * FROM dbo.V_TA_CAJAS"));
    EXPECT_EQ(db.SS_TSinonimos(una), una);
}

// The rewrite is what the server receives through AbrirRecordset.
TEST_F(SinonimosSinEscape, LoQueRecibeElServidor) {
    DB_Dll& principal = Principal();
    Abrir(principal);
    principal.gEsAdmin = false;
    grabador_->Olvidar();
    Recordset rs;
    QString sql = QStringLiteral("SELECT Codigo\r\nFROM [dbo].[MA_CUENTAS]");
    principal.AbrirRecordset(sql, rs);
    EXPECT_EQ(grabador_->Sentencias(),
              QStringList{QStringLiteral("SELECT Codigo\r\nFROM [dbo].[SS_MA_CUENTAS]")});
}

class ValoresDeConexion : public DB_DllPrueba {};

TEST_F(ValoresDeConexion, UnoSoloParaTodos) {
    EXPECT_EQ(kv::db::ValorCadenaConexion(QStringLiteral("clave")), QStringLiteral("clave"));
    EXPECT_EQ(kv::db::ValorCadenaConexion(QStringLiteral("a;b")), QStringLiteral("{a;b}"));
    EXPECT_EQ(kv::db::ValorCadenaConexion(QStringLiteral("'pw'")), QStringLiteral("{'pw'}"));
    EXPECT_EQ(kv::db::ValorCadenaConexion(QStringLiteral("{x}y}")), QStringLiteral("{{x}}y}}}"));
    EXPECT_EQ(kv::db::ValorCadenaConexion(QStringLiteral(" clave ")), QStringLiteral("{ clave }"));
    for (const QString& valor : {QStringLiteral("a;b"), QStringLiteral("'pw'"), QStringLiteral("\"pw\""),
                                 QStringLiteral("{x}y}"), QStringLiteral(" clave ")}) {
        const auto p = kv::db::ParametrosConexion::Analizar(
            QStringLiteral("PROVIDER=SQLOLEDB;Server=S;Pwd=") + kv::db::ValorCadenaConexion(valor) +
            QStringLiteral(";UId=u;"));
        EXPECT_EQ(p.Clave(), valor);
        EXPECT_EQ(p.Usuario(), QStringLiteral("u"));
    }
}

// The reconnection of the main instance hands over its user and password: a ";"
// does not cut the password and quotes reach the server as typed.
TEST_F(ValoresDeConexion, LaReconexionLosProtege) {
    DB_Dll& db = Principal();
    Abrir(db);
    for (const QString& clave :
         {QStringLiteral("a;b"), QStringLiteral("'pw'"), QStringLiteral("x;Server=OTRO")}) {
        db.gUserPassWord = clave;
        db.gOpenFlag = false;
        db.ReintentaConectar();
        ASSERT_TRUE(db.gOpenFlag);
        EXPECT_EQ(grabador_->UltimaClave(), clave);
        EXPECT_FALSE(grabador_->Aperturas().last().contains(QStringLiteral("Server=OTRO;")));
    }
}

TEST(NumerosADO, ConversionPermisosDesbordamientoYObjetos) {
    using kv::db::NumeroADO;
    EXPECT_EQ(NumeroADO(QStringLiteral("22018"), 245), adoerr::ConversionImposible);
    EXPECT_EQ(NumeroADO(QStringLiteral("42000"), 8114), adoerr::ConversionImposible);
    EXPECT_EQ(NumeroADO(QStringLiteral("22007"), 241), adoerr::ConversionImposible);
    EXPECT_EQ(NumeroADO(QStringLiteral("22018"), 0), adoerr::ConversionImposible);
    EXPECT_EQ(NumeroADO(QStringLiteral("42000"), 229), adoerr::PermisoDenegado);
    EXPECT_EQ(NumeroADO(QStringLiteral("42000"), 230), adoerr::PermisoDenegado);
    EXPECT_EQ(NumeroADO(QString(), 262), adoerr::PermisoDenegado);
    EXPECT_EQ(NumeroADO(QStringLiteral("22001"), 8152), adoerr::DesbordamientoDatos);
    EXPECT_EQ(NumeroADO(QStringLiteral("22003"), 8115), adoerr::DesbordamientoDatos);
    EXPECT_EQ(NumeroADO(QStringLiteral("23000"), 547), adoerr::ViolacionIntegridad);
    EXPECT_EQ(NumeroADO(QStringLiteral("42S02"), 3701), adoerr::TablaInexistente);
    EXPECT_EQ(NumeroADO(QString(), 208), adoerr::TablaInexistente);
    EXPECT_EQ(NumeroADO(QStringLiteral("28000"), 18456), adoerr::AutenticacionFallida);
    EXPECT_EQ(adoerr::ConversionImposible, static_cast<qint32>(0x80040E07u));
    EXPECT_EQ(adoerr::PermisoDenegado, static_cast<qint32>(0x80040E09u));
    EXPECT_EQ(adoerr::DesbordamientoDatos, static_cast<qint32>(0x80040E57u));
    EXPECT_EQ(adoerr::AutenticacionFallida, static_cast<qint32>(0x80040E4Du));
}

// Opening a recordset on a closed connection is error 3709, and the lost
// connection is recovered as when the link drops.
TEST_F(DB_DllPrueba, RecordsetSobreConexionCerradaReconecta) {
    DB_Dll& db = Principal();
    Abrir(db);
    Recordset directo;
    db.gCnn.Close();
    try {
        directo.Open(QStringLiteral("SELECT 1"), &db.gCnn);
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::ConexionNoUsable);
    }
    grabador_->Filas(QStringLiteral("FROM T"), {QStringLiteral("A")}, {{QVariant(7)}});
    Recordset rs;
    QString sql = QStringLiteral("SELECT A FROM T");
    db.AbrirRecordset(sql, rs);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
    ASSERT_EQ(rs.State(), kv::db::ado::Abierto);
    EXPECT_EQ(rs.Valor(QStringLiteral("A")).toInt(), 7);
}

// A login refused while reconnecting is shown, not swallowed.
TEST_F(DB_DllPrueba, InicioRechazadoAlReconectarSeMuestra) {
    DB_Dll& db = Principal();
    Abrir(db);
    grabador_->FallarApertura(
        ProveedorGrabador::Error(0, QStringLiteral("Error de inicio de sesión del usuario 'ventas'."), 18456,
                                 QStringLiteral("28000")));
    puerto_->ResponderMensaje(kv::respuesta::Anular);
    db.ReintentaConectar();
    EXPECT_FALSE(db.gOpenFlag);
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(
        puerto_->Mensajes().at(0).texto,
        QStringLiteral(
            "Ha ocurrido el Siguiente Error (-2147217843) Error de inicio de sesión del usuario 'ventas'."));
}

}  // namespace
}  // namespace kv::pruebas

namespace kv::pruebas {
namespace {

// A connection that never opened was not lost: its error goes to the treatment
// and nothing tries to reconnect or close the application.
TEST_F(DB_DllPrueba, ConexionQueNuncaAbrioNoSeDaPorPerdida) {
    DB_Dll almacen;
    almacen.gServidor = QStringLiteral("GRABADOR");
    almacen.gDBName = QStringLiteral("KV_ESTADISTICAS");
    almacen.gUsuario = QStringLiteral("kv");
    almacen.gUserPassWord = QStringLiteral("x");
    grabador_->FallarApertura(ProveedorGrabador::Error(0, QStringLiteral("Error de inicio de sesión del usuario 'kv'."),
                                                       18456, QStringLiteral("28000")));
    almacen.OpenServerADODB(false, 3, QString(), false, false);
    ASSERT_FALSE(almacen.gOpenFlag);
    puerto_->ResponderMensaje(kv::respuesta::Anular);
    Recordset rs;
    QString sql = QStringLiteral("SELECT * FROM MA_EMPRESAS");
    almacen.AbrirRecordset(sql, rs);
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_TRUE(puerto_->Mensajes().at(0).texto.startsWith(QStringLiteral("Ha ocurrido el Siguiente Error (3709)")));
    EXPECT_EQ(terminaciones_, 0);
    EXPECT_EQ(grabador_->Aperturas().size(), 1);
}

}  // namespace
}  // namespace kv::pruebas

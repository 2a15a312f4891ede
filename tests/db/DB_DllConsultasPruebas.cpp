// Running statements and opening recordsets: rewriting, Oracle dispatch, what is
// shown and what is not, and the recovery from a lost connection.

#include "DB_DllPruebas.h"
#include "db/DB_DllInterno.h"

using kv::db::DB_Dll;
using kv::db::Recordset;

namespace kv::pruebas {
namespace {

class Ejecucion : public DB_DllPrueba {
  protected:
    void SetUp() override {
        Abrir(db);
        db.gEsAdmin = false;  // the restricted synonyms apply
        grabador_->Olvidar();
    }
    DB_Dll& db = Principal();
    qint32 afectados = -99;
};

TEST_F(Ejecucion, ConsultaSinDropNiCreateNoPasaPorSinonimos) {
    QString sql = QStringLiteral("SELECT * FROM MA_CUENTAS WHERE CODIGO = '1'");
    db.EjecutaConsultaSQL(sql, afectados);
    EXPECT_EQ(grabador_->Sentencias(),
              QStringList{QStringLiteral("SELECT * FROM MA_CUENTAS WHERE CODIGO = '1'")});

    QString mismo = QStringLiteral("SELECT * FROM MA_CUENTAS WHERE CODIGO = '1'");
    Recordset rs;
    db.AbrirRecordset(mismo, rs);
    EXPECT_EQ(mismo, QStringLiteral("SELECT * FROM SS_MA_CUENTAS WHERE CODIGO = '1'"));
    EXPECT_EQ(grabador_->Sentencias().last(), mismo);
    EXPECT_EQ(rs.State(), kv::db::ado::Abierto);
}

TEST_F(Ejecucion, MarcaDeAdministradorSeQuitaEnCualquierLetra) {
    QString sql =
        QStringLiteral("UPDATE @admin_MA_CUENTAS SET A = 1 WHERE B IN (SELECT B FROM @ADMIN_V_TA_CAJAS)");
    db.EjecutaConsultaSQL(sql, afectados);
    EXPECT_EQ(sql, QStringLiteral("UPDATE MA_CUENTAS SET A = 1 WHERE B IN (SELECT B FROM V_TA_CAJAS)"));
    EXPECT_EQ(grabador_->Sentencias(), QStringList{sql});
}

TEST_F(Ejecucion, ScriptDeReconstruccionPasaPorSinonimos) {
    QString sql =
        QStringLiteral("DROP VIEW V_X\r\nGO\r\nCREATE VIEW V_X AS SELECT * FROM MA_CUENTAS WHERE 1=1");
    db.EjecutaConsultaSQL(sql, afectados);
    EXPECT_EQ(sql, QStringLiteral(
                       "DROP VIEW V_X\r\nGO\r\nCREATE VIEW V_X AS SELECT * FROM SS_MA_CUENTAS WHERE 1=1"));
}

TEST_F(Ejecucion, ScriptConDeleteSoloPierdeLaMarca) {
    QString sql = QStringLiteral(
        "DROP TABLE T CREATE TABLE T (A INT) DELETE FROM MA_CUENTAS WHERE X IN "
        "(SELECT X FROM @Admin_V_TA_CAJAS )");
    db.EjecutaConsultaSQL(sql, afectados);
    EXPECT_EQ(sql, QStringLiteral("DROP TABLE T CREATE TABLE T (A INT) DELETE FROM MA_CUENTAS WHERE X IN "
                                  "(SELECT X FROM V_TA_CAJAS )"));
}

TEST_F(Ejecucion, AfectadosYRecordset) {
    grabador_->Afectados(QStringLiteral("UPDATE"), 7);
    QString sql = QStringLiteral("UPDATE T SET A = 1");
    db.EjecutaConsultaSQL(sql, afectados);
    EXPECT_EQ(afectados, 7);

    grabador_->Filas(QStringLiteral("FROM T"), {QStringLiteral("A")}, {{QVariant(5)}});
    std::unique_ptr<Recordset> rs;
    QString consulta = QStringLiteral("SELECT A FROM T");
    db.EjecutaConsultaSQL(consulta, afectados, &rs);
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->Valor(QStringLiteral("a")).toInt(), 5);
}

TEST_F(Ejecucion, FallosSilenciosos) {
    grabador_->Fallar(QStringLiteral("INSERT"),
                      ProveedorGrabador::Error(-2147217913, QStringLiteral("Error al convertir."), 245));
    QString sql = QStringLiteral("INSERT INTO T VALUES ('x')");
    db.EjecutaConsultaSQL(sql, afectados);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
    EXPECT_EQ(db.gCnn.Errors().Count(), 1);  // the caller may read what happened
}

TEST_F(Ejecucion, ConMensajeMuestraLaDescripcion) {
    grabador_->Fallar(QStringLiteral("INSERT"),
                      ProveedorGrabador::Error(-2147217913, QStringLiteral("Error al convertir."), 245));
    puerto_->ResponderMensaje(kv::respuesta::Aceptar);
    QString sql = QStringLiteral("INSERT INTO T VALUES ('x')");
    db.EjecutaConsultaRSQL(sql, afectados);
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).texto, QStringLiteral("Error al convertir."));
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo, QStringLiteral("Aviso al operador!!!"));
    EXPECT_EQ(puerto_->Mensajes().at(0).estilo, 16);
}

TEST_F(Ejecucion, ConMensajeCallaLosErroresConocidos) {
    for (qint32 numero : {-2147467259, -2147217873, -2147217865, -2147217900}) {
        grabador_->Fallar(QStringLiteral("INSERT"),
                          ProveedorGrabador::Error(numero, QStringLiteral("x"), 547), 1);
        QString sql = QStringLiteral("INSERT INTO T VALUES (1)");
        db.EjecutaConsultaRSQL(sql, afectados);
    }
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(Ejecucion, ConMensajeCallaLasTransacciones) {
    grabador_->Fallar(QStringLiteral("INSERT"),
                      ProveedorGrabador::Error(-2147217913, QStringLiteral("Error al convertir."), 245));
    QString sql = QStringLiteral("BEGIN TRANSACTION \r\rINSERT INTO T VALUES ('x')\r");
    db.EjecutaConsultaRSQL(sql, afectados);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
    EXPECT_EQ(db.gCnn.Errors().Count(), 1);
}

TEST_F(Ejecucion, TruncamientoSeOlvida) {
    grabador_->Fallar(
        QStringLiteral("INSERT"),
        ProveedorGrabador::Error(-2147217833, QStringLiteral("Los datos se truncarían."), 8152));
    QString sql = QStringLiteral("INSERT INTO T VALUES ('muy largo')");
    db.EjecutaConsultaRSQL(sql, afectados);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
    EXPECT_EQ(db.gCnn.Errors().Count(), 0);
}

TEST_F(Ejecucion, OracleVaAlEjecutorDeLotes) {
    DB_Dll oracle;
    Abrir(oracle, true);
    grabador_->Olvidar();
    grabador_->Afectados(QStringLiteral("INSERT"), 2);
    QString sql = QStringLiteral(
        "BEGIN TRANSACTION\r\nINSERT INTO T VALUES (1)\r\nINSERT INTO T VALUES (2)\r\n"
        "COMMIT TRANSACTION");
    qint32 total = 50;
    oracle.EjecutaConsultaSQL(sql, total);
    EXPECT_EQ(
        grabador_->Llamadas(),
        (QStringList{QStringLiteral("Iniciar"), QStringLiteral("Ejecutar INSERT INTO T VALUES (1)"),
                     QStringLiteral("Ejecutar INSERT INTO T VALUES (2)"), QStringLiteral("Confirmar")}));
    EXPECT_EQ(total, 4);
}

TEST_F(Ejecucion, OracleAbreConElDialecto) {
    DB_Dll oracle;
    Abrir(oracle, true);
    grabador_->Olvidar();
    QString sql = QStringLiteral("SELECT ISNULL(A,0) FROM T WHERE B = 1");
    Recordset rs;
    oracle.AbrirRecordset(sql, rs);
    EXPECT_EQ(grabador_->Sentencias(), QStringList{QStringLiteral("SELECT NVL(A,0) FROM T WHERE B = 1")});
    EXPECT_EQ(sql, QStringLiteral("SELECT ISNULL(A,0) FROM T WHERE B = 1"));
    QString sinConversion = sql;
    oracle.AbrirRecordset(sinConversion, rs, nullptr, 0, 1, -1, false);
    EXPECT_EQ(grabador_->Sentencias().last(), sql);
}

class Recordsets : public Ejecucion {
  protected:
    const QString kTituloTratamiento =
        QStringLiteral("Microsoft OLE DB Provider for SQL Server - AbrirRecordset Aviso al operador!!! - 5 ");
};

TEST_F(Recordsets, ReabreUnRecordsetAbiertoYUnoCerrado) {
    Recordset rs;
    QString sql = QStringLiteral("SELECT 1 AS A");
    db.AbrirRecordset(sql, rs);
    ASSERT_EQ(rs.State(), kv::db::ado::Abierto);
    db.AbrirRecordset(sql, rs);
    EXPECT_EQ(rs.State(), kv::db::ado::Abierto);
    db.CierraRecordset(rs);
    EXPECT_EQ(rs.State(), kv::db::ado::Cerrado);
    db.CierraRecordset(rs);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(Recordsets, OtraConexion) {
    DB_Dll otra;
    Abrir(otra);
    grabador_->Olvidar();
    Recordset rs;
    QString sql = QStringLiteral("SELECT 1 AS A");
    db.AbrirRecordset(sql, rs, &otra.gCnn);
    EXPECT_EQ(rs.ActiveConnection(), &otra.gCnn);
}

TEST_F(Recordsets, UnaPerdidaSeRecuperaSola) {
    grabador_->Filas(QStringLiteral("FROM T"), {QStringLiteral("A")}, {{QVariant(1)}});
    grabador_->PerderConexion(1);
    Recordset rs;
    QString sql = QStringLiteral("SELECT A FROM T");
    db.AbrirRecordset(sql, rs);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
    ASSERT_EQ(rs.State(), kv::db::ado::Abierto);
    EXPECT_EQ(rs.Valor(QStringLiteral("A")).toInt(), 1);
    EXPECT_EQ(grabador_->Sentencias(), (QStringList{sql, sql}));
    EXPECT_EQ(grabador_->Aperturas().size(), 1);  // one reconnection
    EXPECT_TRUE(db.gOpenFlag);
}

TEST_F(Recordsets, DosPerdidasLlevanAlTratamiento) {
    grabador_->PerderConexion(2);
    puerto_->ResponderMensaje(kv::respuesta::Anular);
    Recordset rs;
    QString sql = QStringLiteral("SELECT A FROM T");
    db.AbrirRecordset(sql, rs);
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo, kTituloTratamiento);
    EXPECT_EQ(
        puerto_->Mensajes().at(0).texto,
        QStringLiteral("Ha ocurrido el Siguiente Error (-2147467259) [DBNETLIB][ConnectionWrite (send()).]"
                       "Error general de red."));
    EXPECT_EQ(grabador_->Aperturas().size(), 2);
    EXPECT_EQ(rs.State(), kv::db::ado::Cerrado);
    const QStringList lineas = LineasDe(carpetas_.aplicacion() + QStringLiteral("KVERR.LOG"));
    ASSERT_EQ(lineas.size(), 1);
    EXPECT_TRUE(lineas.at(0).contains(QStringLiteral(" Rutina: - AbrirRecordset Mensaje Ha ocurrido")));
}

TEST_F(Recordsets, SinConexionPreguntaYCierraLaAplicacion) {
    grabador_->PerderConexion(1);
    db.gOpenFlag = false;  // the connection was never regarded as open
    // Every reconnection is refused with a login error, which goes to the treatment.
    grabador_->FallarApertura(
        ProveedorGrabador::Error(-2147217843, QStringLiteral("Inicio rechazado."), 18456), 10);
    puerto_->ResponderMensaje(kv::respuesta::Anular);  // treatment of the first reconnection
    puerto_->ResponderMensaje(kv::respuesta::Anular);  // treatment of the second
    puerto_->ResponderMensaje(kv::respuesta::Si);      // lost-connection question: try again
    puerto_->ResponderMensaje(kv::respuesta::Anular);  // treatment of the third
    puerto_->ResponderMensaje(kv::respuesta::No);      // lost-connection question: close
    Recordset rs;
    QString sql = QStringLiteral("SELECT A FROM T");
    db.AbrirRecordset(sql, rs);
    EXPECT_EQ(terminaciones_, 1);
    const auto mensajes = puerto_->Mensajes();
    ASSERT_EQ(mensajes.size(), 5);
    EXPECT_EQ(mensajes.at(2).titulo, QStringLiteral("AVISO AL OPERADOR"));
    EXPECT_EQ(mensajes.at(2).estilo, 4 + 16);
    EXPECT_EQ(mensajes.at(2).texto,
              kCRLF + kCRLF + kCRLF + QStringLiteral("Se perdio la conexion con la base de datos EMPRESA1") +
                  kCRLF + QStringLiteral(" Servidor GRABADOR") + kCRLF + kCRLF +
                  QStringLiteral("Elija SI para reintentar conectarse") + kCRLF +
                  QStringLiteral("Elija NO para cerrar la aplicacion") + kCRLF + kCRLF + kCRLF);
    EXPECT_EQ(mensajes.at(4).titulo, QStringLiteral("AVISO AL OPERADOR"));
}

// The server is gone for good while the connection was regarded as open: the
// reconnections fail without a word, so the operator is asked whether to keep trying.
TEST_F(Recordsets, ServidorCaidoPreguntaSiReintentar) {
    ASSERT_TRUE(db.gOpenFlag);
    grabador_->PerderConexion(1);
    grabador_->FallarApertura(ProveedorGrabador::ErrorConexionPerdida(), 10);
    puerto_->ResponderMensaje(kv::respuesta::No);
    Recordset rs;
    QString sql = QStringLiteral("SELECT A FROM T");
    db.AbrirRecordset(sql, rs);
    EXPECT_EQ(terminaciones_, 1);
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo, QStringLiteral("AVISO AL OPERADOR"));
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_EQ(rs.State(), kv::db::ado::Cerrado);
}

// Closing the program after a lost connection the operator gave up on is not a
// normal end: the status says so to whoever started it.
// A plain test, without temporary folders: the ending process runs no destructors.
TEST(ConexionPerdida, CerrarElProgramaTerminaConFallo) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    DB_Dll::EstablecerTerminacion({});
    EXPECT_EXIT(kv::db::interno::Terminar(),
                ::testing::ExitedWithCode(kv::db::interno::kSalidaConexionPerdida), "");
    EXPECT_NE(kv::db::interno::kSalidaConexionPerdida, 0);
}

TEST_F(Recordsets, OtroErrorReintentaSegunLaRespuesta) {
    grabador_->Fallar(
        QStringLiteral("FROM T"),
        ProveedorGrabador::Error(-2147217865, QStringLiteral("El nombre de objeto 'T' no es válido."), 208),
        1);
    puerto_->ResponderMensaje(kv::respuesta::Reintentar);
    Recordset rs;
    QString sql = QStringLiteral("SELECT A FROM T");
    db.AbrirRecordset(sql, rs);
    EXPECT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo, kTituloTratamiento);
    EXPECT_EQ(rs.State(), kv::db::ado::Abierto);
    EXPECT_EQ(grabador_->Sentencias().size(), 2);
}

// A closed connection is a lost one: it is reopened and the recordset opens.
TEST_F(Recordsets, ConexionCerradaSeReabre) {
    db.gCnn.Close();
    Recordset rs;
    QString sql = QStringLiteral("SELECT A FROM T");
    db.AbrirRecordset(sql, rs);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
    EXPECT_EQ(rs.State(), kv::db::ado::Abierto);
    EXPECT_TRUE(db.gOpenFlag);
}

}  // namespace
}  // namespace kv::pruebas

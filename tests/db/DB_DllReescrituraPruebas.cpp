// Restricted synonyms, Oracle dialect and the Oracle batch runner.

#include "DB_DllPruebas.h"

using kv::db::DB_Dll;

namespace kv::pruebas {
namespace {

class Sinonimos : public DB_DllPrueba {
  protected:
    DB_Dll db;
};

TEST_F(Sinonimos, CadaContextoDeMA_CUENTAS) {
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM MA_CUENTAS WHERE A=1")),
              QStringLiteral("SELECT * FROM SS_MA_CUENTAS WHERE A=1"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM (MA_CUENTAS X)")),
              QStringLiteral("SELECT * FROM (SS_MA_CUENTAS X)"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT MA_CUENTAS.CODIGO FROM X")),
              QStringLiteral("SELECT SS_MA_CUENTAS.CODIGO FROM X"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT MAX(MA_CUENTAS.CODIGO) FROM X")),
              QStringLiteral("SELECT MAX(SS_MA_CUENTAS.CODIGO) FROM X"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT A,MA_CUENTAS.CODIGO FROM X")),
              QStringLiteral("SELECT A,SS_MA_CUENTAS.CODIGO FROM X"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("{MA_CUENTAS.CODIGO}")),
              QStringLiteral("{SS_MA_CUENTAS.CODIGO}"));
    // Letter case of the statement does not matter.
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("select * from ma_cuentas where a=1")),
              QStringLiteral("select * from SS_MA_CUENTAS where a=1"));
}

TEST_F(Sinonimos, AlPrincipioNoSeReemplaza) {
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("MA_CUENTAS.CODIGO = 1")),
              QStringLiteral("MA_CUENTAS.CODIGO = 1"));
}

TEST_F(Sinonimos, NombreQueTerminaLaSentenciaTambienSeRestringe) {
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM MA_CUENTAS")),
              QStringLiteral("SELECT * FROM SS_MA_CUENTAS"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM V_TA_CAJAS")),
              QStringLiteral("SELECT * FROM SS_V_TA_CAJAS"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM X_MA_CUENTAS")),
              QStringLiteral("SELECT * FROM X_MA_CUENTAS"));
}

TEST_F(Sinonimos, TablaCompleta) {
    const QString entrada = QStringLiteral(
        "SELECT * FROM MA_CUENTAS , V_TA_DEPOSITO , V_TA_FAMILIAS , V_TA_CAJAS , AC_CUENTASDIARIO , "
        "AC_CUENTASDIARIO_CCOSTO WHERE 1=1");
    EXPECT_EQ(
        db.SS_TSinonimos(entrada),
        QStringLiteral("SELECT * FROM SS_MA_CUENTAS , SS_V_TA_DEPOSITO , SS_V_TA_FAMILIAS , SS_V_TA_CAJAS , "
                       "SS_AC_CUENTASDIARIO , SS_AC_CUENTAS_DIARIO_CCOSTO WHERE 1=1"));
}

TEST_F(Sinonimos, ProgramasQueVenLasTablasReales) {
    const QString deposito = QStringLiteral("SELECT * FROM V_TA_DEPOSITO WHERE 1=1");
    const QString familias = QStringLiteral("SELECT * FROM V_TA_FAMILIAS WHERE 1=1");
    DB_Dll::EstablecerNombreProceso(QStringLiteral("rp_stock"));
    EXPECT_EQ(db.SS_TSinonimos(deposito), deposito);
    EXPECT_EQ(db.SS_TSinonimos(familias), QStringLiteral("SELECT * FROM SS_V_TA_FAMILIAS WHERE 1=1"));
    DB_Dll::EstablecerNombreProceso(QStringLiteral("V_CONS_FICHA_STOCK"));
    EXPECT_EQ(db.SS_TSinonimos(deposito), deposito);
    DB_Dll::EstablecerNombreProceso(QStringLiteral("KVTRANS"));
    EXPECT_EQ(db.SS_TSinonimos(familias), familias);
    EXPECT_EQ(db.SS_TSinonimos(deposito), QStringLiteral("SELECT * FROM SS_V_TA_DEPOSITO WHERE 1=1"));
    DB_Dll::EstablecerNombreProceso(QStringLiteral("SSL"));
    EXPECT_EQ(db.SS_TSinonimos(familias), familias);
}

TEST_F(Sinonimos, AdministradorSoloPierdeLaMarca) {
    db.gEsAdmin = true;
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM MA_CUENTAS, @Admin_V_TA_CAJAS WHERE 1=1")),
              QStringLiteral("SELECT * FROM MA_CUENTAS, V_TA_CAJAS WHERE 1=1"));
}

TEST_F(Sinonimos, MarcaDeAdministradorEnCuentas) {
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM @Admin_MA_CUENTAS WHERE 1=1")),
              QStringLiteral("SELECT * FROM MA_CUENTAS WHERE 1=1"));
    EXPECT_EQ(db.SS_TSinonimos(QStringLiteral("SELECT * FROM @ADMIN_V_TA_FAMILIAS WHERE 1=1")),
              QStringLiteral("SELECT * FROM V_TA_FAMILIAS WHERE 1=1"));
}

TEST_F(Sinonimos, AsientosSoloConConfidencialidad) {
    const QString sql =
        QStringLiteral("SELECT * FROM MV_ASIENTOS INNER JOIN MA_CUENTAS ON 1=1 WHERE @Admin_X=1");
    EXPECT_EQ(db.SS_TSinonimos(sql),
              QStringLiteral("SELECT * FROM MV_ASIENTOS INNER JOIN MA_CUENTAS ON 1=1 WHERE X=1"));
    DB_Dll::EstablecerConfidencialidad(true);
    EXPECT_EQ(db.SS_TSinonimos(sql),
              QStringLiteral("SELECT * FROM SS_MV_ASIENTOS INNER JOIN SS_MA_CUENTAS ON 1=1 WHERE X=1"));
}

class DialectoOracle : public DB_DllPrueba {
  protected:
    DialectoOracle() {
        db.gConnString = QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=ORCL;User Id=u;Password=p;");
    }
    DB_Dll db;
};

TEST_F(DialectoOracle, SinOracleNoCambiaNada) {
    DB_Dll sql;
    sql.gConnString = QStringLiteral("PROVIDER=SQLOLEDB;Server=S;");
    const QString texto = QStringLiteral("SELECT TOP 5 ISNULL(A,0) FROM [T X] WHERE B = ''");
    EXPECT_EQ(sql.ORACLE_Dicc(texto), texto);
}

TEST_F(DialectoOracle, UnaPalabra) {
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("LEN")), QStringLiteral("LENGTH"));
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("len")), QStringLiteral("LENGTH"));
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("[CODIGO]")), QStringLiteral("[CODIGO]"));
}

TEST_F(DialectoOracle, TopConWhereYOrderBy) {
    EXPECT_EQ(db.ORACLE_Dicc(
                  QStringLiteral("SELECT TOP 10 CODIGO FROM MA_ARTICULOS WHERE ACTIVO = 1 ORDER BY CODIGO")),
              QStringLiteral(
                  "SELECT   CODIGO FROM MA_ARTICULOS WHERE ACTIVO = 1   AND ROWNUM <= 10  ORDER BY CODIGO"));
}

TEST_F(DialectoOracle, TopSinWhere) {
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT TOP 10 CODIGO FROM MA_ARTICULOS")),
              QStringLiteral("SELECT   CODIGO FROM MA_ARTICULOS  WHERE ROWNUM <= 10  "));
}

TEST_F(DialectoOracle, TopConGroupBy) {
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT TOP 3 A, SUM(B) FROM T GROUP BY A ORDER BY A")),
              QStringLiteral("SELECT   A, SUM(B) FROM T  WHERE ROWNUM <= 3  GROUP BY A ORDER BY A "));
}

TEST_F(DialectoOracle, PalabraQueTerminaEnTopNoEsLimite) {
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT LAPTOP FROM T")), QStringLiteral("SELECT LAPTOP FROM T"));
}

TEST_F(DialectoOracle, FuncionesYCorchetes) {
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT LEN(A), LEN  (B), [C D] FROM T")),
              QStringLiteral("SELECT LENGTH(A), LENGTH(B), \"C D\" FROM T"));
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT Charindex('x',A) FROM T")),
              QStringLiteral("SELECT InStr('x',A) FROM T"));
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT CONVERT(INT,A), SUBSTRING(B,1,2), ISNULL(C,0) FROM T")),
              QStringLiteral("SELECT TO_NUMBER(A), SUBSTR(B,1,2), NVL(C,0) FROM T"));
}

TEST_F(DialectoOracle, FechaConFormato103) {
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT CONVERT(NVARCHAR,FECHA,103) FROM T")),
              QStringLiteral("SELECT TO_CHAR(FECHA,'DD/MM/YYYY') FROM T"));
    // A 103 that is no format of TO_CHAR stays.
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT A FROM T WHERE B = 103")),
              QStringLiteral("SELECT A FROM T WHERE B = 103"));
}

TEST_F(DialectoOracle, LiteralesDeFecha) {
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT A FROM T WHERE F >= '1/2/2026' AND N = 'abc'")),
              QStringLiteral("SELECT A FROM T WHERE F >= TO_DATE('01/02/2026','DD/MM/YYYY') AND N = 'abc'"));
    const QString yaConvertido =
        QStringLiteral("SELECT A FROM T WHERE F >= TO_DATE('01/02/2026','DD/MM/YYYY')");
    EXPECT_EQ(db.ORACLE_Dicc(yaConvertido), yaConvertido);
}

TEST_F(DialectoOracle, VacioEsNuloDespuesDelWhere) {
    EXPECT_EQ(db.ORACLE_Dicc(QStringLiteral("SELECT '' AS X FROM T WHERE A = '' AND B=''")),
              QStringLiteral("SELECT '' AS X FROM T WHERE A  IS NULL  AND B IS NULL "));
}

class LoteOracle : public DB_DllPrueba {
  protected:
    void SetUp() override { Abrir(db, true); }
    DB_Dll db;
};

TEST_F(LoteOracle, TransaccionYSentencias) {
    grabador_->Afectados(QStringLiteral("INSERT"), 1);
    grabador_->Afectados(QStringLiteral("UPDATE"), 3);
    grabador_->Olvidar();
    qint32 afectados = 0;
    db.EjecutaLoteOracle(
        QStringLiteral("SET NOCOUNT ON\r\nBEGIN TRANSACTION\r\nINSERT INTO T VALUES (1)\r\nGO\r\n"
                       "UPDATE T SET A = ISNULL(B,0)\r\nCOMMIT TRANSACTION\r\nGO"),
        afectados);
    EXPECT_EQ(
        grabador_->Llamadas(),
        (QStringList{QStringLiteral("Iniciar"), QStringLiteral("Ejecutar INSERT INTO T VALUES (1)"),
                     QStringLiteral("Ejecutar UPDATE T SET A = NVL(B,0)"), QStringLiteral("Confirmar")}));
    EXPECT_EQ(afectados, 4);
}

TEST_F(LoteOracle, DeshacerYCondicionalesDescartados) {
    grabador_->Olvidar();
    qint32 afectados = 0;
    db.EjecutaLoteOracle(QStringLiteral("BEGIN TRANS IF NOT EXISTS (SELECT 1 FROM X) CREATE TABLE X (A INT) "
                                        "ROLLBACK TRANS"),
                         afectados);
    EXPECT_EQ(grabador_->Llamadas(),
              (QStringList{QStringLiteral("Iniciar"), QStringLiteral("Ejecutar CREATE TABLE X (A INT)"),
                           QStringLiteral("Deshacer")}));
}

TEST_F(LoteOracle, SoloSeparadoresNoEjecutaNada) {
    grabador_->Olvidar();
    qint32 afectados = 0;
    db.EjecutaLoteOracle(QStringLiteral("GO\r\n  \r\nGO\r\nGO "), afectados);
    EXPECT_TRUE(grabador_->Llamadas().isEmpty());
    EXPECT_EQ(afectados, 0);
}

TEST_F(LoteOracle, AvisoUnicoDeOracleSeOlvida) {
    grabador_->Fallar(QStringLiteral("DELETE"), ProveedorGrabador::Error(265929, QStringLiteral("aviso"), 0));
    QString sql = QStringLiteral("DELETE FROM X");
    qint32 afectados = 0;
    db.EjecutaConsultaSQL(sql, afectados);  // fails silently and leaves its error behind
    ASSERT_EQ(db.gCnn.Errors().Count(), 1);
    db.EjecutaLoteOracle(QStringLiteral("GO"), afectados);
    EXPECT_EQ(db.gCnn.Errors().Count(), 0);
}

TEST_F(LoteOracle, ErrorDeUnaSentenciaLlegaAlLlamador) {
    grabador_->Fallar(QStringLiteral("DELETE"),
                      ProveedorGrabador::Error(-2147217900, QStringLiteral("ORA-00942"), 942));
    qint32 afectados = 0;
    EXPECT_THROW(db.EjecutaLoteOracle(QStringLiteral("DELETE FROM X"), afectados), kv::KvExcepcion);
}

}  // namespace
}  // namespace kv::pruebas

// The client and the ODBC provider for real: unixODBC with the SQLite3 ODBC driver.

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QFile>

#include "db/Conexion.h"
#include "db/ProveedorOdbc.h"
#include "db/Recordset.h"
#include "soporte/CarpetasTemporales.h"

using namespace kv::db;

namespace {

class OdbcSqlite : public ::testing::Test {
protected:
    void SetUp() override {
        archivo_ = carpetas_.raiz() + "prueba.db";
        cadena_ = QStringLiteral("DRIVER=SQLite3;Database=") + archivo_;
        cn_.Open(cadena_);
        cn_.Execute("CREATE TABLE ARTICULOS (CODIGO VARCHAR(15) NOT NULL PRIMARY KEY, DESCRIPCION VARCHAR(40), "
                    "PRECIO DOUBLE, EXISTENCIA INTEGER, ALTA TIMESTAMP)");
        cn_.Execute("INSERT INTO ARTICULOS VALUES ('A1', 'Tornillo', 1.5, 10, '2024-03-01 10:20:30')");
        cn_.Execute("INSERT INTO ARTICULOS VALUES ('A2', 'Tuerca', 0.25, 200, '2024-03-02 00:00:00')");
        cn_.Execute("INSERT INTO ARTICULOS VALUES ('A3', NULL, NULL, NULL, NULL)");
    }

    kv::pruebas::CarpetasTemporales carpetas_;
    QString archivo_;
    QString cadena_;
    Conexion cn_;
};

qint32 NumeroDe(const std::function<void()>& accion) {
    try {
        accion();
    } catch (const kv::KvExcepcion& e) {
        return e.error().numero;
    }
    return 0;
}

TEST_F(OdbcSqlite, AbreYCierraConEstados) {
    EXPECT_EQ(cn_.State(), ado::Abierto);
    EXPECT_EQ(NumeroDe([&] { cn_.Open(cadena_); }), adoerr::ObjetoAbierto);
    cn_.Close();
    EXPECT_EQ(cn_.State(), ado::Cerrado);
    EXPECT_EQ(NumeroDe([&] { cn_.Close(); }), adoerr::ObjetoCerrado);
    EXPECT_EQ(NumeroDe([&] { cn_.Execute("SELECT 1"); }), adoerr::ConexionNoUsable);
    // Reopening with the ConnectionString property.
    cn_.Open();
    EXPECT_EQ(cn_.State(), ado::Abierto);
    EXPECT_EQ(cn_.ConnectionString(), cadena_);
}

TEST_F(OdbcSqlite, ExecuteDevuelveRegistrosAfectados) {
    qint32 afectados = -5;
    EXPECT_EQ(cn_.Execute("UPDATE ARTICULOS SET EXISTENCIA = 1 WHERE CODIGO <> 'A3'", &afectados), nullptr);
    EXPECT_EQ(afectados, 2);
    cn_.Execute("DELETE FROM ARTICULOS WHERE CODIGO = 'NO'", &afectados);
    EXPECT_EQ(afectados, 0);
    cn_.Execute("INSERT INTO ARTICULOS (CODIGO) VALUES ('A4')", &afectados);
    EXPECT_EQ(afectados, 1);
}

TEST_F(OdbcSqlite, ExecuteDeUnSelectDevuelveRecordsetAbierto) {
    auto rs = cn_.Execute("SELECT CODIGO, DESCRIPCION FROM ARTICULOS ORDER BY CODIGO");
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->State(), ado::Abierto);
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->Valor("codigo").toString(), "A1");
}

TEST_F(OdbcSqlite, RecordsetMovimientosYBofEof) {
    Recordset rs;
    rs.Open("SELECT * FROM ARTICULOS ORDER BY CODIGO", &cn_);
    EXPECT_EQ(rs.State(), ado::Abierto);
    EXPECT_FALSE(rs.BOF());
    EXPECT_FALSE(rs.EOF_());
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    QStringList codigos;
    while (!rs.EOF_()) {
        codigos << rs.Valor("CODIGO").toString();
        rs.MoveNext();
    }
    EXPECT_EQ(codigos, QStringList({"A1", "A2", "A3"}));
    EXPECT_EQ(NumeroDe([&] { rs.MoveNext(); }), adoerr::SinRegistroActual);
    EXPECT_EQ(NumeroDe([&] { rs.Valor(0); }), adoerr::SinRegistroActual);
    rs.MovePrevious();
    EXPECT_EQ(rs.Valor("CODIGO").toString(), "A3");
    rs.MoveFirst();
    rs.MovePrevious();
    EXPECT_TRUE(rs.BOF());
    EXPECT_FALSE(rs.EOF_());
    EXPECT_EQ(NumeroDe([&] { rs.MovePrevious(); }), adoerr::SinRegistroActual);
    rs.MoveLast();
    EXPECT_EQ(rs.Valor(0).toString(), "A3");
    rs.Move(-2);
    EXPECT_EQ(rs.Valor(0).toString(), "A1");
    rs.Move(10);
    EXPECT_TRUE(rs.EOF_());
    rs.SetAbsolutePosition(2);
    EXPECT_EQ(rs.Valor(0).toString(), "A2");
    EXPECT_EQ(NumeroDe([&] { rs.SetAbsolutePosition(4); }), adoerr::ArgumentoIncorrecto);
    rs.Close();
    EXPECT_EQ(rs.State(), ado::Cerrado);
    EXPECT_EQ(NumeroDe([&] { rs.Close(); }), adoerr::ObjetoCerrado);
    EXPECT_EQ(NumeroDe([&] { (void)rs.EOF_(); }), adoerr::ObjetoCerrado);
}

TEST_F(OdbcSqlite, RecordsetVacioTieneBofYEof) {
    Recordset rs;
    rs.Open("SELECT * FROM ARTICULOS WHERE 1 = 0", &cn_);
    EXPECT_TRUE(rs.BOF());
    EXPECT_TRUE(rs.EOF_());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_EQ(rs.FieldCount(), 5);
    EXPECT_EQ(NumeroDe([&] { rs.MoveFirst(); }), adoerr::SinRegistroActual);
    EXPECT_EQ(NumeroDe([&] { rs.Valor("CODIGO"); }), adoerr::SinRegistroActual);
}

TEST_F(OdbcSqlite, CamposSinDistinguirMayusculasNulosYTipos) {
    Recordset rs;
    rs.Open("SELECT * FROM ARTICULOS ORDER BY CODIGO", &cn_);
    EXPECT_EQ(rs.IndiceCampo("descripcion"), 1);
    EXPECT_EQ(rs.IndiceCampo("DeScRiPcIoN"), 1);
    EXPECT_EQ(rs.IndiceCampo("NO_EXISTE"), -1);
    EXPECT_EQ(NumeroDe([&] { rs.Valor("NO_EXISTE"); }), adoerr::ElementoNoEncontrado);
    EXPECT_EQ(NumeroDe([&] { rs.Valor(99); }), adoerr::ElementoNoEncontrado);
    EXPECT_EQ(rs.Valor("Descripcion").toString(), "Tornillo");
    EXPECT_DOUBLE_EQ(rs.Valor("precio").toDouble(), 1.5);
    EXPECT_EQ(rs.Valor("EXISTENCIA").typeId(), QMetaType::Int);
    EXPECT_EQ(rs.Valor("EXISTENCIA").toInt(), 10);
    EXPECT_EQ(rs.Valor("ALTA").toDateTime(), QDateTime(QDate(2024, 3, 1), QTime(10, 20, 30)));
    EXPECT_EQ(rs.Field(3).tipo, tipo::Integer);
    EXPECT_EQ(rs.Field(2).tipo, tipo::Double);
    EXPECT_EQ(rs.Field(4).tipo, tipo::DBTimeStamp);
    EXPECT_EQ(rs.Field(0).nombre, "CODIGO");
    rs.MoveLast();
    EXPECT_TRUE(rs.Valor("DESCRIPCION").isNull());
    EXPECT_TRUE(rs.Valor("PRECIO").isNull());
    EXPECT_TRUE(rs.Valor("EXISTENCIA").isNull());
    EXPECT_TRUE(rs.Valor("ALTA").isNull());
}

TEST_F(OdbcSqlite, TextosLargosYAcentosLleganEnteros) {
    const QString largo = QString(10000, u'ñ') + "fin";
    cn_.EjecutarConParametros("UPDATE ARTICULOS SET DESCRIPCION = ? WHERE CODIGO = ?", {largo, "A1"});
    auto rs = cn_.Execute("SELECT DESCRIPCION FROM ARTICULOS WHERE CODIGO = 'A1'");
    EXPECT_EQ(rs->Valor(0).toString(), largo);
}

TEST_F(OdbcSqlite, UnaSentenciaSinFilasDejaElRecordsetCerrado) {
    Recordset rs;
    rs.Open("UPDATE ARTICULOS SET EXISTENCIA = 0 WHERE 1 = 0", &cn_);
    EXPECT_EQ(rs.State(), ado::Cerrado);
}

TEST_F(OdbcSqlite, AbrirSobreConexionCerradaEs3709) {
    Conexion cerrada;
    Recordset rs;
    EXPECT_EQ(NumeroDe([&] { rs.Open("SELECT 1", &cerrada); }), adoerr::ConexionNoUsable);
    EXPECT_EQ(NumeroDe([&] { rs.Open("SELECT 1", nullptr); }), adoerr::ConexionNoUsable);
    rs.Open("SELECT 1 AS UNO", &cn_);
    EXPECT_EQ(NumeroDe([&] { rs.Open("SELECT 1", &cn_); }), adoerr::ObjetoAbierto);
}

TEST_F(OdbcSqlite, EsquemaDeTablasSoloDeUsuarioConTipoAdo) {
    cn_.Execute("CREATE VIEW V_ARTICULOS AS SELECT CODIGO FROM ARTICULOS");
    cn_.Execute("CREATE TABLE TA_USUARIOS (NOMBRE VARCHAR(20))");
    cn_.Execute("CREATE TABLE TAXUSUARIOS (NOMBRE VARCHAR(20))");
    auto rs = cn_.OpenSchema(ado::EsquemaTablas);
    QMap<QString, QString> tipos;
    while (!rs->EOF_()) {
        tipos.insert(rs->Valor("TABLE_NAME").toString(), rs->Valor("TABLE_TYPE").toString());
        rs->MoveNext();
    }
    EXPECT_EQ(tipos.value("ARTICULOS"), "TABLE");
    EXPECT_EQ(tipos.value("V_ARTICULOS"), "VIEW");
    for (const QString& nombre : tipos.keys()) EXPECT_FALSE(nombre.startsWith("sqlite_")) << nombre.toStdString();
    // A restriction by name is exact: "_" is not a wildcard here.
    auto una = cn_.OpenSchema(ado::EsquemaTablas, {QVariant(), QVariant(), "ta_usuarios"});
    ASSERT_EQ(una->RecordCount(), 1);
    EXPECT_EQ(una->Valor("TABLE_NAME").toString(), "TA_USUARIOS");
    auto vistas = cn_.OpenSchema(ado::EsquemaTablas, {QVariant(), QVariant(), QVariant(), "VIEW"});
    ASSERT_EQ(vistas->RecordCount(), 1);
    EXPECT_EQ(vistas->Valor("TABLE_NAME").toString(), "V_ARTICULOS");
}

TEST_F(OdbcSqlite, EsquemaDeColumnasRestringidoPorTabla) {
    cn_.Execute("CREATE TABLE OTRA (X INTEGER)");
    auto rs = cn_.OpenSchema(ado::EsquemaColumnas, {QVariant(), QVariant(), "articulos"});
    QStringList nombres;
    while (!rs->EOF_()) {
        EXPECT_EQ(rs->Valor("TABLE_NAME").toString(), "ARTICULOS");
        nombres << rs->Valor("COLUMN_NAME").toString();
        rs->MoveNext();
    }
    EXPECT_EQ(nombres, QStringList({"CODIGO", "DESCRIPCION", "PRECIO", "EXISTENCIA", "ALTA"}));
    rs->MoveFirst();
    EXPECT_EQ(rs->Valor("ORDINAL_POSITION").toInt(), 1);
    EXPECT_FALSE(rs->Valor("IS_NULLABLE").toBool());
    EXPECT_EQ(rs->Valor("DATA_TYPE").toInt(), tipo::Char);
    EXPECT_EQ(rs->Valor("CHARACTER_MAXIMUM_LENGTH").toInt(), 15);
    auto columna = cn_.OpenSchema(ado::EsquemaColumnas, {QVariant(), QVariant(), "ARTICULOS", "precio"});
    ASSERT_EQ(columna->RecordCount(), 1);
    EXPECT_EQ(columna->Valor("DATA_TYPE").toInt(), tipo::Double);
}

TEST_F(OdbcSqlite, EsquemaRestringidoPorLaBaseActual) {
    const QString base = cn_.DefaultDatabase();
    auto columnas = cn_.OpenSchema(ado::EsquemaColumnas, {base, QVariant(), "ARTICULOS"});
    EXPECT_EQ(columnas->RecordCount(), 5) << base.toStdString();
    auto tablas = cn_.OpenSchema(ado::EsquemaTablas, {base, QVariant(), "ARTICULOS"});
    EXPECT_EQ(tablas->RecordCount(), 1) << base.toStdString();
}

TEST_F(OdbcSqlite, ClavePrimariaDeLaTabla) {
    EXPECT_EQ(cn_.ClavePrimaria("ARTICULOS"), QStringList({"CODIGO"}));
    cn_.Execute("CREATE TABLE SIN_CLAVE (A INTEGER)");
    EXPECT_TRUE(cn_.ClavePrimaria("SIN_CLAVE").isEmpty());
}

TEST_F(OdbcSqlite, TransaccionesConfirmarYDeshacer) {
    EXPECT_EQ(cn_.BeginTrans(), 1);
    cn_.Execute("DELETE FROM ARTICULOS");
    cn_.RollbackTrans();
    EXPECT_EQ(cn_.Execute("SELECT COUNT(*) FROM ARTICULOS")->Valor(0).toInt(), 3);
    cn_.BeginTrans();
    cn_.Execute("DELETE FROM ARTICULOS WHERE CODIGO = 'A3'");
    cn_.CommitTrans();
    EXPECT_EQ(cn_.Execute("SELECT COUNT(*) FROM ARTICULOS")->Valor(0).toInt(), 2);
    EXPECT_EQ(NumeroDe([&] { cn_.CommitTrans(); }), adoerr::OperacionNoPermitida);
    // What a second connection sees: the rolled back delete never happened, the committed one did.
    Conexion otra;
    otra.Open(cadena_);
    EXPECT_EQ(otra.Execute("SELECT COUNT(*) FROM ARTICULOS")->Valor(0).toInt(), 2);
}

TEST_F(OdbcSqlite, CerrarConUnaTransaccionAbiertaLaDeshace) {
    cn_.BeginTrans();
    cn_.Execute("DELETE FROM ARTICULOS");
    cn_.Close();
    cn_.Open();
    EXPECT_EQ(cn_.Execute("SELECT COUNT(*) FROM ARTICULOS")->Valor(0).toInt(), 3);
    // and the connection is usable in autocommit again
    cn_.Execute("DELETE FROM ARTICULOS WHERE CODIGO = 'A3'");
    Conexion otra;
    otra.Open(cadena_);
    EXPECT_EQ(otra.Execute("SELECT COUNT(*) FROM ARTICULOS")->Valor(0).toInt(), 2);
}

TEST_F(OdbcSqlite, AgregarNuevoEscribeLaTablaBaseConParametros) {
    Recordset rs;
    rs.Open("SELECT * FROM [ARTICULOS] WHERE 1 = 0", &cn_, ado::Estatico, ado::Optimista);
    rs.AddNew();
    EXPECT_TRUE(rs.EditMode());
    rs.Asignar("codigo", "B'1");  // an apostrophe travels as a parameter, not spliced
    rs.Asignar("DESCRIPCION", "Arandela");
    rs.Asignar("PRECIO", 2.75);
    rs.Asignar("ALTA", QDateTime(QDate(2025, 1, 31), QTime(8, 0, 0)));
    EXPECT_EQ(rs.Valor("DESCRIPCION").toString(), "Arandela");
    rs.Update();
    EXPECT_FALSE(rs.EditMode());
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Valor("CODIGO").toString(), "B'1");
    auto leido = cn_.Execute("SELECT DESCRIPCION, PRECIO, EXISTENCIA, ALTA FROM ARTICULOS WHERE CODIGO = 'B''1'");
    ASSERT_EQ(leido->RecordCount(), 1);
    EXPECT_EQ(leido->Valor(0).toString(), "Arandela");
    EXPECT_DOUBLE_EQ(leido->Valor(1).toDouble(), 2.75);
    EXPECT_TRUE(leido->Valor(2).isNull());
    EXPECT_EQ(leido->Valor(3).toDateTime(), QDateTime(QDate(2025, 1, 31), QTime(8, 0, 0)));
}

TEST_F(OdbcSqlite, ActualizarPorClavePrimariaYLaFilaGuardaLoNuevo) {
    Recordset rs;
    rs.Open("SELECT CODIGO, DESCRIPCION FROM ARTICULOS WHERE CODIGO = 'A2'", &cn_, ado::Conjunto, ado::Optimista);
    rs.Asignar("DESCRIPCION", "Tuerca M6");
    rs.Update();
    EXPECT_EQ(rs.Valor("DESCRIPCION").toString(), "Tuerca M6");
    EXPECT_EQ(cn_.Execute("SELECT DESCRIPCION FROM ARTICULOS WHERE CODIGO = 'A2'")->Valor(0).toString(), "Tuerca M6");
    EXPECT_EQ(cn_.Execute("SELECT DESCRIPCION FROM ARTICULOS WHERE CODIGO = 'A1'")->Valor(0).toString(), "Tornillo");
}

TEST_F(OdbcSqlite, ActualizarSinClaveUsaLosValoresOriginalesConNulos) {
    cn_.Execute("CREATE TABLE CONFIG (CLAVE VARCHAR(20), VALOR VARCHAR(20), NOTA VARCHAR(20))");
    cn_.Execute("INSERT INTO CONFIG VALUES ('A', '1', NULL)");
    cn_.Execute("INSERT INTO CONFIG VALUES ('A', '1', 'x')");
    Recordset rs;
    rs.Open("SELECT * FROM CONFIG WHERE NOTA IS NULL", &cn_, ado::Estatico, ado::Optimista);
    rs.Asignar("VALOR", "2");
    rs.Update();
    auto r = cn_.Execute("SELECT VALOR FROM CONFIG ORDER BY NOTA");
    EXPECT_EQ(r->Valor(0).toString(), "2");  // the row with NULL (sorted first)
    r->MoveNext();
    EXPECT_EQ(r->Valor(0).toString(), "1");
}

TEST_F(OdbcSqlite, ActualizarUnaFilaQueYaNoEstaFalla) {
    Recordset rs;
    rs.Open("SELECT * FROM ARTICULOS WHERE CODIGO = 'A1'", &cn_, ado::Estatico, ado::Optimista);
    cn_.Execute("DELETE FROM ARTICULOS WHERE CODIGO = 'A1'");
    rs.Asignar("DESCRIPCION", "x");
    EXPECT_EQ(NumeroDe([&] { rs.Update(); }), adoerr::FilaNoEncontrada);
    EXPECT_TRUE(rs.EditMode());  // nothing typed is lost: the change is still pending
    rs.CancelUpdate();
    EXPECT_EQ(rs.Valor("DESCRIPCION").toString(), "Tornillo");
}

TEST_F(OdbcSqlite, UnRecordsetDeSoloLecturaNoSeActualiza) {
    Recordset rs;
    rs.Open("SELECT * FROM ARTICULOS", &cn_);
    EXPECT_EQ(NumeroDe([&] { rs.AddNew(); }), adoerr::NoAdmitido);
    EXPECT_EQ(NumeroDe([&] { rs.Asignar("CODIGO", "x"); }), adoerr::NoAdmitido);
}

TEST_F(OdbcSqlite, MoverseConCambiosPendientesLosGuarda) {
    Recordset rs;
    rs.Open("SELECT * FROM ARTICULOS ORDER BY CODIGO", &cn_, ado::Estatico, ado::Optimista);
    rs.Asignar("EXISTENCIA", 7);
    rs.MoveNext();
    EXPECT_EQ(cn_.Execute("SELECT EXISTENCIA FROM ARTICULOS WHERE CODIGO = 'A1'")->Valor(0).toInt(), 7);
}

TEST_F(OdbcSqlite, ErroresConEstadoSqlYNumeroNativo) {
    try {
        cn_.Execute("SELECT * FROM NO_EXISTE");
        FAIL() << "debía fallar";
    } catch (const kv::KvExcepcion& e) {
        ASSERT_GE(cn_.Errors().Count(), 1);
        const ErrorBD& err = cn_.Errors().Item(0);
        EXPECT_EQ(e.error().numero, err.numero);
        EXPECT_EQ(e.error().descripcion, err.descripcion);
        EXPECT_FALSE(err.estadoSQL.isEmpty());
        EXPECT_NE(err.errorNativo, 0);
        EXPECT_TRUE(err.descripcion.contains("NO_EXISTE")) << err.descripcion.toStdString();
        EXPECT_FALSE(err.descripcion.startsWith("[")) << err.descripcion.toStdString();
        EXPECT_EQ(err.origen, "Microsoft OLE DB Provider for ODBC Drivers");
        EXPECT_EQ(err.numero, NumeroADO(err.estadoSQL, err.errorNativo));
    }
    // An integrity violation comes back with the integrity number.
    try {
        cn_.Execute("INSERT INTO ARTICULOS (CODIGO) VALUES ('A1')");
        FAIL() << "debía fallar";
    } catch (const kv::KvExcepcion& e) {
        ASSERT_GE(cn_.Errors().Count(), 1);
        EXPECT_FALSE(cn_.Errors().Item(0).estadoSQL.isEmpty());
    }
    // A statement that works clears the collection.
    cn_.Execute("SELECT 1");
    EXPECT_EQ(cn_.Errors().Count(), 0);
}

TEST_F(OdbcSqlite, EjecutarLoteNoLanzaPorErroresDeSentencia) {
    const auto resultados = cn_.EjecutarLote("SELECT * FROM NO_EXISTE");
    ASSERT_EQ(resultados.size(), 1u);
    ASSERT_TRUE(resultados[0].error.has_value());
    EXPECT_NE(resultados[0].error->numero, 0);
    EXPECT_EQ(cn_.Errors().Count(), 1);
}

TEST_F(OdbcSqlite, AperturaFallidaLlenaLosErrores) {
    Conexion cn;
    const qint32 numero = NumeroDe([&] { cn.Open("DRIVER=NoHayTalControlador;Database=x"); });
    EXPECT_EQ(numero, adoerr::FalloNoEspecificado);
    EXPECT_EQ(cn.State(), ado::Cerrado);
    ASSERT_GE(cn.Errors().Count(), 1);
    EXPECT_FALSE(cn.Errors().Item(0).estadoSQL.isEmpty());
    EXPECT_TRUE(cn.Errors().Item(0).descripcion.contains("NoHayTalControlador"));
    EXPECT_EQ(cn.Errors().Item(0).numero, adoerr::FalloNoEspecificado);
    // A database the driver cannot create.
    EXPECT_EQ(NumeroDe([&] { cn.Open("DRIVER=SQLite3;Database=" + carpetas_.raiz() + "no/hay/carpeta.db"); }),
              adoerr::FalloNoEspecificado);
    EXPECT_EQ(cn.State(), ado::Cerrado);
    EXPECT_GE(cn.Errors().Count(), 1);
}

TEST_F(OdbcSqlite, UsuarioYClaveDeOpenReemplazanLosDeLaCadena) {
    // The SQLite driver ignores credentials; what matters is that the string still opens.
    Conexion cn;
    cn.Open(cadena_ + ";UID=viejo;PWD=vieja", "nuevo", "cla;ve");
    EXPECT_EQ(cn.State(), ado::Abierto);
}

}  // namespace

// Schema and value lookups: exact statements, answers and failures.

#include "DB_DllPruebas.h"

using kv::db::DB_Dll;
using kv::db::Recordset;

namespace kv::pruebas {
namespace {

class Esquema : public DB_DllPrueba {
  protected:
    void SetUp() override {
        Abrir(db);
        db.gEsAdmin = false;
        grabador_->Olvidar();
    }
    DB_Dll& db = Principal();
};

TEST_F(Esquema, TablaSinDistinguirLetras) {
    grabador_->Tablas({QStringLiteral("MA_ARTICULOS"), QStringLiteral("TA_USUARIOS ")});
    EXPECT_TRUE(db.ExisteTablaDB(QStringLiteral(" ta_usuarios")));
    EXPECT_FALSE(db.ExisteTablaDB(QStringLiteral("TA_USUARIO")));
}

TEST_F(Esquema, CampoConRestriccionesDeLaBase) {
    grabador_->Columnas(QStringLiteral("Art"), {QStringLiteral("CODIGO"), QStringLiteral("Precio")});
    EXPECT_TRUE(db.ExisteCampoDB(QStringLiteral("Art"), QStringLiteral("precio ")));
    EXPECT_FALSE(db.ExisteCampoDB(QStringLiteral("Art"), QStringLiteral("Costo")));
    EXPECT_TRUE(grabador_->Llamadas().contains(QStringLiteral("EsquemaColumnas EMPRESA1|Art")));
}

TEST_F(Esquema, CampoEnOracleSiempreExiste) {
    db.gProveedor = QStringLiteral("OraOLEDB.Oracle.1");
    EXPECT_TRUE(db.ExisteCampoDB(QStringLiteral("Art"), QStringLiteral("cualquiera")));
    EXPECT_TRUE(grabador_->Llamadas().isEmpty());
}

TEST_F(Esquema, FalloDeCatalogoVaAlTratamientoDeLaPrincipal) {
    db.gCnn.Close();
    puerto_->ResponderMensaje(kv::respuesta::Anular);
    EXPECT_FALSE(db.ExisteTablaDB(QStringLiteral("X")));
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_TRUE(puerto_->Mensajes().at(0).titulo.endsWith(
        QStringLiteral(" - VerificaCampos Aviso al operador!!! - 5 ")));
}

TEST_F(Esquema, AgregarCampo) {
    EXPECT_EQ(DB_Dll::SqlAddField(QStringLiteral("Art"), QStringLiteral("Precio"), QStringLiteral("money"),
                                  false, QVariant(0)),
              QStringLiteral(
                  "ALTER TABLE dbo.Art ADD Precio money Not Null  CONSTRAINT DF_Art_Precio DEFAULT (0)"));
    db.AddField(QStringLiteral("Art"), QStringLiteral("Nota"), QStringLiteral("nvarchar(50)"), true);
    EXPECT_EQ(grabador_->Sentencias(),
              QStringList{QStringLiteral("ALTER TABLE dbo.Art ADD Nota nvarchar(50) Null ")});
}

TEST_F(Esquema, VerCampoSoloAgregaLoQueFalta) {
    grabador_->Tablas({QStringLiteral("Art")});
    grabador_->Columnas(QStringLiteral("Art"), {QStringLiteral("CODIGO")});
    EXPECT_TRUE(
        db.VerCampoDB(QStringLiteral("Art"), QStringLiteral("CODIGO"), true, QStringLiteral("int"), true));
    EXPECT_TRUE(
        db.VerCampoDB(QStringLiteral("Art"), QStringLiteral("Precio"), false, QStringLiteral("money"), true));
    EXPECT_TRUE(
        db.VerCampoDB(QStringLiteral("Otra"), QStringLiteral("Precio"), true, QStringLiteral("money"), true));
    EXPECT_TRUE(grabador_->Sentencias().isEmpty());
    EXPECT_TRUE(db.VerCampoDB(QStringLiteral("Art"), QStringLiteral("Precio"), true, QStringLiteral("money"),
                              false, QVariant(0)));
    EXPECT_EQ(
        grabador_->Sentencias(),
        QStringList{QStringLiteral("ALTER TABLE dbo.Art ADD Precio money Not Null  CONSTRAINT DF_Art_Precio "
                                   "DEFAULT (0)")});
}

TEST(DB_DllTextos, ExisteEnTabla) {
    EXPECT_EQ(
        DB_Dll::SqlExisteEnTabla(QStringLiteral("MA_CLIENTES"), QStringLiteral(" C01 "),
                                 QStringLiteral("CODIGO"), 8, QString()),
        QStringLiteral("SELECT TOP 1  * FROM MA_CLIENTES with(nolock)  WHERE LTRIM(RTRIM(CODIGO)) ='C01'"));
    EXPECT_EQ(DB_Dll::SqlExisteEnTabla(QStringLiteral("T"), QStringLiteral(" '01/02/2026' "),
                                       QStringLiteral("F"), 7, QString()),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE F = '01/02/2026' "));
    EXPECT_EQ(DB_Dll::SqlExisteEnTabla(QStringLiteral("T"), QStringLiteral(" 12.50abc"), QStringLiteral("N"),
                                       5, QString()),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE N = 12.5"));
    EXPECT_EQ(
        DB_Dll::SqlExisteEnTabla(QStringLiteral("T"), QStringLiteral("x"), QStringLiteral("N"), 3, QString()),
        QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE N = 0"));
    EXPECT_EQ(DB_Dll::SqlExisteEnTabla(QStringLiteral("T"), QStringLiteral("B=1"), QStringLiteral("N"), 11,
                                       QString()),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE N = B=1"));
    EXPECT_EQ(DB_Dll::SqlExisteEnTabla(QStringLiteral("T"), QString(), QString(), 8, QStringLiteral("A = 1")),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE A = 1"));
    EXPECT_EQ(DB_Dll::SqlExisteEnTabla(QStringLiteral("T"), QString(), QString(), 8,
                                       QStringLiteral(" WHERE A = 1")),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)   WHERE A = 1"));
}

TEST(DB_DllTextos, ExisteEnTablaST) {
    EXPECT_EQ(DB_Dll::SqlExisteEnTablaST(QStringLiteral("CAB_ESTV"), QStringLiteral(" VENTAS "),
                                         QStringLiteral("NOMBRE"), 8, QString()),
              QStringLiteral("SELECT * FROM CAB_ESTV with(nolock)   WHERE NOMBRE =' VENTAS '"));
    EXPECT_EQ(DB_Dll::SqlExisteEnTablaST(QStringLiteral("T"), QStringLiteral(" 01/02/2026 "),
                                         QStringLiteral("F"), 7, QString()),
              QStringLiteral("SELECT * FROM T with(nolock)   WHERE F = 01/02/2026 "));
    EXPECT_EQ(DB_Dll::SqlExisteEnTablaST(QStringLiteral("T"), QStringLiteral("7"), QStringLiteral("N"), 4,
                                         QString()),
              QStringLiteral("SELECT * FROM T with(nolock)   WHERE N = 7"));
    EXPECT_EQ(DB_Dll::SqlExisteEnTablaST(QStringLiteral("T"), QStringLiteral("7"), QStringLiteral("N"), 2,
                                         QString()),
              QStringLiteral("SELECT * FROM T with(nolock)   WHERE N = 7"));
    EXPECT_EQ(
        DB_Dll::SqlExisteEnTablaST(QStringLiteral("T"), QString(), QString(), 8, QStringLiteral("A = 1")),
        QStringLiteral("SELECT * FROM T with(nolock)   WHERE A = 1"));
    EXPECT_EQ(DB_Dll::SqlExisteEnTablaST(QStringLiteral("T"), QString(), QString(), 8,
                                         QStringLiteral(" WHERE A = 1")),
              QStringLiteral("SELECT * FROM T with(nolock)    WHERE A = 1"));
}

TEST(DB_DllTextos, DatosTabla) {
    EXPECT_EQ(
        DB_Dll::SqlDatosTabla(QStringLiteral("ta_usuarios"), QStringLiteral(" ana "),
                              QStringLiteral("nombre"), 8, QString(), true),
        QStringLiteral("SELECT TOP 1 * FROM ta_usuarios with(nolock)  WHERE LTRIM(RTRIM(nombre)) ='ana' "));
    EXPECT_EQ(DB_Dll::SqlDatosTabla(QStringLiteral("T"), QStringLiteral(" ana "), QStringLiteral("C"), 8,
                                    QStringLiteral("ACTIVO = 1"), false),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE C =' ana '  AND ACTIVO = 1"));
    EXPECT_EQ(DB_Dll::SqlDatosTabla(QStringLiteral("T"), QStringLiteral(" 01/02/2026 "), QStringLiteral("F"),
                                    7, QString(), true),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE F = #01/02/2026# "));
    EXPECT_EQ(DB_Dll::SqlDatosTabla(QStringLiteral("T"), QStringLiteral("3"), QStringLiteral("N"), 3,
                                    QStringLiteral("B = 2"), true),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE N = 3 AND B = 2"));
    EXPECT_EQ(DB_Dll::SqlDatosTabla(QStringLiteral("T"), QStringLiteral("X"), QStringLiteral("N"), 0,
                                    QString(), true),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE N = X"));
}

TEST(DB_DllTextos, ValoresConApostrofeNoRompenElLiteral) {
    EXPECT_EQ(
        DB_Dll::SqlExisteEnTabla(QStringLiteral("T"), QStringLiteral("x' OR '1'='1"), QStringLiteral("C"), 8,
                                 QString()),
        QStringLiteral("SELECT TOP 1  * FROM T with(nolock)  WHERE LTRIM(RTRIM(C)) ='x'' OR ''1''=''1'"));
    EXPECT_EQ(DB_Dll::SqlExisteEnTablaST(QStringLiteral("T"), QStringLiteral("D'Alba"), QStringLiteral("C"),
                                         8, QString()),
              QStringLiteral("SELECT * FROM T with(nolock)   WHERE C ='D''Alba'"));
    EXPECT_EQ(DB_Dll::SqlDatosTabla(QStringLiteral("T"), QStringLiteral("D'Alba"), QStringLiteral("C"), 8,
                                    QString(), false),
              QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE C ='D''Alba' "));
}

TEST_F(Esquema, ExisteEnTablaPasaPorSinonimosYSinRecordset) {
    grabador_->Filas(QStringLiteral("SS_MA_CUENTAS"), {QStringLiteral("CODIGO")},
                     {{QVariant(QStringLiteral("1"))}});
    EXPECT_TRUE(
        db.ExisteEnTabla(QStringLiteral("MA_CUENTAS"), QStringLiteral("1"), QStringLiteral("CODIGO")));
    EXPECT_EQ(grabador_->Sentencias(),
              QStringList{QStringLiteral(
                  "SELECT TOP 1  * FROM SS_MA_CUENTAS with(nolock)  WHERE LTRIM(RTRIM(CODIGO)) ='1'")});
    EXPECT_FALSE(
        db.ExisteEnTabla(QStringLiteral("MA_CLIENTES"), QStringLiteral("9"), QStringLiteral("CODIGO")));
}

TEST_F(Esquema, ExisteEnTablaDejaElRecordsetAbierto) {
    grabador_->Filas(QStringLiteral("CAB_ESTV"), {QStringLiteral("NOMBRE")},
                     {{QVariant(QStringLiteral("VENTAS"))}});
    Recordset rs;
    rs.SetCursorType(kv::db::ado::Dinamico);
    EXPECT_TRUE(db.ExisteEnTablaST(QStringLiteral("CAB_ESTV"), QStringLiteral("VENTAS"),
                                   QStringLiteral("NOMBRE"), &rs, 8, QString(), false));
    ASSERT_EQ(rs.State(), kv::db::ado::Abierto);
    EXPECT_EQ(rs.CursorType(), kv::db::ado::Dinamico);
    EXPECT_EQ(rs.Valor(QStringLiteral("NOMBRE")).toString(), QStringLiteral("VENTAS"));
    // Again on the same recordset: it is closed and opened read-only.
    EXPECT_TRUE(db.ExisteEnTablaST(QStringLiteral("CAB_ESTV"), QStringLiteral("VENTAS"),
                                   QStringLiteral("NOMBRE"), &rs));
    EXPECT_EQ(rs.CursorType(), kv::db::ado::SoloAvance);
    EXPECT_EQ(rs.LockType(), kv::db::ado::SoloLectura);
}

TEST_F(Esquema, ExisteEnTablaSTNoReescribe) {
    EXPECT_FALSE(
        db.ExisteEnTablaST(QStringLiteral("MA_CUENTAS"), QStringLiteral("1"), QStringLiteral("CODIGO")));
    EXPECT_EQ(grabador_->Sentencias(),
              QStringList{QStringLiteral("SELECT * FROM MA_CUENTAS with(nolock)   WHERE CODIGO ='1'")});
}

TEST_F(Esquema, ExisteEnTablaConFalloPregunta) {
    grabador_->Fallar(
        QStringLiteral("FROM T"),
        ProveedorGrabador::Error(-2147217865, QStringLiteral("El nombre de objeto 'T' no es válido."), 208));
    puerto_->ResponderMensaje(kv::respuesta::Anular);
    EXPECT_FALSE(db.ExisteEnTabla(QStringLiteral("T"), QStringLiteral("1"), QStringLiteral("C")));
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).texto, QStringLiteral("El nombre de objeto 'T' no es válido."));
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo, QStringLiteral("Aviso al Operador"));
    EXPECT_EQ(puerto_->Mensajes().at(0).estilo, 18);
}

TEST_F(Esquema, DatosTablaDevuelveLaColumna) {
    grabador_->Filas(QStringLiteral("MA_CLIENTES"), {QStringLiteral("CODIGO"), QStringLiteral("NOMBRE")},
                     {{QVariant(QStringLiteral("C01")), QVariant(QStringLiteral("Ferretería Sur"))}});
    EXPECT_EQ(db.DatosTabla(QStringLiteral("MA_CLIENTES"), QStringLiteral("C01"), QStringLiteral("nombre"),
                            QStringLiteral("CODIGO"))
                  .toString(),
              QStringLiteral("Ferretería Sur"));
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(Esquema, DatosTablaNuloEsTextoVacioYSinFilaEsVacio) {
    grabador_->Filas(QStringLiteral("MA_CLIENTES"), {QStringLiteral("NOMBRE")}, {{QVariant()}});
    const QVariant nulo = db.DatosTabla(QStringLiteral("MA_CLIENTES"), QStringLiteral("C01"),
                                        QStringLiteral("NOMBRE"), QStringLiteral("C"));
    EXPECT_TRUE(nulo.isValid());
    EXPECT_EQ(nulo.toString(), QString());
    const QVariant sinFila = db.DatosTabla(QStringLiteral("MA_OTRA"), QStringLiteral("C01"),
                                           QStringLiteral("NOMBRE"), QStringLiteral("C"));
    EXPECT_FALSE(sinFila.isValid());
}

TEST_F(Esquema, DatosTablaSinConexionAbiertaDevuelveVacio) {
    grabador_->Filas(QStringLiteral("MA_CLIENTES"), {QStringLiteral("NOMBRE")},
                     {{QVariant(QStringLiteral("x"))}});
    db.gOpenFlag = false;
    EXPECT_FALSE(db.DatosTabla(QStringLiteral("MA_CLIENTES"), QStringLiteral("C01"), QStringLiteral("NOMBRE"),
                               QStringLiteral("C"))
                     .isValid());
}

TEST_F(Esquema, DatosTablaIgnorandoErrores) {
    grabador_->Filas(QStringLiteral("MA_CLIENTES"), {QStringLiteral("NOMBRE")},
                     {{QVariant(QStringLiteral("x"))}});
    const QVariant ignorado =
        db.DatosTabla(QStringLiteral("MA_CLIENTES"), QStringLiteral("C01"), QStringLiteral("NO_EXISTE"),
                      QStringLiteral("C"), 8, QString(), true, true);
    EXPECT_TRUE(ignorado.isValid());
    EXPECT_EQ(ignorado.toString(), QString());
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());

    puerto_->ResponderMensaje(kv::respuesta::Anular);
    EXPECT_FALSE(db.DatosTabla(QStringLiteral("MA_CLIENTES"), QStringLiteral("C01"),
                               QStringLiteral("NO_EXISTE"), QStringLiteral("C"))
                     .isValid());
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo, QStringLiteral("Aviso al Operador"));
}

TEST_F(Esquema, MaximoDeArticulosSinCodigosConCero) {
    const QString primera = QStringLiteral("SELECT MAX(idarticulo) AS MAYOR FROM V_MA_ARTICULOS");
    const QString segunda = QStringLiteral(
        "SELECT MAX(idarticulo) AS MAYOR FROM V_MA_ARTICULOS WHERE substring(ltrim(idarticulo),1,1)<>'0'");
    grabador_->Filas(QStringLiteral("<>'0'"), {QStringLiteral("MAYOR")}, {{QVariant()}});
    grabador_->Filas(primera, {QStringLiteral("MAYOR")}, {{QVariant(QStringLiteral("099"))}}, 1);
    const QVariant r = db.BuscaMaximo(QStringLiteral("V_MA_ARTICULOS"), QStringLiteral("idarticulo"));
    EXPECT_EQ(r.toDouble(), 0.0);
    EXPECT_EQ(grabador_->Sentencias(), (QStringList{primera, segunda}));
}

TEST_F(Esquema, MaximoConCondicion) {
    grabador_->Filas(QStringLiteral("AS MAYOR"), {QStringLiteral("MAYOR")},
                     {{QVariant(QStringLiteral("0123"))}});
    const QVariant r = db.BuscaMaximo(QStringLiteral("v_ma_articulos"), QStringLiteral("idarticulo"), 0,
                                      QStringLiteral(" activo = 1 "));
    EXPECT_EQ(r.toDouble(), 123.0);  // the repeated search is made once
    EXPECT_EQ(grabador_->Sentencias(),
              (QStringList{
                  QStringLiteral("SELECT MAX(idarticulo) AS MAYOR FROM v_ma_articulos WHERE activo = 1"),
                  QStringLiteral("SELECT MAX(idarticulo) AS MAYOR FROM v_ma_articulos WHERE activo = 1  and "
                                 "substring(ltrim(idarticulo),1,1)<>'0'")}));
}

TEST_F(Esquema, MaximoDeFechaSinConvertir) {
    grabador_->Filas(QStringLiteral("AS MAYOR"), {QStringLiteral("MAYOR")}, {{QVariant(QDate(2026, 3, 1))}});
    EXPECT_EQ(db.BuscaMaximo(QStringLiteral("MV"), QStringLiteral("FECHA"), 7).toDate(), QDate(2026, 3, 1));
    grabador_->Filas(QStringLiteral("AS MAYOR"), {QStringLiteral("MAYOR")}, {}, 1);
    EXPECT_FALSE(db.BuscaMaximo(QStringLiteral("MV"), QStringLiteral("FECHA"), 7).isValid());
}

TEST_F(Esquema, CondicionVaciaNoDejaUnWhereSuelto) {
    grabador_->Filas(QStringLiteral("AS MAYOR"), {QStringLiteral("MAYOR")}, {{QVariant(4)}});
    EXPECT_EQ(db.BuscaMaximo(QStringLiteral("T"), QStringLiteral("N"), 0, QStringLiteral("  ")).toDouble(),
              4.0);
    EXPECT_EQ(grabador_->Sentencias().last(), QStringLiteral("SELECT MAX(N) AS MAYOR FROM T"));
}

TEST_F(Esquema, Minimo) {
    grabador_->Filas(QStringLiteral("AS MENOR"), {QStringLiteral("MENOR")},
                     {{QVariant(QStringLiteral("15abc"))}});
    EXPECT_EQ(
        db.BuscaMinimo(QStringLiteral("T"), QStringLiteral("N"), 0, QStringLiteral(" A = 1 ")).toDouble(),
        15.0);
    EXPECT_EQ(grabador_->Sentencias().last(),
              QStringLiteral("SELECT MIN(N) AS MENOR FROM T  with(nolock)  WHERE A = 1"));
    db.BuscaMinimo(QStringLiteral("T"), QStringLiteral("N"));
    EXPECT_EQ(grabador_->Sentencias().last(), QStringLiteral("SELECT MIN(N) AS MENOR FROM T  with(nolock) "));
}

TEST_F(Esquema, UltimoCodigoDeTablaVaciaEsCero) {
    grabador_->Filas(QStringLiteral("AS MAYOR"), {QStringLiteral("MAYOR")}, {{QVariant()}});
    const QVariant r = db.BuscaUltimoCodigo(QStringLiteral("T"), QStringLiteral("N"), 3, QString());
    EXPECT_TRUE(r.isValid());
    EXPECT_EQ(r.toDouble(), 0.0);
    EXPECT_EQ(grabador_->Sentencias().last(), QStringLiteral("SELECT MAX(N) AS MAYOR FROM T"));
    db.BuscaUltimoCodigo(QStringLiteral("T"), QStringLiteral("N"), 3, QStringLiteral(" A = 1"));
    EXPECT_EQ(grabador_->Sentencias().last(), QStringLiteral("SELECT MAX(N) AS MAYOR FROM T WHERE  A = 1"));
}

TEST_F(Esquema, ExtremosDejanPasarElError) {
    grabador_->Fallar(QStringLiteral("FROM T"),
                      ProveedorGrabador::Error(-2147217865, QStringLiteral("No existe."), 208));
    EXPECT_THROW(db.BuscaMaximo(QStringLiteral("T"), QStringLiteral("N")), kv::KvExcepcion);
    EXPECT_THROW(db.BuscaMinimo(QStringLiteral("T"), QStringLiteral("N")), kv::KvExcepcion);
    EXPECT_THROW(db.BuscaUltimoCodigo(QStringLiteral("T"), QStringLiteral("N")), kv::KvExcepcion);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

}  // namespace
}  // namespace kv::pruebas

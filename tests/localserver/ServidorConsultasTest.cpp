// The statistic table, the load's queries, the comparison rules of text, the
// declared types and the schema rowsets, and server procedures, all through
// the client layer.

#include <sqlite3.h>

#include "ServidorPrueba.h"
#include "localserver/Procedimientos.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

QString Unir(std::initializer_list<QString> lineas) {
    QStringList l;
    for (const QString& x : lineas) l << x;
    return l.join(QStringLiteral("\r\n"));
}

QString CrearTablaEstadistica(const QString& t) {
    return Unir({QStringLiteral("CREATE TABLE [dbo].[") + t + QStringLiteral("] ("),
                 QStringLiteral(" [Base] [nvarchar] (50) NOT NULL , "), QStringLiteral(" [Fecha] [nvarchar] (7) NOT NULL ,"),
                 QStringLiteral(" [Grupo1] [nvarchar] (25) NOT NULL ,"), QStringLiteral(" [Grupo2] [nvarchar] (25) NOT NULL ,"),
                 QStringLiteral(" [Grupo3] [nvarchar] (25) NOT NULL ,"), QStringLiteral(" [Consumo] [float] NULL ,"),
                 QStringLiteral(" [ValorCosto] [money] NULL ,"), QStringLiteral(" [ValorVenta] [money] NULL"),
                 QStringLiteral(" ) ON [PRIMARY]"), QStringLiteral("ALTER TABLE [dbo].[") + t + QStringLiteral("] WITH NOCHECK ADD"),
                 QStringLiteral(" CONSTRAINT [PK_") + t + QStringLiteral("] PRIMARY KEY  NONCLUSTERED"), QStringLiteral(" ("),
                 QStringLiteral(" [Base],"), QStringLiteral(" [Fecha],"), QStringLiteral(" [Grupo1],"), QStringLiteral(" [Grupo2],"),
                 QStringLiteral(" [Grupo3]"), QStringLiteral(" )  ON [PRIMARY]")});
}

class ConsultasTest : public ServidorPrueba {
protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        c_ = Conectar();
        for (const QString& l : LotesCreacionAlmacen()) c_->EjecutarLote(l);
        Lote(*c_, CrearTablaEstadistica(QStringLiteral("DET_ESTV0000")));
    }
    std::unique_ptr<Conexion> c_;
};

TEST_F(ConsultasTest, TablaEstadisticaConSuClaveYSusTipos) {
    EXPECT_EQ(c_->ClavePrimaria(QStringLiteral("det_estv0000")),
              (QStringList{QStringLiteral("Base"), QStringLiteral("Fecha"), QStringLiteral("Grupo1"), QStringLiteral("Grupo2"),
                           QStringLiteral("Grupo3")}));
    Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('E1','1/2024','abc',' ',' ',-2,-10.123456,-20)"));
    // Same key under the server's comparison: letter case and trailing blanks do not count.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('e1','1/2024','ABC  ',' ',' ',1,1,1)")),
              2627);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('E1','10/2024x','a',' ',' ',1,1,1)")),
              8152);
    const auto f = Filas(*c_, QStringLiteral("SELECT ValorCosto, Consumo FROM DET_ESTV0000"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_DOUBLE_EQ(f[0][0].toDouble(), -10.1235);  // money keeps four decimals
    EXPECT_DOUBLE_EQ(f[0][1].toDouble(), -2.0);
}

TEST_F(ConsultasTest, ConsultasDelGraficoYDeLaGrilla) {
    const char* filas[] = {"('E1','1/2024','A',' ',' ',-1,-10,-20)", "('E1','2/2024','A',' ',' ',-2,-10,-30)",
                           "('E1','1/2024','b',' ',' ',-5,0,-5)",     "('E2','1/2024','A',' ',' ',-1,-1,-2)",
                           "('E1','3/2024','C',' ',' ',-7,-7,-7)",    "('E1','1/2024',' D',' ',' ',-1,-1,-1)"};
    for (const char* f : filas)
        Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ") + QString::fromLatin1(f));
    const QString donde = QStringLiteral(" Where (BASE ='E1' OR BASE ='E2' )  AND (FECHA ='1/2024'  OR FECHA ='2/2024' ) "
                                         " and ltrim(GRUPO1) in ('a','B','d') ");
    const QString grafico = QStringLiteral("SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO, SUM(VALORVENTA) "
                                           "AS VALORVENTA,grupo1,grupo2,grupo3 FROM DET_ESTV0000 ") +
                            donde + QStringLiteral(" GROUP BY GRUPO1, GRUPO2, GRUPO3 ") +
                            QStringLiteral(" ORDER BY ValorVenta DESC, Grupo1 DESC");
    const auto g = Filas(*c_, grafico);
    ASSERT_EQ(g.size(), 3u);
    // Sums are negative (sales): descending puts the smallest sale first.
    EXPECT_EQ(g[0][3].toString(), QStringLiteral(" D"));
    EXPECT_DOUBLE_EQ(g[0][2].toDouble(), -1);
    EXPECT_EQ(g[1][3].toString(), QStringLiteral("b"));
    EXPECT_EQ(g[2][3].toString(), QStringLiteral("A"));
    EXPECT_DOUBLE_EQ(g[2][2].toDouble(), -52);
    EXPECT_DOUBLE_EQ(g[2][0].toDouble(), -4);

    const QString grilla =
        QStringLiteral("SELECT BASE,grupo1 AS [Artículo] ,grupo2 AS [Grupo2],grupo3 AS [Grupo3],") +
        QStringLiteral("SUM(convert(money,CONSUMO)*-1) AS CONSUMO, ") + QStringLiteral("SUM(VALORCOSTO*-1) AS VALORCOSTO, ") +
        QStringLiteral("SUM(VALORVENTA*-1) AS VALORVENTA ,") +
        QStringLiteral("case when SUM(valorcosto)=0 then 100 else (((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/"
                       "SUM(VALORCOSTO*-1))*100) end AS UTL_COSTOPorc, ") +
        QStringLiteral("case when SUM(valorventa)=0 then 100 else (((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/"
                       "SUM(VALORVENTA*-1))*100) end AS UTL_VENTAPorc, ") +
        QStringLiteral("SUM(((VALORVENTA*-1)-(VALORCOSTO*-1))) AS UTILIDAD") + QStringLiteral(" FROM DET_ESTV0000 ") + donde +
        QStringLiteral(" GROUP BY BASE, GRUPO1, GRUPO2, GRUPO3 ORDER BY  GRUPO1, GRUPO2,GRUPO3");
    const auto resultados = Lote(*c_, grilla);
    ASSERT_EQ(resultados.size(), 1u);
    const auto& r = resultados[0];
    ASSERT_TRUE(r.tieneFilas);
    ASSERT_EQ(r.columnas.size(), 10u);
    EXPECT_EQ(r.columnas[1].nombre, QStringLiteral("Artículo"));
    EXPECT_EQ(r.columnas[9].nombre, QStringLiteral("UTILIDAD"));
    ASSERT_EQ(r.filas.size(), 4u);
    // Ordered by the groups under the server's comparison: ' D' < 'A' < 'b'.
    EXPECT_EQ(r.filas[0][1].toString(), QStringLiteral(" D"));
    EXPECT_EQ(r.filas[1][0].toString(), QStringLiteral("E1"));
    EXPECT_EQ(r.filas[1][1].toString(), QStringLiteral("A"));
    EXPECT_DOUBLE_EQ(r.filas[1][6].toDouble(), 50);
    EXPECT_DOUBLE_EQ(r.filas[1][7].toDouble(), 150);  // (50 - 20) / 20 * 100
    EXPECT_DOUBLE_EQ(r.filas[1][8].toDouble(), 60);   // (50 - 20) / 50 * 100
    EXPECT_DOUBLE_EQ(r.filas[1][9].toDouble(), 30);
    EXPECT_EQ(r.filas[2][0].toString(), QStringLiteral("E2"));
    EXPECT_EQ(r.filas[3][1].toString(), QStringLiteral("b"));
    EXPECT_DOUBLE_EQ(r.filas[3][7].toDouble(), 100);  // no cost: 100
}

TEST_F(ConsultasTest, ReglasDeComparacionDelTexto) {
    Lote(*c_, QStringLiteral("CREATE TABLE P (t nvarchar(20) NULL)"));
    for (const char* v : {"camión", "camion", "Ñandú", "nube", "oso", "Zeta", "árbol", "abeto"})
        Lote(*c_, QStringLiteral("INSERT INTO P VALUES ('%1')").arg(QString::fromUtf8(v)));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM P WHERE t = 'CAMION   '")).toInt(), 1);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM P WHERE t = 'Camión'")).toInt(), 1);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM P WHERE t IN ('OSO', 'zeta')")).toInt(), 2);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM P WHERE ltrim(t) IN ('OSO', 'zeta')")).toInt(), 2);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM P WHERE t LIKE 'CAM%'")).toInt(), 2);
    QStringList orden;
    for (const auto& f : Filas(*c_, QStringLiteral("SELECT t FROM P WHERE t >= 'n' AND t < 'p' ORDER BY t")))
        orden << f[0].toString();
    EXPECT_EQ(orden, (QStringList{QStringLiteral("nube"), QStringLiteral("Ñandú"), QStringLiteral("oso")}));
}

TEST_F(ConsultasTest, TiposDeclaradosEnLasColumnasDelResultado) {
    Lote(*c_, QStringLiteral("INSERT INTO TA_CONFIGURACION (GRUPO, CLAVE, VALOR, FechaHora_Grabacion) "
                             "VALUES ('G', 'C', 'V', '05/03/2024 14:30:00')"));
    const auto r = Lote(*c_, QStringLiteral("SELECT ID, GRUPO, FechaHora_Grabacion, Transmision, PoliticaNegocio, ValorAux "
                                            "FROM TA_CONFIGURACION"));
    ASSERT_EQ(r.size(), 1u);
    const auto& x = r[0];
    ASSERT_EQ(x.filas.size(), 1u);
    EXPECT_EQ(x.columnas[0].tipo, kv::db::tipo::Integer);
    EXPECT_EQ(x.columnas[1].tipo, kv::db::tipo::VarWChar);
    EXPECT_EQ(x.columnas[1].tamano, 50);
    EXPECT_EQ(x.columnas[1].tablaBase, QStringLiteral("TA_CONFIGURACION"));
    EXPECT_EQ(x.columnas[2].tipo, kv::db::tipo::DBTimeStamp);
    EXPECT_EQ(x.columnas[4].tipo, kv::db::tipo::Boolean);
    EXPECT_EQ(x.columnas[5].tipo, kv::db::tipo::LongVarWChar);
    EXPECT_EQ(x.filas[0][2].toDateTime(), QDateTime(QDate(2024, 3, 5), QTime(14, 30)));
    EXPECT_EQ(x.filas[0][3].toInt(), 0);  // default
    EXPECT_EQ(x.filas[0][4].typeId(), QMetaType::Bool);
    EXPECT_TRUE(x.filas[0][5].isNull());
    // Stored as ISO text.
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM TA_CONFIGURACION WHERE FechaHora_Grabacion = "
                                        "'2024-03-05 14:30:00'"))
                  .toInt(),
              1);
}

TEST_F(ConsultasTest, ParametrosEnlazados) {
    const auto r = c_->EjecutarConParametros(
        QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE, [TOP], TOPOTROS) VALUES (?, ?, ?)"),
        {QVariant(QStringLiteral("D'Alba")), QVariant(5), QVariant()});
    EXPECT_EQ(r.filasAfectadas, 1);
    const auto f = Filas(*c_, QStringLiteral("SELECT Nombre, [TOP], TopOtros FROM CAB_ESTV"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0][0].toString(), QStringLiteral("D'Alba"));
    EXPECT_EQ(f[0][1].toInt(), 5);
    EXPECT_TRUE(f[0][2].isNull());
}

TEST_F(ConsultasTest, EsquemaDeTablasYColumnasDeLaBaseActual) {
    Lote(*c_, QStringLiteral("CREATE VIEW V_EMPRESAS AS SELECT Base FROM MA_EMPRESAS"));
    auto* s = c_->sesion();
    const auto tablas = s->EsquemaTablas(QString(), QString());
    QMap<QString, QString> tipos;
    for (const auto& f : tablas.filas) {
        EXPECT_EQ(f[0].toString(), QStringLiteral("KV_ESTADISTICAS"));
        tipos.insert(f[2].toString(), f[3].toString());
    }
    EXPECT_EQ(tipos.value(QStringLiteral("CAB_ESTV")), QStringLiteral("TABLE"));
    EXPECT_EQ(tipos.value(QStringLiteral("DET_ESTV0000")), QStringLiteral("TABLE"));
    EXPECT_EQ(tipos.value(QStringLiteral("V_EMPRESAS")), QStringLiteral("VIEW"));
    for (const QString& n : tipos.keys()) EXPECT_FALSE(n.startsWith(QStringLiteral("kv_sys"), Qt::CaseInsensitive));
    EXPECT_TRUE(s->EsquemaTablas(QStringLiteral("master"), QString()).filas.empty());

    const auto columnas = s->EsquemaColumnas(QString(), QStringLiteral("TA_CONFIGURACION"));
    QMap<QString, std::vector<QVariant>> porNombre;
    for (const auto& f : columnas.filas) porNombre.insert(f[3].toString(), f);
    auto col = [&](const char* nombre, const char* campo) {
        const auto& f = porNombre.value(QString::fromLatin1(nombre));
        for (size_t i = 0; i < columnas.columnas.size(); ++i)
            if (columnas.columnas[i].nombre == QLatin1String(campo)) return f.empty() ? QVariant() : f[i];
        return QVariant();
    };
    EXPECT_EQ(porNombre.size(), 12);
    EXPECT_EQ(col("ID", "DATA_TYPE").toInt(), 3);
    EXPECT_EQ(col("GRUPO", "DATA_TYPE").toInt(), 202);
    EXPECT_EQ(col("GRUPO", "CHARACTER_MAXIMUM_LENGTH").toInt(), 50);
    EXPECT_EQ(col("GRUPO", "IS_NULLABLE").toBool(), false);
    EXPECT_EQ(col("VALOR", "CHARACTER_MAXIMUM_LENGTH").toInt(), 150);
    EXPECT_EQ(col("VALOR", "IS_NULLABLE").toBool(), true);
    EXPECT_EQ(col("FechaHora_Grabacion", "DATA_TYPE").toInt(), 135);
    EXPECT_EQ(col("ValorAux", "DATA_TYPE").toInt(), 203);
    EXPECT_EQ(col("Bloquea", "DATA_TYPE").toInt(), 11);
    EXPECT_EQ(col("Transmision", "COLUMN_HASDEFAULT").toBool(), true);
    EXPECT_EQ(col("Transmision", "ORDINAL_POSITION").toInt(), 8);
    const auto det = s->EsquemaColumnas(QString(), QStringLiteral("DET_ESTV0000"));
    ASSERT_EQ(det.filas.size(), 8u);
    EXPECT_EQ(det.filas[5][11].toInt(), 5);  // float
    EXPECT_EQ(det.filas[6][11].toInt(), 6);  // money
    const auto vista = s->EsquemaColumnas(QString(), QStringLiteral("V_EMPRESAS"));
    ASSERT_EQ(vista.filas.size(), 1u);
    EXPECT_EQ(vista.filas[0][11].toInt(), 202);
}

TEST_F(ConsultasTest, ProcedimientoDelServidorConSusDerechos) {
    kv::local::RegistrarProcedimiento(
        QStringLiteral("PRUEBA_ESCRIBE_ALMACEN"),
        [](kv::local::ContextoProcedimiento& ctx, const std::vector<kv::local::Argumento>& args) {
            if (args.empty()) throw kv::local::ErrorServidor(201, QStringLiteral("Falta el argumento."));
            sqlite3* almacen = ctx.Base(QStringLiteral("kv_estadisticas"));
            const QByteArray sql = QStringLiteral("INSERT INTO MA_EMPRESAS (Base) VALUES ('%1')")
                                       .arg(args[0].valor.toString())
                                       .toUtf8();
            if (sqlite3_exec(almacen, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                throw kv::local::ErrorServidor(50000, QStringLiteral("No se pudo escribir."));
            ctx.DevolverFilas({kv::db::ColumnaResultado{QStringLiteral("Base"), kv::db::tipo::VarWChar, 50, {}},
                               kv::db::ColumnaResultado{QStringLiteral("Login"), kv::db::tipo::VarWChar, 50, {}}},
                              {{ctx.BaseActual(), ctx.Login()}});
            ctx.DevolverAfectadas(1);
        });
    Lote(*c_, QStringLiteral("CREATE DATABASE EMPRESA1"));
    Lote(*c_, QStringLiteral("EXEC sp_addlogin 'vendedor', 'v', 'EMPRESA1'"));
    Lote(*c_, QStringLiteral("USE EMPRESA1"));
    Lote(*c_, QStringLiteral("EXEC sp_grantdbaccess 'vendedor'"));
    auto v = Conectar(QStringLiteral("EMPRESA1"), QStringLiteral("vendedor"), QStringLiteral("v"));
    // Calling it is a right of its own, which a mere user of the database lacks.
    EXPECT_EQ(PrimerError(*v, QStringLiteral("EXEC dbo.prueba_escribe_almacen 'EMPRESA1'")), 229);
    Lote(*c_, QStringLiteral("GRANT EXECUTE ON dbo.PRUEBA_ESCRIBE_ALMACEN TO vendedor"));
    // Granted, a login that cannot touch the store still makes the procedure write there.
    const auto r = Lote(*v, QStringLiteral("EXEC dbo.prueba_escribe_almacen 'EMPRESA1'"));
    ASSERT_EQ(r.size(), 2u);
    ASSERT_TRUE(r[0].tieneFilas);
    EXPECT_EQ(r[0].filas[0][0].toString(), QStringLiteral("EMPRESA1"));
    EXPECT_EQ(r[0].filas[0][1].toString(), QStringLiteral("vendedor"));
    EXPECT_EQ(r[1].filasAfectadas, 1);
    Lote(*c_, QStringLiteral("USE KV_ESTADISTICAS"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT Base FROM MA_EMPRESAS")).toString(), QStringLiteral("EMPRESA1"));
    EXPECT_EQ(PrimerError(*v, QStringLiteral("EXEC PRUEBA_ESCRIBE_ALMACEN")), 201);
    EXPECT_EQ(PrimerError(*v, QStringLiteral("EXEC PRUEBA_ESCRIBE_ALMACEN 'EMPRESA1'")), 50000);  // duplicate key
    kv::local::QuitarProcedimiento(QStringLiteral("PRUEBA_ESCRIBE_ALMACEN"));
    EXPECT_EQ(PrimerError(*v, QStringLiteral("EXEC PRUEBA_ESCRIBE_ALMACEN 'X'")), 2812);
}

TEST_F(ConsultasTest, AgregarColumnaYRestriccionesReconstruyeLaTabla) {
    Lote(*c_, QStringLiteral("CREATE TABLE R (a int NOT NULL, b nvarchar(10) NULL)"));
    Lote(*c_, QStringLiteral("CREATE INDEX IX_R_b ON R (b)"));
    Lote(*c_, QStringLiteral("CREATE VIEW V_R AS SELECT a, b FROM R"));
    Lote(*c_, QStringLiteral("INSERT INTO R VALUES (1, 'x')"));
    Lote(*c_, QStringLiteral("INSERT INTO R VALUES (1, 'y')"));
    // Duplicates refuse the key, and the table stays as it was.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("ALTER TABLE R ADD CONSTRAINT PK_R PRIMARY KEY (a)")), 1505);
    EXPECT_TRUE(c_->ClavePrimaria(QStringLiteral("R")).isEmpty());
    Lote(*c_, QStringLiteral("DELETE FROM R WHERE b = 'y'"));
    Lote(*c_, QStringLiteral("ALTER TABLE R ADD CONSTRAINT PK_R PRIMARY KEY (a)"));
    EXPECT_EQ(c_->ClavePrimaria(QStringLiteral("R")), QStringList{QStringLiteral("a")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO R VALUES (1, 'z')")), 2627);
    Lote(*c_, QStringLiteral("ALTER TABLE R ADD c int NOT NULL DEFAULT (7)"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT c FROM V_R, R WHERE V_R.a = R.a")).toInt(), 7);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM V_R")).toInt(), 1);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("ALTER TABLE R ADD d int NOT NULL")), 4901);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("CREATE INDEX IX_R_b ON R (b)")), 1913);
}

// One ADD with several columns adds every one of them, or none when one of
// them cannot go in; columns and a key in one ADD change the table together.
TEST_F(ConsultasTest, AgregarVariasColumnasDeUnaVez) {
    Lote(*c_, QStringLiteral("CREATE TABLE S (a int NOT NULL)"));
    Lote(*c_, QStringLiteral("INSERT INTO S VALUES (1)"));
    Lote(*c_, QStringLiteral("ALTER TABLE S ADD c1 int NULL, c2 nvarchar(5) NOT NULL DEFAULT ('x')"));
    const auto f = Filas(*c_, QStringLiteral("SELECT a, c1, c2 FROM S"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_TRUE(f[0][1].isNull());
    EXPECT_EQ(f[0][2].toString(), QStringLiteral("x"));
    // The second column is already there: the first one does not stay behind.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("ALTER TABLE S ADD c3 int NULL, c1 int NULL")), 2705);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT c3 FROM S")), 207);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("ALTER TABLE S ADD c4 int NULL, c4 int NULL")), 2705);
    // A key that the rows break keeps the new column out as well.
    Lote(*c_, QStringLiteral("INSERT INTO S (a, c2) VALUES (1, 'y')"));
    EXPECT_EQ(
        PrimerError(*c_, QStringLiteral("ALTER TABLE S ADD c5 int NULL, CONSTRAINT PK_S PRIMARY KEY (a)")),
        1505);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT c5 FROM S")), 207);
    Lote(*c_, QStringLiteral("DELETE FROM S WHERE c2 = 'y'"));
    Lote(*c_, QStringLiteral("ALTER TABLE S ADD c5 int NULL, CONSTRAINT PK_S PRIMARY KEY (a)"));
    EXPECT_EQ(c_->ClavePrimaria(QStringLiteral("S")), QStringList{QStringLiteral("a")});
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(c5) FROM S")).toInt(), 0);
}

}  // namespace
}  // namespace kv::pruebas

namespace kv::pruebas {
namespace {

// A column neither grouped nor summed refuses the whole batch, with the
// column named as the server names it; nothing before it in the batch runs.
TEST_F(ConsultasTest, ColumnaSinAgruparRechazaElLoteEntero) {
    const QString lote = QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('E1','1/2024','A',' ',' ',1,1,1)\n"
                                        "SELECT Grupo1, Consumo FROM DET_ESTV0000 GROUP BY Grupo1");
    try {
        c_->EjecutarLote(lote);
        ADD_FAILURE() << "se esperaba el rechazo del lote";
    } catch (const kv::KvExcepcion&) {
        ASSERT_GT(c_->Errors().Count(), 0);
        const auto& e = c_->Errors().Item(0);
        EXPECT_EQ(e.errorNativo, 8120);
        EXPECT_EQ(e.estadoSQL, QStringLiteral("42000"));
        EXPECT_EQ(e.descripcion, QStringLiteral("La columna 'DET_ESTV0000.Consumo' de la lista de selección no es "
                                                "válida, porque no está contenida en una función de agregado ni en "
                                                "la cláusula GROUP BY."));
    }
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM DET_ESTV0000")).toInt(), 0);
    // An aggregate without GROUP BY groups the whole table: a bare column is refused too.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT Grupo1, SUM(Consumo) FROM DET_ESTV0000")), 8120);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT Grupo1, SUM(Consumo) FROM DET_ESTV0000 GROUP BY Grupo1")), 0);
    // The date part of DATEADD is no column: the error names the column that is one.
    const auto fecha = ErrorDe(*c_, QStringLiteral("SELECT DATEADD(day, 1, E.Fecha) FROM DET_ESTV0000 E GROUP BY E.Base"));
    ASSERT_TRUE(fecha.has_value());
    EXPECT_EQ(fecha->descripcion, QStringLiteral("La columna 'E.Fecha' de la lista de selección no es válida, porque "
                                                 "no está contenida en una función de agregado ni en la cláusula "
                                                 "GROUP BY."));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT DATEDIFF(dd, MIN(Fecha), MAX(Fecha)), DATEPART(yy, '20240105') "
                                              "FROM DET_ESTV0000 GROUP BY Base")),
              0);
}

// HAVING filters groups by grouped columns and aggregates; a bare column is refused.
TEST_F(ConsultasTest, HavingConColumnaSinAgruparSeRechaza) {
    Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('E1','1/2024','A',' ',' ',1,1,1)\n"
                             "INSERT INTO DET_ESTV0000 VALUES ('E1','2/2024','A',' ',' ',5,1,1)\n"
                             "INSERT INTO DET_ESTV0000 VALUES ('E1','1/2024','B',' ',' ',2,1,1)"));
    try {
        c_->EjecutarLote(QStringLiteral("SELECT Grupo1, SUM(Consumo) AS c FROM DET_ESTV0000 GROUP BY Grupo1 "
                                        "HAVING Consumo > 1"));
        ADD_FAILURE() << "se esperaba el rechazo del lote";
    } catch (const kv::KvExcepcion&) {
        ASSERT_GT(c_->Errors().Count(), 0);
        EXPECT_EQ(c_->Errors().Item(0).errorNativo, 8121);
        EXPECT_EQ(c_->Errors().Item(0).descripcion,
                  QStringLiteral("La columna 'DET_ESTV0000.Consumo' no es válida en la cláusula HAVING porque no está "
                                 "contenida en una función de agregado ni en la cláusula GROUP BY."));
    }
    const auto f = Filas(*c_, QStringLiteral("SELECT Grupo1, SUM(Consumo) AS c FROM DET_ESTV0000 GROUP BY Grupo1 "
                                             "HAVING SUM(Consumo) > 2 AND Grupo1 <> 'b'"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0][0].toString(), QStringLiteral("A"));
    EXPECT_DOUBLE_EQ(f[0][1].toDouble(), 6.0);
    // Without GROUP BY the whole table is one group.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT Grupo1 FROM DET_ESTV0000 HAVING count(*) > 1")), 8120);
    EXPECT_EQ(Filas(*c_, QStringLiteral("SELECT count(*) FROM DET_ESTV0000 HAVING count(*) > 1")).size(), 1u);
}

TEST_F(ConsultasTest, ColumnaNiAgrupadaNiAgregadaSeRechaza) {
    Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('E1','1/2024','A',' ',' ',-1,-10,-20)"));
    const QString base = QStringLiteral("SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO, SUM(VALORVENTA) "
                                        "AS VALORVENTA,grupo1,grupo2,grupo3 FROM DET_ESTV0000  Where BASE ='E1'  "
                                        " GROUP BY GRUPO1, GRUPO2, GRUPO3 ");
    // The "Fecha" ordering: the month is neither grouped nor summed, and the batch is refused whole.
    try {
        c_->EjecutarLote(base + QStringLiteral(" ORDER BY Convert(datetime,'01/' + Fecha) ASC"));
        ADD_FAILURE() << "se esperaba el rechazo del lote";
    } catch (const kv::KvExcepcion&) {
        ASSERT_GT(c_->Errors().Count(), 0);
        EXPECT_EQ(c_->Errors().Item(0).errorNativo, 8127);
        EXPECT_EQ(c_->Errors().Item(0).numero, kv::db::adoerr::ErrorEnComando);
    }
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT Base, SUM(Consumo) FROM DET_ESTV0000 GROUP BY Grupo1")), 8120);
    // The other orderings of the load are sums, aliases of sums or grouped columns.
    for (const char* orden :
         {" ORDER BY Consumo DESC", " ORDER BY ValorVenta DESC, Grupo1 DESC",
          " ORDER BY (((SUM(ValorVenta) -SUM(ValorCosto))/SUM(ValorCosto))*100) ASC",
          " ORDER BY (((SUM(ValorVenta) - SUM(ValorCosto))/SUM(ValorVenta))*100) DESC",
          " ORDER BY (SUM(ValorVenta) - SUM(ValorCosto)) ASC, Grupo3 ASC, Grupo2 DESC"})
        EXPECT_EQ(Filas(*c_, base + QString::fromLatin1(orden)).size(), 1u) << orden;
    EXPECT_EQ(Filas(*c_, QStringLiteral("SELECT ltrim(Grupo1) AS g, count(*) FROM DET_ESTV0000 GROUP BY Grupo1 "
                                        "ORDER BY ltrim(Grupo1)"))
                  .size(),
              1u);
}

}  // namespace
}  // namespace kv::pruebas

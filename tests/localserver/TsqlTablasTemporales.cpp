// Temporary tables (#t), table variables, SELECT ... INTO and INSERT ... EXEC, with
// SQL Server's scopes: the session, the procedure that made them, the batch.
#include <QString>

#include "SesionEnBase.h"

using namespace kv::pruebas;

namespace {

class TablasTemporales : public SesionEnBase {
  protected:
    void SetUp() override {
        SesionEnBase::SetUp();
        AbrirEn(QStringLiteral("TEMPO"));
        Lote(*c_, QStringLiteral("CREATE TABLE Articulos (cod nvarchar(10) PRIMARY KEY, nombre nvarchar(40), "
                                 "precio money)"));
        Lote(*c_,
             QStringLiteral("INSERT INTO Articulos VALUES ('A1', N'Tornillo', 1.25), ('A2', N'Tuerca', 0.5), "
                            "('B1', N'Arandela', 0.1)"));
    }
};

}  // namespace

TEST_F(TablasTemporales, DeLaSesionConSusSentencias) {
    Lote(*c_,
         QStringLiteral("CREATE TABLE #pedido (cod nvarchar(10) PRIMARY KEY, cantidad int, total money)"));
    Lote(*c_, QStringLiteral("INSERT INTO #pedido (cod, cantidad) VALUES ('A1', 4), ('B1', 10)"));
    // Another batch of the session sees it, joined with a table of the database.
    Lote(*c_, QStringLiteral(
                  "UPDATE #pedido SET total = cantidad * (SELECT a.precio FROM Articulos a WHERE a.cod = "
                  "#pedido.cod)"));
    EXPECT_EQ(
        Todo(QStringLiteral("SELECT a.nombre, p.total FROM #pedido p INNER JOIN Articulos a ON a.cod = p.cod "
                            "ORDER BY p.cod")),
        (QStringList{QStringLiteral("Tornillo|5"), QStringLiteral("Arandela|1")}));
    Lote(*c_, QStringLiteral("DELETE FROM #pedido WHERE cod = 'B1'"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT count(*) FROM #pedido")), QStringList{QStringLiteral("1")});
    // The key holds as on any table.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO #pedido (cod, cantidad) VALUES ('A1', 1)")), 2627);
    // The declared type reaches the client: money with four decimals.
    const auto r = Lote(*c_, QStringLiteral("SELECT total FROM #pedido"));
    ASSERT_FALSE(r.empty());
    ASSERT_EQ(r[0].columnas.size(), 1u);
    EXPECT_EQ(r[0].columnas[0].tipoServidor, QStringLiteral("money"));
    // It already exists (2714); the usual idiom drops it; then it is not there (208).
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("CREATE TABLE #pedido (x int)")), 2714);
    EXPECT_EQ(
        Todo(QStringLiteral("SELECT CASE WHEN OBJECT_ID('tempdb..#pedido') IS NOT NULL THEN 1 ELSE 0 END")),
        QStringList{QStringLiteral("1")});
    Lote(*c_, QStringLiteral("IF OBJECT_ID('tempdb..#pedido') IS NOT NULL DROP TABLE #pedido"));
    Lote(*c_, QStringLiteral("IF OBJECT_ID('tempdb..#pedido') IS NOT NULL DROP TABLE #pedido"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT CASE WHEN OBJECT_ID('tempdb..#pedido') IS NULL THEN 1 ELSE 0 END")),
              QStringList{QStringLiteral("1")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT * FROM #pedido")), 208);
    // Not one of the database's objects.
    EXPECT_EQ(
        Todo(QStringLiteral("SELECT count(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME LIKE '#%'")),
        QStringList{QStringLiteral("0")});
}

TEST_F(TablasTemporales, CadaSesionLaSuyaYSeVaConElla) {
    Lote(*c_, QStringLiteral("CREATE TABLE #t (v int) INSERT INTO #t VALUES (1)"));
    {
        auto otra = Conectar(QStringLiteral("TEMPO"));
        EXPECT_EQ(PrimerError(*otra, QStringLiteral("SELECT v FROM #t")), 208);
        Lote(*otra, QStringLiteral("CREATE TABLE #t (v nvarchar(5)) INSERT INTO #t VALUES ('b'), ('c')"));
        EXPECT_EQ(Todo(*otra, QStringLiteral("SELECT v FROM #t ORDER BY v")),
                  (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
    }
    EXPECT_EQ(Todo(QStringLiteral("SELECT v FROM #t")), QStringList{QStringLiteral("1")});
    // A session that ends takes its tables with it.
    c_->Close();
    c_ = Conectar(QStringLiteral("TEMPO"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT v FROM #t")), 208);
}

TEST_F(TablasTemporales, AlcanceEnProcedimientosYSqlDinamico) {
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Suma AS INSERT INTO #acum SELECT count(*) FROM Articulos"));
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Propia AS\nBEGIN\n  CREATE TABLE #mia (k int)\n"
                             "  INSERT INTO #mia VALUES (7)\n  SELECT k FROM #mia\nEND"));
    // The caller's table is seen by the procedure it calls and by dynamic SQL.
    Lote(*c_, QStringLiteral("CREATE TABLE #acum (n int)"));
    Lote(*c_, QStringLiteral("EXEC Suma"));
    Lote(*c_, QStringLiteral("EXEC (N'INSERT INTO #acum VALUES (100)')"));
    Lote(*c_, QStringLiteral("EXEC sp_executesql N'INSERT INTO #acum VALUES (@n)', N'@n int', @n = 5"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT n FROM #acum ORDER BY n")),
              (QStringList{QStringLiteral("3"), QStringLiteral("5"), QStringLiteral("100")}));
    // What a procedure makes ends with it, twice in a row.
    EXPECT_EQ(Todo(QStringLiteral("EXEC Propia")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(Todo(QStringLiteral("EXEC Propia")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT k FROM #mia")), 208);
    // So does what a text run by EXEC makes.
    Lote(*c_, QStringLiteral("EXEC (N'CREATE TABLE #dentro (k int) INSERT INTO #dentro VALUES (1)')"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT k FROM #dentro")), 208);
}

TEST_F(TablasTemporales, CualquierUsuarioPuedeCrearlas) {
    Lote(*c_, QStringLiteral("EXEC sp_addlogin 'lector', 'Clave1', 'TEMPO'"));
    Lote(*c_, QStringLiteral("EXEC sp_grantdbaccess 'lector'"));
    Lote(*c_, QStringLiteral("EXEC sp_addrolemember 'db_datareader', 'lector'"));
    auto lector = Conectar(QStringLiteral("TEMPO"), QStringLiteral("lector"), QStringLiteral("Clave1"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("CREATE TABLE Suya (k int)")), 262);
    Lote(*lector, QStringLiteral("CREATE TABLE #suya (cod nvarchar(10))"));
    Lote(*lector, QStringLiteral("INSERT INTO #suya SELECT cod FROM Articulos WHERE cod LIKE 'A%'"));
    Lote(*lector, QStringLiteral("DELETE FROM #suya WHERE cod = 'A2'"));
    EXPECT_EQ(Todo(*lector, QStringLiteral("SELECT cod FROM #suya")), QStringList{QStringLiteral("A1")});
    Lote(*lector, QStringLiteral("DROP TABLE #suya"));
    // Its rights on the database's tables stay as they are.
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("DELETE FROM Articulos")), 229);
}

TEST_F(TablasTemporales, IdentidadYRollback) {
    Lote(*c_, QStringLiteral("CREATE TABLE #n (id int IDENTITY(1,1) PRIMARY KEY, v nvarchar(5))"));
    Lote(*c_, QStringLiteral("INSERT INTO #n (v) VALUES ('a') INSERT INTO #n (v) VALUES ('b')"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT id, v FROM #n ORDER BY id")),
              (QStringList{QStringLiteral("1|a"), QStringLiteral("2|b")}));
    // A temporary table is in the transaction: ROLLBACK undoes its rows and its making.
    Lote(*c_,
         QStringLiteral("BEGIN TRAN INSERT INTO #n (v) VALUES ('c') CREATE TABLE #efimera (k int) ROLLBACK"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT count(*) FROM #n")), QStringList{QStringLiteral("2")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT * FROM #efimera")), 208);
}

TEST_F(TablasTemporales, SeleccionarEnUnaTablaNueva) {
    Lote(*c_, QStringLiteral(
                  "SELECT cod, precio, precio * 2 AS doble INTO #caros FROM Articulos WHERE precio > 0.2"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT cod, precio, doble FROM #caros ORDER BY cod")),
              (QStringList{QStringLiteral("A1|1.25|2.5"), QStringLiteral("A2|0.5|1")}));
    const auto r = Lote(*c_, QStringLiteral("SELECT precio, cod FROM #caros"));
    ASSERT_FALSE(r.empty());
    ASSERT_EQ(r[0].columnas.size(), 2u);
    EXPECT_EQ(r[0].columnas[0].tipoServidor, QStringLiteral("money"));
    EXPECT_EQ(r[0].columnas[1].tipoServidor, QStringLiteral("nvarchar"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT cod INTO #caros FROM Articulos")), 2714);
    // Into a table of the database, with the right to make one.
    Lote(*c_, QStringLiteral("SELECT cod, nombre INTO Copia FROM Articulos"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT count(*) FROM Copia")), QStringList{QStringLiteral("3")});
    EXPECT_EQ(
        Todo(QStringLiteral("SELECT count(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'Copia'")),
        QStringList{QStringLiteral("1")});
}

TEST_F(TablasTemporales, VariablesDeTabla) {
    EXPECT_EQ(Todo(QStringLiteral(
                  "DECLARE @t TABLE (cod nvarchar(10) PRIMARY KEY, importe money)\n"
                  "INSERT INTO @t VALUES ('X', 2.5)\n"
                  "INSERT @t (cod, importe) SELECT cod, precio FROM Articulos WHERE cod <> 'B1'\n"
                  "UPDATE @t SET importe = importe * 2 WHERE cod = 'A1'\n"
                  "DELETE FROM @t WHERE cod = 'A2'\n"
                  "SELECT t.cod, t.importe, a.nombre FROM @t t LEFT JOIN Articulos a ON a.cod = t.cod "
                  "ORDER BY t.cod")),
              (QStringList{QStringLiteral("A1|2.5|Tornillo"), QStringLiteral("X|2.5|NULL")}));
    EXPECT_EQ(PrimerError(
                  *c_, QStringLiteral("DECLARE @t TABLE (k int PRIMARY KEY) INSERT INTO @t VALUES (1), (1)")),
              2627);
    // The batch's own: the next batch does not have it (1087), nor may it stand for a value (137).
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT * FROM @t")), 1087);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DECLARE @t TABLE (k int) SELECT @t")), 137);
    // A ROLLBACK leaves its rows, also when it was declared inside the transaction.
    EXPECT_EQ(
        Todo(QStringLiteral("DECLARE @a TABLE (k int)\nBEGIN TRAN\nINSERT INTO @a VALUES (1)\n"
                            "DECLARE @b TABLE (k int IDENTITY(10, 1), v int)\nINSERT INTO @b (v) VALUES (5)\n"
                            "INSERT INTO Articulos (cod) VALUES ('Z9')\nROLLBACK\n"
                            "SELECT (SELECT count(*) FROM @a), (SELECT k FROM @b), "
                            "(SELECT count(*) FROM Articulos WHERE cod = 'Z9')")),
        QStringList{QStringLiteral("1|10|0")});
    // In a loop the declaration keeps the table and its rows.
    EXPECT_EQ(
        Todo(QStringLiteral("DECLARE @i int = 0\nWHILE @i < 3\nBEGIN\n  DECLARE @l TABLE (k int)\n"
                            "  INSERT INTO @l VALUES (@i)\n  SET @i = @i + 1\nEND\nSELECT count(*) FROM @l")),
        QStringList{QStringLiteral("3")});
}

TEST_F(TablasTemporales, VariablesDeTablaPorMarco) {
    // A procedure has its own, even of the same name, and recursion gives each call one.
    Lote(*c_,
         QStringLiteral(
             "CREATE PROCEDURE Cuenta @n int AS\nBEGIN\n  DECLARE @t TABLE (k int)\n"
             "  INSERT INTO @t VALUES (@n)\n  IF @n > 0 BEGIN DECLARE @m int = @n - 1 EXEC Cuenta @m END\n"
             "  SELECT count(*), max(k) FROM @t\nEND"));
    EXPECT_EQ(
        Todo(QStringLiteral("DECLARE @t TABLE (k int) INSERT INTO @t VALUES (1), (2), (3)\nEXEC Cuenta 1\n"
                            "SELECT count(*) FROM @t")),
        (QStringList{QStringLiteral("1|0"), QStringLiteral("1|1"), QStringLiteral("3")}));
    // Dynamic SQL does not see the caller's.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DECLARE @t TABLE (k int) EXEC (N'SELECT * FROM @t')")), 1087);
}

TEST_F(TablasTemporales, InsertarLoQueDevuelveUnProcedimiento) {
    Lote(*c_, QStringLiteral(
                  "CREATE PROCEDURE Baratos @tope money AS SELECT cod, precio FROM Articulos WHERE precio < "
                  "@tope ORDER BY cod"));
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @t TABLE (cod nvarchar(10), precio money)\n"
                                  "INSERT INTO @t EXEC Baratos 1\nSELECT cod, precio FROM @t ORDER BY cod")),
              (QStringList{QStringLiteral("A2|0.5"), QStringLiteral("B1|0.1")}));
    Lote(*c_, QStringLiteral("CREATE TABLE #r (cod nvarchar(10), precio money)"));
    EXPECT_EQ(Todo(QStringLiteral("INSERT INTO #r (cod, precio) EXEC (N'SELECT cod, precio FROM Articulos')\n"
                                  "SELECT @@ROWCOUNT")),
              QStringList{QStringLiteral("3")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT count(*) FROM #r")), QStringList{QStringLiteral("3")});
    // They do not nest (8164).
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Guarda AS INSERT INTO #r EXEC Baratos 1"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO #r EXEC Guarda")), 8164);
}

TEST_F(TablasTemporales, ProcedimientoDelError) {
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Falla AS\nBEGIN\n  SELECT 1 / 0\nEND"));
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Recoge AS\nBEGIN TRY\n  SELECT 1 / 0\nEND TRY\n"
                             "BEGIN CATCH\n  SELECT ERROR_PROCEDURE(), ERROR_LINE()\nEND CATCH"));
    // The procedure where the error happened, also when the caller catches it.
    EXPECT_EQ(Todo(QStringLiteral("BEGIN TRY EXEC Falla END TRY BEGIN CATCH SELECT ERROR_PROCEDURE(), "
                                  "ERROR_NUMBER() END CATCH")),
              QStringList{QStringLiteral("Falla|8134")});
    EXPECT_EQ(Todo(QStringLiteral("EXEC Recoge")), QStringList{QStringLiteral("Recoge|3")});
    // NULL for an error of the batch itself.
    EXPECT_EQ(
        Todo(QStringLiteral("BEGIN TRY SELECT 1 / 0 END TRY BEGIN CATCH SELECT ERROR_PROCEDURE() END CATCH")),
        QStringList{QStringLiteral("NULL")});
}

TEST_F(TablasTemporales, UnProcedimientoTapaLaDelLlamadorConLaSuya) {
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Tapa AS\nBEGIN\n"
                             "  INSERT INTO #t (id, v) VALUES (100, 'del llamador')\n"
                             "  CREATE TABLE #t (id int IDENTITY(50, 1), otra nvarchar(20))\n"
                             "  INSERT INTO #t (otra) VALUES ('propia'), ('propia')\n"
                             "  SELECT id, otra FROM #t ORDER BY id\nEND"));
    Lote(*c_, QStringLiteral("CREATE TABLE #t (n int IDENTITY(1, 1), id int, v nvarchar(20))"));
    Lote(*c_, QStringLiteral("INSERT INTO #t (id, v) VALUES (1, 'uno')"));
    // Before its CREATE the procedure writes to the caller's; after it, to its own.
    EXPECT_EQ(Todo(QStringLiteral("EXEC Tapa")), (QStringList{QStringLiteral("50|propia"), QStringLiteral("51|propia")}));
    // Its own is gone; the caller's is intact, rows, columns and identity.
    Lote(*c_, QStringLiteral("INSERT INTO #t (id, v) VALUES (2, 'dos')"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT n, id, v FROM #t ORDER BY n")),
              (QStringList{QStringLiteral("1|1|uno"), QStringLiteral("2|100|del llamador"),
                           QStringLiteral("3|2|dos")}));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO #t (n, id) VALUES (9, 9)")), 544);
    // Twice in a row, and from a text run by EXEC, the same.
    EXPECT_EQ(Todo(QStringLiteral("EXEC Tapa")), (QStringList{QStringLiteral("50|propia"), QStringLiteral("51|propia")}));
    EXPECT_EQ(Todo(QStringLiteral("EXEC (N'CREATE TABLE #t (k int) INSERT INTO #t VALUES (7) SELECT k FROM #t')")),
              QStringList{QStringLiteral("7")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT count(*) FROM #t")), QStringList{QStringLiteral("4")});
    // Its own made twice is still 2714.
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Doble AS\nBEGIN\n  CREATE TABLE #t (k int)\n  CREATE TABLE #t (k int)\nEND"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC Doble")), 2714);
    EXPECT_EQ(Todo(QStringLiteral("SELECT count(*) FROM #t")), QStringList{QStringLiteral("4")});
}

TEST_F(TablasTemporales, DeclaradaEnUnaRamaQueNoCorre) {
    // Declarations hold for the whole text: one in a branch not taken is declared, empty.
    EXPECT_EQ(Todo(QStringLiteral("IF 1 = 0\nBEGIN\n  DECLARE @t TABLE (k int)\n  INSERT INTO @t VALUES (1)\nEND\n"
                                  "INSERT INTO @t VALUES (5)\nSELECT count(*), max(k) FROM @t")),
              QStringList{QStringLiteral("1|5")});
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Rama @si bit AS\nBEGIN\n  IF @si = 1\n"
                             "    DECLARE @r TABLE (k int PRIMARY KEY)\n  SELECT count(*) FROM @r\nEND"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Rama 0")), QStringList{QStringLiteral("0")});
    EXPECT_EQ(Todo(QStringLiteral("EXEC Rama 1")), QStringList{QStringLiteral("0")});
    // Used before the text declares it, it is still 1087.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT * FROM @x\nDECLARE @x TABLE (k int)")), 1087);
}

TEST_F(TablasTemporales, SiguenTrasUsarOtraBase) {
    Lote(*c_, QStringLiteral("CREATE DATABASE OTRA"));
    Lote(*c_, QStringLiteral("CREATE TABLE #t (id int IDENTITY(1, 1) PRIMARY KEY, cod nvarchar(10), precio money, "
                             "alta datetime)"));
    Lote(*c_, QStringLiteral("INSERT INTO #t (cod, precio, alta) SELECT cod, precio, '20240131' FROM Articulos"));
    // The session's table is the same table in whatever database the session uses.
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @v TABLE (k int) INSERT INTO @v VALUES (4)\nUSE OTRA\n"
                                  "INSERT INTO #t (cod, precio) VALUES ('O1', 9.99)\n"
                                  "SELECT DB_NAME(), count(*), (SELECT k FROM @v) FROM #t")),
              QStringList{QStringLiteral("OTRA|4|4")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT id, cod, precio, CONVERT(varchar(10), alta, 112) FROM #t ORDER BY id")),
              (QStringList{QStringLiteral("1|A1|1.25|20240131"), QStringLiteral("2|A2|0.5|20240131"),
                           QStringLiteral("3|B1|0.1|20240131"), QStringLiteral("4|O1|9.99|NULL")}));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO #t (id, cod) VALUES (1, 'X')")), 544);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("CREATE TABLE #t (k int)")), 2714);
    // Back in the first database it is still there, and its identity goes on.
    Lote(*c_, QStringLiteral("USE TEMPO"));
    Lote(*c_, QStringLiteral("INSERT INTO #t (cod) VALUES ('T1')"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT max(id), count(*) FROM #t")), QStringList{QStringLiteral("5|5")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT CASE WHEN OBJECT_ID('tempdb..#t') IS NULL THEN 0 ELSE 1 END")),
              QStringList{QStringLiteral("1")});
    Lote(*c_, QStringLiteral("DROP TABLE #t"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT * FROM #t")), 208);
    // A transaction undone across a USE leaves the session able to go back and on.
    Lote(*c_, QStringLiteral("CREATE TABLE #u (k int) INSERT INTO #u VALUES (1)"));
    Lote(*c_, QStringLiteral("BEGIN TRAN INSERT INTO #u VALUES (2)"));
    Lote(*c_, QStringLiteral("USE OTRA"));
    Lote(*c_, QStringLiteral("ROLLBACK"));
    Lote(*c_, QStringLiteral("USE TEMPO"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT min(k) FROM #u")), QStringList{QStringLiteral("1")});
    Lote(*c_, QStringLiteral("USE OTRA"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT min(k) FROM #u")), QStringList{QStringLiteral("1")});
}

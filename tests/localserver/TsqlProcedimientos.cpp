// Stored procedures written in T-SQL, dynamic SQL, TRY/CATCH, names of other
// databases and the rights they run with, as SQL Server gives them.
#include <QString>

#include "SesionEnBase.h"
#include "localserver/SesionEmbebida.h"
#include "localserver/procedimientos/ReconsEstv.h"

using namespace kv::pruebas;

namespace {

class Procedimientos : public SesionEnBase {
  protected:
    void SetUp() override {
        SesionEnBase::SetUp();
        kv::local::RegistrarReconsEstv();
        AbrirEn(QStringLiteral("PROCS"));
    }
};

}  // namespace

TEST_F(Procedimientos, ParametrosYValoresPorDefecto) {
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Doble @a int, @b nvarchar(10) = N'x'\nAS\nSELECT @a * 2 AS d, @b AS b"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Doble 3")), QStringList{QStringLiteral("6|x")});
    EXPECT_EQ(Todo(QStringLiteral("EXEC dbo.Doble 4, 'y'")), QStringList{QStringLiteral("8|y")});
    // A text that is a number becomes the parameter's type.
    EXPECT_EQ(Todo(QStringLiteral("EXEC Doble '5', DEFAULT")), QStringList{QStringLiteral("10|x")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC Doble")), 201);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC Doble 1, 'a', 3")), 8144);
}

TEST_F(Procedimientos, ArgumentosConNombre) {
    Lote(*c_, QStringLiteral("CREATE PROC Par (@a int, @b nvarchar(10) = 'x') AS SELECT @a, @b"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Par @b = 'z', @a = 2")), QStringList{QStringLiteral("2|z")});
    EXPECT_EQ(Todo(QStringLiteral("EXEC Par 7, @b = 'w'")), QStringList{QStringLiteral("7|w")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC Par @a = 1, 'q'")), 119);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC Par @c = 1")), 8145);
}

TEST_F(Procedimientos, SalidaYEstadoDevuelto) {
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Sigue @a int, @r int OUTPUT AS\nBEGIN\n  SET @r = @a + 1\n  RETURN 7\n  SELECT 'nunca'\nEND"));
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @x int, @e int\nEXEC @e = Sigue 4, @x OUTPUT\nSELECT @x, @e")),
              QStringList{QStringLiteral("5|7")});
    // Without OUTPUT the caller's variable keeps its value.
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @x int = 1\nEXEC Sigue 4, @x\nSELECT @x")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @x int\nEXEC Sigue @r = @x OUT, @a = 9\nSELECT @x")),
              QStringList{QStringLiteral("10")});
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Uno @a int AS RETURN"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DECLARE @x int = 1 EXEC Uno @x OUTPUT")), 8162);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC Sigue 1, 5 OUTPUT")), 179);
    // RETURN with a value outside a procedure is refused.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("RETURN 5")), 178);
}

TEST_F(Procedimientos, LlamadasAnidadasY217) {
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Interior @v int OUTPUT AS SET @v = @v * 10"));
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Exterior @v int AS\nBEGIN\n  EXEC Interior @v OUTPUT\n  SELECT @v AS v\nEND"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Exterior 3")), QStringList{QStringLiteral("30")});
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Baja @n int AS\nBEGIN\n  IF @n <= 0 BEGIN SELECT 'fondo' RETURN 0 END\n"
                             "  DECLARE @m int = @n - 1\n  EXEC Baja @m\nEND"));
    // 32 levels run; the 33rd is refused with 217 and ends the batch.
    EXPECT_EQ(Todo(QStringLiteral("EXEC Baja 31")), QStringList{QStringLiteral("fondo")});
    const auto errores = Errores(*c_, QStringLiteral("EXEC Baja 32\nSELECT 'despues'"));
    ASSERT_EQ(errores.size(), 1u);
    EXPECT_EQ(errores[0], 217);
    try {
        for (const auto& r : c_->EjecutarLote(QStringLiteral("EXEC Baja 32\nSELECT 'despues'")))
            EXPECT_FALSE(r.tieneFilas && !r.filas.empty() && r.filas[0][0].toString() == QLatin1String("despues"));
    } catch (const kv::KvExcepcion&) {
    }
}

TEST_F(Procedimientos, DefinicionGuardadaYListada) {
    const QString texto = QStringLiteral("CREATE PROCEDURE Lista\n    @t nvarchar(20)\nAS\nSELECT @t");
    Lote(*c_, texto);
    EXPECT_EQ(PrimerError(*c_, texto), 2714);
    EXPECT_EQ(Todo(QStringLiteral("SELECT name, type, type_desc FROM sys.procedures")),
              QStringList{QStringLiteral("Lista|P|SQL_STORED_PROCEDURE")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT type FROM sys.objects WHERE name = 'Lista'")), QStringList{QStringLiteral("P")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT ROUTINE_NAME, ROUTINE_TYPE FROM INFORMATION_SCHEMA.ROUTINES")),
              QStringList{QStringLiteral("Lista|PROCEDURE")});
    EXPECT_FALSE(Valor(*c_, QStringLiteral("SELECT OBJECT_ID('dbo.Lista', 'P')")).isNull());
    // sp_helptext gives the text line by line, each with its line break.
    EXPECT_EQ(Todo(QStringLiteral("EXEC sp_helptext 'Lista'")),
              (QStringList{QStringLiteral("CREATE PROCEDURE Lista\n"), QStringLiteral("    @t nvarchar(20)\n"),
                           QStringLiteral("AS\n"), QStringLiteral("SELECT @t")}));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC sp_helptext 'Ninguno'")), 15009);
    // Kept in the file: another connection sees it.
    auto otra = Conectar(QStringLiteral("PROCS"));
    EXPECT_EQ(Todo(*otra, QStringLiteral("EXEC Lista 'hola'")), QStringList{QStringLiteral("hola")});
    Lote(*c_, QStringLiteral("ALTER PROCEDURE Lista @t nvarchar(20) AS SELECT @t + '!'"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Lista 'hola'")), QStringList{QStringLiteral("hola!")});
    Lote(*c_, QStringLiteral("CREATE OR ALTER PROCEDURE Lista AS SELECT 'otra'"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Lista")), QStringList{QStringLiteral("otra")});
    Lote(*c_, QStringLiteral("DROP PROCEDURE Lista"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC Lista")), 2812);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DROP PROCEDURE Lista")), 3701);
    Lote(*c_, QStringLiteral("DROP PROCEDURE IF EXISTS Lista"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("ALTER PROCEDURE Lista AS SELECT 1")), 208);
}

TEST_F(Procedimientos, LoQueSqlServerRechazaAlCrear) {
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT 1\nCREATE PROCEDURE P2 AS SELECT 1")), 111);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("CREATE PROCEDURE P3 AS USE master")), 154);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("CREATE PROCEDURE P4 AS SELECT FROM")), 102);
    EXPECT_TRUE(Todo(QStringLiteral("SELECT name FROM sys.procedures")).isEmpty());
}

TEST_F(Procedimientos, SqlDinamicoConParametrosYApostrofo) {
    Lote(*c_, QStringLiteral("CREATE TABLE Nombres (n nvarchar(30))"));
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @s nvarchar(200) = N'SELECT ''O''''Brien'' AS n'\nEXEC(@s)")),
              QStringList{QStringLiteral("O'Brien")});
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @x nvarchar(10) = N'7'\nEXEC (N'SELECT ' + @x + N' * 2')")),
              QStringList{QStringLiteral("14")});
    Lote(*c_, QStringLiteral("EXEC sp_executesql N'INSERT INTO Nombres VALUES (@v)', N'@v nvarchar(30)', @v = N'D''Angelo'"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT n FROM Nombres")), QStringList{QStringLiteral("D'Angelo")});
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @r int\nEXEC sp_executesql N'SET @s = @a + 1', N'@a int, @s int OUTPUT', "
                                  "@a = 2, @s = @r OUTPUT\nSELECT @r")),
              QStringList{QStringLiteral("3")});
    // The text has its own variables: the caller's are not seen (137).
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DECLARE @y int = 1 EXEC (N'SELECT @y')")), 137);
    // A procedure made by dynamic SQL, the way installation scripts make one.
    Lote(*c_, QStringLiteral("IF OBJECT_ID(N'dbo.Hecho', N'P') IS NULL EXEC (N'CREATE PROCEDURE dbo.Hecho AS RETURN 0')"));
    Lote(*c_, QStringLiteral("IF OBJECT_ID(N'dbo.Hecho', N'P') IS NULL EXEC (N'CREATE PROCEDURE dbo.Hecho AS RETURN 0')"));
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @e int EXEC @e = Hecho SELECT @e")), QStringList{QStringLiteral("0")});
}

TEST_F(Procedimientos, TryCatchRecoge2627Y8134) {
    Lote(*c_, QStringLiteral("CREATE TABLE Claves (k int PRIMARY KEY)"));
    Lote(*c_, QStringLiteral("INSERT INTO Claves VALUES (1)"));
    EXPECT_EQ(Todo(QStringLiteral("BEGIN TRY\n  INSERT INTO Claves VALUES (1)\n  SELECT 'no'\nEND TRY\nBEGIN CATCH\n"
                                  "  SELECT ERROR_NUMBER(), ERROR_LINE()\nEND CATCH\nSELECT 'sigue'")),
              (QStringList{QStringLiteral("2627|2"), QStringLiteral("sigue")}));
    const auto filas = Filas(*c_, QStringLiteral("BEGIN TRY SELECT 1 / 0 END TRY BEGIN CATCH SELECT ERROR_NUMBER(), "
                                                 "ERROR_MESSAGE() END CATCH"));
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_EQ(filas[0][0].toInt(), 8134);
    EXPECT_FALSE(filas[0][1].toString().isEmpty());
    // An error inside a called procedure reaches the caller's CATCH.
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Falla AS BEGIN INSERT INTO Claves VALUES (1) SELECT 'no' END"));
    EXPECT_EQ(Todo(QStringLiteral("BEGIN TRY EXEC Falla END TRY BEGIN CATCH SELECT ERROR_NUMBER() END CATCH")),
              QStringList{QStringLiteral("2627")});
    // Outside a CATCH the functions give NULL.
    EXPECT_EQ(Todo(QStringLiteral("SELECT ERROR_NUMBER()")), QStringList{QStringLiteral("NULL")});
}

TEST_F(Procedimientos, ThrowYXactAbort) {
    const auto e = Errores(*c_, QStringLiteral("THROW 51000, 'No va', 1;\nSELECT 'despues'"));
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0], 51000);
    EXPECT_EQ(Todo(QStringLiteral("BEGIN TRY\n  BEGIN TRY SELECT 1/0 END TRY BEGIN CATCH THROW; END CATCH\nEND TRY\n"
                                  "BEGIN CATCH SELECT ERROR_NUMBER() END CATCH")),
              QStringList{QStringLiteral("8134")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("THROW;")), 10704);
    Lote(*c_, QStringLiteral("CREATE TABLE Marcas (k int PRIMARY KEY)"));
    const auto x = Errores(*c_, QStringLiteral("SET XACT_ABORT ON\nBEGIN TRAN\nINSERT INTO Marcas VALUES (1)\n"
                                               "INSERT INTO Marcas VALUES (1)\nINSERT INTO Marcas VALUES (2)\nCOMMIT"));
    ASSERT_EQ(x.size(), 1u);
    EXPECT_EQ(x[0], 2627);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM Marcas")).toInt(), 0);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT @@TRANCOUNT")).toInt(), 0);
    Lote(*c_, QStringLiteral("SET XACT_ABORT OFF"));
}

TEST_F(Procedimientos, UnProcedimientoQueDeshace) {
    Lote(*c_, QStringLiteral("CREATE TABLE Movs (k int PRIMARY KEY)"));
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Prueba AS\nBEGIN\n  BEGIN TRAN\n  INSERT INTO Movs VALUES (1)\n"
                             "  IF @@TRANCOUNT > 0 ROLLBACK\nEND"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Prueba SELECT count(*), @@TRANCOUNT FROM Movs")), QStringList{QStringLiteral("0|0")});
    // Called inside the caller's transaction, the ROLLBACK undoes it all and says so (266).
    Lote(*c_, QStringLiteral("INSERT INTO Movs VALUES (5)"));
    const auto e = Errores(*c_, QStringLiteral("BEGIN TRAN INSERT INTO Movs VALUES (6) EXEC Prueba"));
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0], 266);
    EXPECT_EQ(Todo(QStringLiteral("SELECT count(*), @@TRANCOUNT FROM Movs")), QStringList{QStringLiteral("1|0")});
    // A TRY in the procedure that rolls its own work back.
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Cuida AS\nBEGIN TRY\n  BEGIN TRAN\n  INSERT INTO Movs VALUES (7)\n"
                             "  INSERT INTO Movs VALUES (7)\n  COMMIT\nEND TRY\nBEGIN CATCH\n  IF @@TRANCOUNT > 0 ROLLBACK\n"
                             "  SELECT ERROR_NUMBER()\nEND CATCH"));
    EXPECT_EQ(Todo(QStringLiteral("EXEC Cuida")), QStringList{QStringLiteral("2627")});
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM Movs")).toInt(), 1);
}

TEST_F(Procedimientos, DerechosDeEjecucionYEncadenamiento) {
    Lote(*c_, QStringLiteral("CREATE TABLE Secreta (v int)"));
    Lote(*c_, QStringLiteral("INSERT INTO Secreta VALUES (42)"));
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Lee AS SELECT v FROM Secreta"));
    Lote(*c_, QStringLiteral("CREATE PROCEDURE LeeDinamico AS EXEC (N'SELECT v FROM Secreta')"));
    Lote(*c_, QStringLiteral("EXEC sp_addlogin 'lector', 'Clave1', 'PROCS'"));
    Lote(*c_, QStringLiteral("EXEC sp_grantdbaccess 'lector'"));
    auto lector = Conectar(QStringLiteral("PROCS"), QStringLiteral("lector"), QStringLiteral("Clave1"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC Lee")), 229);
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("SELECT v FROM Secreta")), 229);
    Lote(*c_, QStringLiteral("GRANT EXECUTE ON Lee TO lector"));
    Lote(*c_, QStringLiteral("GRANT EXECUTE ON dbo.LeeDinamico TO lector"));
    // The procedure's owner owns the table: the right to run it is enough.
    EXPECT_EQ(Todo(*lector, QStringLiteral("EXEC Lee")), QStringList{QStringLiteral("42")});
    // Dynamic SQL is checked against the caller.
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC LeeDinamico")), 229);
    // Nor may the login make procedures of its own (262).
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("CREATE PROCEDURE Mio AS SELECT 1")), 262);
}

TEST_F(Procedimientos, NombresDeOtraBaseConSusDerechos) {
    Lote(*c_, QStringLiteral("CREATE DATABASE OTRA"));
    Lote(*c_, QStringLiteral("USE OTRA CREATE TABLE Datos (k int, t nvarchar(10)) INSERT INTO Datos VALUES (1, 'a')"));
    Lote(*c_, QStringLiteral("USE PROCS"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT k, t FROM OTRA.dbo.Datos")), QStringList{QStringLiteral("1|a")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT d.t FROM otra..Datos d WHERE d.k = 1")), QStringList{QStringLiteral("a")});
    Lote(*c_, QStringLiteral("INSERT INTO OTRA.dbo.Datos (k, t) SELECT 2, 'b'"));
    Lote(*c_, QStringLiteral("BEGIN TRAN DELETE FROM OTRA.dbo.Datos WHERE k = 1 COMMIT"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT k FROM OTRA.dbo.Datos")), QStringList{QStringLiteral("2")});
    // The current database named in full is the current one.
    Lote(*c_, QStringLiteral("CREATE TABLE Propia (k int) INSERT INTO PROCS.dbo.Propia VALUES (3)"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT k FROM PROCS.dbo.Propia")), QStringList{QStringLiteral("3")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT * FROM NOHAY.dbo.Datos")), 208);
    // A login without a user in OTRA cannot reach it (916); with a user but no role, 229.
    Lote(*c_, QStringLiteral("EXEC sp_addlogin 'ajeno', 'Clave1', 'PROCS'"));
    Lote(*c_, QStringLiteral("EXEC sp_grantdbaccess 'ajeno'"));
    Lote(*c_, QStringLiteral("EXEC sp_addrolemember 'db_datareader', 'ajeno'"));
    auto ajeno = Conectar(QStringLiteral("PROCS"), QStringLiteral("ajeno"), QStringLiteral("Clave1"));
    EXPECT_EQ(PrimerError(*ajeno, QStringLiteral("SELECT * FROM OTRA.dbo.Datos")), 916);
    Lote(*c_, QStringLiteral("USE OTRA EXEC sp_grantdbaccess 'ajeno'"));
    EXPECT_EQ(PrimerError(*ajeno, QStringLiteral("SELECT * FROM OTRA.dbo.Datos")), 229);
    Lote(*c_, QStringLiteral("USE OTRA EXEC sp_addrolemember 'db_datareader', 'ajeno'"));
    EXPECT_EQ(Todo(*ajeno, QStringLiteral("SELECT k FROM OTRA.dbo.Datos")), QStringList{QStringLiteral("2")});
    EXPECT_EQ(PrimerError(*ajeno, QStringLiteral("DELETE FROM OTRA.dbo.Datos")), 229);
    // A procedure reaching another database does so with the caller's rights there.
    Lote(*c_, QStringLiteral("USE PROCS"));
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Borra AS DELETE FROM OTRA.dbo.Datos"));
    Lote(*c_, QStringLiteral("GRANT EXECUTE ON Borra TO ajeno"));
    EXPECT_EQ(PrimerError(*ajeno, QStringLiteral("EXEC Borra")), 229);
}

TEST_F(Procedimientos, VistasDelCatalogoDeLaBaseQueNombran) {
    Lote(*c_, QStringLiteral("CREATE DATABASE SUR"));
    Lote(*c_, QStringLiteral("USE SUR CREATE TABLE DelSur (k int)"));
    Lote(*c_, QStringLiteral("USE PROCS CREATE TABLE DeProcs (k int)"));
    EXPECT_EQ(Todo(QStringLiteral("SELECT TABLE_CATALOG, TABLE_NAME FROM SUR.INFORMATION_SCHEMA.TABLES")),
              QStringList{QStringLiteral("SUR|DelSur")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM sur.sys.tables")), QStringList{QStringLiteral("DelSur")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT COLUMN_NAME FROM SUR.INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'DelSur'")),
              QStringList{QStringLiteral("k")});
    EXPECT_EQ(Todo(QStringLiteral("SELECT name FROM sys.tables")), QStringList{QStringLiteral("DeProcs")});
    // sp_tables answers for the current database only, as SQL Server (15250).
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC sp_tables @table_qualifier = 'SUR'")), 15250);
    EXPECT_EQ(Todo(QStringLiteral("EXEC sp_tables @table_name = 'DeProcs', @table_qualifier = 'PROCS'")).size(), 1);
    Lote(*c_, QStringLiteral("EXEC sp_addlogin 'fuera', 'Clave1', 'PROCS'"));
    Lote(*c_, QStringLiteral("EXEC sp_grantdbaccess 'fuera'"));
    auto fuera = Conectar(QStringLiteral("PROCS"), QStringLiteral("fuera"), QStringLiteral("Clave1"));
    EXPECT_EQ(PrimerError(*fuera, QStringLiteral("SELECT * FROM SUR.sys.tables")), 916);
}

TEST_F(Procedimientos, ArgumentosSonValores) {
    // Every procedure takes a variable's value, never its name.
    Lote(*c_, QStringLiteral("DECLARE @l sysname = N'valor1', @c nvarchar(20) = N'ClaveVar10', @b sysname = N'PROCS'\n"
                             "EXEC sp_addlogin @l, @c, @b"));
    EXPECT_NO_THROW(Conectar(QStringLiteral("master"), QStringLiteral("valor1"), QStringLiteral("ClaveVar10")));
    Lote(*c_, QStringLiteral("DECLARE @c nvarchar(20) = N'ClaveVar11', @l sysname = N'valor1'\n"
                             "EXEC sp_password NULL, @c, @l"));
    EXPECT_NO_THROW(Conectar(QStringLiteral("master"), QStringLiteral("valor1"), QStringLiteral("ClaveVar11")));
    EXPECT_THROW(Conectar(QStringLiteral("master"), QStringLiteral("valor1"), QStringLiteral("@c")), kv::KvExcepcion);
    Lote(*c_, QStringLiteral("DECLARE @l sysname = N'valor1', @u sysname = N'usuario1'\n"
                             "EXEC sp_grantdbaccess @loginame = @l, @name_in_db = @u"));
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @r sysname = N'db_datareader', @u sysname = N'usuario1'\n"
                                  "EXEC sp_addrolemember @r, @u\nSELECT 'ok'")),
              QStringList{QStringLiteral("ok")});
    auto v = Conectar(QStringLiteral("PROCS"), QStringLiteral("valor1"), QStringLiteral("ClaveVar11"));
    EXPECT_EQ(Valor(*v, QStringLiteral("SELECT USER_NAME()")).toString(), QStringLiteral("usuario1"));
    Lote(*c_, QStringLiteral("DECLARE @l sysname = N'valor1', @r sysname = N'dbcreator'\nEXEC sp_addsrvrolemember @l, @r"));
    // The catalog procedures and the rebuild take values too.
    Lote(*c_, QStringLiteral("CREATE TABLE Buscada (k int)"));
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @t sysname = N'Buscada' EXEC sp_tables @t")).size(), 1);
    EXPECT_EQ(Todo(QStringLiteral("DECLARE @t sysname = N'Buscada' EXEC sp_columns @table_name = @t")).size(), 1);
    const auto r = c_->EjecutarLote(QStringLiteral("DECLARE @a nvarchar(5) = N'zz' EXEC KV_RECONS_ESTV @a, ''"));
    bool visto = false;
    for (const auto& x : r)
        if (x.error) {
            visto = true;
            EXPECT_TRUE(x.error->descripcion.contains(QLatin1String("'zz'"))) << x.error->descripcion.toStdString();
        }
    EXPECT_TRUE(visto);
    // An undeclared variable is an error, not a text.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("EXEC sp_password NULL, @sinDeclarar, 'x'")), 137);
}

TEST_F(Procedimientos, LlamadaConParametrosDesdeLaSesion) {
    Lote(*c_, QStringLiteral("CREATE PROCEDURE Suma @a int, @b int = 10, @s int OUTPUT AS BEGIN SET @s = @a + @b SELECT @s AS s RETURN 3 END"));
    auto* embebida = dynamic_cast<kv::local::SesionEmbebida*>(c_->sesion());
    ASSERT_NE(embebida, nullptr);
    const auto r = embebida->LlamarProcedimiento(
        QStringLiteral("Suma"), {{QString(), 5, false}, {QStringLiteral("@s"), QVariant(), true}}, 0);
    EXPECT_EQ(r.estado, 3);
    ASSERT_EQ(r.salidas.size(), 1u);
    EXPECT_EQ(r.salidas[0].first, QStringLiteral("@s"));
    EXPECT_EQ(r.salidas[0].second.toInt(), 15);
    ASSERT_FALSE(r.resultados.empty());
    EXPECT_EQ(r.resultados[0].filas.at(0).at(0).toInt(), 15);
}

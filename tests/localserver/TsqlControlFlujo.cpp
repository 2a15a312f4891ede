// Control flow in batches: guards, blocks, variables, loops, PRINT and RAISERROR,
// and the server's own values a script reads.
#include <QString>

#include "ServidorPrueba.h"
#include "localserver/tsql/Traduccion.h"

using namespace kv::pruebas;

namespace {

class ControlFlujo : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE FLUJO"));
        Lote(*c_, QStringLiteral("USE FLUJO"));
    }
    // All the rows of all the row sets of a batch, first column, as text.
    QStringList Columna(const QString& sql) {
        QStringList s;
        for (const auto& r : Lote(*c_, sql))
            for (const auto& f : r.filas) s << (f.empty() ? QString() : f[0].toString());
        return s;
    }
    QStringList Mensajes(const QString& sql) {
        QStringList s;
        for (const auto& r : Lote(*c_, sql)) s << r.mensajes;
        return s;
    }
    std::unique_ptr<kv::db::Conexion> c_;
};

}  // namespace

TEST_F(ControlFlujo, LasGuardasCreanYQuitanUnaSolaVez) {
    const QString guion = QStringLiteral(
        "IF NOT EXISTS (SELECT * FROM sysobjects WHERE name = 'Clientes')\n"
        "    CREATE TABLE Clientes (Codigo integer NOT NULL PRIMARY KEY, Nombre character varying(40))\n"
        "IF OBJECT_ID('dbo.Clientes') IS NOT NULL AND NOT EXISTS (SELECT * FROM Clientes WHERE Codigo = 1)\n"
        "    INSERT INTO Clientes VALUES (1, 'Ana')\n"
        "IF OBJECT_ID('Vista') IS NOT NULL DROP VIEW Vista\n");
    Lote(*c_, guion);
    Lote(*c_, QStringLiteral("CREATE VIEW Vista AS SELECT Nombre FROM Clientes"));
    Lote(*c_, guion);  // the second run changes nothing and fails nowhere
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM Clientes")).toInt(), 1);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT * FROM Vista")), 208);
    EXPECT_TRUE(Valor(*c_, QStringLiteral("SELECT OBJECT_ID('Vista')")).isNull());
    EXPECT_FALSE(Valor(*c_, QStringLiteral("SELECT OBJECT_ID('[dbo].[Clientes]', 'U')")).isNull());
    EXPECT_TRUE(Valor(*c_, QStringLiteral("SELECT OBJECT_ID('Clientes', 'V')")).isNull());
}

TEST_F(ControlFlujo, IfElseYBloques) {
    EXPECT_EQ(Columna(QStringLiteral("IF 1 = 2 SELECT 'a' ELSE SELECT 'b'")),
              QStringList{QStringLiteral("b")});
    EXPECT_EQ(Columna(QStringLiteral("IF 1 = 1 BEGIN SELECT 'a' SELECT 'b' END ELSE BEGIN SELECT 'c' END "
                                     "SELECT 'd'")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("d")}));
    // Nested IF: the ELSE goes with the nearest IF.
    EXPECT_EQ(Columna(QStringLiteral("IF 1 = 1 IF 1 = 2 SELECT 'x' ELSE SELECT 'y'")),
              QStringList{QStringLiteral("y")});
    // CASE keeps its own ELSE and END.
    EXPECT_EQ(Columna(QStringLiteral("IF 1 = 1 BEGIN SELECT CASE WHEN 1 = 2 THEN 'p' ELSE 'q' END END")),
              QStringList{QStringLiteral("q")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("IF 1 = 1 BEGIN SELECT 1")), 102);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT 1 END")), 102);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("ELSE SELECT 1")), 102);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("IF 1 = 1")), 102);
}

TEST_F(ControlFlujo, VariablesDeclaradasYAsignadas) {
    EXPECT_EQ(
        Columna(QStringLiteral("DECLARE @a int, @b varchar(10) = 'hola', @c money = 2.5\n"
                               "SET @a = 40\nSET @a += 2\nSELECT @a SELECT @b SELECT @c * 2 SELECT @a / 5")),
        (QStringList{QStringLiteral("42"), QStringLiteral("hola"), QStringLiteral("5"),
                     QStringLiteral("8")}));
    Lote(*c_, QStringLiteral("CREATE TABLE t (n int, nombre varchar(10)) INSERT INTO t VALUES (1, 'uno') "
                             "INSERT INTO t VALUES (2, 'dos')"));
    // SELECT @v = ... takes the last row; no row leaves the variable as it was.
    EXPECT_EQ(Columna(QStringLiteral(
                  "DECLARE @n int, @s varchar(10)\nSELECT @n = n, @s = nombre FROM t ORDER BY n\n"
                  "SELECT @s\nSELECT @n = n FROM t WHERE n > 5\nSELECT @n")),
              (QStringList{QStringLiteral("dos"), QStringLiteral("2")}));
    // An assignment converts to the variable's type.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DECLARE @i int SET @i = 'x'")), 245);
    EXPECT_EQ(Columna(QStringLiteral("DECLARE @t varchar(3) SET @t = 'abcdef' SELECT @t")),
              QStringList{QStringLiteral("abc")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT @noDeclarada")), 137);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DECLARE @a int DECLARE @A int")), 134);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DECLARE @a int SELECT @a = n, nombre FROM t")), 141);
    // Variables live for their batch only.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT @a")), 137);
}

TEST_F(ControlFlujo, BuclesConBreakYContinue) {
    EXPECT_EQ(Columna(QStringLiteral("DECLARE @i int = 0, @suma int = 0\n"
                                     "WHILE @i < 10 BEGIN\n"
                                     "  SET @i = @i + 1\n"
                                     "  IF @i % 2 = 0 CONTINUE\n"
                                     "  IF @i > 7 BREAK\n"
                                     "  SET @suma = @suma + @i\n"
                                     "END\n"
                                     "SELECT @suma SELECT @i")),
              (QStringList{QStringLiteral("16"), QStringLiteral("9")}));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("BREAK")), 135);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("CONTINUE")), 136);
}

TEST_F(ControlFlujo, PrintRaiserrorYReturn) {
    EXPECT_EQ(Mensajes(QStringLiteral("DECLARE @n int = 3 PRINT 'Hay ' + CAST(@n AS varchar(5)) + ' filas'")),
              QStringList{QStringLiteral("Hay 3 filas")});
    EXPECT_EQ(Mensajes(QStringLiteral("RAISERROR('Aviso %s de %d', 10, 1, 'uno', 2)")),
              QStringList{QStringLiteral("Aviso uno de 2")});
    const auto r = Lote(*c_, QStringLiteral("SELECT 1"));
    ASSERT_EQ(r.size(), 1u);
    try {
        const auto e =
            c_->EjecutarLote(QStringLiteral("RAISERROR('Falta la tabla %s', 16, 1, 'Clientes') SELECT 2"));
        ASSERT_EQ(e.size(), 2u);
        ASSERT_TRUE(e[0].error);
        EXPECT_EQ(e[0].error->errorNativo, 50000);
        EXPECT_EQ(e[0].error->descripcion, QStringLiteral("Falta la tabla Clientes"));
        EXPECT_EQ(e[1].filas[0][0].toInt(), 2);  // the batch goes on
    } catch (const kv::KvExcepcion& e) {
        ADD_FAILURE() << e.what();
    }
    EXPECT_EQ(Columna(QStringLiteral("SELECT 'a' RETURN SELECT 'b'")), QStringList{QStringLiteral("a")});
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("RETURN 1")), 178);
}

TEST_F(ControlFlujo, ValoresDelServidor) {
    Lote(*c_, QStringLiteral("CREATE TABLE ident (id int IDENTITY(10, 5) NOT NULL, v int)"));
    EXPECT_EQ(Columna(QStringLiteral("INSERT INTO ident (v) VALUES (1) INSERT INTO ident (v) VALUES (2) "
                                     "SELECT @@IDENTITY SELECT SCOPE_IDENTITY()")),
              (QStringList{QStringLiteral("15"), QStringLiteral("15")}));
    EXPECT_EQ(Columna(QStringLiteral("UPDATE ident SET v = v + 1 SELECT @@ROWCOUNT")),
              QStringList{QStringLiteral("2")});
    const auto conError = c_->EjecutarLote(QStringLiteral("SELECT 1/0 SELECT @@ERROR SELECT @@ERROR"));
    ASSERT_EQ(conError.size(), 3u);
    EXPECT_EQ(conError[0].error->errorNativo, 8134);
    EXPECT_EQ(conError[1].filas[0][0].toInt(), 8134);
    EXPECT_EQ(conError[2].filas[0][0].toInt(), 0);  // the SELECT before it went well
    EXPECT_EQ(Columna(QStringLiteral("SELECT DB_NAME()")), QStringList{QStringLiteral("FLUJO")});
    EXPECT_EQ(Columna(QStringLiteral("SELECT DB_NAME(DB_ID('flujo'))")),
              QStringList{QStringLiteral("FLUJO")});
    EXPECT_TRUE(Valor(*c_, QStringLiteral("SELECT DB_ID('NoExiste')")).isNull());
    EXPECT_EQ(Columna(QStringLiteral("IF DB_ID('master') IS NOT NULL SELECT 'si'")),
              QStringList{QStringLiteral("si")});
    EXPECT_EQ(Columna(QStringLiteral("SELECT SUSER_SNAME()")), QStringList{QStringLiteral("Korvane")});
    EXPECT_EQ(Columna(QStringLiteral("SELECT USER_NAME()")), QStringList{QStringLiteral("dbo")});
    EXPECT_EQ(Columna(QStringLiteral("SELECT @@SERVERNAME")), QStringList{QStringLiteral("EMBEBIDO")});
    EXPECT_TRUE(
        Columna(QStringLiteral("SELECT @@VERSION")).value(0).startsWith(QStringLiteral("Servidor embebido")));
    EXPECT_EQ(Columna(QStringLiteral("BEGIN TRAN SELECT @@TRANCOUNT ROLLBACK")),
              QStringList{QStringLiteral("1")});
}

TEST(ControlFlujoPlan, LosSaltosSeñalanDondeSigueElLote) {
    using kv::local::Clase;
    const auto s = kv::local::TraducirLote(QStringLiteral("IF 1 = 1 SELECT 1 ELSE SELECT 2 SELECT 3"));
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0].clase, Clase::Si);
    EXPECT_EQ(s[0].sql, QStringLiteral("SELECT CASE WHEN 1 = 1 THEN 1 ELSE 0 END"));
    EXPECT_EQ(s[0].salto, 3);
    EXPECT_EQ(s[2].clase, Clase::Saltar);
    EXPECT_EQ(s[2].salto, 4);
    EXPECT_EQ(s[4].sql, QStringLiteral("SELECT 3 AS \"3\""));
}

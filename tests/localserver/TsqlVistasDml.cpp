// INSERT, UPDATE and DELETE through a view over one table, and the refusal of
// views SQL Server cannot update.
#include <sqlite3.h>

#include <QString>

#include "ServidorPrueba.h"

using namespace kv::pruebas;

namespace {

class VistasDml : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE VISTAS"));
        Lote(*c_, QStringLiteral("USE VISTAS"));
        Lote(*c_,
             QStringLiteral("CREATE TABLE Clientes (Codigo int NOT NULL PRIMARY KEY, Nombre nvarchar(40) NOT "
                            "NULL, Saldo money NULL, Zona nvarchar(10) NULL)"));
        Lote(*c_, QStringLiteral("INSERT INTO Clientes VALUES (1, 'Ana', 10, 'N')"));
        Lote(*c_, QStringLiteral("INSERT INTO Clientes VALUES (2, 'Luis', 20, 'S')"));
        Lote(*c_, QStringLiteral("CREATE VIEW vClientes AS SELECT c.Codigo AS Cod, c.Nombre AS Razon, Saldo "
                                 "FROM dbo.Clientes c"));
    }
    // Names of the triggers of the database file, read past the server.
    QStringList Disparadores() {
        QStringList nombres;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2((carpetas_.datos() + QStringLiteral("VISTAS.db")).toUtf8().constData(), &db,
                            SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "no se abre VISTAS.db";
            sqlite3_close(db);
            return nombres;
        }
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'vClientes'",
                           -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            nombres << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close(db);
        return nombres;
    }
    std::unique_ptr<kv::db::Conexion> c_;
};

}  // namespace

TEST_F(VistasDml, InsertarPorLaVistaLlegaALaTabla) {
    const auto r =
        Lote(*c_, QStringLiteral("INSERT INTO vClientes (Cod, Razon, Saldo) VALUES (3, 'Eva', 5.25)"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].filasAfectadas, 1);
    const auto f = Filas(*c_, QStringLiteral("SELECT Nombre, Saldo, Zona FROM Clientes WHERE Codigo = 3"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0][0].toString(), QStringLiteral("Eva"));
    EXPECT_DOUBLE_EQ(f[0][1].toDouble(), 5.25);
    // A column the view does not show is left empty.
    EXPECT_TRUE(f[0][2].isNull());
}

TEST_F(VistasDml, ActualizarPorLaVistaCambiaSoloLasFilasQueToca) {
    const auto r =
        Lote(*c_, QStringLiteral("UPDATE vClientes SET Razon = 'Luisa', Saldo = Saldo + 1 WHERE Cod = 2"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].filasAfectadas, 1);
    const auto f =
        Filas(*c_, QStringLiteral("SELECT Codigo, Nombre, Saldo, Zona FROM Clientes ORDER BY Codigo"));
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0][1].toString(), QStringLiteral("Ana"));
    EXPECT_DOUBLE_EQ(f[0][2].toDouble(), 10);
    EXPECT_EQ(f[1][1].toString(), QStringLiteral("Luisa"));
    EXPECT_DOUBLE_EQ(f[1][2].toDouble(), 21);
    EXPECT_EQ(f[1][3].toString(), QStringLiteral("S"));
}

TEST_F(VistasDml, BorrarPorLaVistaQuitaLaFilaDeLaTabla) {
    const auto r = Lote(*c_, QStringLiteral("DELETE FROM vClientes WHERE Razon = 'Ana'"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].filasAfectadas, 1);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM Clientes")).toInt(), 1);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT Nombre FROM Clientes")).toString(), QStringLiteral("Luis"));
}

TEST_F(VistasDml, UnaVistaConFiltroSoloTocaLasFilasQueMuestra) {
    // Both customers show the same zone; the view shows only the first one.
    Lote(*c_, QStringLiteral("UPDATE Clientes SET Zona = 'N'"));
    Lote(*c_, QStringLiteral("CREATE VIEW vNorte AS SELECT Zona, Saldo FROM Clientes WHERE Codigo = 1"));
    auto r = Lote(*c_, QStringLiteral("UPDATE vNorte SET Saldo = 99"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].filasAfectadas, 1);
    EXPECT_DOUBLE_EQ(Valor(*c_, QStringLiteral("SELECT Saldo FROM Clientes WHERE Codigo = 1")).toDouble(),
                     99);
    EXPECT_DOUBLE_EQ(Valor(*c_, QStringLiteral("SELECT Saldo FROM Clientes WHERE Codigo = 2")).toDouble(),
                     20);
    Lote(*c_, QStringLiteral("UPDATE Clientes SET Saldo = 99"));
    r = Lote(*c_, QStringLiteral("DELETE FROM vNorte"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].filasAfectadas, 1);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT Nombre FROM Clientes")).toString(), QStringLiteral("Luis"));
}

TEST_F(VistasDml, LasRestriccionesDeLaTablaValenPorLaVista) {
    // The primary key of the table.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO vClientes (Cod, Razon) VALUES (1, 'Otra')")),
              2627);
    // NOT NULL of the table.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("UPDATE vClientes SET Razon = NULL WHERE Cod = 1")), 515);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM Clientes")).toInt(), 2);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT Nombre FROM Clientes WHERE Codigo = 1")).toString(),
              QStringLiteral("Ana"));
}

TEST_F(VistasDml, SinPermisoDeEscrituraLaVistaNoEscribe) {
    Lote(*c_, QStringLiteral("EXEC sp_addlogin 'lector', 'uno', 'VISTAS'"));
    Lote(*c_, QStringLiteral("EXEC sp_grantdbaccess 'lector'"));
    Lote(*c_, QStringLiteral("EXEC sp_addrolemember 'db_datareader', 'lector'"));
    auto lector = Conectar(QString(), QStringLiteral("lector"), QStringLiteral("uno"));
    EXPECT_EQ(Valor(*lector, QStringLiteral("SELECT Razon FROM vClientes WHERE Cod = 1")).toString(),
              QStringLiteral("Ana"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("INSERT INTO vClientes (Cod, Razon) VALUES (9, 'X')")),
              229);
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("UPDATE vClientes SET Razon = 'X'")), 229);
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("DELETE FROM vClientes")), 229);
    EXPECT_EQ(
        Valor(*c_, QStringLiteral("SELECT count(*) FROM Clientes WHERE Nombre IN ('Ana', 'Luis')")).toInt(),
        2);
}

TEST_F(VistasDml, VistasQueNoSePuedenActualizar) {
    Lote(*c_,
         QStringLiteral("CREATE TABLE Zonas (Zona nvarchar(10) NOT NULL PRIMARY KEY, Nombre nvarchar(20))"));
    Lote(*c_,
         QStringLiteral("CREATE VIEW vConZona AS SELECT c.Codigo, z.Nombre FROM Clientes c JOIN Zonas z ON "
                        "z.Zona = c.Zona"));
    Lote(*c_, QStringLiteral(
                  "CREATE VIEW vPorZona AS SELECT Zona, SUM(Saldo) AS Total FROM Clientes GROUP BY Zona"));
    Lote(*c_, QStringLiteral("CREATE VIEW vZonas AS SELECT DISTINCT Zona FROM Clientes"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO vConZona (Codigo) VALUES (7)")), 4405);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("UPDATE vConZona SET Nombre = 'x'")), 4405);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DELETE FROM vConZona")), 4405);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("UPDATE vPorZona SET Zona = 'x'")), 4403);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("DELETE FROM vZonas")), 4403);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM Clientes")).toInt(), 2);
}

TEST_F(VistasDml, UnaColumnaCalculadaNoRecibeValores) {
    Lote(*c_,
         QStringLiteral("CREATE VIEW vDoble AS SELECT Codigo, Nombre, Saldo * 2 AS Doble FROM Clientes"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("UPDATE vDoble SET Doble = 1 WHERE Codigo = 1")), 4406);
    EXPECT_EQ(
        PrimerError(*c_, QStringLiteral("INSERT INTO vDoble (Codigo, Nombre, Doble) VALUES (5, 'X', 1)")),
        4406);
    // The other columns still go through.
    Lote(*c_, QStringLiteral("UPDATE vDoble SET Nombre = 'Ana Mar' WHERE Codigo = 1"));
    Lote(*c_, QStringLiteral("INSERT INTO vDoble (Codigo, Nombre) VALUES (5, 'X')"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT Nombre FROM Clientes WHERE Codigo = 1")).toString(),
              QStringLiteral("Ana Mar"));
    EXPECT_DOUBLE_EQ(Valor(*c_, QStringLiteral("SELECT Saldo FROM Clientes WHERE Codigo = 1")).toDouble(),
                     10);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM Clientes")).toInt(), 3);
}

TEST_F(VistasDml, QuitarLaVistaNoDejaDisparadores) {
    EXPECT_EQ(Disparadores().size(), 3);
    Lote(*c_, QStringLiteral("DROP VIEW vClientes"));
    EXPECT_TRUE(Disparadores().isEmpty());
    // The server's triggers are no object a user sees.
    Lote(*c_, QStringLiteral("CREATE VIEW vClientes AS SELECT Codigo FROM Clientes"));
    EXPECT_EQ(
        Valor(*c_, QStringLiteral("SELECT count(*) FROM sys.objects WHERE name LIKE 'kv[_]sys%'")).toInt(),
        0);
    Lote(*c_, QStringLiteral("DELETE FROM vClientes WHERE Codigo = 2"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM Clientes")).toInt(), 1);
}

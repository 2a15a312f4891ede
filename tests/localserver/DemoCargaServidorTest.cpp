// The demo's sale lines written in bulk on the embedded server keep every
// property of rows inserted one by one through the server: the same stored
// values (the normalizing trigger would change nothing), identity values in the
// counter's order, the table's indexes, triggers and counter back afterwards.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QFile>
#include <QString>
#include <sys/stat.h>

#include "db/Conexion.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/tsql/Funciones.h"
#include "soporte/CarpetasTemporales.h"

namespace {

QString Cadena(const QString& base) {
    return QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =%1;UId=Korvane;Pwd=pelumbo;").arg(base);
}

// The errors of a batch, joined (empty when every statement went through).
QString Errores(kv::db::Conexion& c, const QString& sql) {
    QString errores;
    for (const auto& r : c.EjecutarLote(sql))
        if (r.error) errores += r.error->descripcion + QLatin1Char('\n');
    return errores;
}

QString Escalar(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    QString v;
    if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
        v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    return v;
}

class DemoCargaServidor : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::local::RegistrarServidorEmbebido();
        kv::local::demo::RegistrarProcedimientoDemo();
        admin.SetCommandTimeout(0);
        admin.Open(Cadena(QStringLiteral("master")));
        ASSERT_EQ(Errores(admin, QStringLiteral("CREATE DATABASE NORTE")), QString());
        ASSERT_EQ(Errores(admin, QStringLiteral("USE NORTE")), QString());
        kv::local::CrearEsquemaERP(admin);
    }

    kv::pruebas::CarpetasTemporales carpetas;
    kv::db::Conexion admin;
};

TEST_F(DemoCargaServidor, LasFilasSonLasQueDariaElInsertDeCadaUna) {
    // A row before the demo: its identity value stays taken, as SQL Server's counter keeps it.
    ASSERT_EQ(Errores(admin, QStringLiteral("INSERT INTO MV_STOCK (Fecha, TipoMovimiento, IdArticulo) "
                                            "VALUES ('01/02/2026', 'AJU', 'X')")),
              QString());
    ASSERT_EQ(Errores(admin, QStringLiteral("EXEC KV_DEMO_LLENAR 5, 4000, 0, '12/2026'")), QString());
    // The same rows again, through the server's ordinary insert into a table of the same definition.
    ASSERT_EQ(Errores(admin, QStringLiteral(
                                 "CREATE TABLE MV_COPIA (Id int IDENTITY(2,1) NOT NULL PRIMARY KEY, "
                                 "Fecha datetime NOT NULL, TipoMovimiento nvarchar(3) NOT NULL, "
                                 "UNegocio nvarchar(4) NULL, IdArticulo nvarchar(25) NOT NULL, "
                                 "IdVendedor nvarchar(25) NULL, Cuenta nvarchar(25) NULL, "
                                 "Cantidad float NOT NULL DEFAULT 0, CostoUnitario money NULL DEFAULT 0, "
                                 "PrecioUnitario money NULL DEFAULT 0)")),
              QString());
    ASSERT_EQ(Errores(admin, QStringLiteral("INSERT INTO MV_COPIA (Fecha, TipoMovimiento, UNegocio, IdArticulo, "
                                            "IdVendedor, Cuenta, Cantidad, CostoUnitario, PrecioUnitario) "
                                            "SELECT Fecha, TipoMovimiento, UNegocio, IdArticulo, IdVendedor, "
                                            "Cuenta, Cantidad, CostoUnitario, PrecioUnitario FROM MV_STOCK "
                                            "WHERE Id > 1 ORDER BY Id")),
              QString());
    // A row after it takes the next value of the counter, and the triggers are back:
    // a day-first date is stored as ISO text, an explicit identity value is refused.
    ASSERT_EQ(Errores(admin, QStringLiteral("INSERT INTO MV_STOCK (Fecha, TipoMovimiento, IdArticulo) "
                                            "VALUES ('03/04/2026', 'AJU', 'Y')")),
              QString());
    EXPECT_NE(Errores(admin, QStringLiteral("INSERT INTO MV_STOCK (Id, Fecha, TipoMovimiento, IdArticulo) "
                                            "VALUES (999999, '03/04/2026', 'AJU', 'Z')")),
              QString());
    admin.Close();

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((carpetas.datos() + QStringLiteral("NORTE.db")).toUtf8().constData(), &db), SQLITE_OK);
    kv::local::RegistrarFuncionesTSQL(db);  // the server's collation, which the code columns use
    const QString filas = Escalar(db, "SELECT count(*) FROM MV_STOCK WHERE Id > 1 AND IdArticulo <> 'Y'");
    EXPECT_GT(filas.toInt(), 4000);
    EXPECT_EQ(Escalar(db, "SELECT count(*) FROM MV_COPIA"), filas);
    // Column by column, value and storage type.
    EXPECT_EQ(Escalar(db,
                      "SELECT count(*) FROM MV_STOCK a JOIN MV_COPIA b ON a.Id = b.Id WHERE "
                      "a.Fecha IS b.Fecha AND a.TipoMovimiento IS b.TipoMovimiento AND a.UNegocio IS b.UNegocio "
                      "AND a.IdArticulo IS b.IdArticulo AND a.IdVendedor IS b.IdVendedor AND a.Cuenta IS b.Cuenta "
                      "AND a.Cantidad IS b.Cantidad AND a.CostoUnitario IS b.CostoUnitario "
                      "AND a.PrecioUnitario IS b.PrecioUnitario AND typeof(a.CostoUnitario) = typeof(b.CostoUnitario) "
                      "AND typeof(a.PrecioUnitario) = typeof(b.PrecioUnitario) AND typeof(a.Fecha) = 'text'"),
              filas);
    // Identity values from 2 on without a gap, in the order of the rows.
    EXPECT_EQ(Escalar(db, "SELECT count(*) FROM MV_STOCK WHERE IdArticulo <> 'Y' AND Id = rowid + 1"), filas);
    EXPECT_EQ(Escalar(db, "SELECT Id FROM MV_STOCK WHERE IdArticulo = 'Y'"), QString::number(filas.toInt() + 2));
    EXPECT_EQ(Escalar(db, "SELECT Fecha FROM MV_STOCK WHERE IdArticulo = 'Y'"), QStringLiteral("2026-04-03 00:00:00"));
    // The table's two indexes, as the schema declares them.
    EXPECT_EQ(Escalar(db, "SELECT group_concat(sql, ' | ') FROM (SELECT sql FROM sqlite_master WHERE type = 'index' "
                          "AND tbl_name = 'MV_STOCK' AND sql IS NOT NULL ORDER BY name)"),
              QStringLiteral("CREATE INDEX IX_MV_STOCK_ARTICULO ON MV_STOCK (IdArticulo) | "
                             "CREATE INDEX IX_MV_STOCK_FECHA ON MV_STOCK (Fecha)"));
    EXPECT_EQ(Escalar(db, "PRAGMA integrity_check"), QStringLiteral("ok"));
    sqlite3_close(db);
}

ino_t Nodo(const QString& ruta) {
    struct stat st {};
    return ::stat(QFile::encodeName(ruta).constData(), &st) == 0 ? st.st_ino : 0;
}

// The rows of `tabla` (or of the columns given) that one database has and the other has not, both ways.
QString Diferentes(sqlite3* db, const QString& tabla, const QString& columnas = QStringLiteral("*")) {
    const QString a = QStringLiteral("SELECT %1 FROM main.\"%2\"").arg(columnas, tabla);
    const QString b = QStringLiteral("SELECT %1 FROM sur.\"%2\"").arg(columnas, tabla);
    const QByteArray sql = QStringLiteral("SELECT (SELECT count(*) FROM (%1 EXCEPT %2)) + (SELECT count(*) FROM (%2 EXCEPT %1))")
                               .arg(a, b)
                               .toUtf8();
    return Escalar(db, sql.constData());
}

// A company with no movements yet is made whole in a file beside its own and
// renamed into place; one whose file another connection has open is filled
// through the connection. Both hold the same rows and schema afterwards, and
// the connection goes on working on the new file.
TEST_F(DemoCargaServidor, UnaEmpresaNuevaSeHaceAparteConLasMismasFilas) {
    const QString norte = carpetas.datos() + QStringLiteral("NORTE.db");
    const QString sur = carpetas.datos() + QStringLiteral("SUR.db");
    kv::db::Conexion otra, tercera;
    otra.Open(Cadena(QStringLiteral("master")));
    ASSERT_EQ(Errores(otra, QStringLiteral("CREATE DATABASE SUR")), QString());
    ASSERT_EQ(Errores(otra, QStringLiteral("USE SUR")), QString());
    kv::local::CrearEsquemaERP(otra);
    tercera.SetCommandTimeout(0);
    tercera.Open(Cadena(QStringLiteral("SUR")));
    const ino_t nodoNorte = Nodo(norte), nodoSur = Nodo(sur);
    // SUR stays open on `otra` while `tercera` fills it; NORTE is only the admin's.
    ASSERT_EQ(Errores(tercera, QStringLiteral("EXEC KV_DEMO_LLENAR 7, 3000, 0, '12/2026'")), QString());
    ASSERT_EQ(Errores(admin, QStringLiteral("EXEC KV_DEMO_LLENAR 7, 3000, 0, '12/2026'")), QString());
    EXPECT_NE(Nodo(norte), nodoNorte);
    EXPECT_EQ(Nodo(sur), nodoSur);
    EXPECT_EQ(QFile::permissions(norte) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                           QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    for (const char* sufijo : {".nueva", ".nueva-journal", ".nueva-wal", ".nueva-shm", "-journal"})
        EXPECT_FALSE(QFile::exists(norte + QLatin1String(sufijo))) << sufijo;

    // The same connection reads the new file and writes through its triggers and counter.
    ASSERT_EQ(Errores(admin, QStringLiteral("INSERT INTO MV_STOCK (Fecha, TipoMovimiento, IdArticulo) "
                                            "VALUES ('03/04/2026', 'AJU', 'Y')")),
              QString());
    ASSERT_EQ(Errores(tercera, QStringLiteral("INSERT INTO MV_STOCK (Fecha, TipoMovimiento, IdArticulo) "
                                              "VALUES ('03/04/2026', 'AJU', 'Y')")),
              QString());
    admin.Close();
    otra.Close();
    tercera.Close();

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(norte.toUtf8().constData(), &db), SQLITE_OK);
    kv::local::RegistrarFuncionesTSQL(db);
    EXPECT_EQ(Escalar(db, "PRAGMA journal_mode"), QStringLiteral("wal"));
    EXPECT_EQ(Escalar(db, "PRAGMA integrity_check"), QStringLiteral("ok"));
    ASSERT_EQ(sqlite3_exec(db, ("ATTACH '" + sur.toUtf8() + "' AS sur").constData(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(Diferentes(db, QStringLiteral("sqlite_master"), QStringLiteral("type, name, tbl_name, sql")),
              QStringLiteral("0"));
    EXPECT_GT(Escalar(db, "SELECT count(*) FROM MV_STOCK WHERE TipoMovimiento = 'VTA'").toInt(), 2999);
    EXPECT_EQ(Escalar(db, "SELECT Id FROM MV_STOCK WHERE IdArticulo = 'Y'"),
              Escalar(db, "SELECT Id FROM sur.MV_STOCK WHERE IdArticulo = 'Y'"));
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%'",
                                 -1, &s, nullptr),
              SQLITE_OK);
    int tablas = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        const QString tabla = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        ++tablas;
        // The company's own user is named after it.
        if (tabla == QLatin1String("TA_USUARIOS"))
            EXPECT_EQ(Diferentes(db, tabla, QStringLiteral("UNegocio, verproforma, Administrador")), QStringLiteral("0"));
        else
            EXPECT_EQ(Diferentes(db, tabla), QStringLiteral("0")) << tabla.toStdString();
    }
    sqlite3_finalize(s);
    EXPECT_GT(tablas, 10);
    sqlite3_close(db);
}

}  // namespace

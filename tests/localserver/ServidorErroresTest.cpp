// Each error the system branches on, with SQL Server's number, Spanish text and
// SQL state; nothing of SQLite's own wording reaches the client.

#include "ServidorPrueba.h"
#include "db/Conexion.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

class ErroresTest : public ServidorPrueba {
protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE PRUEBA"));
        Lote(*c_, QStringLiteral("USE PRUEBA"));
        Lote(*c_, QStringLiteral("CREATE TABLE T (a int NOT NULL, b nvarchar(5) NULL, m money NULL, "
                                 "CONSTRAINT PK_T PRIMARY KEY (a))"));
        Lote(*c_, QStringLiteral("INSERT INTO T (a, b) VALUES (1, 'uno')"));
    }

    // The first error of the batch.
    kv::db::ErrorBD Error(const QString& sql) {
        try {
            for (const auto& r : c_->EjecutarLote(sql))
                if (r.error) return *r.error;
        } catch (const kv::KvExcepcion&) {
            if (c_->Errors().Count() > 0) return c_->Errors().Item(0);
        }
        ADD_FAILURE() << "sin error: " << sql.toStdString();
        return {};
    }

    std::unique_ptr<Conexion> c_;
};

TEST_F(ErroresTest, ClaveDuplicada) {
    const auto e = Error(QStringLiteral("INSERT INTO T (a, b) VALUES (1, 'otro')"));
    EXPECT_EQ(e.errorNativo, 2627);
    EXPECT_EQ(e.estadoSQL, QStringLiteral("23000"));
    EXPECT_EQ(e.numero, kv::db::adoerr::ViolacionIntegridad);
    EXPECT_EQ(e.descripcion, QStringLiteral("Infracción de la restricción PRIMARY KEY 'PK_T'. No se puede insertar "
                                            "una clave duplicada en el objeto 'dbo.T'."));
}

TEST_F(ErroresTest, NuloEnColumnaQueNoLoAdmite) {
    const auto e = Error(QStringLiteral("INSERT INTO T (b) VALUES ('x')"));
    EXPECT_EQ(e.errorNativo, 515);
    EXPECT_EQ(e.estadoSQL, QStringLiteral("23000"));
    EXPECT_TRUE(e.descripcion.startsWith(
        QStringLiteral("No se puede insertar el valor NULL en la columna 'a', tabla 'PRUEBA.dbo.T'")))
        << e.descripcion.toStdString();
    const auto u = Error(QStringLiteral("UPDATE T SET a = NULL"));
    EXPECT_EQ(u.errorNativo, 515);
    EXPECT_TRUE(u.descripcion.endsWith(QStringLiteral("Error de UPDATE."))) << u.descripcion.toStdString();
}

TEST_F(ErroresTest, CadenaDemasiadoLarga) {
    const auto e = Error(QStringLiteral("INSERT INTO T (a, b) VALUES (2, '123456')"));
    EXPECT_EQ(e.errorNativo, 8152);
    EXPECT_EQ(e.descripcion, QStringLiteral("Los datos de cadena o binarios se truncarían."));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM T")).toInt(), 1);
    Lote(*c_, QStringLiteral("INSERT INTO T (a, b) VALUES (2, '12345')"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("UPDATE T SET b = 'largo!' WHERE a = 2")), 8152);
    // Blanks beyond the length are dropped quietly, as SQL Server does.
    Lote(*c_, QStringLiteral("INSERT INTO T (a, b) VALUES (3, 'ab       ')"));
    Lote(*c_, QStringLiteral("UPDATE T SET b = 'xyz      ' WHERE a = 2"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT b FROM T WHERE a = 3")).toString(), QStringLiteral("ab   "));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT b FROM T WHERE a = 2")).toString(), QStringLiteral("xyz  "));
}

TEST_F(ErroresTest, TablaYColumnaInexistentes) {
    const auto t = Error(QStringLiteral("SELECT * FROM NOEXISTE"));
    EXPECT_EQ(t.errorNativo, 208);
    EXPECT_EQ(t.estadoSQL, QStringLiteral("42S02"));
    EXPECT_EQ(t.numero, kv::db::adoerr::TablaInexistente);
    EXPECT_EQ(t.descripcion, QStringLiteral("El nombre de objeto 'NOEXISTE' no es válido."));
    const auto c = Error(QStringLiteral("SELECT zz FROM T"));
    EXPECT_EQ(c.errorNativo, 207);
    EXPECT_EQ(c.estadoSQL, QStringLiteral("42S22"));
    EXPECT_EQ(c.descripcion, QStringLiteral("El nombre de columna 'zz' no es válido."));
}

TEST_F(ErroresTest, TablaExistenteYQuitarLaQueNoEsta) {
    const auto e = Error(QStringLiteral("CREATE TABLE t (x int)"));
    EXPECT_EQ(e.errorNativo, 2714);
    EXPECT_EQ(e.descripcion, QStringLiteral("Ya hay un objeto con el nombre 't' en la base de datos."));
    const auto d = Error(QStringLiteral("DROP TABLE NOEXISTE"));
    EXPECT_EQ(d.errorNativo, 3701);
}

TEST_F(ErroresTest, DivisionPorCero) {
    const auto e = Error(QStringLiteral("SELECT a / 0 FROM T"));
    EXPECT_EQ(e.errorNativo, 8134);
    EXPECT_EQ(e.estadoSQL, QStringLiteral("22012"));
}

TEST_F(ErroresTest, FechaQueNoEsFecha) {
    Lote(*c_, QStringLiteral("CREATE TABLE F (d datetime NULL)"));
    EXPECT_EQ(Error(QStringLiteral("INSERT INTO F VALUES ('30/02/2024')")).errorNativo, 241);
    EXPECT_EQ(Error(QStringLiteral("INSERT INTO F VALUES ('mañana')")).errorNativo, 241);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM F")).toInt(), 0);
}

TEST_F(ErroresTest, BaseExistenteYBaseDesconocida) {
    EXPECT_EQ(Error(QStringLiteral("CREATE DATABASE prueba")).errorNativo, 1801);
    EXPECT_EQ(Error(QStringLiteral("USE NOHAY")).errorNativo, 911);
    EXPECT_EQ(Error(QStringLiteral("DROP DATABASE NOHAY")).errorNativo, 3701);
    EXPECT_EQ(Error(QStringLiteral("DROP DATABASE PRUEBA")).errorNativo, 3702);  // in use by this connection
    EXPECT_EQ(Error(QStringLiteral("DROP DATABASE master")).errorNativo, 3708);
}

TEST_F(ErroresTest, ProcedimientoDesconocido) {
    const auto e = Error(QStringLiteral("EXEC NO_EXISTE 'a'"));
    EXPECT_EQ(e.errorNativo, 2812);
}

TEST_F(ErroresTest, TransaccionSinComienzo) {
    EXPECT_EQ(Error(QStringLiteral("COMMIT")).errorNativo, 3902);
    EXPECT_EQ(Error(QStringLiteral("ROLLBACK")).errorNativo, 3903);
}

TEST_F(ErroresTest, RestriccionesQueYaEstan) {
    EXPECT_EQ(Error(QStringLiteral("ALTER TABLE T WITH NOCHECK ADD CONSTRAINT PK_OTRA PRIMARY KEY NONCLUSTERED (b)"))
                  .errorNativo,
              1779);
    Lote(*c_, QStringLiteral("ALTER TABLE T ADD CONSTRAINT DF_T_m DEFAULT (0) FOR m"));
    EXPECT_EQ(Error(QStringLiteral("ALTER TABLE T ADD CONSTRAINT DF_T_m2 DEFAULT (1) FOR m")).errorNativo, 1781);
    EXPECT_EQ(Error(QStringLiteral("ALTER TABLE NOHAY ADD CONSTRAINT DF_X DEFAULT (1) FOR m")).errorNativo, 4902);
}

// Tables and columns that a definition names but that are not there, and a
// column named twice: each with its own number, text and state.
TEST_F(ErroresTest, DefinicionesQueNombranLoQueNoEsta) {
    const auto tabla = Error(QStringLiteral("ALTER TABLE NOESTA ADD c int NULL"));
    EXPECT_EQ(tabla.errorNativo, 4902);
    EXPECT_EQ(tabla.estadoSQL, QStringLiteral("42S02"));
    EXPECT_EQ(tabla.descripcion,
              QStringLiteral("No se encuentra el objeto \"NOESTA\" porque no existe o no tiene permisos."));

    const auto clave =
        Error(QStringLiteral("CREATE TABLE U (a int NOT NULL, CONSTRAINT PK_U PRIMARY KEY (z))"));
    EXPECT_EQ(clave.errorNativo, 1911);
    EXPECT_EQ(clave.estadoSQL, QStringLiteral("42S22"));
    EXPECT_EQ(clave.descripcion,
              QStringLiteral("El nombre de columna 'z' no existe en la tabla o vista de destino."));

    const auto repetida = Error(QStringLiteral("CREATE TABLE U (a int NULL, A int NULL)"));
    EXPECT_EQ(repetida.errorNativo, 2705);
    EXPECT_EQ(repetida.estadoSQL, QStringLiteral("42000"));
    EXPECT_EQ(
        repetida.descripcion,
        QStringLiteral("Los nombres de columna de cada tabla deben ser únicos. El nombre de columna 'A' de "
                       "la tabla 'U' se especificó más de una vez."));

    const auto columna = Error(QStringLiteral("ALTER TABLE T ADD B nvarchar(5) NULL"));
    EXPECT_EQ(columna.errorNativo, 2705);
    EXPECT_EQ(
        columna.descripcion,
        QStringLiteral("Los nombres de columna de cada tabla deben ser únicos. El nombre de columna 'B' de "
                       "la tabla 'T' se especificó más de una vez."));
}

TEST_F(ErroresTest, UnErrorDeSintaxisNoDejaCorrerNadaDelLote) {
    try {
        c_->EjecutarLote(QStringLiteral("INSERT INTO T (a) VALUES (7)\nSELECT FROM WHERE ,,"));
        ADD_FAILURE() << "se esperaba el fallo del lote";
    } catch (const kv::KvExcepcion&) {
        ASSERT_GT(c_->Errors().Count(), 0);
        EXPECT_EQ(c_->Errors().Item(0).errorNativo, 102);
        EXPECT_EQ(c_->Errors().Item(0).estadoSQL, QStringLiteral("42000"));
    }
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM T WHERE a = 7")).toInt(), 0);
}

TEST_F(ErroresTest, NingunTextoPropioDeSqlite) {
    const QStringList lotes = {QStringLiteral("SELECT * FROM NOEXISTE"), QStringLiteral("SELECT zz FROM T"),
                               QStringLiteral("INSERT INTO T (a) VALUES (1)"), QStringLiteral("SELECT 1/0"),
                               QStringLiteral("CREATE TABLE T (x int)"), QStringLiteral("INSERT INTO T (a) VALUES ('abc')")};
    for (const QString& l : lotes) {
        const auto e = Error(l);
        EXPECT_NE(e.errorNativo, 0) << l.toStdString();
        for (const char* palabra : {"constraint", "sqlite", "no such", "syntax error", "failed", "near \""})
            EXPECT_FALSE(e.descripcion.contains(QLatin1String(palabra), Qt::CaseInsensitive))
                << l.toStdString() << ": " << e.descripcion.toStdString();
    }
}

TEST_F(ErroresTest, ErrorQueTerminaSoloSuSentencia) {
    const auto r = c_->EjecutarLote(QStringLiteral("INSERT INTO T (a) VALUES (1)\nINSERT INTO T (a) VALUES (2)\n"
                                                   "SELECT count(*) FROM T"));
    ASSERT_EQ(r.size(), 3u);
    ASSERT_TRUE(r[0].error.has_value());
    EXPECT_EQ(r[0].error->linea, 1);
    EXPECT_FALSE(r[1].error.has_value());
    EXPECT_EQ(r[1].filasAfectadas, 1);
    ASSERT_TRUE(r[2].tieneFilas);
    EXPECT_EQ(r[2].filas[0][0].toInt(), 2);
}

}  // namespace
}  // namespace kv::pruebas

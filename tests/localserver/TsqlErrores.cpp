// Every way a statement can fail on the embedded server, with the number and
// Spanish text SQL Server gives for the same cause.

#include <sqlite3.h>

#include <QDir>

#include "ServidorPrueba.h"
#include "db/Conexion.h"
#include "localserver/BaseSqlite.h"
#include "localserver/ErrorServidor.h"
#include "localserver/Errores.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

class BarridoErroresTest : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE BARRIDO"));
        Lote(*c_, QStringLiteral("USE BARRIDO"));
        Lote(*c_, QStringLiteral("CREATE TABLE P (id int NOT NULL, nombre nvarchar(20) NULL, "
                                 "CONSTRAINT PK_P PRIMARY KEY (id))"));
        Lote(*c_, QStringLiteral("CREATE TABLE H (id int NOT NULL PRIMARY KEY, p int NULL, cant int NULL, "
                                 "cod nvarchar(10) NULL, "
                                 "CONSTRAINT FK_H_P FOREIGN KEY (p) REFERENCES P (id), "
                                 "CONSTRAINT CK_H_CANT CHECK (cant > 0))"));
        Lote(*c_, QStringLiteral("CREATE UNIQUE INDEX UX_H_COD ON H (cod)"));
        Lote(*c_, QStringLiteral("INSERT INTO P (id, nombre) VALUES (1, 'uno')"));
        Lote(*c_, QStringLiteral("INSERT INTO H (id, p, cant, cod) VALUES (1, 1, 5, 'A')"));
    }

    // The first error of the batch.
    kv::db::ErrorBD Error(Conexion& c, const QString& sql) {
        try {
            for (const auto& r : c.EjecutarLote(sql))
                if (r.error) return *r.error;
        } catch (const kv::KvExcepcion&) {
            if (c.Errors().Count() > 0) return c.Errors().Item(0);
        }
        ADD_FAILURE() << "sin error: " << sql.toStdString();
        return {};
    }

    static QString Anidado(const QString& abre, const QString& centro, const QString& cierra, int veces) {
        return abre.repeated(veces) + centro + cierra.repeated(veces);
    }

    std::unique_ptr<Conexion> c_;
};

struct Caso {
    const char* sql;
    int numero;
    const char* texto;  // exact, or a prefix when it ends in "…"
};

TEST_F(BarridoErroresTest, CadaCausaConSuNumeroYSuTexto) {
    const Caso casos[] = {
        {"INSERT INTO P (id, nombre) VALUES (1, 'otro')", 2627,
         "Infracción de la restricción PRIMARY KEY 'PK_P'. No se puede insertar una clave duplicada en el "
         "objeto "
         "'dbo.P'."},
        {"INSERT INTO H (id, cod) VALUES (2, 'A')", 2601,
         "No se puede insertar una fila de clave duplicada en el objeto 'dbo.H' con índice único "
         "'UX_H_COD'."},
        {"INSERT INTO P (nombre) VALUES ('x')", 515,
         "No se puede insertar el valor NULL en la columna 'id', tabla 'BARRIDO.dbo.P'. La columna no admite "
         "valores NULL. Error de INSERT."},
        {"SELECT 1 + 'x'", 245,
         "Error de conversión al convertir el valor varchar 'x' al tipo de datos int."},
        {"SELECT CAST(nombre AS numeric(10,2)) FROM P", 8114,
         "Error al convertir el tipo de datos nvarchar a numeric."},
        {"SELECT 2147483647 + 1", 8115,
         "Error de desbordamiento aritmético al convertir expression al tipo de datos int."},
        {"SELECT 1 / 0", 8134, "Error de división entre cero."},
        {"SELECT id FROM P WHERE id IN (SELECT id, nombre FROM P)", 116,
         "Sólo se puede especificar una expresión en la lista de selección cuando no se utiliza EXISTS para "
         "introducir la subconsulta."},
        {"SELECT * FROM NOEXISTE", 208, "El nombre de objeto 'NOEXISTE' no es válido."},
        {"SELECT zz FROM P", 207, "El nombre de columna 'zz' no es válido."},
        {"SELECT id FROM P UNION SELECT id, nombre FROM P", 205,
         "Todas las consultas combinadas mediante un operador UNION, INTERSECT o EXCEPT deben tener el mismo "
         "número de expresiones en sus listas de destino."},
    };
    for (const Caso& k : casos) {
        const QString sql = QString::fromUtf8(k.sql);
        const auto e = Error(*c_, sql);
        EXPECT_EQ(e.errorNativo, k.numero) << k.sql << ": " << e.descripcion.toStdString();
        QString texto = QString::fromUtf8(k.texto);
        if (texto.endsWith(QChar(0x2026)))
            EXPECT_TRUE(e.descripcion.startsWith(texto.chopped(1)))
                << k.sql << ": " << e.descripcion.toStdString();
        else
            EXPECT_EQ(e.descripcion.toStdString(), texto.toStdString()) << k.sql;
    }
}

TEST_F(BarridoErroresTest, PermisoDenegadoEnElObjeto) {
    Lote(*c_, QStringLiteral("EXEC sp_addlogin 'lector', 'l', 'BARRIDO'"));
    Lote(*c_, QStringLiteral("EXEC sp_grantdbaccess 'lector'"));
    Lote(*c_, QStringLiteral("EXEC sp_addrolemember 'db_datareader', 'lector'"));
    auto lector = Conectar(QStringLiteral("BARRIDO"), QStringLiteral("lector"), QStringLiteral("l"));
    const auto e = Error(*lector, QStringLiteral("INSERT INTO P (id) VALUES (9)"));
    EXPECT_EQ(e.errorNativo, 229);
    EXPECT_EQ(
        e.descripcion,
        QStringLiteral("Permiso INSERT denegado en el objeto 'P', base de datos 'BARRIDO', esquema 'dbo'."));
    const auto u = Error(*lector, QStringLiteral("UPDATE P SET nombre = 'x'"));
    EXPECT_EQ(u.errorNativo, 229);
    EXPECT_EQ(
        u.descripcion,
        QStringLiteral("Permiso UPDATE denegado en el objeto 'P', base de datos 'BARRIDO', esquema 'dbo'."));
}

TEST_F(BarridoErroresTest, AnidamientoProfundoPeroAdmitidoFunciona) {
    // 48 unary minus signs: an even count gives the value back.
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT ") + QStringLiteral("- ").repeated(48) + QStringLiteral("7"))
                  .toInt(),
              7);
    // CASE nested ten deep is SQL Server's limit, and works.
    const QString diez =
        Anidado(QStringLiteral("CASE WHEN 1 = 1 THEN "), QStringLiteral("5"), QStringLiteral(" END"), 10);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT ") + diez).toInt(), 5);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT ") +
                             Anidado(QStringLiteral("("), QStringLiteral("3"), QStringLiteral(")"), 40))
                  .toInt(),
              3);
}

TEST_F(BarridoErroresTest, AnidamientoMasAllaDelLimite) {
    const QString once =
        Anidado(QStringLiteral("CASE WHEN 1 = 1 THEN "), QStringLiteral("5"), QStringLiteral(" END"), 11);
    const auto c = Error(*c_, QStringLiteral("SELECT ") + once);
    EXPECT_EQ(c.errorNativo, 125);
    EXPECT_EQ(c.descripcion, QStringLiteral("Las expresiones CASE solo se pueden anidar hasta el nivel 10."));
    const auto e = Error(*c_, QStringLiteral("SELECT ") + Anidado(QStringLiteral("("), QStringLiteral("1"),
                                                                  QStringLiteral(")"), 5000));
    EXPECT_EQ(e.errorNativo, 191);
    EXPECT_EQ(e.descripcion,
              QStringLiteral("Alguna parte de la instrucción SQL está anidada con demasiada "
                             "profundidad. Vuelva a escribir la consulta o divídala en consultas "
                             "más pequeñas."));
}

// The front end keeps FOREIGN KEY and CHECK out of the tables it creates, so the
// engine's refusal is raised on a table made straight in the database file.
TEST_F(BarridoErroresTest, RestriccionesDelMotorComoConflicto) {
    auto base = kv::local::BaseSqlite::Abrir(carpetas_.raiz() + QStringLiteral("restricciones.db"),
                                             QStringLiteral("RESTR"), true);
    base->Ejecutar(QStringLiteral("PRAGMA foreign_keys = ON"));
    base->Ejecutar(QStringLiteral("CREATE TABLE P (id INTEGER PRIMARY KEY)"));
    base->Ejecutar(
        QStringLiteral("CREATE TABLE H (id INTEGER PRIMARY KEY, p INTEGER REFERENCES P (id), "
                       "cant INTEGER CONSTRAINT CK_H_CANT CHECK (cant > 0))"));
    auto fallo = [&](const char* sql) -> kv::local::ErrorServidor {
        const int rc = sqlite3_exec(base->db(), sql, nullptr, nullptr, nullptr);
        EXPECT_NE(rc, SQLITE_OK) << sql;
        return kv::local::ErrorDeSqlite(*base, sqlite3_extended_errcode(base->db()),
                                        {QStringLiteral("INSERT"), QStringLiteral("H")});
    };
    const auto ck = fallo("INSERT INTO H (id, cant) VALUES (1, -1)");
    EXPECT_EQ(ck.numero(), 547);
    EXPECT_EQ(ck.mensaje().toStdString(),
              "Instrucción INSERT en conflicto con la restricción CHECK \"CK_H_CANT\". El conflicto ha "
              "aparecido en "
              "la base de datos \"RESTR\", tabla \"dbo.H\".");
    EXPECT_EQ(ck.estadoSQL(), QStringLiteral("23000"));
    const auto fk = fallo("INSERT INTO H (id, p) VALUES (2, 99)");
    EXPECT_EQ(fk.numero(), 547);
    EXPECT_TRUE(fk.mensaje().startsWith(
        QStringLiteral("Instrucción INSERT en conflicto con la restricción FOREIGN KEY")))
        << fk.mensaje().toStdString();
    EXPECT_EQ(fk.estadoSQL(), QStringLiteral("23000"));
}

// A failure the front end has no cause for keeps the engine's own words inside
// a general message, never an empty syntax error.
TEST_F(BarridoErroresTest, FalloSinCausaConocidaConservaElTextoDelMotor) {
    auto base = kv::local::BaseSqlite::Abrir(carpetas_.raiz() + QStringLiteral("suelta.db"),
                                             QStringLiteral("SUELTA"), true);
    try {
        base->Ejecutar(QStringLiteral("SELECT json('{')"));
        ADD_FAILURE() << "sin error";
    } catch (const kv::local::ErrorServidor& e) {
        EXPECT_EQ(e.numero(), 50000);
        EXPECT_EQ(e.mensaje(),
                  QStringLiteral("Error interno del servidor al ejecutar la instrucción: malformed "
                                 "JSON. La instrucción se ha terminado."));
    }
}

}  // namespace
}  // namespace kv::pruebas

// An updatable recordset writes exactly the row it stands on: by the primary key
// when it has one, else by every column; any other count writes nothing.

#include "ServidorPrueba.h"

namespace kv::pruebas {
namespace {

namespace ado = kv::db::ado;
namespace adoerr = kv::db::adoerr;

class FilaUnicaTest : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        auto admin = Conectar();
        Lote(*admin, QStringLiteral("CREATE DATABASE FILAS"));
        c_ = Conectar(QStringLiteral("FILAS"));
    }

    // The rows of a table as "a|b|c" texts, in the order asked.
    QStringList Contenido(const QString& sql) {
        QStringList filas;
        for (const auto& f : Filas(*c_, sql)) {
            QStringList campos;
            for (const QVariant& v : f) campos << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            filas << campos.join(u'|');
        }
        return filas;
    }

    std::unique_ptr<kv::db::Conexion> c_;
};

// Every column is a long text: the row is still found, and only it changes.
TEST_F(FilaUnicaTest, TablaDeTextosLargosCambiaUnaSolaFila) {
    Lote(*c_, QStringLiteral("CREATE TABLE NOTAS (A ntext NULL, B ntext NULL)"));
    Lote(*c_, QStringLiteral("INSERT INTO NOTAS VALUES ('uno', 'x') INSERT INTO NOTAS VALUES ('dos', 'x') "
                             "INSERT INTO NOTAS VALUES ('tres', NULL)"));
    kv::db::Recordset rs;
    rs.Open(QStringLiteral("SELECT A, B FROM NOTAS ORDER BY A"), c_.get(), ado::Dinamico, ado::Optimista);
    rs.MoveNext();  // "tres"
    rs.Asignar(QStringLiteral("B"), QStringLiteral("cambiada"));
    rs.Update();
    EXPECT_EQ(Contenido(QStringLiteral("SELECT A, B FROM NOTAS ORDER BY A")),
              (QStringList{"dos|x", "tres|cambiada", "uno|x"}));
    rs.MoveFirst();  // "dos"
    rs.Delete();
    EXPECT_EQ(Contenido(QStringLiteral("SELECT A, B FROM NOTAS ORDER BY A")),
              (QStringList{"tres|cambiada", "uno|x"}));
}

// Two identical rows cannot be told apart: nothing is written and the error says why.
TEST_F(FilaUnicaTest, FilasRepetidasNoSeTocan) {
    Lote(*c_, QStringLiteral("CREATE TABLE REPETIDAS (X int NULL, Y nvarchar(10) NULL)"));
    Lote(*c_, QStringLiteral("INSERT INTO REPETIDAS VALUES (1, 'a') INSERT INTO REPETIDAS VALUES (1, 'a') "
                             "INSERT INTO REPETIDAS VALUES (2, 'b')"));
    kv::db::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM REPETIDAS"), c_.get(), ado::Dinamico, ado::Optimista);
    rs.Asignar(QStringLiteral("Y"), QStringLiteral("z"));
    try {
        rs.Update();
        FAIL() << "escribió dos filas";
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::FalloNoEspecificado);
        EXPECT_EQ(
            e.error().descripcion,
            QStringLiteral("La información de la columna clave es insuficiente o incorrecta: la operación "
                           "afectaría a 2 filas de la tabla REPETIDAS y no se cambió ninguna."));
    }
    rs.CancelUpdate();
    EXPECT_THROW(rs.Delete(), kv::KvExcepcion);
    EXPECT_EQ(Contenido(QStringLiteral("SELECT X, Y FROM REPETIDAS ORDER BY X")),
              (QStringList{"1|a", "1|a", "2|b"}));
    EXPECT_EQ(c_->EnTransaccion(), false);
}

// The key is not in the SELECT: the rows found by the other columns are two.
TEST_F(FilaUnicaTest, ClaveNoSeleccionadaNoCambiaDeMas) {
    Lote(*c_, QStringLiteral("CREATE TABLE CONCLAVE (K int NOT NULL PRIMARY KEY, V nvarchar(10) NULL)"));
    Lote(*c_,
         QStringLiteral("INSERT INTO CONCLAVE VALUES (1, 'igual') INSERT INTO CONCLAVE VALUES (2, 'igual')"));
    kv::db::Recordset rs;
    rs.Open(QStringLiteral("SELECT V FROM CONCLAVE"), c_.get(), ado::Dinamico, ado::Optimista);
    rs.Asignar(QStringLiteral("V"), QStringLiteral("otro"));
    EXPECT_THROW(rs.Update(), kv::KvExcepcion);
    EXPECT_EQ(Contenido(QStringLiteral("SELECT K, V FROM CONCLAVE ORDER BY K")),
              (QStringList{"1|igual", "2|igual"}));
    // With the key selected the row is found by it alone.
    kv::db::Recordset conClave;
    conClave.Open(QStringLiteral("SELECT K, V FROM CONCLAVE ORDER BY K"), c_.get(), ado::Dinamico,
                  ado::Optimista);
    conClave.MoveNext();
    conClave.Asignar(QStringLiteral("V"), QStringLiteral("otro"));
    conClave.Update();
    EXPECT_EQ(Contenido(QStringLiteral("SELECT K, V FROM CONCLAVE ORDER BY K")),
              (QStringList{"1|igual", "2|otro"}));
}

// A row that is gone is not found: error, nothing written.
TEST_F(FilaUnicaTest, FilaDesaparecida) {
    Lote(*c_, QStringLiteral("CREATE TABLE PASAJERA (K int NOT NULL PRIMARY KEY, V nvarchar(10) NULL)"));
    Lote(*c_, QStringLiteral("INSERT INTO PASAJERA VALUES (1, 'a')"));
    kv::db::Recordset rs;
    rs.Open(QStringLiteral("SELECT K, V FROM PASAJERA"), c_.get(), ado::Dinamico, ado::Optimista);
    Lote(*c_, QStringLiteral("DELETE FROM PASAJERA"));
    rs.Asignar(QStringLiteral("V"), QStringLiteral("b"));
    try {
        rs.Update();
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::FilaNoEncontrada);
    }
}

// A table whose name has a blank is written through its bracketed name.
TEST_F(FilaUnicaTest, NombreConBlanco) {
    Lote(*c_, QStringLiteral("CREATE TABLE [Tabla Rara] (K int NOT NULL PRIMARY KEY, V nvarchar(10) NULL)"));
    Lote(*c_, QStringLiteral("INSERT INTO [Tabla Rara] VALUES (1, 'a')"));
    kv::db::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM [Tabla Rara]"), c_.get(), ado::Dinamico, ado::Optimista);
    rs.Asignar(QStringLiteral("V"), QStringLiteral("b"));
    rs.Update();
    rs.AddNew();
    rs.Asignar(QStringLiteral("K"), 2);
    rs.Asignar(QStringLiteral("V"), QStringLiteral("c"));
    rs.Update();
    EXPECT_EQ(Contenido(QStringLiteral("SELECT K, V FROM [Tabla Rara] ORDER BY K")),
              (QStringList{"1|b", "2|c"}));
}

}  // namespace
}  // namespace kv::pruebas

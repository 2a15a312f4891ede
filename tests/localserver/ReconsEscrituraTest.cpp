// The rebuild's quick writer against the plain one: the same sale lines
// rebuilt into two statistic tables of the server's own shape (length CHECKs
// and the normalization triggers), one with each writer, must leave the two
// tables byte for byte alike, rowids included. The cases where the quick
// writer must step aside (a trigger or CHECK of someone else, a value the
// table would change) are checked to take the plain path and keep its effects.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QString>
#include <QStringList>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "SqlitePrueba.h"
#include "localserver/ErrorServidor.h"
#include "localserver/Esquema.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "localserver/tsql/Funciones.h"

using namespace kv::local;

namespace {

using kv::pruebas::Ejecutar;

qint64 Entero(sqlite3* db, const QString& sql) {
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr), SQLITE_OK)
        << sql.toStdString();
    qint64 v = -1;
    if (sqlite3_step(s) == SQLITE_ROW) v = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return v;
}

// The statistic table as the server makes it from the viewer's CREATE TABLE.
QStringList SqlTablaEstadistica(const QString& tabla) {
    DefinicionTabla def;
    def.nombre = tabla;
    auto columna = [&](const char* nombre, const char* tipo, int longitud, bool nulos) {
        ColumnaDeclarada c;
        c.nombre = QLatin1String(nombre);
        c.tipo = QLatin1String(tipo);
        c.longitud = longitud;
        c.nulos = nulos;
        def.columnas.push_back(c);
    };
    columna("Base", "nvarchar", 50, false);
    columna("Fecha", "nvarchar", 7, false);
    columna("Grupo1", "nvarchar", 25, false);
    columna("Grupo2", "nvarchar", 25, false);
    columna("Grupo3", "nvarchar", 25, false);
    columna("Consumo", "float", 0, true);
    columna("ValorCosto", "money", 0, true);
    columna("ValorVenta", "money", 0, true);
    def.clavePrimaria = {QStringLiteral("Base"), QStringLiteral("Fecha"), QStringLiteral("Grupo1"),
                         QStringLiteral("Grupo2"), QStringLiteral("Grupo3")};
    return QStringList{SqlCrearTabla(def, tabla)} + SqlDisparadores(def);
}

// Every row of a table in rowid order, each value with its storage class and
// exact bytes (a double as its bit pattern).
std::vector<std::string> Volcado(sqlite3* db, const QString& tabla) {
    std::vector<std::string> filas;
    sqlite3_stmt* s = nullptr;
    const QByteArray sql = QStringLiteral("SELECT rowid, * FROM \"%1\" ORDER BY rowid").arg(tabla).toUtf8();
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr), SQLITE_OK);
    while (sqlite3_step(s) == SQLITE_ROW) {
        std::string f;
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
            switch (sqlite3_column_type(s, i)) {
                case SQLITE_INTEGER:
                    f += "i" + std::to_string(sqlite3_column_int64(s, i));
                    break;
                case SQLITE_FLOAT: {
                    const double d = sqlite3_column_double(s, i);
                    std::uint64_t bits = 0;
                    std::memcpy(&bits, &d, sizeof bits);
                    f += "r" + std::to_string(bits) + "(" + std::to_string(d) + ")";
                    break;
                }
                case SQLITE_TEXT:
                    f += "t'" +
                         std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                                     size_t(sqlite3_column_bytes(s, i))) +
                         "'";
                    break;
                default:
                    f += "NULL";
            }
            f += "|";
        }
        filas.push_back(f);
    }
    sqlite3_finalize(s);
    return filas;
}

int Disparadores(sqlite3* db) {
    int v = -1;
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, -1, &v);
    return v;
}

class ReconsEscritura : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &empresa), SQLITE_OK);
        ASSERT_EQ(sqlite3_open(":memory:", &almacen), SQLITE_OK);
        RegistrarFuncionesTSQL(empresa);
        RegistrarFuncionesTSQL(almacen);
        ActivarEscrituraRapida(true);
        Ejecutar(
            empresa,
            QStringLiteral(
                "CREATE TABLE MA_ARTICULOS (IdArticulo TEXT COLLATE KV NOT NULL PRIMARY KEY, IdFamilia TEXT "
                "COLLATE KV, IdRubro TEXT COLLATE KV);"
                "CREATE TABLE MV_STOCK (Id INTEGER PRIMARY KEY, Fecha TEXT, TipoMovimiento TEXT COLLATE KV, "
                "UNegocio TEXT COLLATE KV, IdArticulo TEXT COLLATE KV, IdVendedor TEXT COLLATE KV, Cuenta "
                "TEXT "
                "COLLATE KV, Cantidad REAL, CostoUnitario REAL, PrecioUnitario REAL);"
                "INSERT INTO MA_ARTICULOS VALUES ('A1', 'Fam', 'R1'), ('a2', 'fam ', 'R2'), ('A3', 'Fám', "
                "'R3'), ('A4', 'FAMILIA DE NOMBRE MUY LARGO QUE NO CABE', ''), ('A5', NULL, 'R5');"));
    }
    void TearDown() override {
        ActivarEscrituraRapida(true);
        sqlite3_close(empresa);
        sqlite3_close(almacen);
    }

    void Linea(const QVariant& fecha, const char* articulo, const QVariant& vendedor, const QVariant& cuenta,
               const QVariant& cantidad, const QVariant& costo, const QVariant& precio,
               const char* tipo = "VTA") {
        sqlite3_stmt* s = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(empresa,
                               "INSERT INTO MV_STOCK (Fecha, TipoMovimiento, IdArticulo, IdVendedor, Cuenta, "
                               "Cantidad, CostoUnitario, PrecioUnitario) VALUES (?,?,?,?,?,?,?,?)",
                               -1, &s, nullptr),
            SQLITE_OK);
        auto texto = [&](int i, const QVariant& v) {
            if (v.isNull()) {
                sqlite3_bind_null(s, i);
                return;
            }
            const QByteArray b = v.toString().toUtf8();
            sqlite3_bind_text(s, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        };
        auto numero = [&](int i, const QVariant& v) {
            v.isNull() ? sqlite3_bind_null(s, i) : sqlite3_bind_double(s, i, v.toDouble());
        };
        texto(1, fecha);
        sqlite3_bind_text(s, 2, tipo, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 3, articulo, -1, SQLITE_TRANSIENT);
        texto(4, vendedor);
        texto(5, cuenta);
        numero(6, cantidad);
        numero(7, costo);
        numero(8, precio);
        ASSERT_EQ(sqlite3_step(s), SQLITE_DONE);
        sqlite3_finalize(s);
    }

    // Sale lines with what groups hard: keys equal under the collation, keys
    // longer than a level holds, empty and missing keys, NULL quantities and
    // prices, months whose text sorts apart from their order.
    void LineasDificiles() {
        const QVariant nulo;
        Linea("2024-02-03 10:00:00", "A1", "a", "C1", -2, 10.5, 15.25);
        Linea("2024-02-04 10:00:00", "a1 ", "A ", "c1", -3, 11, 16);
        Linea("2024-02-05 10:00:00", "A1", QString::fromUtf8("á"), "C1", -1, 11, 16);
        Linea("2024-10-05 10:00:00", "A2", "b", "C2", -1, 1.23456, 2.00005);
        Linea("2024-10-06 10:00:00", "a2", "B", "C2", -7, 1.11111, 2.22222);
        Linea("2024-10-06 10:00:00", "A3", QString(30, QLatin1Char('x')) + QStringLiteral("-uno"), "C3", -1,
              3, 4);
        Linea("2024-10-06 10:00:00", "A3", QString(25, QLatin1Char('X')) + QStringLiteral("-dos"), "C3", -2,
              3, 4);
        Linea("2024-10-06 10:00:00", "A4", QString::fromUtf8("Ñandú Ñandú Ñandú Ñandú ÑandúÑ"), "", -1, 3, 4);
        Linea("2024-01-07 10:00:00", "A5", "", "   ", -1, nulo, 4);
        Linea("2024-01-07 10:00:00", "A5", nulo, nulo, nulo, 5, 6);
        Linea("2024-01-08 10:00:00", "A9", "v", "C9", -1, nulo, nulo);
        Linea("2024-01-08 10:00:00", "A9", "v", "C9", -1, 0.1, 0.7);
        Linea("2024-01-08 10:00:00", "A9", "w", "C9", 3, 0.1, 0.7, "CMP");  // not a sale
        Linea("05/11/2023", "A1", "z", "C1", -1, 2, 3);                     // day first
        Linea("2023-12-31 23:59:59", "A1", "z", "C1", -1, 2, 3);
        Linea(nulo, "A1", "z", "C1", -100, 2, 3);  // no month
        for (int i = 0; i < 300; ++i)
            Linea(QStringLiteral("2025-%1-01 00:00:00").arg(i % 12 + 1, 2, 10, QLatin1Char('0')),
                  i % 3 ? "A1" : "A3", QStringLiteral("V%1").arg(i % 17), QStringLiteral("c%1").arg(i % 23),
                  -(i % 7) - 0.125, 1.0 / (i + 3), 100.0 / (i + 7));
    }

    // Rebuilds `campos` into two fresh tables with the same earlier rows, one
    // with each writer, and returns what each call reported.
    std::pair<ResultadoReconstruccion, ResultadoReconstruccion> Ambos(
        const QString& campos, const QString& base, const QString& filasPrevias = QString()) {
        for (const QString& t : {rapida, general}) {
            for (const QString& sql : SqlTablaEstadistica(t)) Ejecutar(almacen, sql);
            if (!filasPrevias.isEmpty()) Ejecutar(almacen, filasPrevias.arg(t));
        }
        const DefinicionAgrupacion def = DefinicionAgrupacion::DesdeCampos(campos);
        ActivarEscrituraRapida(true);
        const ResultadoReconstruccion r1 = ReconstruirTabla(empresa, almacen, base, rapida, def);
        ActivarEscrituraRapida(false);
        const ResultadoReconstruccion r2 = ReconstruirTabla(empresa, almacen, base, general, def);
        ActivarEscrituraRapida(true);
        return {r1, r2};
    }

    void Iguales() {
        const auto a = Volcado(almacen, rapida);
        const auto b = Volcado(almacen, general);
        ASSERT_FALSE(a.empty());
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i], b[i]) << "fila " << i;
    }

    void Borrar() {
        for (const QString& t : {rapida, general})
            Ejecutar(almacen, QStringLiteral("DROP TABLE \"%1\"").arg(t));
    }

    sqlite3* empresa = nullptr;
    sqlite3* almacen = nullptr;
    const QString rapida = QStringLiteral("DET_ESTV0010");
    const QString general = QStringLiteral("DET_ESTV0011");
    const QString otrasEmpresas = QStringLiteral(
        "INSERT INTO \"%1\" VALUES ('SUR', '1/2024', 'x', ' ', ' ', 1, 2, 3), ('norte ', '2/2024', 'vieja', "
        "' ', "
        "' ', 1, 2, 3), ('AAA', '1/2024', 'x', ' ', ' ', NULL, NULL, NULL), ('NORTE', '3/2020', 'vieja', ' "
        "', ' ', "
        "4, 5, 6)");
};

TEST_F(ReconsEscritura, LaEscrituraRapidaDejaLaTablaIgualQueLaGeneral) {
    LineasDificiles();
    for (const QString& campos :
         {QStringLiteral("IdVendedor,IdArticulo,Cuenta"), QStringLiteral("IdFamilia,Fecha,' '"),
          QStringLiteral("Cuenta,IdRubro,IdVendedor"), QStringLiteral("' ',' ',' '")}) {
        SCOPED_TRACE(campos.toStdString());
        // The company alone in the table, rebuilt over its own earlier rows.
        auto [r1, r2] =
            Ambos(campos, QStringLiteral("NORTE"),
                  QStringLiteral("INSERT INTO \"%1\" VALUES ('NORTE', '3/2020', 'vieja', ' ', ' ', 4, 5, 6), "
                                 "('norte ', '4/2020', 'vieja', ' ', ' ', 4, 5, 6)"));
        Iguales();
        EXPECT_TRUE(r1.sinNormalizar);
        EXPECT_TRUE(r1.tablaVaciada);
        EXPECT_FALSE(r2.sinNormalizar);
        EXPECT_FALSE(r2.tablaVaciada);
        EXPECT_EQ(r1.filasBorradas, 2);
        EXPECT_EQ(r2.filasBorradas, 2);
        EXPECT_EQ(r1.filasInsertadas, r2.filasInsertadas);
        EXPECT_EQ(r1.lineasLeidas, r2.lineasLeidas);
        Borrar();

        // Among other companies: only its own rows go, the others stay where they were.
        std::tie(r1, r2) = Ambos(campos, QStringLiteral("NORTE"), otrasEmpresas);
        Iguales();
        EXPECT_TRUE(r1.sinNormalizar);
        EXPECT_FALSE(r1.tablaVaciada);
        EXPECT_EQ(r1.filasBorradas, 2);
        EXPECT_EQ(r2.filasBorradas, 2);
        EXPECT_EQ(
            Entero(almacen,
                   QStringLiteral("SELECT count(*) FROM \"%1\" WHERE Base IN ('SUR', 'AAA')").arg(rapida)),
            2);
        Borrar();
    }
}

TEST_F(ReconsEscritura, UnaTablaVaciaOSinLineasTambien) {
    auto [r1, r2] = Ambos(QStringLiteral("IdVendedor,' ',' '"), QStringLiteral("NORTE"), otrasEmpresas);
    EXPECT_EQ(r1.filasInsertadas, 0);
    EXPECT_EQ(r1.filasBorradas, 2);
    EXPECT_EQ(Volcado(almacen, rapida), Volcado(almacen, general));
    Borrar();
    LineasDificiles();
    std::tie(r1, r2) = Ambos(QStringLiteral("IdVendedor,' ',' '"), QStringLiteral("NORTE"));
    Iguales();
    EXPECT_EQ(r1.filasBorradas, 0);
}

// Values the table itself would change: the plain path writes them, so both
// tables get the table's own cut and rounding.
TEST_F(ReconsEscritura, ValoresQueLaTablaCambiariaVanPorElCaminoGeneral) {
    LineasDificiles();
    // A company name with blanks past the column's length: the trigger cuts them.
    const QString baseLarga = QString(50, QLatin1Char('N')) + QStringLiteral("  ");
    auto [r1, r2] = Ambos(QStringLiteral("IdVendedor,Cuenta,' '"), baseLarga);
    Iguales();
    EXPECT_FALSE(r1.sinNormalizar);
    EXPECT_EQ(Entero(almacen, QStringLiteral("SELECT max(length(Base)) FROM \"%1\"").arg(rapida)), 50);
    Borrar();

    // Money past the range where four decimals are known to read back unchanged.
    Linea("2024-06-01 00:00:00", "A1", "rico", "C1", -1e6, 123456.78905, 123456.78915);
    std::tie(r1, r2) = Ambos(QStringLiteral("IdVendedor,Cuenta,' '"), QStringLiteral("NORTE"));
    Iguales();
    EXPECT_FALSE(r1.sinNormalizar);
    EXPECT_TRUE(r1.tablaVaciada || r1.filasBorradas == 0);
}

TEST_F(ReconsEscritura, UnNombreDeEmpresaQueNoCabeFallaComoSiempre) {
    LineasDificiles();
    const QString baseLarga = QString(51, QLatin1Char('N'));
    for (const bool activa : {true, false}) {
        for (const QString& sql : SqlTablaEstadistica(rapida)) Ejecutar(almacen, sql);
        ActivarEscrituraRapida(activa);
        try {
            ReconstruirTabla(empresa, almacen, baseLarga, rapida,
                             DefinicionAgrupacion::DesdeCampos(QStringLiteral("IdVendedor,' ',' '")));
            ADD_FAILURE() << "sin error";
        } catch (const ErrorServidor& e) {
            EXPECT_EQ(e.numero(), 547);
            EXPECT_EQ(e.mensaje(),
                      QStringLiteral("La instrucción INSERT está en conflicto con la restricción CHECK "
                                     "de la tabla 'DET_ESTV0010'."));
        }
        EXPECT_EQ(Entero(almacen, QStringLiteral("SELECT count(*) FROM \"%1\"").arg(rapida)), 0);
        Ejecutar(almacen, QStringLiteral("DROP TABLE \"%1\"").arg(rapida));
    }
}

// Someone else's trigger or CHECK on the table keeps the plain path, and it still does its work.
TEST_F(ReconsEscritura, UnDisparadorOUnaRestriccionAjenaMantienenElCaminoGeneral) {
    LineasDificiles();
    Ejecutar(almacen, QStringLiteral("CREATE TABLE registro (grupo TEXT)"));
    const QString disparador = QStringLiteral(
        "CREATE TRIGGER \"%1_registro\" AFTER INSERT ON \"%1\" BEGIN INSERT INTO registro VALUES "
        "(NEW.Grupo1); END");
    for (const QString& t : {rapida, general}) {
        for (const QString& sql : SqlTablaEstadistica(t)) Ejecutar(almacen, sql);
        Ejecutar(almacen, disparador.arg(t));
    }
    const DefinicionAgrupacion def = DefinicionAgrupacion::DesdeCampos(QStringLiteral("IdVendedor,' ',' '"));
    ActivarEscrituraRapida(true);
    const ResultadoReconstruccion r1 =
        ReconstruirTabla(empresa, almacen, QStringLiteral("NORTE"), rapida, def);
    ActivarEscrituraRapida(false);
    ReconstruirTabla(empresa, almacen, QStringLiteral("NORTE"), general, def);
    Iguales();
    EXPECT_FALSE(r1.sinNormalizar);
    EXPECT_EQ(Entero(almacen, QStringLiteral("SELECT count(*) FROM registro")), 2 * r1.filasInsertadas);
    Borrar();

    // A temporary trigger on the table counts as well.
    ActivarEscrituraRapida(true);
    for (const QString& sql : SqlTablaEstadistica(rapida)) Ejecutar(almacen, sql);
    Ejecutar(almacen,
             QStringLiteral("CREATE TEMP TRIGGER t_registro AFTER INSERT ON main.\"%1\" BEGIN INSERT INTO "
                            "registro VALUES ('temp'); END")
                 .arg(rapida));
    const ResultadoReconstruccion r3 =
        ReconstruirTabla(empresa, almacen, QStringLiteral("NORTE"), rapida, def);
    EXPECT_FALSE(r3.sinNormalizar);
    EXPECT_EQ(Entero(almacen, QStringLiteral("SELECT count(*) FROM registro WHERE grupo = 'temp'")),
              r3.filasInsertadas);
    Ejecutar(almacen, QStringLiteral("DROP TRIGGER t_registro; DROP TABLE \"%1\"").arg(rapida));

    // An extra CHECK that one of the groups breaks fails as it always did.
    QStringList sql = SqlTablaEstadistica(rapida);
    sql[0].replace(QStringLiteral(") STRICT"),
                   QStringLiteral(", CONSTRAINT \"menos_de_cien\" CHECK (Consumo > -100)) STRICT"));
    for (const QString& s : sql) Ejecutar(almacen, s);
    Linea("2024-06-01 00:00:00", "A1", "mucho", "C1", -500, 1, 1);
    try {
        ReconstruirTabla(empresa, almacen, QStringLiteral("NORTE"), rapida, def);
        ADD_FAILURE() << "sin error";
    } catch (const ErrorServidor& e) {
        EXPECT_EQ(e.numero(), 547);
    }
    EXPECT_EQ(Disparadores(almacen), 1);
}

// A rebuild that fails while the table's normalization is off leaves the
// handle's settings as they were, and the table untouched.
TEST_F(ReconsEscritura, UnFalloDejaLosAjustesDeLaConexionComoEstaban) {
    LineasDificiles();
    for (const QString& sql : SqlTablaEstadistica(rapida)) Ejecutar(almacen, sql);
    const DefinicionAgrupacion def =
        DefinicionAgrupacion::DesdeCampos(QStringLiteral("IdVendedor,Cuenta,' '"));
    // The same rebuild goes through the quick writer when nothing fails.
    EXPECT_TRUE(ReconstruirTabla(empresa, almacen, QStringLiteral("NORTE"), rapida, def).sinNormalizar);
    Ejecutar(almacen,
             QStringLiteral("DELETE FROM \"%1\"; INSERT INTO \"%1\" VALUES ('NORTE', '3/2020', 'vieja', ' ', "
                            "' ', 4, 5, 6)")
                 .arg(rapida));
    // Two groups with the same quantity break this index while the rows go in.
    Ejecutar(almacen, QStringLiteral("CREATE UNIQUE INDEX consumo_unico ON \"%1\" (Consumo)").arg(rapida));
    const qint64 cache = Entero(almacen, QStringLiteral("PRAGMA cache_size"));
    const qint64 mapa = Entero(almacen, QStringLiteral("PRAGMA mmap_size"));
    const qint64 mapaEmpresa = Entero(empresa, QStringLiteral("PRAGMA mmap_size"));
    for (const int chequeosAntes : {0, 1}) {
        Ejecutar(almacen, QStringLiteral("PRAGMA ignore_check_constraints = %1").arg(chequeosAntes));
        try {
            ReconstruirTabla(empresa, almacen, QStringLiteral("NORTE"), rapida, def);
            ADD_FAILURE() << "sin error";
        } catch (const ErrorServidor& e) {
            EXPECT_EQ(e.numero(), 2627);
        }
        EXPECT_EQ(Disparadores(almacen), 1);
        EXPECT_EQ(Entero(almacen, QStringLiteral("PRAGMA ignore_check_constraints")), chequeosAntes);
        EXPECT_EQ(Volcado(almacen, rapida).size(), 1u);
        EXPECT_EQ(sqlite3_get_autocommit(almacen), 1);
        EXPECT_EQ(Entero(almacen, QStringLiteral("PRAGMA cache_size")), cache);
        EXPECT_EQ(Entero(almacen, QStringLiteral("PRAGMA mmap_size")), mapa);
        EXPECT_EQ(Entero(empresa, QStringLiteral("PRAGMA mmap_size")), mapaEmpresa);
    }
    // Inside a caller's transaction the failed rebuild takes back only its own
    // rows, half a batch included: the caller's earlier change stays.
    Ejecutar(almacen, QStringLiteral("BEGIN; CREATE TABLE propia (x); INSERT INTO propia VALUES (1)"));
    EXPECT_THROW(ReconstruirTabla(empresa, almacen, QStringLiteral("NORTE"), rapida, def), ErrorServidor);
    EXPECT_EQ(sqlite3_get_autocommit(almacen), 0);
    Ejecutar(almacen, QStringLiteral("COMMIT"));
    EXPECT_EQ(Entero(almacen, QStringLiteral("SELECT count(*) FROM propia")), 1);
    EXPECT_EQ(Volcado(almacen, rapida).size(), 1u);
    Ejecutar(almacen, QStringLiteral("PRAGMA ignore_check_constraints = 0"));
    // The triggers work again afterwards: blanks past the length are cut and money rounded as always.
    Ejecutar(almacen,
             QStringLiteral("INSERT INTO \"%1\" VALUES ('NORTE', '1/2000', '%2', ' ', ' ', 1, 1.23456, 1)")
                 .arg(rapida, QString(25, QLatin1Char('g')) + QStringLiteral("     ")));
    EXPECT_EQ(Entero(almacen,
                     QStringLiteral("SELECT length(Grupo1) FROM \"%1\" WHERE Fecha = '1/2000'").arg(rapida)),
              25);
    EXPECT_EQ(
        Entero(almacen,
               QStringLiteral("SELECT ValorCosto * 10000 FROM \"%1\" WHERE Fecha = '1/2000'").arg(rapida)),
        12346);
}

// The fixed point the quick writer relies on: money rounded to four decimals
// is given back unchanged by the table's own round(v, 4).
TEST(ReconsEscrituraDinero, ElRedondeoDelMotorNoCambiaElDineroYaRedondeado) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT round(?1, 4) = ?1", -1, &s, nullptr), SQLITE_OK);
    std::uint64_t x = 88172645463325252ull;
    int distintos = 0;
    for (int i = 0; i < 200000; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        // Four-decimal amounts from cents to just under a hundred thousand million.
        const int escala = i % 12;
        std::int64_t k = std::int64_t(x % 1000000000000000ull);
        for (int e = 0; e < escala; ++e) k /= 10;
        if (i & 1) k = -k;
        const double v = double(k) / 10000.0;
        if (!(std::fabs(v) < 1e11)) continue;
        sqlite3_bind_double(s, 1, v);
        ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
        if (sqlite3_column_int(s, 0) != 1) ++distintos;
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    EXPECT_EQ(distintos, 0);
}

}  // namespace

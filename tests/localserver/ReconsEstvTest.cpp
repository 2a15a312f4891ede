// KV_RECONS_ESTV on small hand-made sale lines: the procedure runs against a
// context of its own whose databases are plain SQLite files with the server's
// collation and functions, so every sum can be checked by hand.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "SqlitePrueba.h"
#include "localserver/ErrorServidor.h"
#include "localserver/Procedimientos.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "localserver/tsql/Funciones.h"
#include "soporte/CarpetasTemporales.h"

using namespace kv::local;

namespace {

using kv::pruebas::Ejecutar;

// A context with a company database, a second company and the store, as files
// in a temporary folder.
class ContextoPrueba : public ContextoProcedimiento {
  public:
    explicit ContextoPrueba(const QString& carpeta) : carpeta_(carpeta) {}
    ~ContextoPrueba() override {
        for (sqlite3* db : bases_) sqlite3_close(db);
    }
    QString BaseActual() const override { return actual; }
    QString Login() const override { return QStringLiteral("Korvane"); }
    bool ExisteBase(const QString& nombre) const override { return bases_.contains(nombre.toUpper()); }
    sqlite3* Base(const QString& nombre) override {
        auto it = bases_.find(nombre.toUpper());
        if (it == bases_.end())
            throw ErrorServidor(4060,
                                QStringLiteral("No se puede abrir la base de datos \"%1\".").arg(nombre));
        return it.value();
    }
    void DevolverFilas(const std::vector<kv::db::ColumnaResultado>&,
                       std::vector<std::vector<QVariant>>) override {}
    void DevolverAfectadas(qint64 filas) override { afectadas.push_back(filas); }
    void DevolverError(const ErrorServidor& error) override { errores.push_back(error.numero()); }
    bool TiempoAgotado() const override { return agotado; }

    sqlite3* Crear(const QString& nombre) {
        sqlite3* db = nullptr;
        const QString ruta = carpeta_ + nombre.toUpper() + QStringLiteral(".db");
        EXPECT_EQ(sqlite3_open(ruta.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
        RegistrarFuncionesTSQL(db);
        bases_.insert(nombre.toUpper(), db);
        return db;
    }

    QString actual = QStringLiteral("NORTE");
    std::vector<qint64> afectadas;
    std::vector<int> errores;
    bool agotado = false;

  private:
    QString carpeta_;
    QMap<QString, sqlite3*> bases_;
};

const char* kEsquemaEmpresa =
    "CREATE TABLE MA_ARTICULOS (IdArticulo TEXT COLLATE KV NOT NULL PRIMARY KEY, Descripcion TEXT COLLATE KV,"
    " CodigoBarra TEXT COLLATE KV, CodigoBarraDUN TEXT COLLATE KV, IdRubro TEXT COLLATE KV, IdTipo TEXT "
    "COLLATE KV,"
    " IdFamilia TEXT COLLATE KV, IdCategoria TEXT COLLATE KV, CodigoArtProveedor TEXT COLLATE KV,"
    " CuentaProveedor TEXT COLLATE KV);"
    "CREATE TABLE MV_STOCK (Id INTEGER PRIMARY KEY, Fecha TEXT NOT NULL, TipoMovimiento TEXT COLLATE KV NOT "
    "NULL,"
    " UNegocio TEXT COLLATE KV, IdArticulo TEXT COLLATE KV NOT NULL, IdVendedor TEXT COLLATE KV,"
    " Cuenta TEXT COLLATE KV, Cantidad REAL NOT NULL DEFAULT 0, CostoUnitario REAL, PrecioUnitario REAL);";

QString EsquemaTablaEstadistica(const QString& tabla) {
    return QStringLiteral(
               "CREATE TABLE %1 (Base TEXT COLLATE KV NOT NULL, Fecha TEXT COLLATE KV NOT NULL, Grupo1 TEXT "
               "COLLATE KV "
               "NOT NULL, Grupo2 TEXT COLLATE KV NOT NULL, Grupo3 TEXT COLLATE KV NOT NULL, Consumo REAL, "
               "ValorCosto "
               "REAL, ValorVenta REAL, PRIMARY KEY (Base, Fecha, Grupo1, Grupo2, Grupo3));")
        .arg(tabla);
}

struct Fila {
    QString base, fecha, g1, g2, g3;
    double consumo, costo, venta;
};

class ReconsEstv : public ::testing::Test {
  protected:
    void SetUp() override {
        contexto = std::make_unique<ContextoPrueba>(carpetas.datos());
        norte = contexto->Crear(QStringLiteral("NORTE"));
        sur = contexto->Crear(QStringLiteral("SUR"));
        almacen = contexto->Crear(QStringLiteral("KV_ESTADISTICAS"));
        Ejecutar(norte, QString::fromLatin1(kEsquemaEmpresa));
        Ejecutar(sur, QString::fromLatin1(kEsquemaEmpresa));
        Ejecutar(almacen,
                 QStringLiteral("CREATE TABLE CAB_ESTV (Codigo INTEGER PRIMARY KEY, Nombre TEXT COLLATE KV, "
                                "Tabla TEXT COLLATE KV, Campos TEXT COLLATE KV, Orden TEXT, Totalizadores "
                                "TEXT, [TOP] INTEGER, TopOtros TEXT);"));
        Articulo(norte, "A1", "F01", "R1", "EAN1");
        Articulo(norte, "A2", "F01", "R2", "EAN2");
        Articulo(norte, "A3", "F02", "R2", "EAN3");
    }

    void Articulo(sqlite3* db, const char* id, const char* familia, const char* rubro, const char* ean) {
        Ejecutar(
            db,
            QStringLiteral("INSERT INTO MA_ARTICULOS (IdArticulo, Descripcion, IdFamilia, IdRubro, "
                           "CodigoBarra, CuentaProveedor) VALUES ('%1', 'Artículo %1', '%2', '%3', '%4', "
                           "'P1')")
                .arg(QLatin1String(id), QLatin1String(familia), QLatin1String(rubro), QLatin1String(ean)));
    }

    void Linea(sqlite3* db, const char* fecha, const char* tipo, const char* articulo, double cantidad,
               double costo, double precio, const char* vendedor = "V1", const char* cuenta = "C1",
               const char* unidad = "0001") {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(
            db,
            "INSERT INTO MV_STOCK (Fecha, TipoMovimiento, UNegocio, IdArticulo, IdVendedor, Cuenta, "
            "Cantidad, CostoUnitario, PrecioUnitario) VALUES (?,?,?,?,?,?,?,?,?)",
            -1, &s, nullptr);
        sqlite3_bind_text(s, 1, fecha, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 2, tipo, -1, SQLITE_TRANSIENT);
        unidad ? sqlite3_bind_text(s, 3, unidad, -1, SQLITE_TRANSIENT) : sqlite3_bind_null(s, 3);
        sqlite3_bind_text(s, 4, articulo, -1, SQLITE_TRANSIENT);
        vendedor ? sqlite3_bind_text(s, 5, vendedor, -1, SQLITE_TRANSIENT) : sqlite3_bind_null(s, 5);
        cuenta ? sqlite3_bind_text(s, 6, cuenta, -1, SQLITE_TRANSIENT) : sqlite3_bind_null(s, 6);
        sqlite3_bind_double(s, 7, cantidad);
        sqlite3_bind_double(s, 8, costo);
        sqlite3_bind_double(s, 9, precio);
        ASSERT_EQ(sqlite3_step(s), SQLITE_DONE);
        sqlite3_finalize(s);
    }

    void Definir(const QString& tabla, const QString& campos) {
        Ejecutar(almacen, EsquemaTablaEstadistica(tabla));
        Ejecutar(almacen,
                 QStringLiteral("INSERT INTO CAB_ESTV (Nombre, Tabla, Campos) VALUES ('%1', '%1', '%2')")
                     .arg(tabla, QString(campos).replace(QLatin1String("'"), QLatin1String("''"))));
    }

    void Llamar(const QString& accion, const QString& tabla) {
        std::vector<Argumento> argumentos{{QString(), accion}, {QString(), tabla}};
        EjecutarReconsEstv(*contexto, argumentos);
    }

    // Rows of a statistic table, keyed by (Base, Fecha, Grupo1, Grupo2, Grupo3).
    std::map<std::tuple<QString, QString, QString, QString, QString>, Fila> Filas(const QString& tabla) {
        std::map<std::tuple<QString, QString, QString, QString, QString>, Fila> r;
        sqlite3_stmt* s = nullptr;
        const QByteArray sql = QStringLiteral(
                                   "SELECT Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, "
                                   "ValorVenta FROM %1")
                                   .arg(tabla)
                                   .toUtf8();
        EXPECT_EQ(sqlite3_prepare_v2(almacen, sql.constData(), -1, &s, nullptr), SQLITE_OK);
        while (sqlite3_step(s) == SQLITE_ROW) {
            auto t = [&](int i) {
                return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
            };
            Fila f{t(0),
                   t(1),
                   t(2),
                   t(3),
                   t(4),
                   sqlite3_column_double(s, 5),
                   sqlite3_column_double(s, 6),
                   sqlite3_column_double(s, 7)};
            r[{f.base, f.fecha, f.g1, f.g2, f.g3}] = f;
        }
        sqlite3_finalize(s);
        return r;
    }

    kv::pruebas::CarpetasTemporales carpetas;
    std::unique_ptr<ContextoPrueba> contexto;
    sqlite3* norte = nullptr;
    sqlite3* sur = nullptr;
    sqlite3* almacen = nullptr;
};

using Clave = std::tuple<QString, QString, QString, QString, QString>;
const QString B = QStringLiteral(" ");

TEST_F(ReconsEstv, SumaCantidadesYValoresPorMesConElSignoDelStock) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A1", -2, 10, 15);
    Linea(norte, "2024-03-28 18:30:00", "VTA", "A1", -3, 11, 16);
    Linea(norte, "2024-03-30 09:00:00", "VTA", "A1", 1, 11, 16);  // a return
    Linea(norte, "2024-04-01 00:00:00", "VTA", "A1", -1, 12, 20);
    Linea(norte, "2024-12-31 23:59:59", "VTA", "A2", -4, 2.5, 3.125);
    Llamar(QString(), QStringLiteral("DET_ESTV0000"));

    const auto filas = Filas(QStringLiteral("DET_ESTV0000"));
    ASSERT_EQ(filas.size(), 3u);
    const Fila& marzo = filas.at(Clave{"NORTE", "3/2024", "A1", B, B});
    EXPECT_DOUBLE_EQ(marzo.consumo, -4);
    EXPECT_DOUBLE_EQ(marzo.costo, -2 * 10 - 3 * 11 + 11);
    EXPECT_DOUBLE_EQ(marzo.venta, -2 * 15 - 3 * 16 + 16);
    const Fila& abril = filas.at(Clave{"NORTE", "4/2024", "A1", B, B});
    EXPECT_DOUBLE_EQ(abril.consumo, -1);
    EXPECT_DOUBLE_EQ(abril.venta, -20);
    const Fila& diciembre = filas.at(Clave{"NORTE", "12/2024", "A2", B, B});
    EXPECT_DOUBLE_EQ(diciembre.costo, -10);
    EXPECT_DOUBLE_EQ(diciembre.venta, -12.5);
    EXPECT_EQ(contexto->afectadas, std::vector<qint64>{3});
}

TEST_F(ReconsEstv, DineroRedondeadoACuatroDecimales) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A1", -0.333, 1.2345, 2.00005);
    Llamar(QString(), QStringLiteral("DET_ESTV0000"));
    const Fila& f = Filas(QStringLiteral("DET_ESTV0000")).at(Clave{"NORTE", "3/2024", "A1", B, B});
    EXPECT_DOUBLE_EQ(f.consumo, -0.333);
    EXPECT_DOUBLE_EQ(f.costo, -0.4111);  // -0.4110885
    EXPECT_DOUBLE_EQ(f.venta, -0.6660);  // -0.66601665
}

TEST_F(ReconsEstv, ClavesDeLaLineaYDelArticuloYFechaComoClave) {
    Definir(QStringLiteral("DET_ESTV0001"), QStringLiteral("IdFamilia,Cuenta,Fecha"));
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A1", -1, 1, 2, "V1", "C1");
    Linea(norte, "2024-03-06 10:00:00", "VTA", "A2", -1, 1, 2, "V2", "C1");  // same family F01
    Linea(norte, "2024-03-07 10:00:00", "VTA", "A3", -1, 1, 2, "V1", "C1");
    Linea(norte, "2024-03-07 10:00:00", "VTA", "A3", -5, 1, 2, "V1", "C2");
    Llamar(QString(), QStringLiteral("DET_ESTV0001"));
    const auto filas = Filas(QStringLiteral("DET_ESTV0001"));
    ASSERT_EQ(filas.size(), 3u);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "3/2024", "F01", "C1", "3/2024"}).consumo, -2);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "3/2024", "F02", "C1", "3/2024"}).consumo, -1);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "3/2024", "F02", "C2", "3/2024"}).consumo, -5);
}

TEST_F(ReconsEstv, UnBlancoParaLoQueFaltaYParaNivelesSinCampo) {
    Definir(QStringLiteral("DET_ESTV0002"), QStringLiteral("IdRubro,IdVendedor,' '"));
    Linea(norte, "2024-05-01 10:00:00", "VTA", "A1", -1, 1, 2, nullptr);  // no seller
    Linea(norte, "2024-05-01 10:00:00", "VTA", "A1", -2, 1, 2, "");       // empty seller
    Linea(norte, "2024-05-01 10:00:00", "VTA", "A1", -4, 1, 2, "   ");    // only blanks
    Linea(norte, "2024-05-01 10:00:00", "VTA", "ZZ9", -8, 1, 2, "V1");    // article not in MA_ARTICULOS
    Llamar(QString(), QStringLiteral("DET_ESTV0002"));
    const auto filas = Filas(QStringLiteral("DET_ESTV0002"));
    ASSERT_EQ(filas.size(), 2u);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "5/2024", "R1", B, B}).consumo, -7);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "5/2024", B, "V1", B}).consumo, -8);
}

TEST_F(ReconsEstv, ValoresLargosCortadosA25AntesDeAgrupar) {
    Definir(QStringLiteral("DET_ESTV0003"), QStringLiteral("Cuenta,' ',' '"));
    const QByteArray largo1 = QByteArray(25, 'X') + "-UNO";
    const QByteArray largo2 = QByteArray(25, 'x') + "-DOS";
    Linea(norte, "2024-05-01 10:00:00", "VTA", "A1", -1, 1, 2, "V1", largo1.constData());
    Linea(norte, "2024-05-01 10:00:00", "VTA", "A1", -2, 1, 2, "V1", largo2.constData());
    Linea(norte, "2024-05-01 10:00:00", "VTA", "A1", -4, 1, 2, "V1", "Ñandú Ñandú Ñandú Ñandú ÑandúÑ");
    Llamar(QString(), QStringLiteral("DET_ESTV0003"));
    const auto filas = Filas(QStringLiteral("DET_ESTV0003"));
    ASSERT_EQ(filas.size(), 2u);
    bool vistoX = false, vistoN = false;
    for (const auto& [clave, fila] : filas) {
        EXPECT_LE(fila.g1.size(), 25);
        if (fila.g1.compare(QString(25, QLatin1Char('X')), Qt::CaseInsensitive) == 0) {
            vistoX = true;
            EXPECT_DOUBLE_EQ(fila.consumo, -3);
        }
        if (fila.g1 == QStringLiteral("Ñandú Ñandú Ñandú Ñandú Ñ")) {
            vistoN = true;
            EXPECT_DOUBLE_EQ(fila.consumo, -4);
        }
    }
    EXPECT_TRUE(vistoX);
    EXPECT_TRUE(vistoN);
}

TEST_F(ReconsEstv, ValoresIgualesSegunLaIntercalacionVanAUnaFila) {
    Definir(QStringLiteral("DET_ESTV0004"), QStringLiteral("IdVendedor,IdArticulo,' '"));
    Linea(norte, "2024-05-01 10:00:00", "VTA", "A1", -1, 1, 2, "ABC");
    Linea(norte, "2024-05-02 10:00:00", "VTA", "a1", -2, 1, 2, "abc ");
    Linea(norte, "2024-05-03 10:00:00", "VTA", "A1 ", -4, 1, 2, "Abc");
    Linea(norte, "2024-05-03 10:00:00", "VTA", "A1", -8, 1, 2, "ÁBC");  // accents count
    Llamar(QString(), QStringLiteral("DET_ESTV0004"));
    const auto filas = Filas(QStringLiteral("DET_ESTV0004"));
    ASSERT_EQ(filas.size(), 2u);
    double abc = 0, acentuado = 0;
    for (const auto& [clave, fila] : filas) {
        if (PlegarClave(fila.g1) == QStringLiteral("abc")) abc = fila.consumo;
        if (fila.g1 == QStringLiteral("ÁBC")) acentuado = fila.consumo;
        EXPECT_EQ(PlegarClave(fila.g2), QStringLiteral("a1"));
    }
    EXPECT_DOUBLE_EQ(abc, -7);
    EXPECT_DOUBLE_EQ(acentuado, -8);
}

// Many groups, and raw texts that repeat line after line, literally or only
// under the collation: each group keeps its first spelling and sums every line
// that belongs to it.
TEST_F(ReconsEstv, MuchosGruposConTextosRepetidosSeguidosOSoloIgualesSegunLaIntercalacion) {
    Definir(QStringLiteral("DET_ESTV0009"), QStringLiteral("IdArticulo,IdVendedor,' '"));
    constexpr int kArticulos = 140000;
    Ejecutar(norte, QStringLiteral("BEGIN"));
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(norte,
                                 "INSERT INTO MV_STOCK (Fecha, TipoMovimiento, IdArticulo, IdVendedor, Cantidad, "
                                 "CostoUnitario, PrecioUnitario) VALUES ('2024-05-01 10:00:00', 'VTA', ?, ?, ?, "
                                 "1, 2)",
                                 -1, &s, nullptr),
              SQLITE_OK);
    auto linea = [&](const std::string& articulo, const std::string& vendedor, double cantidad) {
        sqlite3_bind_text(s, 1, articulo.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 2, vendedor.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(s, 3, cantidad);
        ASSERT_EQ(sqlite3_step(s), SQLITE_DONE);
        sqlite3_reset(s);
    };
    char texto[32];
    for (int i = 0; i < kArticulos; ++i) {
        std::snprintf(texto, sizeof texto, "X%06d", i);
        const std::string articulo = texto, vendedor = "V" + std::to_string(i % 3);
        linea(articulo, vendedor, -1);
        if (i % 7 == 0) {
            std::snprintf(texto, sizeof texto, "x%06d ", i);  // the same article under the collation
            linea(texto, "v" + std::to_string(i % 3), -2);
        }
        if (i % 11 == 0) linea(articulo, vendedor, -4);  // the same text again
    }
    sqlite3_finalize(s);
    Ejecutar(norte, QStringLiteral("COMMIT"));

    Llamar(QString(), QStringLiteral("DET_ESTV0009"));
    const auto filas = Filas(QStringLiteral("DET_ESTV0009"));
    ASSERT_EQ(filas.size(), size_t(kArticulos));
    for (int i = 0; i < kArticulos; ++i) {
        std::snprintf(texto, sizeof texto, "X%06d", i);
        const auto it = filas.find(Clave{QStringLiteral("NORTE"), QStringLiteral("5/2024"), QLatin1String(texto),
                                         QStringLiteral("V%1").arg(i % 3), B});
        ASSERT_NE(it, filas.end()) << texto;
        const double consumo = -1 - (i % 7 == 0 ? 2 : 0) - (i % 11 == 0 ? 4 : 0);
        ASSERT_DOUBLE_EQ(it->second.consumo, consumo) << texto;
        ASSERT_DOUBLE_EQ(it->second.costo, consumo) << texto;
        ASSERT_DOUBLE_EQ(it->second.venta, 2 * consumo) << texto;
    }
}

TEST_F(ReconsEstv, ClaveDelArticuloSeBuscaSegunLaIntercalacion) {
    Definir(QStringLiteral("DET_ESTV0005"), QStringLiteral("CodigoBarra,' ',' '"));
    Linea(norte, "2024-05-01 10:00:00", "VTA", "a2 ", -1, 1, 2);
    Llamar(QString(), QStringLiteral("DET_ESTV0005"));
    const auto filas = Filas(QStringLiteral("DET_ESTV0005"));
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_EQ(filas.begin()->second.g1, QStringLiteral("EAN2"));
}

TEST_F(ReconsEstv, SoloLasLineasDeVentaCuentan) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A1", -2, 10, 15);
    Linea(norte, "2024-03-05 10:00:00", "vta", "A1", -1, 10, 15);
    Linea(norte, "2024-03-05 10:00:00", "CMP", "A1", 100, 10, 0);
    Linea(norte, "2024-03-05 10:00:00", "AJU", "A1", -7, 10, 0);
    Linea(norte, "2024-03-05 10:00:00", "DEV", "A1", 3, 10, 15);
    Llamar(QString(), QStringLiteral("DET_ESTV0000"));
    const auto filas = Filas(QStringLiteral("DET_ESTV0000"));
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_DOUBLE_EQ(filas.begin()->second.consumo, -3);
    EXPECT_DOUBLE_EQ(filas.begin()->second.venta, -45);
}

TEST_F(ReconsEstv, SoloSeReemplazanLasFilasDeLaEmpresa) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Ejecutar(almacen,
             QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('SUR', '1/2024', 'S1', ' ', ' ', -1, -2, -3)"));
    Ejecutar(
        almacen,
        QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('norte', '1/2020', 'VIEJO', ' ', ' ', -1, -2, -3)"));
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A1", -2, 10, 15);
    Linea(sur, "2024-03-05 10:00:00", "VTA", "A1", -9, 10, 15);
    Llamar(QString(), QStringLiteral("DET_ESTV0000"));
    auto filas = Filas(QStringLiteral("DET_ESTV0000"));
    ASSERT_EQ(filas.size(), 2u);
    EXPECT_TRUE(filas.count(Clave{"SUR", "1/2024", "S1", B, B}));
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "3/2024", "A1", B, B}).consumo, -2);

    // The same call again gives the same rows.
    Llamar(QString(), QStringLiteral("DET_ESTV0000"));
    EXPECT_EQ(Filas(QStringLiteral("DET_ESTV0000")).size(), 2u);

    // SUR's own call replaces SUR's rows only.
    contexto->actual = QStringLiteral("SUR");
    Llamar(QString(), QStringLiteral("det_estv0000"));
    filas = Filas(QStringLiteral("DET_ESTV0000"));
    ASSERT_EQ(filas.size(), 2u);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"SUR", "3/2024", "A1", B, B}).consumo, -9);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "3/2024", "A1", B, B}).consumo, -2);
}

TEST_F(ReconsEstv, SinTablaReconstruyeTodasLasEstadisticas) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Definir(QStringLiteral("DET_ESTV0001"), QStringLiteral("IdVendedor,IdFamilia,' '"));
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A1", -2, 10, 15, "V1");
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A3", -3, 10, 15, "V1");
    Llamar(QString(), QString());
    EXPECT_EQ(Filas(QStringLiteral("DET_ESTV0000")).size(), 2u);
    const auto filas = Filas(QStringLiteral("DET_ESTV0001"));
    ASSERT_EQ(filas.size(), 2u);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "3/2024", "V1", "F01", B}).consumo, -2);
    EXPECT_DOUBLE_EQ(filas.at(Clave{"NORTE", "3/2024", "V1", "F02", B}).consumo, -3);
    EXPECT_EQ(contexto->afectadas, (std::vector<qint64>{2, 2}));
}

TEST_F(ReconsEstv, UnaDefinicionSinTablaNoImpideLasDemas) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Ejecutar(almacen,
             QStringLiteral("INSERT INTO CAB_ESTV (Nombre, Tabla, Campos) VALUES ('Rota', 'DET_ESTV0009', "
                            "'Cuenta,'' '','' ''')"));
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A1", -2, 10, 15);
    Llamar(QString(), QString());
    EXPECT_EQ(Filas(QStringLiteral("DET_ESTV0000")).size(), 1u);
    EXPECT_EQ(contexto->errores, std::vector<int>{208});
}

TEST_F(ReconsEstv, AsteriscoQuitaLaEmpresaDeTodasLasEstadisticas) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Definir(QStringLiteral("DET_ESTV0001"), QStringLiteral("Cuenta,' ',' '"));
    Linea(norte, "2024-03-05 10:00:00", "VTA", "A1", -2, 10, 15);
    Linea(sur, "2024-03-05 10:00:00", "VTA", "A1", -2, 10, 15);
    Llamar(QString(), QString());
    contexto->actual = QStringLiteral("SUR");
    Llamar(QString(), QString());
    contexto->actual = QStringLiteral("NORTE");
    Llamar(QStringLiteral("*"), QString());
    for (const QString& tabla : {QStringLiteral("DET_ESTV0000"), QStringLiteral("DET_ESTV0001")}) {
        const auto filas = Filas(tabla);
        ASSERT_EQ(filas.size(), 1u);
        EXPECT_EQ(filas.begin()->second.base, QStringLiteral("SUR"));
    }
    EXPECT_EQ(contexto->afectadas.back(), 2);
}

TEST_F(ReconsEstv, DefinicionDesconocidaOAccionInvalidaNoTocanNada) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Ejecutar(almacen,
             QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('NORTE', '1/2020', 'X', ' ', ' ', 1, 2, 3)"));
    try {
        Llamar(QString(), QStringLiteral("DET_ESTV0042"));
        FAIL() << "debió fallar";
    } catch (const ErrorServidor& e) {
        EXPECT_EQ(e.numero(), 50000);
        EXPECT_TRUE(e.mensaje().contains(QStringLiteral("DET_ESTV0042")));
    }
    EXPECT_THROW(Llamar(QStringLiteral("X"), QStringLiteral("DET_ESTV0000")), ErrorServidor);
    EXPECT_EQ(Filas(QStringLiteral("DET_ESTV0000")).size(), 1u);
}

TEST_F(ReconsEstv, TiempoAgotadoDejaLaTablaComoEstaba) {
    Definir(QStringLiteral("DET_ESTV0000"), QStringLiteral("IdArticulo,' ',' '"));
    Ejecutar(almacen,
             QStringLiteral("INSERT INTO DET_ESTV0000 VALUES ('NORTE', '1/2020', 'X', ' ', ' ', 1, 2, 3)"));
    Ejecutar(norte,
             QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                            "INSERT INTO MV_STOCK (Fecha, TipoMovimiento, IdArticulo, Cantidad) "
                            "SELECT '2024-01-01 00:00:00', 'VTA', 'A' || i, -1 FROM n"));
    contexto->agotado = true;
    try {
        Llamar(QString(), QStringLiteral("DET_ESTV0000"));
        FAIL() << "debió agotar el tiempo";
    } catch (const ErrorServidor& e) {
        EXPECT_EQ(e.estadoSQL(), QLatin1String(estado::TiempoAgotado));
    }
    EXPECT_EQ(Filas(QStringLiteral("DET_ESTV0000")).size(), 1u);
}

TEST(ReconsEstvPartes, CamposAClaves) {
    const auto d = DefinicionAgrupacion::DesdeCampos(QStringLiteral("idarticulo, FECHA ,' '"));
    EXPECT_EQ(d.niveles[0].fuente, FuenteClave::Linea);
    EXPECT_EQ(d.niveles[0].campo, QStringLiteral("IdArticulo"));
    EXPECT_EQ(d.niveles[1].fuente, FuenteClave::Fecha);
    EXPECT_EQ(d.niveles[2].fuente, FuenteClave::Blanco);
    const auto e = DefinicionAgrupacion::DesdeCampos(QStringLiteral("IdFamilia"));
    EXPECT_EQ(e.niveles[0].fuente, FuenteClave::Articulo);
    EXPECT_EQ(e.niveles[1].fuente, FuenteClave::Blanco);
    EXPECT_EQ(e.niveles[2].fuente, FuenteClave::Blanco);
    EXPECT_EQ(DefinicionAgrupacion::DesdeCampos(QStringLiteral("NoExiste,Cuenta")).niveles[0].fuente,
              FuenteClave::Blanco);
}

TEST(ReconsEstvPartes, TextosDeMesYValoresDeClave) {
    EXPECT_EQ(TextoMes(QStringLiteral("2024-03-05 10:00:00")), QStringLiteral("3/2024"));
    EXPECT_EQ(TextoMes(QStringLiteral("2023-12-31")), QStringLiteral("12/2023"));
    EXPECT_EQ(TextoMes(QStringLiteral("05/11/2024 08:00")), QStringLiteral("11/2024"));
    EXPECT_EQ(TextoMes(QStringLiteral("5/1/99")), QStringLiteral("1/1999"));
    EXPECT_EQ(TextoMes(QStringLiteral("ayer")), QString());
    EXPECT_EQ(ValorClave(QString()), QStringLiteral(" "));
    EXPECT_EQ(ValorClave(QStringLiteral("  ")), QStringLiteral(" "));
    EXPECT_EQ(ValorClave(QString(30, QLatin1Char('a'))), QString(25, QLatin1Char('a')));
    EXPECT_EQ(PlegarClave(QStringLiteral("AbC  ")), PlegarClave(QStringLiteral("abc")));
    EXPECT_NE(PlegarClave(QStringLiteral(" abc")), PlegarClave(QStringLiteral("abc")));
    EXPECT_NE(PlegarClave(QStringLiteral("ábc")), PlegarClave(QStringLiteral("abc")));
}

TEST(ReconsEstvPartes, RegistroDelProcedimiento) {
    RegistrarReconsEstv();
    EXPECT_TRUE(static_cast<bool>(BuscarProcedimiento(QStringLiteral("dbo.kv_recons_estv"))));
}

}  // namespace

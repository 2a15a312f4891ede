// The columnar cache of statistic tables: a repeated load is served from
// memory (the same statement on the same rows from the result kept), and any change to the file in between
// (by the same connection, by another one, by another process, inside an open transaction) is seen. Memory
// stays within its bound.

#include <sqlite3.h>

#include <QProcess>

#include <set>

#include "TablaEstadisticaPrueba.h"
#include "localserver/rapida/RutaAgregacion.h"
#include "localserver/rapida/TablaColumnar.h"
#include "localserver/tsql/Funciones.h"

namespace kv::pruebas {
namespace {

using kv::local::rapida::CacheColumnar;

class CacheColumnarTest : public TablaEstadisticaPrueba {
  protected:
    // Group 1 and its sale value, first row of the chart query.
    std::pair<QString, double> Primero(kv::db::Conexion& c) {
        const auto f = Filas(c, QString::fromLatin1(kGraficoEstadistica));
        if (f.empty()) return {};
        return {f[0][3].toString(), f[0][2].toDouble()};
    }
};

TEST_F(CacheColumnarTest, LaSegundaCargaSaleDeMemoria) {
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("B"), 40.0));
    EXPECT_EQ(CacheColumnar::Global().Entradas(), 1u);
    const std::size_t enUso = CacheColumnar::Global().BytesEnUso();
    EXPECT_GT(enUso, 0u);
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("B"), 40.0));
    EXPECT_EQ(CacheColumnar::Global().Entradas(), 1u);
    EXPECT_EQ(CacheColumnar::Global().BytesEnUso(), enUso);
}

TEST_F(CacheColumnarTest, UnCambioDeLaMismaConexionSeVe) {
    EXPECT_EQ(Primero(*c_).first, QStringLiteral("B"));
    Lote(*c_, QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = 99 WHERE Grupo1 = 'a'"));
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("A"), 99.0));
    Lote(*c_, QStringLiteral("DELETE DET_ESTV0001 WHERE Grupo1 = 'A'"));
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("B"), 40.0));
}

TEST_F(CacheColumnarTest, UnCambioDeOtraConexionSeVe) {
    EXPECT_EQ(Primero(*c_).first, QStringLiteral("B"));
    auto otra = Conectar(QStringLiteral("KV_ESTADISTICAS"));
    Lote(*otra, QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = 99 WHERE Grupo1 = 'A'"));
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("A"), 99.0));
    // A handle of its own on the file, as another program would have.
    sqlite3* db = nullptr;
    ASSERT_EQ(
        sqlite3_open((carpetas_.datos() + QStringLiteral("KV_ESTADISTICAS.db")).toUtf8().constData(), &db),
        SQLITE_OK);
    kv::local::RegistrarFuncionesTSQL(db);
    EXPECT_EQ(sqlite3_exec(db, "UPDATE DET_ESTV0001 SET ValorVenta = 100 WHERE Grupo1 = 'B'", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("B"), 100.0));
}

TEST_F(CacheColumnarTest, UnCambioDeOtroProcesoSeVe) {
    EXPECT_EQ(Primero(*c_).first, QStringLiteral("B"));
    for (int vuelta = 0; vuelta < 2; ++vuelta) {
        const double venta = 200 + vuelta;
        QProcess p;
        p.start(CarpetaBinarios() + QStringLiteral("kvsql"),
                {"-S", "EMBEBIDO", "-U", "Korvane", "-P", "pelumbo", "-d", "KV_ESTADISTICAS", "-Q",
                 QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = %1 WHERE Grupo1 = 'A'").arg(venta)});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("A"), venta));
    }
}

TEST_F(CacheColumnarTest, LaMismaConsultaRepetidaDaLasMismasFilasHastaQueCambianLosDatos) {
    const QString grafico = QString::fromLatin1(kGraficoEstadistica);
    QString ascendente = grafico;
    ascendente.replace(QStringLiteral("ValorVenta DESC"), QStringLiteral("ValorVenta ASC"));
    const auto general = [&](const QString& sql) {
        kv::local::rapida::ActivarRutaAgregacion(false);
        auto f = Filas(*c_, sql);
        kv::local::rapida::ActivarRutaAgregacion(true);
        return f;
    };
    const auto primera = Filas(*c_, grafico);
    ASSERT_EQ(primera.size(), 2u);
    EXPECT_EQ(primera, general(grafico));
    EXPECT_EQ(Filas(*c_, grafico), primera);
    // Another order is another statement: its own rows, not the first one's.
    const auto otra = Filas(*c_, ascendente);
    EXPECT_EQ(otra, general(ascendente));
    ASSERT_EQ(otra.size(), 2u);
    EXPECT_EQ(otra[0][3].toString(), QStringLiteral("A"));
    EXPECT_EQ(Filas(*c_, grafico), primera);
    // A change by another connection, then by this one: each is seen by the next load.
    auto otraConexion = Conectar(QStringLiteral("KV_ESTADISTICAS"));
    Lote(*otraConexion, QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = 77 WHERE Grupo1 = 'A'"));
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("A"), 77.0));
    EXPECT_EQ(Filas(*c_, grafico), general(grafico));
    Lote(*c_, QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = 20 WHERE Grupo1 = 'A'"));
    EXPECT_EQ(Filas(*c_, grafico), primera);
}

// The kept result of a repeated load gives back every value with its own
// type: texts (an empty one too), whole numbers, reals, NULL sums and an
// amount too large for a double, which travels as its exact text.
TEST_F(CacheColumnarTest, UnResultadoGuardadoVuelveConSusTiposYValores) {
    Lote(*c_,
         QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'C', '', ' ', NULL, NULL, 5)"));
    // Two months of one group whose sum no double holds to the ten-thousandth.
    for (const char* mes : {"1/2025", "2/2025"})
        Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('NORTE', '%1', 'D', 'x', ' ', 3, "
                                 "400000000000.25, 400000000000.75)")
                      .arg(QLatin1String(mes)));
    const QString grilla = QStringLiteral(
        "SELECT BASE,grupo1 AS [Artículo] ,grupo2 AS [Vendedor],grupo3 AS [Grupo3],"
        "SUM(convert(money,CONSUMO)*-1) AS CONSUMO, SUM(VALORCOSTO*-1) AS VALORCOSTO, "
        "SUM(VALORVENTA*-1) AS VALORVENTA ,case when SUM(valorcosto)=0 then 100 else "
        "(((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/SUM(VALORCOSTO*-1))*100) end AS UTL_COSTOPorc "
        "FROM DET_ESTV0001  Where BASE ='NORTE'  AND (FECHA ='1/2025'  OR FECHA ='2/2025' )  GROUP BY BASE, "
        "GRUPO1, GRUPO2, "
        "GRUPO3 ORDER BY  GRUPO1, GRUPO2,GRUPO3");
    kv::local::rapida::ActivarRutaAgregacion(false);
    const auto general = Filas(*c_, grilla);
    kv::local::rapida::ActivarRutaAgregacion(true);
    const auto usos = [] {
        const auto c = CacheColumnar::Global().Contadas();
        return c.deMemoria + c.deArchivo + c.deFilas;
    };
    const auto antes = usos();
    const auto primera = Filas(*c_, grilla);
    const auto repetida = Filas(*c_, grilla);
    EXPECT_EQ(usos(), antes + 2) << "las dos cargas van por la ruta rápida";
    ASSERT_EQ(primera.size(), 4u);
    EXPECT_EQ(primera, general);
    ASSERT_EQ(repetida.size(), primera.size());
    std::set<int> tipos;
    for (std::size_t f = 0; f < primera.size(); ++f) {
        ASSERT_EQ(repetida[f].size(), primera[f].size());
        for (std::size_t c = 0; c < primera[f].size(); ++c) {
            SCOPED_TRACE(testing::Message() << "fila " << f << ", columna " << c);
            EXPECT_EQ(repetida[f][c].isValid(), primera[f][c].isValid());
            EXPECT_EQ(repetida[f][c].typeId(), primera[f][c].typeId());
            EXPECT_EQ(repetida[f][c], primera[f][c]);
            tipos.insert(primera[f][c].isValid() ? primera[f][c].typeId() : -1);
        }
    }
    // The case the test is about: NULL, texts and reals among the values.
    EXPECT_TRUE(tipos.count(-1) && tipos.count(QMetaType::QString) && tipos.count(QMetaType::Double));
    EXPECT_EQ(primera[2][1].toString(), QStringLiteral("C"));
    EXPECT_EQ(repetida[2][2].toString(), QString());
    EXPECT_EQ(repetida[3][5].typeId(), QMetaType::QString);
    EXPECT_EQ(repetida[3][5].toString(), QStringLiteral("-800000000000.5000"));
}

TEST_F(CacheColumnarTest, DentroDeUnaTransaccionSeVeLoPropioYAlDeshacerLoDeAntes) {
    EXPECT_EQ(Primero(*c_).first, QStringLiteral("B"));
    Lote(*c_, QStringLiteral("BEGIN TRANSACTION"));
    Lote(*c_, QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = 99 WHERE Grupo1 = 'A'"));
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("A"), 99.0));
    Lote(*c_, QStringLiteral("ROLLBACK TRANSACTION"));
    EXPECT_EQ(Primero(*c_), std::make_pair(QStringLiteral("B"), 40.0));
    // Another connection never sees what was undone.
    auto otra = Conectar(QStringLiteral("KV_ESTADISTICAS"));
    EXPECT_EQ(Primero(*otra), std::make_pair(QStringLiteral("B"), 40.0));
}

TEST_F(CacheColumnarTest, LaTablaRehechaConOtraFormaVaPorLaRutaGeneral) {
    EXPECT_EQ(Primero(*c_).first, QStringLiteral("B"));
    Lote(*c_, QStringLiteral("DROP TABLE DET_ESTV0001"));
    EXPECT_EQ(PrimerError(*c_, QString::fromLatin1(kGraficoEstadistica)), 208);
}

TEST_F(CacheColumnarTest, LaMemoriaNoPasaDelLimite) {
    sqlite3* db = nullptr;
    ASSERT_EQ(
        sqlite3_open((carpetas_.datos() + QStringLiteral("KV_ESTADISTICAS.db")).toUtf8().constData(), &db),
        SQLITE_OK);
    kv::local::RegistrarFuncionesTSQL(db);
    for (int t = 2; t <= 4; ++t) {
        const QByteArray sql =
            QStringLiteral("CREATE TABLE DET_ESTV000%1 AS SELECT * FROM DET_ESTV0001").arg(t).toUtf8();
        ASSERT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    const std::size_t una = kv::local::rapida::TablaColumnar::Leer(db, "DET_ESTV0001")->Bytes();
    CacheColumnar cache(2 * una + una / 2);
    for (int t = 1; t <= 4; ++t) {
        const auto uso = cache.Obtener(db, 1, "ruta", QStringLiteral("DET_ESTV000%1").arg(t));
        ASSERT_TRUE(uso.tabla);
        EXPECT_FALSE(uso.deMemoria);
        EXPECT_LE(cache.BytesEnUso(), cache.Limite());
    }
    EXPECT_EQ(cache.Entradas(), 2u);
    // The two used last stay; the oldest went.
    EXPECT_TRUE(cache.Obtener(db, 1, "ruta", "DET_ESTV0004").deMemoria);
    EXPECT_TRUE(cache.Obtener(db, 1, "ruta", "DET_ESTV0003").deMemoria);
    EXPECT_FALSE(cache.Obtener(db, 1, "ruta", "DET_ESTV0001").deMemoria);
    // Another handle never takes this handle's form.
    EXPECT_FALSE(cache.Obtener(db, 2, "ruta", "DET_ESTV0001").deMemoria);
    // A table larger than the bound is read and answered, not kept.
    cache.FijarLimite(una / 2);
    EXPECT_EQ(cache.Entradas(), 0u);
    const auto grande = cache.Obtener(db, 1, "ruta", "DET_ESTV0001");
    EXPECT_TRUE(grande.tabla);
    EXPECT_EQ(cache.Entradas(), 0u);
    EXPECT_EQ(cache.BytesEnUso(), 0u);
    sqlite3_close(db);
}

}  // namespace
}  // namespace kv::pruebas

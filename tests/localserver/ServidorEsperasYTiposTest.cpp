// Two sessions of the server contending for a lock under SET LOCK_TIMEOUT, and
// values whose type the server must keep as SQL Server keeps it: real in four
// bytes, a binary constant into varbinary, GETDATE() as datetime.

#include <QDateTime>
#include <QElapsedTimer>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "ServidorPrueba.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

class EsperaBloqueoTest : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        admin_ = Conectar();
        Lote(*admin_, QStringLiteral("CREATE DATABASE ESPERAS"));
        Lote(*admin_, QStringLiteral("USE ESPERAS"));
        Lote(*admin_, QStringLiteral("CREATE TABLE L (x int)"));
        a_ = Conectar(QStringLiteral("ESPERAS"));
        b_ = Conectar(QStringLiteral("ESPERAS"));
        // The first session holds the write lock until it ends its transaction.
        Lote(*a_, QStringLiteral("BEGIN TRAN INSERT INTO L VALUES (1)"));
    }
    void TearDown() override {
        a_.reset();
        b_.reset();
        admin_.reset();
    }
    // The errors of a batch of the second session, with what it returned.
    struct Intento {
        std::vector<kv::db::ResultadoSentencia> resultados;
        std::optional<kv::db::ErrorBD> error;
        qint64 ms = 0;
    };
    Intento Intentar(const QString& sql) {
        Intento i;
        QElapsedTimer reloj;
        reloj.start();
        try {
            i.resultados = b_->EjecutarLote(sql);
        } catch (const kv::KvExcepcion&) {
            if (b_->Errors().Count() > 0) i.error = b_->Errors().Item(0);
        }
        i.ms = reloj.elapsed();
        for (const auto& r : i.resultados)
            if (r.error && !i.error) i.error = r.error;
        return i;
    }

    std::unique_ptr<Conexion> admin_, a_, b_;
};

TEST_F(EsperaBloqueoTest, PasadoElPlazoDeLaSesionDa1222YElLoteSigue) {
    const Intento i = Intentar(QStringLiteral("SET LOCK_TIMEOUT 300 INSERT INTO L VALUES (2) SELECT @@ERROR"));
    ASSERT_TRUE(i.error.has_value());
    EXPECT_EQ(i.error->errorNativo, 1222);
    EXPECT_EQ(i.error->descripcion, QStringLiteral("Se superó el tiempo de espera de la solicitud de bloqueo."));
    // A statement's error, not the batch's time-out: what follows runs and sees it.
    ASSERT_FALSE(i.resultados.empty());
    EXPECT_TRUE(i.resultados.back().tieneFilas);
    ASSERT_EQ(i.resultados.back().filas.size(), 1u);
    EXPECT_EQ(i.resultados.back().filas[0][0].toInt(), 1222);
    EXPECT_GE(i.ms, 250);
    std::printf("espera de bloqueo con LOCK_TIMEOUT 300: %lld ms\n", static_cast<long long>(i.ms));
}

TEST_F(EsperaBloqueoTest, ConCeroNoEsperaYElValorDuraEnLaSesion) {
    Lote(*b_, QStringLiteral("SET LOCK_TIMEOUT 0"));
    const Intento i = Intentar(QStringLiteral("INSERT INTO L VALUES (2)"));
    ASSERT_TRUE(i.error.has_value());
    EXPECT_EQ(i.error->errorNativo, 1222);
    std::printf("espera de bloqueo con LOCK_TIMEOUT 0: %lld ms\n", static_cast<long long>(i.ms));
    // Once the lock is let go the same session writes, with nothing of the failed insert left.
    Lote(*a_, QStringLiteral("ROLLBACK"));
    b_->Errors().Clear();
    Lote(*b_, QStringLiteral("INSERT INTO L VALUES (3)"));
    EXPECT_EQ(Valor(*b_, QStringLiteral("SELECT SUM(x) FROM L")).toInt(), 3);
}

TEST_F(EsperaBloqueoTest, ConMenosUnoEsperaHastaQueElOtroTermina) {
    std::thread suelta([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        a_->EjecutarLote(QStringLiteral("COMMIT"));
    });
    const Intento i = Intentar(QStringLiteral("SET LOCK_TIMEOUT -1 INSERT INTO L VALUES (2)"));
    suelta.join();
    EXPECT_FALSE(i.error.has_value()) << (i.error ? i.error->descripcion.toStdString() : std::string());
    EXPECT_GE(i.ms, 500);
    EXPECT_EQ(Valor(*b_, QStringLiteral("SELECT SUM(x) FROM L")).toInt(), 3);
}

TEST_F(EsperaBloqueoTest, UnValorQueNoEsNumeroEsUnErrorDeSintaxis) {
    const Intento i = Intentar(QStringLiteral("SET LOCK_TIMEOUT 'mucho'"));
    ASSERT_TRUE(i.error.has_value());
    EXPECT_EQ(i.error->errorNativo, 102);
}

class TiposDirectosTest : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE TIPOS"));
        Lote(*c_, QStringLiteral("USE TIPOS"));
    }
    std::unique_ptr<Conexion> c_;
};

TEST_F(TiposDirectosTest, RealGuardaYDevuelveCuatroBytes) {
    Lote(*c_, QStringLiteral("CREATE TABLE R (r real, f float)"));
    Lote(*c_, QStringLiteral("INSERT INTO R VALUES (0.1, 0.1)"));
    const auto f = Filas(*c_, QStringLiteral("SELECT r, f FROM R"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0][0].toDouble(), static_cast<double>(0.1f));
    EXPECT_EQ(f[0][1].toDouble(), 0.1);
    // What is kept is the rounded value: comparing with it finds the row.
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT COUNT(*) FROM R WHERE r = CAST(0.1 AS real)")).toInt(), 1);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT CAST(1.1 AS real)")).toDouble(), static_cast<double>(1.1f));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT CAST(1.1 AS float)")).toDouble(), 1.1);
}

TEST_F(TiposDirectosTest, UnaConstanteBinariaEntraEnVarbinary) {
    Lote(*c_, QStringLiteral("CREATE TABLE B (b varbinary(10))"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO B VALUES (0x00FF10)")), 0);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO B VALUES (0xABC)")), 0);
    const auto f = Filas(*c_, QStringLiteral("SELECT b FROM B"));
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0][0].toByteArray(), QByteArray::fromHex("00FF10"));
    EXPECT_EQ(f[1][0].toByteArray(), QByteArray::fromHex("0ABC"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT DATALENGTH(0x0102)")).toInt(), 2);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT COUNT(*) FROM B WHERE b = 0x00FF10")).toInt(), 1);
}

TEST_F(TiposDirectosTest, GetdateEsDatetime) {
    const QDateTime antes = QDateTime::currentDateTime().addSecs(-2);
    for (const QString& sql : {QStringLiteral("SELECT GETDATE() AS ahora"),
                               QStringLiteral("SELECT CURRENT_TIMESTAMP AS ahora")}) {
        const auto r = Lote(*c_, sql);
        ASSERT_FALSE(r.empty());
        ASSERT_EQ(r[0].columnas.size(), 1u);
        EXPECT_EQ(r[0].columnas[0].tipo, kv::db::tipo::DBTimeStamp) << sql.toStdString();
        ASSERT_EQ(r[0].filas.size(), 1u);
        EXPECT_EQ(r[0].filas[0][0].typeId(), QMetaType::QDateTime) << sql.toStdString();
        EXPECT_GE(r[0].filas[0][0].toDateTime(), antes);
    }
}

}  // namespace
}  // namespace kv::pruebas

// The plan step: every statement of a batch is planned, and a route of its own
// may claim a statement and answer it in place of the general route.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>

#include "ServidorPrueba.h"
#include "localserver/BaseSqlite.h"
#include "localserver/tsql/Plan.h"

using namespace kv::local;
using kv::pruebas::ServidorPrueba;

namespace {

// Claims SELECT statements over the table "claimed" and answers with one row that
// holds the table's count of rows, read by the route itself.
class RutaDePrueba : public RutaPlan {
  public:
    mutable std::atomic<int> reclamadas{0};
    mutable std::atomic<int> ejecutadas{0};
    bool declinar = false;

    bool Reclamar(PlanSentencia& plan) const override {
        if (plan.sentencia.clase != Clase::Consulta) return false;
        if (plan.sentencia.tabla.compare(QLatin1String("reclamada"), Qt::CaseInsensitive) != 0) return false;
        plan.datos = std::make_shared<QString>(plan.sentencia.tabla);
        ++reclamadas;
        return true;
    }
    std::optional<kv::db::ResultadoSentencia> Ejecutar(const PlanSentencia& plan,
                                                       EntornoRuta& entorno) const override {
        if (declinar) return std::nullopt;
        ++ejecutadas;
        const auto tabla = std::static_pointer_cast<const QString>(plan.datos);
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = ("SELECT count(*) FROM " + *tabla).toUtf8();
        sqlite3_prepare_v2(entorno.base.db(), sql.constData(), -1, &st, nullptr);
        sqlite3_step(st);
        kv::db::ResultadoSentencia r;
        r.tieneFilas = true;
        kv::db::ColumnaResultado c;
        c.nombre = QStringLiteral("por_ruta");
        r.columnas.push_back(c);
        r.filas.push_back({QVariant(static_cast<qlonglong>(sqlite3_column_int64(st, 0)))});
        sqlite3_finalize(st);
        return r;
    }
};

class PlanPrueba : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        ruta_ = std::make_shared<RutaDePrueba>();
        RegistrarRuta(ruta_);
    }
    void TearDown() override { QuitarRuta(ruta_); }
    std::shared_ptr<RutaDePrueba> ruta_;
};

}  // namespace

TEST(TsqlPlanes, CadaSentenciaDelLoteLlevaSusPropiosTokens) {
    const auto planes = PlanificarLote(QStringLiteral("SELECT a FROM t\nDROP TABLE x, y"));
    ASSERT_EQ(planes.size(), 3u);
    EXPECT_EQ(planes[0].tokens.size(), 4u);
    EXPECT_EQ(planes[0].sentencia.sql, QStringLiteral("SELECT a AS a FROM t"));
    // Both statements of one DROP share the tokens of the DROP.
    EXPECT_EQ(planes[1].tokens.front().texto, QStringLiteral("DROP"));
    EXPECT_EQ(planes[2].sentencia.sql, QStringLiteral("DROP TABLE y"));
    EXPECT_FALSE(planes[0].ruta);
}

TEST_F(PlanPrueba, UnaRutaPropiaRespondeLoQueReclama) {
    auto c = Conectar();
    Lote(*c, QStringLiteral("CREATE TABLE reclamada (a int) CREATE TABLE otra (a int) "
                            "INSERT INTO reclamada VALUES (1) INSERT INTO reclamada VALUES (2) "
                            "INSERT INTO otra VALUES (7)"));
    const auto r = Lote(*c, QStringLiteral("SELECT a FROM reclamada SELECT a FROM otra"));
    ASSERT_EQ(r.size(), 2u);
    ASSERT_EQ(r[0].columnas.size(), 1u);
    EXPECT_EQ(r[0].columnas[0].nombre, QStringLiteral("por_ruta"));
    EXPECT_EQ(r[0].filas[0][0].toInt(), 2);
    EXPECT_EQ(r[1].columnas[0].nombre, QStringLiteral("a"));
    EXPECT_EQ(r[1].filas[0][0].toInt(), 7);
    EXPECT_EQ(ruta_->ejecutadas.load(), 1);
}

TEST_F(PlanPrueba, UnaRutaQueDeclinaDejaResponderALaGeneral) {
    auto c = Conectar();
    Lote(*c, QStringLiteral("CREATE TABLE reclamada (a int) INSERT INTO reclamada VALUES (5)"));
    ruta_->declinar = true;
    const auto f = Filas(*c, QStringLiteral("SELECT a FROM reclamada"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0][0].toInt(), 5);
    EXPECT_GE(ruta_->reclamadas.load(), 1);
}

TEST_F(PlanPrueba, LaRutaNoSaltaLosErroresDeLaGeneral) {
    auto c = Conectar();
    // The table does not exist: the general route's 208, not the route's answer.
    EXPECT_EQ(PrimerError(*c, QStringLiteral("SELECT a FROM reclamada")), 208);
    EXPECT_EQ(ruta_->ejecutadas.load(), 0);
}

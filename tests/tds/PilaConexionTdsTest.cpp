// The deepest batches the front end walks, sent through the endpoint: each
// connection runs on a thread of its own, and that thread's stack must hold
// whatever the bounds let through. The endpoint runs here as a child with a
// process stack limit of 1 MB, so that a connection thread of the default
// size would be that small too.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QString>
#include <memory>

#include "EndpointPrueba.h"
#include "db/Conexion.h"
#include "localserver/ServidorEmbebido.h"
#include "soporte/CarpetasTemporales.h"
#include "util/KvError.h"

using namespace kv::pruebas;
using kv::db::Conexion;

namespace {

const QString kAdmin = QStringLiteral("Korvane");
const QString kClave = QStringLiteral("pelumbo");

// The error of a batch, 0 when it ran; -1 when the connection was lost.
int Numero(Conexion& c, const QString& sql, QVariant* valor = nullptr) {
    try {
        for (const auto& r : c.EjecutarLote(sql)) {
            if (r.error) return r.error->errorNativo;
            if (valor && r.tieneFilas && !r.filas.empty() && !r.filas[0].empty()) *valor = r.filas[0][0];
        }
        return 0;
    } catch (const kv::KvExcepcion&) {
        if (c.Errors().Count() > 0) return c.Errors().Item(0).errorNativo;
        return -1;
    }
}

// Starts the child endpoint with the soft stack limit lowered to `bytes`.
std::unique_ptr<EndpointHijo> EndpointConPila(const QString& datos, rlim_t bytes) {
    rlimit antes{};
    getrlimit(RLIMIT_STACK, &antes);
    rlimit ahora = antes;
    ahora.rlim_cur = antes.rlim_max == RLIM_INFINITY ? bytes : std::min<rlim_t>(bytes, antes.rlim_max);
    setrlimit(RLIMIT_STACK, &ahora);
    auto e = std::make_unique<EndpointHijo>(datos);
    setrlimit(RLIMIT_STACK, &antes);
    return e;
}

QString Repetir(const QString& pieza, int n) { return pieza.repeated(n); }

class PilaConexionTds : public ::testing::Test {
  protected:
    void SetUp() override {
        // The catalog and the administrator, made by the embedded server itself.
        kv::local::RegistrarServidorEmbebido();
        Conexion directa;
        directa.Open(QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database=master;UID=%1;PWD=%2;")
                         .arg(kAdmin, kClave));
        directa.Close();
        endpoint_ = EndpointConPila(carpetas_.datos(), 1024 * 1024);
        ASSERT_NE(endpoint_->puerto(), 0);
        c_.Open(CadenaFreeTds(endpoint_->puerto(), QStringLiteral("master"), kAdmin, kClave));
    }
    void TearDown() override {
        if (c_.State() == kv::db::ado::Abierto) c_.Close();
    }

    // The connection still answers after the batch.
    void SigueViva(const QString& que) {
        QVariant v;
        ASSERT_EQ(Numero(c_, QStringLiteral("SELECT 7"), &v), 0) << que.toStdString();
        EXPECT_EQ(v.toInt(), 7) << que.toStdString();
    }

    CarpetasTemporales carpetas_;
    std::unique_ptr<EndpointHijo> endpoint_;
    Conexion c_;
};

}  // namespace

TEST_F(PilaConexionTds, LasFormasMasProfundasDanSuErrorYLaConexionSigue) {
    struct Forma {
        const char* nombre;
        QString (*lote)(int);
    };
    const Forma formas[] = {
        {"parentesis", [](int n) { return QStringLiteral("SELECT ") + Repetir(QStringLiteral("("), n) +
                                          QStringLiteral("1") + Repetir(QStringLiteral(")"), n); }},
        {"case", [](int n) { return QStringLiteral("SELECT ") + Repetir(QStringLiteral("CASE WHEN 1=1 THEN "), n) +
                                    QStringLiteral("1") + Repetir(QStringLiteral(" END"), n); }},
        {"if", [](int n) { return Repetir(QStringLiteral("IF 1=1 "), n) + QStringLiteral("SELECT 1"); }},
        {"begin", [](int n) { return Repetir(QStringLiteral("IF 1=1 BEGIN "), n) + QStringLiteral("SELECT 1") +
                                     Repetir(QStringLiteral(" END"), n); }},
        {"while", [](int n) { return Repetir(QStringLiteral("WHILE 1=0 "), n) + QStringLiteral("SELECT 1"); }},
        {"flotantes", [](int n) { return QStringLiteral("SELECT 1e0") + Repetir(QStringLiteral(" + 1e0"), n); }},
        {"restas", [](int n) { return QStringLiteral("SELECT 1") + Repetir(QStringLiteral(" - 1"), n); }},
        {"condiciones", [](int n) { return QStringLiteral("SELECT 1 WHERE 1 = 1") +
                                           Repetir(QStringLiteral(" AND (1 = 1"), n) +
                                           Repetir(QStringLiteral(")"), n); }},
    };
    // Every depth from the shallow ones the bounds let through to far past them.
    const int profundidades[] = {10, 30, 60, 100, 150, 300, 1000, 3000, 10000, 20000, 100000};
    for (const Forma& f : formas) {
        for (int n : profundidades) {
            const QString que = QStringLiteral("%1 x %2").arg(QLatin1String(f.nombre)).arg(n);
            const int numero = Numero(c_, f.lote(n));
            EXPECT_NE(numero, -1) << "conexión perdida en " << que.toStdString();
            if (numero == -1) return;
            // Either it ran or it got the server's error for a statement too deep or too complex.
            EXPECT_TRUE(numero == 0 || numero == 191 || numero == 125 || numero == 8631 || numero == 8632)
                << que.toStdString() << ": " << numero;
            SigueViva(que);
        }
    }
    // The deepest of each kind, with the errors the embedded server gives in-process.
    EXPECT_EQ(Numero(c_, formas[0].lote(1000000)), 191);
    EXPECT_EQ(Numero(c_, formas[1].lote(20000)), 125);
    EXPECT_EQ(Numero(c_, formas[2].lote(20000)), 191);
    EXPECT_EQ(Numero(c_, Repetir(QStringLiteral("BEGIN "), 20000) + QStringLiteral("SELECT 1") +
                             Repetir(QStringLiteral(" END"), 20000)),
              191);
    EXPECT_EQ(Numero(c_, formas[4].lote(20000)), 191);
    QVariant suma;
    EXPECT_EQ(Numero(c_, QStringLiteral("SELECT 1") + Repetir(QStringLiteral(" + 1"), 199999), &suma), 0);
    EXPECT_EQ(suma.toLongLong(), 200000);
    SigueViva(QStringLiteral("al final"));
}

// SQL Server clients written by others against the endpoint, each running the
// same statements: a catalog query, a money sum, a batch of two results, an
// error, a transaction undone, a parameter, a prepared statement (tedious) and
// a cancel by time-out. FreeTDS's own tsql, Python's pyodbc over FreeTDS's
// ODBC driver, and Node's tedious, which has a TDS implementation of its own.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "EndpointPrueba.h"
#include "db/Conexion.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/LotesPrueba.h"

using namespace kv::pruebas;

namespace {

QString Fuente(const QString& nombre) { return QStringLiteral(KV_FUENTES_PRUEBAS_TDS "/clientes/") + nombre; }

struct Resultado {
    int estado = -1;
    QString salida;
    QString errores;
};

Resultado Correr(const QString& programa, const QStringList& argumentos, const QByteArray& entrada = {},
                 const QProcessEnvironment& entorno = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(entorno);
    p.start(programa, argumentos);
    Resultado r;
    if (!p.waitForStarted(10000)) return r;
    if (!entrada.isEmpty()) p.write(entrada);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.estado = p.exitCode();
    r.salida = QString::fromUtf8(p.readAllStandardOutput());
    r.errores = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class ClientesTds : public ::testing::Test {
  protected:
    void SetUp() override {
        endpoint_ = std::make_unique<EndpointEnProceso>();
        kv::db::Conexion c;
        c.Open(QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database=master;UID=Korvane;PWD=pelumbo;"));
        const QStringList lotes = {
            QStringLiteral("CREATE DATABASE CLIENTES"), QStringLiteral("USE CLIENTES"),
            QStringLiteral("CREATE TABLE VENTAS (id int, articulo nvarchar(20), importe money)"),
            QStringLiteral("INSERT INTO VENTAS VALUES (1, N'ñu', 10.1234) INSERT INTO VENTAS VALUES (2, N'b', "
                           "20.0001) INSERT INTO VENTAS VALUES (3, N'c', 0.0005)"),
            QStringLiteral("CREATE TABLE N (x int)"), LoteDiezDigitos(),
            QStringLiteral("CREATE PROCEDURE dbo.ARTICULO_Y_TOTAL @id int, @articulo nvarchar(20) OUTPUT, @total "
                           "money OUTPUT AS BEGIN SELECT @articulo = articulo FROM VENTAS WHERE id = @id "
                           "SELECT @total = SUM(importe) FROM VENTAS SELECT COUNT(*) AS n FROM VENTAS RETURN 7 END"),
            QStringLiteral("CREATE TABLE G (x int)"),
            QStringLiteral("INSERT INTO G SELECT a.x*10000+b.x*1000+c.x*100+d.x*10+e.x FROM N a, N b, N c, N d, "
                           "N e")};
        for (const QString& sql : lotes) LoteSinErrores(c, sql);
    }
    QString Puerto() const { return QString::number(endpoint_->puerto()); }

    CarpetasTemporales carpetas_;
    std::unique_ptr<EndpointEnProceso> endpoint_;
};

// What every client must have seen.
const QString kComun = QString::fromUtf8(
    "catalogo: G,N,VENTAS\n"
    "suma: 30.1240\n"
    "lote: 3 | ñu\n"
    "error: 208 El nombre de objeto 'NOEXISTE' no es válido.\n"
    "transaccion: 3\n"
    "parametro: 20.0001\n"
    "procedimiento: 3 | ñu | 30.1240 | 7\n");

}  // namespace

TEST_F(ClientesTds, PyodbcSobreFreeTds) {
    const Resultado r =
        Correr(QStringLiteral("/usr/bin/python3"), {Fuente(QStringLiteral("cliente_pyodbc.py")), Puerto()});
    ASSERT_EQ(r.estado, 0) << r.errores.toStdString();
    EXPECT_EQ(r.salida.toStdString(),
              (kComun + QStringLiteral("cancelacion: tiempo agotado; despues: 1\n")).toStdString());
}

TEST_F(ClientesTds, Tedious) {
    const QString modulos = QStringLiteral(KV_FUENTES_RAIZ "/tools/clientes-node/node_modules");
    // The install script puts it there: without it the client was never tried, which is a failure.
    ASSERT_TRUE(QFile::exists(modulos + QStringLiteral("/tedious/package.json")))
        << "falta tedious: scripts/instalar-dependencias.sh lo instala en " << modulos.toStdString();
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("NODE_PATH"), modulos);
    const Resultado r =
        Correr(QStringLiteral("node"), {Fuente(QStringLiteral("cliente_tedious.js")), Puerto()}, {}, e);
    ASSERT_EQ(r.estado, 0) << r.salida.toStdString() << r.errores.toStdString();
    EXPECT_EQ(
        r.salida.toStdString(),
        (kComun + QStringLiteral("preparada: c\ncancelacion: tiempo agotado; despues: 1\n")).toStdString());
}

TEST_F(ClientesTds, TsqlDeFreeTds) {
    // tsql has no statement time-out of its own: the cancel is left to the other two.
    const QByteArray guion =
        QString::fromUtf8(
            "SELECT name FROM sys.tables ORDER BY name\ngo\n"
            "SELECT SUM(importe) AS total FROM VENTAS\ngo\n"
            "SELECT COUNT(*) AS n FROM VENTAS; SELECT articulo FROM VENTAS WHERE id = 1\ngo\n"
            "SELECT * FROM NOEXISTE\ngo\n"
            "BEGIN TRAN INSERT INTO VENTAS VALUES (4, N'd', 1) ROLLBACK\ngo\n"
            "SELECT COUNT(*) AS n FROM VENTAS\ngo\n"
            "SELECT importe FROM VENTAS WHERE id = 2\ngo\n"
            "DECLARE @a nvarchar(20), @t money, @r int EXEC @r = ARTICULO_Y_TOTAL 1, @a OUTPUT, @t OUTPUT "
            "SELECT @a AS a, @t AS t, @r AS r\ngo\nexit\n")
            .toUtf8();
    const Resultado r = Correr(
        QStringLiteral("tsql"),
        {QStringLiteral("-H"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), Puerto(),
         QStringLiteral("-U"), QStringLiteral("Korvane"), QStringLiteral("-P"), QStringLiteral("pelumbo"),
         QStringLiteral("-D"), QStringLiteral("CLIENTES"), QStringLiteral("-o"), QStringLiteral("q")},
        guion);
    EXPECT_EQ(r.salida.toStdString(),
              QString::fromUtf8("name\nG\nN\nVENTAS\ntotal\n30.1240\nn\n3\narticulo\nñu\n"
                                "n\n3\nimporte\n20.0001\nn\n3\na\tt\tr\nñu\t30.1240\t7\n")
                  .toStdString());
    EXPECT_TRUE(
        r.errores.contains(QString::fromUtf8("Msg 208 (severity 16, state 1) from EMBEBIDO Line 1:\n"
                                             "\t\"El nombre de objeto 'NOEXISTE' no es válido.\"")))
        << r.errores.toStdString();
}

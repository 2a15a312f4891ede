// The endpoint as FreeTDS's ODBC driver (the one the users run) sees it, on a
// loopback port: logins and their errors, every type at its extremes, long
// results, ten sessions at once, lock waits, cancels, clients that die, a
// request too big, TLS, and malformed traffic that must harm no one.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "EndpointPrueba.h"
#include "db/Conexion.h"
#include "localserver/tds/Peticiones.h"
#include "localserver/tds/Trama.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/LotesPrueba.h"
#include "util/KvError.h"

using namespace kv::pruebas;
using kv::db::Conexion;

namespace {

const QString kAdmin = QStringLiteral("Korvane");
const QString kClave = QStringLiteral("pelumbo");

QString CadenaDirecta(const QString& base) {
    return QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database=%1;UID=%2;PWD=%3;")
        .arg(base, kAdmin, kClave);
}

std::vector<kv::db::ResultadoSentencia> Lote(Conexion& c, const QString& sql) { return LoteSinErrores(c, sql); }

// The first row-returning result of a batch.
kv::db::ResultadoSentencia Filas(Conexion& c, const QString& sql) {
    for (auto& r : Lote(c, sql))
        if (r.tieneFilas) return r;
    ADD_FAILURE() << "sin filas: " << sql.toStdString();
    return {};
}

int Socket(quint16 puerto) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(puerto);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        ::close(fd);
        return -1;
    }
    timeval t{};
    t.tv_sec = 5;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof(t));
    return fd;
}

void Enviar(int fd, const QByteArray& b) { (void)::send(fd, b.constData(), size_t(b.size()), MSG_NOSIGNAL); }

// Reads what the endpoint answers until it closes or stays quiet.
QByteArray Recibir(int fd) {
    QByteArray r;
    char trozo[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, trozo, sizeof(trozo), 0);
        if (n <= 0) break;
        r.append(trozo, int(n));
        if (r.size() > 1 << 20) break;
    }
    return r;
}

// A self-signed certificate and its key for a day; what openssl said when it failed, empty otherwise.
QString CrearCertificado(const QString& cert, const QString& clave) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                   QStringLiteral("-keyout"), clave, QStringLiteral("-out"), cert});
    if (!openssl.waitForFinished(60000)) return QStringLiteral("openssl no terminó");
    if (openssl.exitCode() != 0) return QString::fromUtf8(openssl.readAllStandardError());
    return {};
}

class EndpointTds : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::tds::OpcionesServidor o;
        o.maximoPeticion = 256 * 1024;
        endpoint_ = std::make_unique<EndpointEnProceso>(o);
        admin_.Open(CadenaDirecta(QStringLiteral("master")));
    }
    void TearDown() override {
        admin_.Close();
        endpoint_.reset();
    }
    std::unique_ptr<Conexion> PorTds(const QString& base = QStringLiteral("master"),
                                     const QString& usuario = kAdmin, const QString& clave = kClave) {
        auto c = std::make_unique<Conexion>();
        c->Open(CadenaFreeTds(endpoint_->puerto(), base, usuario, clave));
        return c;
    }
    // A table of 100,000 numbers 0..99999 in database PRUEBA.
    void CrearGrande() {
        Lote(admin_, QStringLiteral("CREATE DATABASE PRUEBA"));
        Lote(admin_, QStringLiteral("USE PRUEBA"));
        Lote(admin_, QStringLiteral("CREATE TABLE N (x int)"));
        Lote(admin_, LoteDiezDigitos());
        Lote(admin_, QStringLiteral("CREATE TABLE G (x int, t nvarchar(20))"));
        Lote(admin_,
             QStringLiteral("INSERT INTO G (x, t) SELECT a.x*10000+b.x*1000+c.x*100+d.x*10+e.x, N'fila' "
                            "FROM N a, N b, N c, N d, N e"));
        Lote(admin_, QStringLiteral("CREATE TABLE L (x int)"));
    }

    // A lock wait: session `a` holds a new row of L in an open transaction, and
    // session `b`, readied by `preparar`, runs `sql`, which has to wait for it.
    struct EsperaBloqueo {
        std::unique_ptr<Conexion> a, b;
        bool fallo = false;                     // an error came back, or the statement threw
        std::optional<kv::db::ErrorBD> error;  // the first error of the results, or of the connection
        qint64 ms = 0;
    };
    EsperaBloqueo EsperarBloqueo(const std::function<void(Conexion&)>& preparar, const QString& sql) {
        CrearGrande();
        EsperaBloqueo e;
        e.a = PorTds(QStringLiteral("PRUEBA"));
        Lote(*e.a, QStringLiteral("BEGIN TRAN INSERT INTO L VALUES (1)"));
        e.b = PorTds(QStringLiteral("PRUEBA"));
        preparar(*e.b);
        QElapsedTimer reloj;
        reloj.start();
        std::vector<kv::db::ResultadoSentencia> r;
        try {
            r = e.b->EjecutarLote(sql);
        } catch (const kv::KvExcepcion&) {
            e.fallo = true;
        }
        e.ms = reloj.elapsed();
        for (const auto& x : r)
            if (x.error && !e.error) e.error = x.error;
        if (e.error) e.fallo = true;
        if (!e.error && e.b->Errors().Count() > 0) e.error = e.b->Errors().Item(0);
        return e;
    }
    // The holder undoes its transaction; the waiting session then writes the row 3.
    void SoltarYEscribir(EsperaBloqueo& e) {
        Lote(*e.a, QStringLiteral("ROLLBACK"));
        e.b->Errors().Clear();
        Lote(*e.b, QStringLiteral("INSERT INTO L VALUES (3)"));
    }

    CarpetasTemporales carpetas_;
    std::unique_ptr<EndpointEnProceso> endpoint_;
    Conexion admin_;
};

TEST_F(EndpointTds, UnaClaveMalaDa18456YElRegistroNoGuardaClaves) {
    Conexion c;
    EXPECT_THROW(
        c.Open(CadenaFreeTds(endpoint_->puerto(), QStringLiteral("master"), kAdmin, QStringLiteral("mala1"))),
        kv::KvExcepcion);
    ASSERT_GT(c.Errors().Count(), 0);
    EXPECT_EQ(c.Errors().Item(0).errorNativo, 18456);
    EXPECT_EQ(c.Errors().Item(0).estadoSQL, QStringLiteral("28000"));
    EXPECT_EQ(c.Errors().Item(0).descripcion,
              QStringLiteral("Error de inicio de sesión del usuario 'Korvane'."));
    auto buena = PorTds();
    // The line of a session is written once its answer has gone.
    QStringList registro = endpoint_->Registro();
    for (int i = 0; i < 100 && !registro.join(u'\n').contains(QStringLiteral("Sesión de 'Korvane'")); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        registro = endpoint_->Registro();
    }
    bool fallido = false, sesion = false;
    for (const QString& l : registro) {
        EXPECT_FALSE(l.contains(QStringLiteral("mala1")) || l.contains(kClave)) << l.toStdString();
        if (l.startsWith(QStringLiteral("Inicio de sesión fallido de 'Korvane' desde 127.0.0.1:")))
            fallido = true;
        if (l.startsWith(QStringLiteral("Sesión de 'Korvane' desde 127.0.0.1:"))) sesion = true;
    }
    EXPECT_TRUE(fallido) << registro.join(u'\n').toStdString();
    EXPECT_TRUE(sesion) << registro.join(u'\n').toStdString();
}

TEST_F(EndpointTds, UnaBaseSinAccesoDa4060) {
    Lote(admin_, QStringLiteral("CREATE DATABASE PRIVADA"));
    Lote(admin_, QStringLiteral("EXEC sp_addlogin 'ana', 'clave.Ana1', 'master'"));
    Conexion c;
    EXPECT_THROW(c.Open(CadenaFreeTds(endpoint_->puerto(), QStringLiteral("PRIVADA"), QStringLiteral("ana"),
                                      QStringLiteral("clave.Ana1"))),
                 kv::KvExcepcion);
    bool hay4060 = false;
    for (const auto& e : c.Errors().Todos()) hay4060 = hay4060 || e.errorNativo == 4060;
    EXPECT_TRUE(hay4060);
}

TEST_F(EndpointTds, CadaTipoLlegaConSusValoresExtremos) {
    Lote(admin_, QStringLiteral("CREATE DATABASE TIPOS"));
    Lote(admin_, QStringLiteral("USE TIPOS"));
    Lote(admin_,
         QStringLiteral(
             "CREATE TABLE T (n int, i int, b bigint, s smallint, t tinyint, bt bit, m money, d "
             "decimal(10,4), "
             "f float, r real, nv nvarchar(50), v varchar(50), c char(5), dt datetime, vb varbinary(20))"));
    Lote(admin_,
         QString::fromUtf8(
             "INSERT INTO T VALUES (1, -2147483648, -9223372036854775808, -32768, 0, 0, -922337203685.4775, "
             "-999999.9999, -1.7976931348623157E308, -3.4028234E38, N'ñandú € 中', 'año', 'ab', "
             "'1753-01-01 00:00:00', NULL)"));
    Lote(admin_,
         QString::fromUtf8(
             "INSERT INTO T VALUES (2, 2147483647, 9223372036854775807, 32767, 255, 1, 922337203685.4775, "
             "999999.9999, 2.2250738585072014E-308, 3.4028234E38, N'', '', 'abcde', "
             "'9999-12-31 23:59:59.997', NULL)"));
    admin_.EjecutarConParametros(QStringLiteral("UPDATE T SET vb = ? WHERE n = 1"),
                                 {QVariant(QByteArray("\x00", 1))});
    admin_.EjecutarConParametros(QStringLiteral("UPDATE T SET vb = ? WHERE n = 2"),
                                 {QVariant(QByteArray::fromHex("00ff7f80"))});
    Lote(admin_, QStringLiteral("INSERT INTO T (n) VALUES (3)"));
    const QString consulta = QStringLiteral("SELECT * FROM T ORDER BY n");
    Conexion directa;
    directa.Open(CadenaDirecta(QStringLiteral("TIPOS")));
    const auto esperado = Filas(directa, consulta);
    auto c = PorTds(QStringLiteral("TIPOS"));
    const auto leido = Filas(*c, consulta);
    ASSERT_EQ(leido.filas.size(), 3u);
    ASSERT_EQ(leido.columnas.size(), esperado.columnas.size());
    for (size_t f = 0; f < 3; ++f)
        for (size_t i = 0; i < esperado.columnas.size(); ++i) {
            const QVariant& a = esperado.filas[f][i];
            const QVariant& b = leido.filas[f][i];
            const std::string donde =
                esperado.columnas[i].nombre.toStdString() + " fila " + std::to_string(f);
            EXPECT_EQ(a.isNull(), b.isNull()) << donde;
            if (a.isNull()) continue;
            if (esperado.columnas[i].tipo == kv::db::tipo::Single)
                // real is four bytes on the wire, as in SQL Server.
                EXPECT_EQ(float(b.toDouble()), float(a.toDouble())) << donde;
            else if (a.typeId() == QMetaType::Double)
                EXPECT_EQ(b.toDouble(), a.toDouble()) << donde;
            else if (a.typeId() == QMetaType::QDateTime)
                EXPECT_EQ(b.toDateTime(), a.toDateTime()) << donde;
            else if (a.typeId() == QMetaType::QByteArray)
                EXPECT_EQ(b.toByteArray().toHex().toStdString(), a.toByteArray().toHex().toStdString())
                    << donde;
            else
                EXPECT_EQ(b.toString().toStdString(), a.toString().toStdString()) << donde;
        }
    // The types as SQL Server's own come through FreeTDS.
    using namespace kv::db::tipo;
    const int tipos[] = {Integer, Integer, BigInt,   SmallInt, TinyInt, Boolean,     Currency, Numeric,
                         Double,  Single,  VarWChar, VarChar,  Char,    DBTimeStamp, VarBinary};
    for (size_t i = 0; i < std::size(tipos); ++i)
        EXPECT_EQ(leido.columnas[i].tipo, tipos[i]) << leido.columnas[i].nombre.toStdString();
}

TEST_F(EndpointTds, CienMilFilasLleganTodas) {
    CrearGrande();
    auto c = PorTds(QStringLiteral("PRUEBA"));
    QElapsedTimer reloj;
    reloj.start();
    const auto r = Filas(*c, QStringLiteral("SELECT x, t FROM G ORDER BY x"));
    const qint64 ms = reloj.elapsed();
    ASSERT_EQ(r.filas.size(), 100000u);
    qint64 suma = 0;
    for (size_t i = 0; i < r.filas.size(); ++i) {
        ASSERT_EQ(r.filas[i][0].toLongLong(), qint64(i));
        suma += r.filas[i][0].toLongLong();
    }
    EXPECT_EQ(suma, 4999950000LL);
    std::printf("100000 filas por FreeTDS en %lld ms\n", static_cast<long long>(ms));
}

TEST_F(EndpointTds, DiezSesionesALaVezCadaUnaConSuBaseYSuTransaccion) {
    for (int i = 0; i < 10; ++i) {
        Lote(admin_, QStringLiteral("CREATE DATABASE B%1").arg(i));
        Lote(admin_, QStringLiteral("USE B%1").arg(i));
        Lote(admin_, QStringLiteral("CREATE TABLE T (x int)"));
    }
    std::atomic<int> fallos{0};
    std::vector<std::thread> hilos;
    for (int i = 0; i < 10; ++i)
        hilos.emplace_back([&, i] {
            try {
                Conexion c;
                c.Open(CadenaFreeTds(endpoint_->puerto(), QStringLiteral("B%1").arg(i), kAdmin, kClave));
                for (int vuelta = 0; vuelta < 5; ++vuelta) {
                    c.EjecutarLote(QStringLiteral("BEGIN TRAN INSERT INTO T VALUES (%1)").arg(vuelta));
                    const auto r =
                        c.EjecutarLote(QStringLiteral("SELECT DB_NAME(), @@TRANCOUNT, COUNT(*) FROM T"));
                    if (r.empty() || r.back().filas.empty() ||
                        r.back().filas[0][0].toString() != QStringLiteral("B%1").arg(i) ||
                        r.back().filas[0][1].toInt() != 1)
                        ++fallos;
                    // Even sessions keep their rows, odd ones undo them.
                    c.EjecutarLote(i % 2 == 0 ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
                }
            } catch (const std::exception&) {
                ++fallos;
            }
        });
    for (auto& h : hilos) h.join();
    EXPECT_EQ(fallos.load(), 0);
    for (int i = 0; i < 10; ++i) {
        Conexion d;
        d.Open(CadenaDirecta(QStringLiteral("B%1").arg(i)));
        EXPECT_EQ(Filas(d, QStringLiteral("SELECT COUNT(*) FROM T")).filas[0][0].toInt(), i % 2 == 0 ? 5 : 0)
            << i;
    }
}

TEST_F(EndpointTds, UnaEsperaDeBloqueoTerminaAlAgotarseElTiempo) {
    EsperaBloqueo espera = EsperarBloqueo([](Conexion& b) { b.SetCommandTimeout(2); },
                                          QStringLiteral("INSERT INTO L VALUES (2)"));
    EXPECT_TRUE(espera.fallo);
    EXPECT_LT(espera.ms, 15000);
    ASSERT_GT(espera.b->Errors().Count(), 0);
    EXPECT_EQ(espera.b->Errors().Item(0).estadoSQL, QStringLiteral("HYT00"));
    // The lock is still the first session's; once it lets go the second writes.
    SoltarYEscribir(espera);
    EXPECT_EQ(Filas(*espera.b, QStringLiteral("SELECT COUNT(*) FROM L")).filas[0][0].toInt(), 1);
}

TEST_F(EndpointTds, UnCancelDetieneLaSentenciaYLaConexionSigue) {
    CrearGrande();
    auto c = PorTds(QStringLiteral("PRUEBA"));
    c->SetCommandTimeout(1);
    QElapsedTimer reloj;
    reloj.start();
    bool fallo = false;
    try {
        for (const auto& r : c->EjecutarLote(QStringLiteral("SELECT COUNT(*) FROM G a, G b")))
            if (r.error) fallo = true;
    } catch (const kv::KvExcepcion&) {
        fallo = true;
    }
    EXPECT_TRUE(fallo);
    EXPECT_LT(reloj.elapsed(), 15000);
    c->Errors().Clear();
    c->SetCommandTimeout(30);
    EXPECT_EQ(Filas(*c, QStringLiteral("SELECT 7")).filas[0][0].toInt(), 7);
}

TEST_F(EndpointTds, UnClienteMuertoAMitadNoDejaBloqueos) {
    CrearGrande();
    QTemporaryDir dir;
    const QString guion = dir.path() + QStringLiteral("/muere.py");
    QFile f(guion);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral(
                "import pyodbc, sys\n"
                "c = pyodbc.connect('DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;DATABASE=PRUEBA;UID=Korvane;"
                "PWD=pelumbo', autocommit=False)\n"
                "k = c.cursor()\n"
                "k.execute('INSERT INTO L VALUES (9)')\n"
                "print('listo', flush=True)\n"
                "k.execute('SELECT COUNT(*) FROM G a, G b')\n")
                .arg(endpoint_->puerto())
                .toUtf8());
    f.close();
    QProcess cliente;
    cliente.start(QStringLiteral("/usr/bin/python3"), {guion});
    ASSERT_TRUE(cliente.waitForStarted(10000));
    QByteArray salida;
    QElapsedTimer reloj;
    reloj.start();
    while (!salida.contains("listo") && reloj.elapsed() < 30000) {
        cliente.waitForReadyRead(500);
        salida += cliente.readAllStandardOutput();
    }
    ASSERT_TRUE(salida.contains("listo")) << cliente.readAllStandardError().toStdString();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cliente.kill();
    cliente.waitForFinished(5000);
    // The dead client's transaction is undone and its lock gone: another session writes at once.
    auto b = PorTds(QStringLiteral("PRUEBA"));
    b->SetCommandTimeout(10);
    Lote(*b, QStringLiteral("INSERT INTO L VALUES (1)"));
    EXPECT_EQ(Filas(*b, QStringLiteral("SELECT COUNT(*) FROM L")).filas[0][0].toInt(), 1);
}

TEST_F(EndpointTds, UnaPeticionDemasiadoGrandeDa701YLaConexionSigue) {
    auto c = PorTds();
    const QString grande = QStringLiteral("SELECT 1 /* ") + QString(300 * 1024, u'x') + QStringLiteral(" */");
    bool hay701 = false;
    try {
        for (const auto& r : c->EjecutarLote(grande))
            if (r.error && r.error->errorNativo == 701) hay701 = true;
    } catch (const kv::KvExcepcion&) {
        for (const auto& e : c->Errors().Todos()) hay701 = hay701 || e.errorNativo == 701;
    }
    EXPECT_TRUE(hay701);
    c->Errors().Clear();
    EXPECT_EQ(Filas(*c, QStringLiteral("SELECT 2")).filas[0][0].toInt(), 2);
}

TEST_F(EndpointTds, LaBasuraCierraSoloSuConexion) {
    auto abierta = PorTds();
    std::mt19937 azar(20261208);
    const QByteArray prelogin = kv::tds::ArmarMensaje(
        kv::tds::paquete::Prelogin, kv::tds::ArmarPreloginCliente(kv::tds::cifrado::NoAdmitido), 4096);
    kv::tds::Login7 datos;
    datos.usuario = kAdmin;
    datos.clave = kClave;
    const QByteArray login =
        kv::tds::ArmarMensaje(kv::tds::paquete::Login7, kv::tds::ArmarLogin7(datos), 4096);
    QElapsedTimer reloj;
    reloj.start();
    int intentos = 0;
    // Bounded in count and in time.
    for (; intentos < 300 && reloj.elapsed() < 20000; ++intentos) {
        const int fd = Socket(endpoint_->puerto());
        ASSERT_GE(fd, 0);
        const int caso = int(azar() % 4);
        QByteArray b;
        if (caso == 0) {
            b.resize(int(azar() % 600));
            for (auto& x : b) x = char(azar());
        } else if (caso == 1) {
            b = prelogin;
            for (int k = 0; k < 4; ++k) b[int(azar() % b.size())] = char(azar());
        } else if (caso == 2) {
            b = prelogin + login;
            for (int k = 0; k < 3; ++k) {
                const int i = int(prelogin.size() + azar() % login.size());
                b[i] = char(azar());
            }
        } else {
            // A valid login, then a batch whose packets and text are garbled.
            Enviar(fd, prelogin);
            Enviar(fd, login);
            QByteArray lote;
            lote.resize(int(8 + azar() % 300));
            for (auto& x : lote) x = char(azar());
            b = kv::tds::ArmarPaquete(kv::tds::paquete::Lote, kv::tds::FinDeMensaje, lote, 1);
            if (azar() % 2) b[2] = char(azar());
        }
        Enviar(fd, b);
        ::shutdown(fd, SHUT_WR);
        Recibir(fd);
        ::close(fd);
    }
    std::printf("%d conexiones con basura\n", intentos);
    // The connection opened before still works, and so does a new one.
    EXPECT_EQ(Filas(*abierta, QStringLiteral("SELECT 3")).filas[0][0].toInt(), 3);
    auto nueva = PorTds();
    EXPECT_EQ(Filas(*nueva, QStringLiteral("SELECT 4")).filas[0][0].toInt(), 4);
    // Every garbled connection ended.
    for (int i = 0; i < 100 && endpoint_->servidor().ConexionesActivas() > 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(endpoint_->servidor().ConexionesActivas(), 2);
}

TEST_F(EndpointTds, ConCertificadoElInicioVaCifrado) {
    QTemporaryDir dir;
    const QString cert = dir.path() + QStringLiteral("/servidor.pem");
    const QString clave = dir.path() + QStringLiteral("/servidor.key");
    const QString fallo = CrearCertificado(cert, clave);
    ASSERT_TRUE(fallo.isEmpty()) << fallo.toStdString();
    kv::tds::OpcionesServidor o;
    o.certificado = cert;
    o.clave = clave;
    EndpointEnProceso tls(o);
    for (const QString& modo : {QStringLiteral("require"), QStringLiteral("request")}) {
        Conexion c;
        c.Open(QStringLiteral(
                   "DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;DATABASE=master;UID=Korvane;PWD=pelumbo;"
                   "Encryption=%2;")
                   .arg(tls.puerto())
                   .arg(modo));
        EXPECT_EQ(Filas(c, QString::fromUtf8("SELECT N'año'")).filas[0][0].toString(),
                  QString::fromUtf8("año"));
        c.Close();
    }
    bool cifrada = false;
    for (const QString& l : tls.Registro()) cifrada = cifrada || l.contains(QStringLiteral(", cifrada"));
    EXPECT_TRUE(cifrada) << tls.Registro().join(u'\n').toStdString();
}

}  // namespace

namespace {

// Runs a Python script (pyodbc over FreeTDS) and returns what it printed; fails the test when it fails.
QString Python(const QString& guion, int esperaMs = 240000) {
    QTemporaryDir dir;
    const QString ruta = dir.path() + QStringLiteral("/cliente.py");
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(guion.toUtf8());
    f.close();
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {ruta});
    if (!p.waitForStarted(10000)) return {};
    if (!p.waitForFinished(esperaMs)) {
        p.kill();
        p.waitForFinished(5000);
        ADD_FAILURE() << "el cliente no terminó";
    }
    if (p.exitCode() != 0) ADD_FAILURE() << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A line of /proc/<pid>/status in kilobytes ("VmRSS", "VmHWM").
long long MemoriaKb(qint64 pid, const char* campo) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith(campo)) return l.mid(qsizetype(std::strlen(campo)) + 1).trimmed().split(' ')[0].toLongLong();
    return -1;
}

}  // namespace

TEST_F(EndpointTds, ConLockTimeoutUnaEsperaDeBloqueoDa1222) {
    EsperaBloqueo espera =
        EsperarBloqueo([this](Conexion& b) { Lote(b, QStringLiteral("SET LOCK_TIMEOUT 300")); },
                       QStringLiteral("INSERT INTO L VALUES (2) SELECT @@ERROR"));
    ASSERT_TRUE(espera.error.has_value());
    EXPECT_EQ(espera.error->errorNativo, 1222);
    EXPECT_EQ(espera.error->descripcion, QStringLiteral("Se superó el tiempo de espera de la solicitud de bloqueo."));
    EXPECT_GE(espera.ms, 250);
    std::printf("1222 por FreeTDS tras %lld ms\n", static_cast<long long>(espera.ms));
    // The lock stays the first session's; once it lets go the second writes.
    SoltarYEscribir(espera);
    EXPECT_EQ(Filas(*espera.b, QStringLiteral("SELECT SUM(x) FROM L")).filas[0][0].toInt(), 3);
}

TEST_F(EndpointTds, UnCancelAMitadDeLasFilasLasDetieneYLaConexionSigue) {
    CrearGrande();
    // Ten thousand million rows: only a result that goes as it is read has its first ones at once.
    const QString salida = Python(QStringLiteral(
        "import pyodbc, time\n"
        "c = pyodbc.connect('DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;DATABASE=PRUEBA;UID=Korvane;"
        "PWD=pelumbo', autocommit=True)\n"
        "k = c.cursor()\n"
        "t = time.time()\n"
        "k.execute('SELECT a.x, b.t FROM G a, G b')\n"
        "n = len(k.fetchmany(5000))\n"
        "primeras = time.time() - t\n"
        "k.cancel()\n"
        "k2 = c.cursor()\n"
        "k2.execute('SELECT 7')\n"
        "print('filas %d despues %d' % (n, k2.fetchone()[0]))\n"
        "print('primeras 5000 filas en %.3f s' % primeras)\n")
                                        .arg(endpoint_->puerto()));
    EXPECT_TRUE(salida.startsWith(QStringLiteral("filas 5000 despues 7\n"))) << salida.toStdString();
    std::printf("%s", salida.toUtf8().constData());
}

// Benchmark: a million rows through the endpoint with a session bound of 16 MB,
// which a result held whole would pass (701). Prints the server's resident memory.
TEST_F(EndpointTds, UnMillonDeFilasVanSinRetenerseEnMemoria) {
    CrearGrande();
    Lote(admin_, QStringLiteral("CREATE TABLE M (x int, t nvarchar(20))"));
    Lote(admin_, QStringLiteral("INSERT INTO M (x, t) SELECT a.x*10 + b.x, N'una fila más' FROM G a, N b"));
    qputenv("KVESTV_MEMORIA_SESION_MB", "16");
    EndpointHijo hijo(qEnvironmentVariable("KVESTV_DATOS"));
    qunsetenv("KVESTV_MEMORIA_SESION_MB");
    ASSERT_NE(hijo.puerto(), 0);
    const long long antes = MemoriaKb(hijo.pid(), "VmRSS:");
    const QString salida = Python(QStringLiteral(
        "import pyodbc, time\n"
        "c = pyodbc.connect('DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;DATABASE=PRUEBA;UID=Korvane;"
        "PWD=pelumbo', autocommit=True)\n"
        "k = c.cursor()\n"
        "t = time.time()\n"
        "k.execute('SELECT x, t FROM M ORDER BY x')\n"
        "primera = None\n"
        "n = s = 0\n"
        "while True:\n"
        "    filas = k.fetchmany(10000)\n"
        "    if not filas: break\n"
        "    if primera is None: primera = time.time() - t\n"
        "    n += len(filas)\n"
        "    s += sum(f[0] for f in filas)\n"
        "print('filas %d suma %d' % (n, s))\n"
        "print('primera fila en %.3f s, todas en %.3f s' % (primera, time.time() - t))\n")
                                        .arg(hijo.puerto()));
    const long long pico = MemoriaKb(hijo.pid(), "VmHWM:");
    EXPECT_TRUE(salida.startsWith(QStringLiteral("filas 1000000 suma 499999500000\n"))) << salida.toStdString();
    std::printf("%sservidor: %lld kB residentes antes, pico %lld kB\n", salida.toUtf8().constData(), antes, pico);
}

namespace {

// The first IPv4 address of this machine that is not a loopback one; empty when it has none.
QString DireccionNoLocal() {
    ifaddrs* lista = nullptr;
    if (getifaddrs(&lista) != 0) return {};
    QString hallada;
    for (ifaddrs* i = lista; i && hallada.isEmpty(); i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_LOOPBACK)) continue;
        if (!(i->ifa_flags & IFF_UP)) continue;
        char texto[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, texto, sizeof(texto));
        hallada = QString::fromLatin1(texto);
    }
    freeifaddrs(lista);
    return hallada;
}

int SocketA(const QString& direccion, quint16 puerto) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(puerto);
    inet_pton(AF_INET, direccion.toLatin1().constData(), &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        ::close(fd);
        return -1;
    }
    timeval t{};
    t.tv_sec = 5;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof(t));
    return fd;
}

// One whole message of the endpoint (its packets up to the last one); empty when the connection ends first.
QByteArray LeerMensajeCrudo(int fd) {
    QByteArray mensaje;
    for (;;) {
        char cabecera[8];
        size_t leidos = 0;
        while (leidos < 8) {
            const ssize_t n = ::recv(fd, cabecera + leidos, 8 - leidos, 0);
            if (n <= 0) return mensaje;
            leidos += size_t(n);
        }
        const int largo = (static_cast<unsigned char>(cabecera[2]) << 8) | static_cast<unsigned char>(cabecera[3]);
        QByteArray carga(largo - 8, '\0');
        leidos = 0;
        while (leidos < size_t(carga.size())) {
            const ssize_t n = ::recv(fd, carga.data() + leidos, size_t(carga.size()) - leidos, 0);
            if (n <= 0) return mensaje;
            leidos += size_t(n);
        }
        mensaje.append(carga);
        if (cabecera[1] & kv::tds::FinDeMensaje) return mensaje;
    }
}

}  // namespace

TEST_F(EndpointTds, FueraDelLoopbackSinCertificadoNoEscucha) {
    const QString direccion = DireccionNoLocal();
    if (direccion.isEmpty()) GTEST_SKIP() << "esta máquina no tiene ninguna dirección IPv4 fuera del loopback";
    QProcess kvsql;
    kvsql.start(CarpetaBinarios() + QStringLiteral("kvsql"),
                {QStringLiteral("--servir"), QStringLiteral("--direccion"), direccion, QStringLiteral("--puerto"),
                 QStringLiteral("0")});
    ASSERT_TRUE(kvsql.waitForStarted(10000));
    if (!kvsql.waitForFinished(20000)) {
        kvsql.kill();
        kvsql.waitForFinished(5000);
        FAIL() << "kvsql escucha en " << direccion.toStdString() << " sin certificado";
    }
    EXPECT_NE(kvsql.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(kvsql.readAllStandardError())
                    .contains(QStringLiteral("Para escuchar en %1 hacen falta --certificado y --clave").arg(direccion)));
}

TEST_F(EndpointTds, FueraDelLoopbackUnInicioSinCifrarSeRechaza) {
    const QString direccion = DireccionNoLocal();
    if (direccion.isEmpty()) GTEST_SKIP() << "esta máquina no tiene ninguna dirección IPv4 fuera del loopback";
    QTemporaryDir dir;
    const QString cert = dir.path() + QStringLiteral("/servidor.pem");
    const QString clave = dir.path() + QStringLiteral("/servidor.key");
    const QString fallo = CrearCertificado(cert, clave);
    ASSERT_TRUE(fallo.isEmpty()) << fallo.toStdString();
    kv::tds::OpcionesServidor o;
    o.certificado = cert;
    o.clave = clave;
    EndpointEnProceso remoto(o, direccion);
    // A client on that address (the connection comes from it, not from the loopback) that does not encrypt.
    const int fd = SocketA(direccion, remoto.puerto());
    ASSERT_GE(fd, 0);
    Enviar(fd, kv::tds::ArmarMensaje(kv::tds::paquete::Prelogin,
                                     kv::tds::ArmarPreloginCliente(kv::tds::cifrado::NoAdmitido), 4096));
    const kv::tds::Prelogin respuesta = kv::tds::LeerPrelogin(LeerMensajeCrudo(fd));
    EXPECT_EQ(respuesta.cifrado, kv::tds::cifrado::Exigido);
    kv::tds::Login7 datos;
    datos.usuario = kAdmin;
    datos.clave = kClave;
    Enviar(fd, kv::tds::ArmarMensaje(kv::tds::paquete::Login7, kv::tds::ArmarLogin7(datos), 4096));
    const QByteArray rechazo = LeerMensajeCrudo(fd);
    ::close(fd);
    const QString texto = QStringLiteral(
        "Error de inicio de sesión: este servidor solo admite conexiones cifradas desde otros equipos.");
    EXPECT_TRUE(rechazo.contains(QByteArray(reinterpret_cast<const char*>(texto.utf16()), texto.size() * 2)));
    // The answer is the error alone (no LOGINACK), and the connection ends.
    ASSERT_FALSE(rechazo.isEmpty());
    EXPECT_EQ(static_cast<unsigned char>(rechazo[0]), 0xAA);
    bool registrado = false;
    for (const QString& l : remoto.Registro())
        registrado = registrado || l.startsWith(QStringLiteral("Inicio de sesión sin cifrar desde %1").arg(direccion));
    EXPECT_TRUE(registrado) << remoto.Registro().join(u'\n').toStdString();
}

// Money over FreeTDS as on the direct path: typed currency, and exact over its
// whole range (a double while it holds the amount, the exact text beyond), in
// columns, sums and quotients alike; decimals as the nearest double to their digits.
TEST_F(EndpointTds, ElDineroLlegaExactoYComoDineroEnTodoSuRango) {
    Lote(admin_, QStringLiteral("CREATE DATABASE DINERO"));
    Lote(admin_, QStringLiteral("USE DINERO"));
    Lote(admin_, QStringLiteral("CREATE TABLE M (n int, m money, s smallmoney, d decimal(19,4), e decimal(38,10))"));
    Lote(admin_, QStringLiteral("INSERT INTO M VALUES (1, 922337203685477.5807, 214748.3647, 922337203685477.5807, "
                                "12345678901234567890.0123456789)"));
    Lote(admin_, QStringLiteral("INSERT INTO M VALUES (2, -922337203685477.5808, -214748.3648, 123456789012.3456, "
                                "0.1)"));
    Lote(admin_, QStringLiteral("INSERT INTO M VALUES (3, 450359962737.0497, 0.0001, 0.0001, -1.5)"));
    Lote(admin_, QStringLiteral("INSERT INTO M VALUES (4, 450359962737.0496, -0.01, NULL, NULL)"));
    Conexion directa;
    directa.Open(CadenaDirecta(QStringLiteral("DINERO")));
    auto c = PorTds(QStringLiteral("DINERO"));
    for (const QString& consulta :
         {QStringLiteral("SELECT n, m, s, d, e FROM M ORDER BY n"),
          QStringLiteral("SELECT SUM(m) AS t, SUM(d) AS u, CAST(1 AS money) / 3 AS q FROM M WHERE n >= 2")}) {
        SCOPED_TRACE(consulta.toStdString());
        const auto esperado = Filas(directa, consulta);
        const auto leido = Filas(*c, consulta);
        ASSERT_EQ(leido.columnas.size(), esperado.columnas.size());
        for (size_t i = 0; i < esperado.columnas.size(); ++i)
            EXPECT_EQ(leido.columnas[i].tipo, esperado.columnas[i].tipo) << esperado.columnas[i].nombre.toStdString();
        ASSERT_EQ(leido.filas.size(), esperado.filas.size());
        for (size_t f = 0; f < esperado.filas.size(); ++f)
            for (size_t i = 0; i < esperado.columnas.size(); ++i) {
                const QVariant& a = esperado.filas[f][i];
                const QVariant& b = leido.filas[f][i];
                const std::string donde = esperado.columnas[i].nombre.toStdString() + " fila " + std::to_string(f);
                EXPECT_EQ(b.typeId(), a.typeId()) << donde;
                if (a.typeId() == QMetaType::Double)
                    EXPECT_EQ(b.toDouble(), a.toDouble()) << donde;
                else
                    EXPECT_EQ(b.toString().toStdString(), a.toString().toStdString()) << donde;
            }
    }
    // What the users' money must read as, to the last ten-thousandth.
    const auto filas = Filas(*c, QStringLiteral("SELECT m FROM M ORDER BY n")).filas;
    ASSERT_EQ(filas.size(), 4u);
    EXPECT_EQ(filas[0][0], QVariant(QStringLiteral("922337203685477.5807")));
    EXPECT_EQ(filas[1][0], QVariant(QStringLiteral("-922337203685477.5808")));
    EXPECT_EQ(filas[2][0], QVariant(QStringLiteral("450359962737.0497")));  // 2^52 + 1 ten-thousandths
    EXPECT_EQ(filas[3][0], QVariant(450359962737.0496));                   // 2^52: a double holds it
    EXPECT_EQ(Filas(*c, QStringLiteral("SELECT SUM(m) FROM M WHERE n >= 2")).filas[0][0],
              QVariant(QStringLiteral("-921436483760003.4815")));
}

// Money with a decimal is an exact decimal of SQL Server's precision and scale,
// to the ends of money's range, announced alike on both paths.
TEST_F(EndpointTds, ElDineroConUnDecimalLlegaExactoPorAmbosCaminos) {
    Lote(admin_, QStringLiteral("CREATE DATABASE DECIMALES"));
    Conexion directa;
    directa.Open(CadenaDirecta(QStringLiteral("DECIMALES")));
    auto c = PorTds(QStringLiteral("DECIMALES"));
    const QString consulta = QStringLiteral(
        "SELECT CAST('922337203685477.5807' AS money) * 1.5 AS a, CAST('-922337203685477.5808' AS money) / 2.5 AS b, "
        "CAST('922337203685477.5807' AS money) + 0.25 AS c, CAST(10.0001 AS money) * 1.5 AS d, 2.0 / 3 AS e, "
        "CAST('922337203685477.5807' AS money) * CAST(2 AS decimal(10, 2)) AS f");
    const auto esperado = Filas(directa, consulta);
    const auto leido = Filas(*c, consulta);
    ASSERT_EQ(esperado.filas.size(), 1u);
    ASSERT_EQ(leido.filas.size(), 1u);
    const QList<QVariant> valores = {QStringLiteral("1383505805528216.37105"), QStringLiteral("-368934881474191.0323200"),
                                     QStringLiteral("922337203685477.8307"), 15.00015, 0.666666,
                                     QStringLiteral("1844674407370955.161400")};
    const QList<QPair<int, int>> tipos = {{22, 5}, {23, 7}, {20, 4}, {22, 5}, {7, 6}, {30, 6}};
    for (int i = 0; i < valores.size(); ++i) {
        SCOPED_TRACE(esperado.columnas[size_t(i)].nombre.toStdString());
        EXPECT_EQ(esperado.filas[0][size_t(i)], valores[i]);
        // The endpoint sends every digit; the ODBC provider reads a decimal as its double.
        EXPECT_EQ(leido.filas[0][size_t(i)], QVariant(valores[i].toDouble()));
        EXPECT_EQ(esperado.columnas[size_t(i)].tipo, kv::db::tipo::Numeric);
        EXPECT_EQ(leido.columnas[size_t(i)].tipo, kv::db::tipo::Numeric);
        EXPECT_EQ(esperado.columnas[size_t(i)].precision, tipos[i].first);
        EXPECT_EQ(esperado.columnas[size_t(i)].escala, tipos[i].second);
    }
}

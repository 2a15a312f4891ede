// The columnar form of a statistic table kept in a file beside its database:
// made by one process and used by another; still used after commits to other
// tables of the same database; never used once the table has changed, whoever
// changed it (another process through the server, a program
// of its own on the file) and also when the writer of a newer form was killed
// halfway; a damaged or cut file is passed over and made again. Every answer
// is checked against the general route's.

#include <signal.h>
#include <sqlite3.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "TablaEstadisticaPrueba.h"
#include "localserver/rapida/ArchivoColumnar.h"
#include "localserver/rapida/RutaAgregacion.h"
#include "localserver/rapida/TablaColumnar.h"
#include "localserver/tsql/Funciones.h"

namespace kv::pruebas {
namespace {

using kv::local::rapida::CacheColumnar;

class ArchivoColumnarTest : public TablaEstadisticaPrueba {
  protected:
    void SetUp() override {
        kv::local::rapida::ActivarArchivosColumnares(true);
        TablaEstadisticaPrueba::SetUp();
        QString otras;
        for (int i = 0; i < 200; ++i)
            otras += QStringLiteral(
                         "INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'C%1', 'V%2', ' ', %3, "
                         "0.25, 0.5)\n")
                         .arg(i, 3, 10, QLatin1Char('0'))
                         .arg(i % 7)
                         .arg(i);
        Lote(*c_, otras);
    }

    QString Base() const { return carpetas_.datos() + QStringLiteral("KV_ESTADISTICAS.db"); }
    QString Archivo() const {
        return kv::local::rapida::ArchivoDeTabla(Base(), QStringLiteral("DET_ESTV0001"));
    }

    // The chart's rows as the general route gives them.
    std::vector<std::vector<QVariant>> General() {
        kv::local::rapida::ActivarRutaAgregacion(false);
        auto f = Filas(*c_, QString::fromLatin1(kGraficoEstadistica));
        kv::local::rapida::ActivarRutaAgregacion(true);
        return f;
    }
    // The chart's rows on the fast route, with nothing in memory (as a new process).
    std::vector<std::vector<QVariant>> Rapida() {
        CacheColumnar::Global().Vaciar();
        return Filas(*c_, QString::fromLatin1(kGraficoEstadistica));
    }
    // The chart query run by another process (kvsql).
    void OtroProceso(const QString& sql) {
        const Salida s = Kvsql(Administrador(QStringLiteral("KV_ESTADISTICAS")) + QStringList{"-Q", sql});
        ASSERT_EQ(s.estado, 0) << s.errores.join('\n').toStdString();
    }
};

TEST_F(ArchivoColumnarTest, HechoPorUnProcesoLoUsaOtro) {
    ASSERT_FALSE(QFile::exists(Archivo()));
    OtroProceso(QString::fromLatin1(kGraficoEstadistica));
    ASSERT_TRUE(QFile::exists(Archivo()));
    const auto antes = CacheColumnar::Global().Contadas();
    const auto filas = Rapida();
    const auto despues = CacheColumnar::Global().Contadas();
    EXPECT_EQ(despues.deArchivo, antes.deArchivo + 1);
    EXPECT_EQ(despues.deFilas, antes.deFilas);
    ASSERT_EQ(filas.size(), 202u);
    EXPECT_EQ(filas, General());
    EXPECT_EQ(filas[0][3].toString(), QStringLiteral("B"));
    EXPECT_EQ(filas[0][2].toDouble(), 40.0);
}

TEST_F(ArchivoColumnarTest, UnCambioDeOtroProcesoEntreDosCargasSeVe) {
    Rapida();
    ASSERT_TRUE(QFile::exists(Archivo()));
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        const double venta = 500 + vuelta;
        OtroProceso(QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = %1 WHERE Grupo1 = 'A'").arg(venta));
        const auto antes = CacheColumnar::Global().Contadas();
        const auto filas = Rapida();
        const auto despues = CacheColumnar::Global().Contadas();
        EXPECT_EQ(despues.deArchivo, antes.deArchivo) << "el archivo de antes del cambio no se usa";
        EXPECT_EQ(despues.archivosEscritos, antes.archivosEscritos + 1);
        ASSERT_FALSE(filas.empty());
        EXPECT_EQ(filas[0][3].toString(), QStringLiteral("A"));
        EXPECT_EQ(filas[0][2].toDouble(), venta);
        EXPECT_EQ(filas, General());
    }
    // The file made after the last change serves the next load.
    const auto antes = CacheColumnar::Global().Contadas();
    EXPECT_EQ(Rapida(), General());
    EXPECT_EQ(CacheColumnar::Global().Contadas().deArchivo, antes.deArchivo + 1);
}

TEST_F(ArchivoColumnarTest, UnCambioDeUnProgramaPropioSobreElArchivoSeVe) {
    Rapida();
    // A handle of its own on the database file, outside the server.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Base().toUtf8().constData(), &db), SQLITE_OK);
    kv::local::RegistrarFuncionesTSQL(db);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE DET_ESTV0001 SET ValorVenta = 700 WHERE Grupo1 = 'B'", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const auto antes = CacheColumnar::Global().Contadas();
    const auto filas = Rapida();
    EXPECT_EQ(CacheColumnar::Global().Contadas().deArchivo, antes.deArchivo);
    ASSERT_FALSE(filas.empty());
    EXPECT_EQ(filas[0][3].toString(), QStringLiteral("B"));
    EXPECT_EQ(filas[0][2].toDouble(), 700.0);
    EXPECT_EQ(filas, General());
}

TEST_F(ArchivoColumnarTest, UnCambioEnOtraTablaDeLaMismaBaseNoLoDescarta) {
    const auto esperadas = General();
    Rapida();
    ASSERT_TRUE(QFile::exists(Archivo()));
    // Another table of the store, made and written by this and by another process.
    Lote(*c_, QStringLiteral("CREATE TABLE OTRA (Clave nvarchar(20), Valor nvarchar(20))"));
    OtroProceso(QStringLiteral("INSERT INTO OTRA VALUES ('TimeOut', '0')"));
    Lote(*c_, QStringLiteral("UPDATE OTRA SET Valor = '0' WHERE Clave = 'TimeOut'"));
    for (int vuelta = 0; vuelta < 2; ++vuelta) {
        SCOPED_TRACE(vuelta);
        const auto antes = CacheColumnar::Global().Contadas();
        EXPECT_EQ(Rapida(), esperadas);
        const auto despues = CacheColumnar::Global().Contadas();
        EXPECT_EQ(despues.deArchivo, antes.deArchivo + 1);
        EXPECT_EQ(despues.deFilas, antes.deFilas);
        OtroProceso(QStringLiteral("INSERT INTO OTRA VALUES ('Otra', 'x')"));
    }
    // The table itself changed, the other one too: the file is not used.
    OtroProceso(
        QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = 45 WHERE Grupo1 = 'A'; "
                       "INSERT INTO OTRA VALUES ('Otra', 'y')"));
    const auto antes = CacheColumnar::Global().Contadas();
    const auto filas = Rapida();
    EXPECT_EQ(CacheColumnar::Global().Contadas().deArchivo, antes.deArchivo);
    ASSERT_FALSE(filas.empty());
    EXPECT_EQ(filas[0][3].toString(), QStringLiteral("A"));
    EXPECT_EQ(filas[0][2].toDouble(), 45.0);
    EXPECT_EQ(filas, General());
    // A column added to the table: its definition differs, the file is made again.
    Lote(*c_, QStringLiteral("ALTER TABLE DET_ESTV0001 ADD Nota nvarchar(10) NULL"));
    const auto antesAlterar = CacheColumnar::Global().Contadas();
    EXPECT_EQ(Rapida(), General());
    EXPECT_EQ(CacheColumnar::Global().Contadas().deArchivo, antesAlterar.deArchivo);
}

// A table of many pages is checked page by page whatever half of its tree a
// page is in: a change to its first row or to its last one is seen after a
// commit elsewhere, and the file is used again once made after it.
TEST_F(ArchivoColumnarTest, UnCambioEnCualquierHojaDeUnaTablaGrandeSeVe) {
    QString filas;
    for (int i = 0; i < 4000; ++i)
        filas +=
            QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('SUR', '2/2025', 'Z%1', 'V1', ' ', 1, 2, %2)\n")
                .arg(i, 4, 10, QLatin1Char('0'))
                .arg(i);
    Lote(*c_, QStringLiteral("CREATE TABLE OTRA (Clave nvarchar(20))\n") + filas);
    Rapida();
    for (const char* fila : {"Z0000", "Z3999", "Z2000"}) {
        SCOPED_TRACE(fila);
        OtroProceso(QStringLiteral("INSERT INTO OTRA VALUES ('antes')"));
        auto antes = CacheColumnar::Global().Contadas();
        EXPECT_EQ(Rapida(), General());
        EXPECT_EQ(CacheColumnar::Global().Contadas().deArchivo, antes.deArchivo + 1);
        OtroProceso(
            QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = ValorVenta + 0.5 WHERE Grupo1 = '%1'; "
                           "INSERT INTO OTRA VALUES ('despues')")
                .arg(QLatin1String(fila)));
        antes = CacheColumnar::Global().Contadas();
        EXPECT_EQ(Rapida(), General());
        const auto despues = CacheColumnar::Global().Contadas();
        EXPECT_EQ(despues.deArchivo, antes.deArchivo) << "el archivo de antes del cambio no se usa";
        EXPECT_EQ(despues.archivosEscritos, antes.archivosEscritos + 1);
    }
}

TEST_F(ArchivoColumnarTest, ElEscritorMuertoAMitadNoDejaNadaQueSeUse) {
    Rapida();
    ASSERT_TRUE(QFile::exists(Archivo()));
    QFile viejo(Archivo());
    ASSERT_TRUE(viejo.open(QIODevice::ReadOnly));
    const QByteArray anterior = viejo.readAll();
    viejo.close();
    Lote(*c_, QStringLiteral("UPDATE DET_ESTV0001 SET ValorVenta = 900 WHERE Grupo1 = 'A'"));

    // Another process starts writing the new form and is killed in the middle.
    QProcess p;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("KVESTV_COLUMNAS_PAUSA_MS"), QStringLiteral("60000"));
    p.setProcessEnvironment(entorno);
    p.start(CarpetaBinarios() + QStringLiteral("kvsql"),
            Administrador(QStringLiteral("KV_ESTADISTICAS")) +
                QStringList{"-Q", QString::fromLatin1(kGraficoEstadistica)});
    ASSERT_TRUE(p.waitForStarted());
    const QDir carpeta(kv::local::rapida::CarpetaColumnas(Base()));
    QStringList temporales;
    QElapsedTimer reloj;
    reloj.start();
    while (temporales.isEmpty() && reloj.elapsed() < 60000) {
        QThread::msleep(20);
        temporales = carpeta.entryList({QStringLiteral("*.tmp")}, QDir::Files);
    }
    ASSERT_EQ(temporales.size(), 1) << "el otro proceso no empezó a escribir";
    ::kill(pid_t(p.processId()), SIGKILL);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
    // What it left: its half-written file aside, and the old form untouched under the name.
    EXPECT_TRUE(carpeta.exists(temporales.front()));
    QFile ahora(Archivo());
    ASSERT_TRUE(ahora.open(QIODevice::ReadOnly));
    EXPECT_EQ(ahora.readAll(), anterior);
    ahora.close();

    const auto antes = CacheColumnar::Global().Contadas();
    const auto filas = Rapida();
    const auto despues = CacheColumnar::Global().Contadas();
    EXPECT_EQ(despues.deArchivo, antes.deArchivo) << "ni el archivo viejo ni el a medias se usan";
    EXPECT_EQ(despues.archivosEscritos, antes.archivosEscritos + 1);
    ASSERT_FALSE(filas.empty());
    EXPECT_EQ(filas[0][3].toString(), QStringLiteral("A"));
    EXPECT_EQ(filas[0][2].toDouble(), 900.0);
    EXPECT_EQ(filas, General());
    // The dead writer's remains are cleared by the next writer.
    EXPECT_FALSE(carpeta.exists(temporales.front()));
}

TEST_F(ArchivoColumnarTest, UnArchivoDanadoOCortadoSePasaPorAltoYSeRehace) {
    const auto esperadas = General();
    Rapida();
    QFile f(Archivo());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray entero = f.readAll();
    f.close();
    ASSERT_GT(entero.size(), 1000);
    const auto danar = [&](int caso) {
        QByteArray b = entero;
        switch (caso) {
            case 0:  // a byte changed in the rows
                b[b.size() - 40] = char(b[b.size() - 40] ^ 0x5a);
                break;
            case 1:  // a byte changed in the header
                b[20] = char(b[20] ^ 0x01);
                break;
            case 2:  // cut in half
                b.truncate(b.size() / 2);
                break;
            case 3:  // cut inside the header
                b.truncate(10);
                break;
            default:  // empty
                b.clear();
        }
        QFile w(Archivo());
        ASSERT_TRUE(w.open(QIODevice::WriteOnly | QIODevice::Truncate));
        w.write(b);
    };
    for (int caso = 0; caso < 5; ++caso) {
        SCOPED_TRACE(caso);
        danar(caso);
        const auto antes = CacheColumnar::Global().Contadas();
        EXPECT_EQ(Rapida(), esperadas);
        const auto despues = CacheColumnar::Global().Contadas();
        EXPECT_EQ(despues.deArchivo, antes.deArchivo);
        EXPECT_EQ(despues.archivosEscritos, antes.archivosEscritos + 1);
        // Made again whole: the next load takes it.
        EXPECT_EQ(Rapida(), esperadas);
        EXPECT_EQ(CacheColumnar::Global().Contadas().deArchivo, despues.deArchivo + 1);
    }
}

// With every connection closed the log is gone; the database file itself
// then names the state, and a change made and closed at once is still seen.
TEST(ArchivoColumnarSinRegistro, ElArchivoDeLaBaseNombraElEstado) {
    CarpetasTemporales carpetas;
    const QString base = carpetas.datos() + QStringLiteral("EST.db");
    const QByteArray ruta = base.toUtf8();
    const auto ejecutar = [&](const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(ruta.constData(), &db), SQLITE_OK);
        kv::local::RegistrarFuncionesTSQL(db);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    };
    ejecutar(
        "PRAGMA journal_mode=WAL; CREATE TABLE DET (Base TEXT, Fecha TEXT, Grupo1 TEXT, Grupo2 TEXT, Grupo3 "
        "TEXT, "
        "Consumo REAL, ValorCosto REAL, ValorVenta REAL); INSERT INTO DET VALUES ('N', '1/2025', 'A', ' ', ' "
        "', "
        "1.0, 2.0, 3.0)");
    ASSERT_FALSE(QFile::exists(base + QStringLiteral("-wal")));
    kv::local::rapida::ActivarArchivosColumnares(true);
    const auto leer = [&](CacheColumnar::Uso& uso) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(ruta.constData(), &db), SQLITE_OK);
        kv::local::RegistrarFuncionesTSQL(db);
        // The server reads the schema on opening, which sets up the log's index.
        ASSERT_EQ(sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        CacheColumnar cache(std::size_t(64) << 20);
        uso = cache.Obtener(db, 1, base, QStringLiteral("DET"));
        sqlite3_close(db);
    };
    CacheColumnar::Uso uso;
    // Just changed: too recent to name the state by the file's times.
    leer(uso);
    ASSERT_TRUE(uso.tabla);
    EXPECT_FALSE(uso.archivoEscrito);
    QThread::msleep(150);
    leer(uso);
    EXPECT_TRUE(uso.archivoEscrito);
    leer(uso);
    EXPECT_TRUE(uso.deArchivo);
    ASSERT_TRUE(uso.tabla);
    EXPECT_EQ(uso.tabla->numeros[2][0], 3.0);
    // A change in place, committed and checkpointed at once, the log gone again.
    ejecutar("UPDATE DET SET ValorVenta = 4.0");
    ASSERT_FALSE(QFile::exists(base + QStringLiteral("-wal")));
    leer(uso);
    ASSERT_TRUE(uso.tabla);
    EXPECT_FALSE(uso.deArchivo);
    EXPECT_EQ(uso.tabla->numeros[2][0], 4.0);
    QThread::msleep(150);
    leer(uso);
    EXPECT_FALSE(uso.deArchivo);
    EXPECT_TRUE(uso.archivoEscrito);
    EXPECT_EQ(uso.tabla->numeros[2][0], 4.0);
    // Another table written, the log written back into the file and gone, as
    // each program leaves it on closing: the table's pages are unchanged.
    ejecutar("CREATE TABLE CFG (Clave TEXT, Valor TEXT); INSERT INTO CFG VALUES ('TimeOut', '0')");
    ejecutar("UPDATE CFG SET Valor = '0'");
    ASSERT_FALSE(QFile::exists(base + QStringLiteral("-wal")));
    QThread::msleep(150);
    leer(uso);
    EXPECT_TRUE(uso.deArchivo);
    ASSERT_TRUE(uso.tabla);
    EXPECT_EQ(uso.tabla->numeros[2][0], 4.0);
}

}  // namespace
}  // namespace kv::pruebas

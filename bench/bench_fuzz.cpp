// Runs the batches of the fuzz test's shapes (long chains, deep parentheses,
// CASE and blocks, long IN lists, with what went before them in the batches
// that once ended the process) through the embedded server for a given time,
// in child processes, and prints how many batches ran, how many ended their
// process (crashes) and how many did not answer in time (hangs).
//
//   bench_fuzz [segundos] [semilla]
//
// Each child takes a seed, opens a fresh server folder and runs batches one by
// one, writing a line after each; the parent starts the next child when one
// ends. A child that dies of a signal is a crash; one that writes nothing for
// kPlazoLote seconds is a hang and is killed. The seeds of both are printed so
// that a failure can be run again alone (bench_fuzz --hijo semilla).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

#include "../tests/localserver/GeneradoresLotes.h"
#include "db/Conexion.h"
#include "localserver/ServidorEmbebido.h"

namespace {

constexpr int kLotesPorHijo = 40;
constexpr int kPlazoLote = 120;     // seconds without an answer that make a hang (the machine may be busy)
constexpr int kTiempoComando = 10;  // each batch's own time-out in the child

int Hijo(quint32 semilla, int cuantos) {
    QTemporaryDir carpeta;
    qputenv("KVESTV_DATOS", carpeta.path().toUtf8());
    kv::local::RegistrarServidorEmbebido();
    kv::db::Conexion c;
    c.Open(QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =master;UId=Korvane;Pwd=pelumbo;"));
    c.EjecutarLote(QStringLiteral("CREATE DATABASE FUZZ"));
    c.EjecutarLote(QStringLiteral("USE FUZZ"));
    c.EjecutarLote(QStringLiteral(
        "CREATE TABLE DET_ESTV0001 (Base nvarchar(50) NOT NULL, Fecha nvarchar(7) NOT NULL, Grupo1 nvarchar(25) "
        "NOT NULL, Grupo2 nvarchar(25) NOT NULL, Grupo3 nvarchar(25) NOT NULL, Consumo float NULL, ValorCosto "
        "money NULL, ValorVenta money NULL, CONSTRAINT PK_D PRIMARY KEY (Base, Fecha, Grupo1, Grupo2, Grupo3))"));
    c.EjecutarLote(QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'A', ' ', ' ', 1, 10, 20)"));
    c.SetCommandTimeout(kTiempoComando);
    std::mt19937 azar(semilla);
    for (int i = 0; i < cuantos; ++i) {
        const QString lote = kv::pruebas::generadores::Lote(azar, 1000000);
        // What the parent shows of a batch that never answers.
        std::fprintf(stderr, "%d: %s\n", i, lote.left(120).toUtf8().constData());
        try {
            c.EjecutarLote(lote);
        } catch (const std::exception&) {
            // Refused whole: an answer.
        }
        std::printf("lote %d\n", i);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == QLatin1String("--hijo"))
        return Hijo(args[2].toUInt(), args.size() > 3 ? args[3].toInt() : kLotesPorHijo);
    const int segundos = args.size() > 1 ? args[1].toInt() : 60;
    quint32 semilla = args.size() > 2 ? args[2].toUInt() : 1;
    if (segundos <= 0) {
        std::fprintf(stderr, "uso: bench_fuzz [segundos] [semilla]\n");
        return 2;
    }
    QElapsedTimer reloj;
    reloj.start();
    long long lotes = 0, caidas = 0, colgados = 0, hijos = 0;
    while (reloj.elapsed() < segundos * 1000LL) {
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hijo"), QString::number(semilla)});
        if (!p.waitForStarted()) {
            std::fprintf(stderr, "no arrancó el proceso hijo\n");
            return 1;
        }
        ++hijos;
        int hechos = 0;
        bool colgado = false;
        for (;;) {
            if (p.waitForReadyRead(kPlazoLote * 1000)) {
                while (p.canReadLine())
                    if (p.readLine().startsWith("lote")) ++hechos;
                continue;
            }
            if (p.state() == QProcess::NotRunning) break;
            colgado = true;
            p.kill();
            p.waitForFinished();
            break;
        }
        p.waitForFinished();
        while (p.canReadLine())
            if (p.readLine().startsWith("lote")) ++hechos;
        lotes += hechos;
        const QList<QByteArray> empezados = p.readAllStandardError().split('\n');
        const QByteArray ultimo = empezados.size() > 1 ? empezados[empezados.size() - 2] : QByteArray();
        if (colgado) {
            ++colgados;
            ++lotes;
            std::printf("colgado: semilla %u, lote %d: %s\n", semilla, hechos, ultimo.constData());
        } else if (p.exitStatus() == QProcess::CrashExit || p.exitCode() != 0) {
            ++caidas;
            ++lotes;
            std::printf("caída: semilla %u, lote %d (estado %d): %s\n", semilla, hechos, p.exitCode(),
                        ultimo.constData());
        }
        std::fflush(stdout);
        ++semilla;
    }
    std::printf("%lld lotes en %lld procesos, %lld caídas, %lld colgados, %.0f s\n", lotes, hijos, caidas, colgados,
                reloj.elapsed() / 1000.0);
    return caidas == 0 && colgados == 0 ? 0 : 1;
}

// The list lookup over a large table: time to open the window with its rows
// and time per typed character of the local search. Prints the figures.
//   bench_consultas [filas]   (100000 by default)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

#include "ComunBench.h"
#include "db/DB_Dll.h"
#include "localserver/ServidorEmbebido.h"
#include "lookup/Lib_FrmCons3.h"
#include "lookup/ModeloConsulta.h"
#include "util/InteraccionConsola.h"

namespace {
QString Cadena(const QString& base) {
    return "PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =" + base + ";UId=Korvane;Pwd=pelumbo;";
}

double Ms(const QElapsedTimer& reloj) { return static_cast<double>(reloj.nsecsElapsed()) / 1e6; }

const char* kPalabras[] = {"Aceite",   "Arroz",      "Azúcar",    "Café",  "Fideos", "Harina",
                           "Jabón",    "Leche",      "Té",        "Yerba", "Sal",    "Vinagre",
                           "Galletas", "Detergente", "Lavandina", "Queso"};
}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir carpeta;
    qputenv("KVESTV_DATOS", carpeta.path().toLocal8Bit());
    qputenv("KVESTV_CARPETA", carpeta.path().toLocal8Bit());
    QApplication app(argc, argv);
    kv::EstablecerInteraccion(std::make_unique<kv::InteraccionConsola>());
    const int filas = argc > 1 ? std::atoi(argv[1]) : 100000;
    kv::local::RegistrarServidorEmbebido();

    {
        kv::db::Conexion admin;
        admin.Open(Cadena("master"));
        admin.Execute("CREATE DATABASE BENCH");
        admin.Execute("USE BENCH");
        admin.Execute(
            "CREATE TABLE MA_BENCH (Codigo nvarchar(20) NOT NULL PRIMARY KEY, Descripcion nvarchar(100) "
            "NULL, Precio money NULL)");
        QElapsedTimer reloj;
        reloj.start();
        admin.BeginTrans();
        for (int desde = 0; desde < filas; desde += 500) {
            QString lote = "INSERT INTO MA_BENCH (Codigo, Descripcion, Precio) VALUES ";
            for (int i = desde; i < std::min(filas, desde + 500); ++i) {
                const QString descripcion = QStringLiteral("%1 %2 %3")
                                                .arg(QString::fromUtf8(kPalabras[i % 16]))
                                                .arg(QString::fromUtf8(kPalabras[(i / 16) % 16]))
                                                .arg(i);
                lote += QStringLiteral("%1('A%2', '%3', %4)")
                            .arg(i == desde ? "" : ",")
                            .arg(i, 7, 10, QChar('0'))
                            .arg(descripcion)
                            .arg(i % 997);
            }
            kv::bench::Lote(admin, lote);
        }
        admin.CommitTrans();
        std::printf("tabla de %d filas creada en %.0f ms\n", filas, Ms(reloj));
        admin.Close();
    }

    kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
    erp.gServidor = "EMBEBIDO";
    erp.gDBName = "BENCH";
    erp.gUsuario = "Korvane";
    erp.gUserPassWord = "pelumbo";
    erp.OpenServerADODB(false, 3, QString(), false, false);
    erp.gCnn.SetDefaultDatabase("BENCH");

    const QString sentencia =
        QStringLiteral(
            "SELECT TOP %1 Descripcion,Codigo,Precio FROM MA_BENCH  with(nolock)  ORDER BY Descripcion")
            .arg(filas);
    for (int vuelta = 1; vuelta <= 3; ++vuelta) {
        kv::lookup::Lib_FrmCons3 ventana;
        ventana.SQL = sentencia;
        QElapsedTimer reloj;
        reloj.start();
        ventana.show();  // loads on show
        QApplication::processEvents();
        const double abrir = Ms(reloj);
        const double cpu0 = kv::bench::SegundosCPU();

        // Typing, one character at a time, in the first search box.
        QComboBox* caja = ventana.CajasBusqueda().at(0);
        const QString texto = QStringLiteral("Yerba Leche 9");
        double peor = 0, total = 0;
        for (int i = 1; i <= texto.size(); ++i) {
            QElapsedTimer tecla;
            tecla.start();
            caja->setEditText(texto.left(i));
            QApplication::processEvents();
            const double ms = Ms(tecla);
            peor = std::max(peor, ms);
            total += ms;
        }
        // A text no row begins with: every row is looked at.
        QElapsedTimer nada;
        nada.start();
        caja->setEditText(QStringLiteral("zzz"));
        QApplication::processEvents();
        const double sinHallar = Ms(nada);
        std::printf(
            "vuelta %d: %d filas  abrir %.0f ms  tecla media %.2f ms  peor %.2f ms  sin coincidencia %.2f ms "
            " "
            "(CPU de la búsqueda %.0f ms)\n",
            vuelta, ventana.Modelo()->Filas(), abrir, total / texto.size(), peor, sinHallar,
            (kv::bench::SegundosCPU() - cpu0) * 1000);
        ventana.Descargar();
    }
    erp.gCnn.Close();
    kv::db::DB_Dll::DescartarPrincipal();
    return 0;
}

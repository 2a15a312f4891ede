// A whole round on demo data: define, save (which rebuilds through the server
// procedure in every company), load, and compare every chart value with a
// computation of our own straight from the sale lines; then the same through
// `kv_estv --informe` as a separate process.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <map>

#include "EntornoEstadisticas.h"
#include "db/Recordset.h"
#include "soporte/PuertoGuionado.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"
#include "stats/Exportacion.h"
#include "stats/Informe.h"
#include "stats/Reconstruccion.h"

using namespace kv::stats;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;

namespace {

struct Suma {
    QString clave;
    double c = 0, k = 0, v = 0;  // as stored: sales negative
};

constexpr int kTop = 5;

class RondaCompleta : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        entorno_ = new EntornoEstadisticas({"NORTE", "SUR"});
        const QDate hoy = QDate::currentDate();
        entorno_->LlenarDemo("NORTE", 0, 1500, hoy);
        entorno_->LlenarDemo("SUR", 1, 800, hoy);
        entorno_->Almacen();
        entorno_->AgregarEmpresa("NORTE", false);
        entorno_->AgregarEmpresa("SUR", true);
    }
    static void TearDownTestSuite() {
        delete entorno_;
        entorno_ = nullptr;
    }

    static void Guardar() {
        if (guardada_) return;
        PuertoGuionado puerto;
        puerto.PermitirInesperados();
        Definicion d;
        d.grupos[static_cast<size_t>(IndiceCatalogo("IdArticulo"))] = true;
        MarcarOrden(d.orden, 3, true);
        d.ascendente = false;  // Valor Venta, Descendente: the best sellers first
        d.top = QString::number(kTop);
        EstadoDefinicion estado;
        estado.nombre = QString::fromUtf8("Ventas por Artículo");
        estado.modo = ModoGrabacion::Nuevo;
        kv::db::DB_Dll empresa;
        ASSERT_TRUE(GrabarEstadistica(entorno_->Almacen(), d, estado, [&](const QString& tabla) {
            ReconstruirEstadistica(entorno_->Almacen(), tabla, empresa);
        }));
        progresos_ = puerto->Llamadas(kv::InteraccionGuionada::Tipo::ProgresoActualizar);
        inicios_ = puerto->Llamadas(kv::InteraccionGuionada::Tipo::ProgresoIniciar);
        tabla_ = estado.tabla;
        guardada_ = true;
    }

    // Sums per article straight from the sale lines of one company.
    static std::vector<Suma> SumasDirectas(const QString& base) {
        std::vector<Suma> sumas;
        for (const auto& f : entorno_->Filas(base,
                                             "SELECT IdArticulo, SUM(Cantidad), SUM(Cantidad*CostoUnitario), "
                                             "SUM(Cantidad*PrecioUnitario) FROM MV_STOCK "
                                             "WHERE TipoMovimiento = 'VTA' GROUP BY IdArticulo"))
            sumas.push_back({f[0].toString().trimmed(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble()});
        // Valor Venta descending as the user reads it: sales are stored negative,
        // so the lowest sums are the biggest sales.
        std::sort(sumas.begin(), sumas.end(), [](const Suma& a, const Suma& b) { return a.v < b.v; });
        return sumas;
    }

    static inline EntornoEstadisticas* entorno_ = nullptr;
    static inline bool guardada_ = false;
    static inline QString tabla_;
    static inline QList<kv::InteraccionGuionada::Llamada> progresos_, inicios_;
};

void CompararConVentas(const ModeloGrafico& modelo, const std::vector<Suma>& sumas) {
    ASSERT_GT(sumas.size(), static_cast<size_t>(kTop));
    ASSERT_EQ(modelo.Filas(), kTop + 1);
    ASSERT_EQ(modelo.Columnas(), 3);
    const double margen = 0.0101;
    for (int i = 0; i < kTop; ++i) {
        const Suma& s = sumas[static_cast<size_t>(i)];
        EXPECT_EQ(modelo.etiquetas[i].trimmed(), s.clave) << i;
        EXPECT_NEAR(modelo.valores[i][0], -s.c, margen) << i;
        EXPECT_NEAR(modelo.valores[i][1], -s.k, margen) << i;
        EXPECT_NEAR(modelo.valores[i][2], -s.v, margen) << i;
    }
    double c = 0, k = 0, v = 0;
    for (size_t i = kTop; i < sumas.size(); ++i) {
        c += Redondear(-sumas[i].c, 2);
        k += Redondear(-sumas[i].k, 2);
        v += Redondear(-sumas[i].v, 2);
    }
    const double margenResto = 0.0101 * static_cast<double>(sumas.size());
    EXPECT_EQ(modelo.etiquetas[kTop], "Otros");
    EXPECT_NEAR(modelo.valores[kTop][0], c, margenResto);
    EXPECT_NEAR(modelo.valores[kTop][1], k, margenResto);
    EXPECT_NEAR(modelo.valores[kTop][2], v, margenResto);
}

}  // namespace

TEST_F(RondaCompleta, LaReconstruccionVisitaCadaEmpresa) {
    Guardar();
    ASSERT_EQ(inicios_.size(), 1);
    EXPECT_EQ(inicios_[0].titulo, QString::fromUtf8("Actualizando Estadísticas"));
    EXPECT_EQ(inicios_[0].estilo, 0);
    ASSERT_EQ(progresos_.size(), 3);
    EXPECT_EQ(progresos_[0].mensaje, "Este proceso puede tardar varios minutos, espere por favor");
    EXPECT_EQ(progresos_[0].progreso, "");
    EXPECT_EQ(progresos_[1].progreso, "NORTE");
    EXPECT_EQ(progresos_[2].progreso, "SUR");
    EXPECT_EQ(SentenciaReconstruir(tabla_), "EXEC KV_RECONS_ESTV '','" + tabla_ + "'");
    EXPECT_GT(
        entorno_->Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM " + tabla_ + " WHERE Base = 'SUR'").toInt(),
        0);
}

TEST_F(RondaCompleta, LaCargaCoincideConLasVentas) {
    Guardar();
    PuertoGuionado puerto;
    Definicion d;
    EstadoDefinicion estado;
    ASSERT_TRUE(BuscarDefinicion(entorno_->Almacen(), QString::fromUtf8("Ventas por Artículo"), d, estado));
    OpcionesInforme opciones;
    const EntradaCarga entrada = EntradaDeInforme(d, estado, opciones, {"NORTE"}, 2);
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    const auto r = CargarEstadistica(entorno_->Almacen(), entrada, modelo, grilla);
    ASSERT_FALSE(r.sinDatos);
    CompararConVentas(modelo, SumasDirectas("NORTE"));
}

TEST_F(RondaCompleta, ElInformeImprimeLasMismasFilas) {
    Guardar();
    const QString programa = kv::pruebas::CarpetaBinarios() + "kv_estv";
    ASSERT_TRUE(QFile::exists(programa)) << programa.toStdString();
    const QString conexion =
        "@server=EMBEBIDO; @dbname= NORTE; @usuario= NORTE; @Password= NORTE; @Caja=1;quiv@";
    const QString archivo = entorno_->carpetas().raiz() + "grilla.xls";
    auto correr = [&](const QStringList& argumentos, QString* salida = nullptr, QString* errores = nullptr) {
        QProcess proceso;
        proceso.setProgram(programa);
        proceso.setArguments(argumentos);
        proceso.start();
        EXPECT_TRUE(proceso.waitForFinished(120000));
        if (salida) *salida = QString::fromUtf8(proceso.readAllStandardOutput());
        if (errores) *errores = QString::fromUtf8(proceso.readAllStandardError());
        return proceso.exitCode();
    };

    QString salida, errores;
    const QString tabla = entorno_->carpetas().raiz() + "tabla.txt";
    ASSERT_EQ(correr({"--informe", QString::fromUtf8("Ventas por Artículo"), "--grilla", archivo, "--salida",
                      tabla, conexion},
                     &salida, &errores),
              0)
        << errores.toStdString();
    {
        // --salida holds exactly the table printed.
        QFile impresa(tabla);
        ASSERT_TRUE(impresa.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(impresa.readAll()), salida);
    }
    const QStringList lineas = salida.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lineas.size(), kTop + 2) << salida.toStdString();
    EXPECT_EQ(lineas[0], "Grupo\tConsumo\tValor Costo\tValor Venta");
    const auto sumas = SumasDirectas("NORTE");
    ModeloGrafico leido;
    leido.decimales = 2;
    for (int i = 1; i < lineas.size(); ++i) {
        const QStringList celdas = lineas[i].split('\t');
        ASSERT_EQ(celdas.size(), 4);
        leido.etiquetas << celdas[0];
        leido.valores.push_back({celdas[1].toDouble(), celdas[2].toDouble(), celdas[3].toDouble()});
        for (int c = 1; c < 4; ++c)
            EXPECT_TRUE(celdas[c].contains('.') && !celdas[c].contains(',')) << celdas[c].toStdString();
    }
    leido.columnas = QStringList{"Consumo", "Valor Costo", "Valor Venta"};
    CompararConVentas(leido, sumas);

    QFile grilla(archivo);
    ASSERT_TRUE(grilla.open(QIODevice::ReadOnly));
    // The grid as it shows itself, in the suite's code page, with a name column beside the codes.
    const QStringList lineasGrilla =
        DecodificarWindows1252(grilla.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_GT(lineasGrilla.size(), kTop);
    EXPECT_EQ(lineasGrilla[0],
              QString::fromUtf8("Empresa\tArtículo\tNombre Artículo\tGrupo2\tGrupo3\tConsumo\tValor Costo\t"
                                "Valor Venta\tUtilidad s/Costo %\tUtilidad s/Venta %\tUtilidad $\t"));
    EXPECT_TRUE(lineasGrilla[1].startsWith("NORTE\t"));
    {
        // The name beside each code is the article's description in the ERP.
        const QStringList celdas = lineasGrilla[1].split('\t');
        const QString descripcion =
            entorno_
                ->Valor("NORTE",
                        "SELECT Descripcion FROM MA_ARTICULOS WHERE IdArticulo = '" + celdas[1] + "'")
                .toString();
        EXPECT_FALSE(descripcion.isEmpty());
        EXPECT_EQ(celdas[2], descripcion.trimmed());
        EXPECT_TRUE(celdas[7].contains(',')) << celdas[7].toStdString();
    }

    // --nombres adds the name column; without it the table is the same as before.
    QString conNombres;
    ASSERT_EQ(
        correr({"--informe", QString::fromUtf8("Ventas por Artículo"), "--nombres", conexion}, &conNombres),
        0);
    const QStringList lineasNombres = conNombres.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lineasNombres.size(), lineas.size());
    EXPECT_EQ(lineasNombres[0],
              QString::fromUtf8("Grupo\tNombre Artículo\tConsumo\tValor Costo\tValor Venta"));
    for (int i = 1; i < lineas.size(); ++i) {
        QStringList c = lineasNombres[i].split('\t');
        ASSERT_EQ(c.size(), 5);
        c.removeAt(1);
        EXPECT_EQ(c.join('\t'), lineas[i]);
    }
    EXPECT_FALSE(lineasNombres[1].split('\t')[1].isEmpty());

    // --xlsx and --pdf: the spreadsheet and the printed pages, without a dialog.
    const QString planilla = entorno_->carpetas().raiz() + "ventas.xlsx";
    const QString pdf = entorno_->carpetas().raiz() + "ventas.pdf";
    ASSERT_EQ(correr({"--informe", QString::fromUtf8("Ventas por Artículo"), "--top", "150", "--xlsx",
                      planilla, "--pdf", pdf, conexion},
                     nullptr, &errores),
              0)
        << errores.toStdString();
    EXPECT_TRUE(QFile(planilla).size() > 0);
    QProcess texto;
    texto.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(texto.waitForFinished(60000));
    const QString paginas = QString::fromUtf8(texto.readAllStandardOutput());
    const int hojas = paginas.split('\f', Qt::SkipEmptyParts).size();
    EXPECT_GE(hojas, 1);
    EXPECT_TRUE(paginas.contains(QString::fromUtf8("Estadística: Ventas por Artículo")));
    EXPECT_TRUE(paginas.contains(QString::fromUtf8("página %1 de %1").arg(hojas)));
    EXPECT_TRUE(paginas.contains("Empresas: NORTE"));

    // Other companies, a TOP of our own, and the exit statuses.
    ASSERT_EQ(correr({"--informe", QString::fromUtf8("Ventas por Artículo"), "--empresas", "SUR", "--top",
                      "2", conexion},
                     &salida),
              0);
    EXPECT_EQ(salida.split('\n', Qt::SkipEmptyParts).size(), 4);
    EXPECT_EQ(correr({"--informe", "No existe", conexion}, nullptr, &errores), 4);
    EXPECT_TRUE(errores.contains(QString::fromUtf8("No existe la estadística \"No existe\".")));
    EXPECT_EQ(correr({"--informe", "X", "--desde", "13/2024", conexion}), 2);
    EXPECT_EQ(correr({"--informe", "X", "--color", "rojo", conexion}), 2);
    // A company the window would not list for NORTE (not shared), a filter for a
    // level the statistic lacks, and an argument of more are refused.
    entorno_->Ejecutar("KV_ESTADISTICAS", "UPDATE MA_EMPRESAS SET Compartida = 0 WHERE Base = 'SUR'");
    EXPECT_EQ(
        correr({"--informe", QString::fromUtf8("Ventas por Artículo"), "--empresas", "NORTE, SUR", conexion},
               &salida, &errores),
        2);
    EXPECT_TRUE(salida.isEmpty());
    EXPECT_TRUE(errores.contains(QString::fromUtf8(
        "La empresa SUR no está entre las de la estadística: solo se admiten la empresa actual (NORTE) y las "
        "compartidas (ninguna).")))
        << errores.toStdString();
    entorno_->Ejecutar("KV_ESTADISTICAS", "UPDATE MA_EMPRESAS SET Compartida = 1 WHERE Base = 'SUR'");
    EXPECT_EQ(correr({"--informe", QString::fromUtf8("Ventas por Artículo"), "--grupo2", "A", conexion},
                     nullptr, &errores),
              2);
    EXPECT_TRUE(errores.contains(QString::fromUtf8(
        "La estadística \"Ventas por Artículo\" no tiene nivel 2: la opción --grupo2 no se puede usar.")))
        << errores.toStdString();
    EXPECT_EQ(correr({"--informe", QString::fromUtf8("Ventas por Artículo"), "Clientes", conexion}, nullptr,
                     &errores),
              2);
    EXPECT_TRUE(errores.contains(QString::fromUtf8("Argumento de más: \"Clientes\".")));
    // A failed connection says first, in one line, where it tried and what the server answered.
    EXPECT_EQ(
        correr({"--informe", "X", "@server=EMBEBIDO; @dbname= NORTE; @usuario= NORTE; @Password= mala;"},
               nullptr, &errores),
        3);
    EXPECT_TRUE(
        errores.startsWith(QString::fromUtf8("No se pudo conectar con el servidor EMBEBIDO, base de datos "
                                             "NORTE, usuario NORTE: Error de inicio de "
                                             "sesión del usuario 'NORTE'.\n")))
        << errores.toStdString();
    EXPECT_EQ(
        correr({"--informe", "X", "@server=EMBEBIDO; @dbname= NORTE; @usuario= NORTE; @Password= mala;"}), 3);
}

TEST_F(RondaCompleta, AgrupadaPorMesSumaTodasLasVentas) {
    PuertoGuionado puerto;
    puerto.PermitirInesperados();
    Definicion d;
    d.grupos[static_cast<size_t>(IndiceCatalogo("Fecha"))] = true;
    d.top = "100";
    d.totales = {true, false, true, false, false, true};
    EstadoDefinicion estado;
    estado.nombre = "Por mes";
    estado.modo = ModoGrabacion::Nuevo;
    kv::db::DB_Dll empresa;
    ASSERT_TRUE(GrabarEstadistica(entorno_->Almacen(), d, estado, [&](const QString& tabla) {
        ReconstruirEstadistica(entorno_->Almacen(), tabla, empresa);
    }));
    Definicion leida;
    EstadoDefinicion estadoLeido;
    ASSERT_TRUE(BuscarDefinicion(entorno_->Almacen(), "Por mes", leida, estadoLeido));
    EXPECT_EQ(estadoLeido.titulos[0], "Fecha");
    const EntradaCarga entrada = EntradaDeInforme(leida, estadoLeido, OpcionesInforme{}, {"NORTE"}, 2);
    ModeloGrafico modelo;
    kv::db::Recordset grilla;
    CargarEstadistica(entorno_->Almacen(), entrada, modelo, grilla);
    ASSERT_GT(modelo.Filas(), 12);
    ASSERT_LE(modelo.Filas(), 24);
    const QRegularExpression mes("^\\d{1,2}/\\d{4} ");
    double consumo = 0, venta = 0, utilidad = 0;
    for (int i = 0; i < modelo.Filas(); ++i) {
        EXPECT_TRUE(mes.match(modelo.etiquetas[i]).hasMatch()) << modelo.etiquetas[i].toStdString();
        consumo += modelo.valores[i][0];
        venta += modelo.valores[i][1];
        utilidad += modelo.valores[i][2];
    }
    const auto total =
        entorno_->Filas("NORTE",
                        "SELECT SUM(Cantidad), SUM(Cantidad*CostoUnitario), SUM(Cantidad*PrecioUnitario) "
                        "FROM MV_STOCK WHERE TipoMovimiento = 'VTA'");
    ASSERT_EQ(total.size(), 1u);
    // Sales are stored negative: the chart shows the negated sums, month by month.
    EXPECT_NEAR(consumo, -total[0][0].toDouble(), 0.01 * modelo.Filas());
    EXPECT_NEAR(venta, -total[0][2].toDouble(), 0.01 * modelo.Filas());
    EXPECT_NEAR(utilidad, -total[0][2].toDouble() + total[0][1].toDouble(), 0.01 * modelo.Filas());
}

namespace {

// Runs kv_estv with the arguments; fills standard output and error; returns the exit status.
int CorrerPrograma(const QStringList& argumentos, QString& salida, QString& errores) {
    QProcess proceso;
    proceso.setProgram(kv::pruebas::CarpetaBinarios() + "kv_estv");
    proceso.setArguments(argumentos);
    proceso.start();
    EXPECT_TRUE(proceso.waitForFinished(120000));
    salida = QString::fromUtf8(proceso.readAllStandardOutput());
    errores = QString::fromUtf8(proceso.readAllStandardError());
    return proceso.exitStatus() == QProcess::NormalExit ? proceso.exitCode() : -1;
}

}  // namespace

TEST_F(RondaCompleta, ElInformeNoDaPorBuenoLoQueFalla) {
    Guardar();
    const QString conexion = "@server=EMBEBIDO; @dbname= NORTE; @usuario= NORTE; @Password= NORTE;";
    const QString nombre = QString::fromUtf8("Ventas por Artículo");
    QString salida, errores;

    // No connection: a bad command line, not the access window.
    EXPECT_EQ(CorrerPrograma({"--informe", nombre}, salida, errores), 2);
    EXPECT_TRUE(errores.contains(QString::fromUtf8(kMensajeSinConexionInforme))) << errores.toStdString();
    EXPECT_TRUE(salida.isEmpty());

    // The rows are printed, but an export that could not be written is a failure.
    const QString sinCarpeta = entorno_->carpetas().raiz() + "no/existe/grilla.xls";
    EXPECT_EQ(CorrerPrograma({"--informe", nombre, "--salida", sinCarpeta, conexion}, salida, errores), 1);
    EXPECT_EQ(salida.split('\n', Qt::SkipEmptyParts).size(), kTop + 2);
    EXPECT_TRUE(errores.contains("No se pudo escribir el archivo " + sinCarpeta + "."))
        << errores.toStdString();

    // A statistic whose table is gone: the refused query is not an empty report.
    {
        PuertoGuionado puerto;
        puerto.PermitirInesperados();
        Definicion d;
        d.grupos[static_cast<size_t>(IndiceCatalogo("IdVendedor"))] = true;
        EstadoDefinicion estado;
        estado.nombre = "Sin tabla";
        estado.modo = ModoGrabacion::Nuevo;
        ASSERT_TRUE(GrabarEstadistica(entorno_->Almacen(), d, estado, [](const QString&) {}));
        entorno_->Ejecutar("KV_ESTADISTICAS", "DROP TABLE " + estado.tabla);
    }
    const int estado = CorrerPrograma({"--informe", "Sin tabla", conexion}, salida, errores);
    EXPECT_EQ(estado, 1);
    EXPECT_TRUE(salida.isEmpty()) << salida.toStdString();
    EXPECT_TRUE(errores.contains(QString::fromUtf8(kMensajeCargaFallida))) << errores.toStdString();

    // With no sale in the months asked for, the report is done: header only, status 0.
    EXPECT_EQ(CorrerPrograma({"--informe", nombre, "--desde", "1/1990", "--hasta", "2/1990", conexion},
                             salida, errores),
              0);
    EXPECT_EQ(salida, "Grupo\tConsumo\tValor Costo\tValor Venta\n");
    EXPECT_TRUE(errores.contains("No se encontraron datos!!!")) << errores.toStdString();
}

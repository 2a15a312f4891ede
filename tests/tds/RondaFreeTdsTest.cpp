// The viewer's round over Debian's FreeTDS ODBC driver against the endpoint,
// and the same round on the direct path to the embedded server: every report,
// export and SQL trace must come out the same, byte for byte.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "EndpointPrueba.h"
#include "soporte/CarpetasTemporales.h"

using kv::pruebas::CarpetaBinarios;
using kv::pruebas::EndpointHijo;
using kv::pruebas::TrazaComparable;

namespace {

// One side of the comparison: its own application and data folders.
struct Lado {
    QTemporaryDir raiz;
    QString servidor = QStringLiteral("EMBEBIDO");
    QString datos() const { return raiz.path() + QStringLiteral("/datos"); }
    QString app() const { return raiz.path() + QStringLiteral("/app/"); }
    QString Ruta(const QString& nombre) const { return raiz.path() + u'/' + nombre; }
    Lado() {
        QDir().mkpath(datos());
        QDir().mkpath(app());
        QFile::setPermissions(datos(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

struct Salida {
    int estado = -1;
    QString salida;
    QString errores;
};

Salida Correr(const Lado& lado, const QStringList& argumentos, const QString& traza) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("KVESTV_DATOS"), lado.datos());
    e.insert(QStringLiteral("KVESTV_CARPETA"), lado.app());
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    e.insert(QStringLiteral("KVESTV_TRAZA_SQL"), lado.Ruta(traza));
    e.remove(QStringLiteral("DISPLAY"));
    e.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(e);
    p.start(CarpetaBinarios() + QStringLiteral("kv_estv"), argumentos);
    Salida s;
    if (!p.waitForFinished(240000)) {
        p.kill();
        p.waitForFinished(5000);
        ADD_FAILURE() << "kv_estv no terminó: " << argumentos.join(u' ').toStdString();
        return s;
    }
    s.estado = p.exitCode();
    s.salida = QString::fromUtf8(p.readAllStandardOutput());
    s.errores = QString::fromUtf8(p.readAllStandardError());
    return s;
}

QString Leer(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no existe %1>").arg(ruta);
    return QString::fromUtf8(f.readAll());
}

// Messages of the demo with their durations, which differ from run to run.
QString SinDuraciones(QString t) {
    static const QRegularExpression duracion(QStringLiteral("Demostración lista en [0-9.]+ s\\."));
    t.replace(duracion, QStringLiteral("Demostración lista."));
    return t;
}

// The demo fills its two companies at once, each on its own connection: the lines
// of one company keep their order, but the two companies' lines interleave as the
// threads run. Each company's lines are put together, in their own order.
QString PorEmpresa(const QString& t) {
    QStringList norte, sur, otras;
    for (const QString& l : t.split(u'\n')) {
        if (l.contains(QLatin1String("\"base\":\"SUR\"")) || l.startsWith(QLatin1String("  SUR:")))
            sur << l;
        else if (l.contains(QLatin1String("\"base\":\"NORTE\"")) || l.startsWith(QLatin1String("  NORTE:")))
            norte << l;
        else
            otras << l;
    }
    return (otras + norte + sur).join(u'\n');
}

class RondaFreeTds : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        directo_ = new Lado;
        porTds_ = new Lado;
        endpoint_ = new EndpointHijo(porTds_->datos());
        porTds_->servidor = kv::pruebas::ServidorTcp(endpoint_->puerto());
    }
    static void TearDownTestSuite() {
        delete endpoint_;
        delete porTds_;
        delete directo_;
    }
    static QString Conexion(const Lado& l, const QString& base) {
        return QStringLiteral("@server=%1; @dbname= %2; @usuario= %2; @Password= %2;").arg(l.servidor, base);
    }
    // The same command on both sides; the outputs are returned side by side.
    static std::pair<Salida, Salida> Ambos(const QStringList& argumentos, const QString& traza,
                                           bool conServidor = false, const QString& base = QString()) {
        auto de = [&](const Lado& l) {
            QStringList a = argumentos;
            if (conServidor) a << QStringLiteral("--servidor") << l.servidor;
            if (!base.isEmpty()) a << Conexion(l, base);
            return Correr(l, a, traza);
        };
        return {de(*directo_), de(*porTds_)};
    }
    static Lado* directo_;
    static Lado* porTds_;
    static EndpointHijo* endpoint_;
};

Lado* RondaFreeTds::directo_ = nullptr;
Lado* RondaFreeTds::porTds_ = nullptr;
EndpointHijo* RondaFreeTds::endpoint_ = nullptr;

}  // namespace

TEST_F(RondaFreeTds, LaRondaPorFreeTdsDaLoMismoQueLaDirecta) {
    ASSERT_NE(endpoint_->puerto(), 0);
    // Start-up with the access record, the companies, the store, three statistics saved
    // and rebuilt in each company, the company list, and the report of the first.
    const auto [demoDirecta, demoTds] =
        Ambos({QStringLiteral("--demo"), QStringLiteral("--lineas"), QStringLiteral("3000"),
               QStringLiteral("--semilla"), QStringLiteral("11")},
              QStringLiteral("traza-demo.txt"), true);
    ASSERT_EQ(demoDirecta.estado, 0) << demoDirecta.errores.toStdString();
    ASSERT_EQ(demoTds.estado, 0) << demoTds.errores.toStdString() << endpoint_->errores().toStdString();
    EXPECT_TRUE(demoDirecta.salida.startsWith(QStringLiteral("Grupo\tConsumo\tValor Costo\tValor Venta\n")))
        << demoDirecta.salida.toStdString();
    EXPECT_EQ(demoTds.salida, demoDirecta.salida);
    EXPECT_EQ(PorEmpresa(SinDuraciones(demoTds.errores)).toStdString(),
              PorEmpresa(SinDuraciones(demoDirecta.errores)).toStdString());
    const QString trazaDemo = PorEmpresa(TrazaComparable(directo_->Ruta(QStringLiteral("traza-demo.txt"))));
    EXPECT_GT(trazaDemo.count(u'\n'), 20);
    EXPECT_EQ(PorEmpresa(TrazaComparable(porTds_->Ruta(QStringLiteral("traza-demo.txt")))).toStdString(),
              trazaDemo.toStdString());

    // Reports with filters over both companies, the grid export, and the trace of each.
    const QStringList informes[] = {
        {QStringLiteral("--informe"), QString::fromUtf8("Vendedores por Familia"),
         QStringLiteral("--empresas"), QStringLiteral("NORTE,SUR"), QStringLiteral("--grupo1"),
         QStringLiteral("V01,V02,V03"), QStringLiteral("--top"), QStringLiteral("5")},
        {QStringLiteral("--informe"), QString::fromUtf8("Ventas por Artículo"), QStringLiteral("--empresas"),
         QStringLiteral("NORTE,SUR"), QStringLiteral("--g1desde"), QStringLiteral("02"),
         QStringLiteral("--g1hasta"), QStringLiteral("05")},
        {QStringLiteral("--informe"), QStringLiteral("Clientes"), QStringLiteral("--empresas"),
         QStringLiteral("SUR")},
    };
    int n = 0;
    for (const QStringList& informe : informes) {
        ++n;
        const QString traza = QStringLiteral("traza-informe%1.txt").arg(n);
        QStringList directo = informe, tds = informe;
        directo << QStringLiteral("--grilla") << directo_->Ruta(QStringLiteral("grilla%1.xls").arg(n))
                << Conexion(*directo_, QStringLiteral("NORTE"));
        tds << QStringLiteral("--grilla") << porTds_->Ruta(QStringLiteral("grilla%1.xls").arg(n))
            << Conexion(*porTds_, QStringLiteral("NORTE"));
        const Salida a = Correr(*directo_, directo, traza);
        const Salida b = Correr(*porTds_, tds, traza);
        ASSERT_EQ(a.estado, 0) << a.errores.toStdString();
        EXPECT_EQ(b.estado, 0) << b.errores.toStdString();
        EXPECT_GT(a.salida.count(u'\n'), 1) << informe.join(u' ').toStdString();
        EXPECT_EQ(b.salida, a.salida) << informe.join(u' ').toStdString();
        EXPECT_EQ(b.errores.toStdString(), a.errores.toStdString());
        EXPECT_EQ(Leer(porTds_->Ruta(QStringLiteral("grilla%1.xls").arg(n))),
                  Leer(directo_->Ruta(QStringLiteral("grilla%1.xls").arg(n))));
        EXPECT_EQ(TrazaComparable(porTds_->Ruta(traza)).toStdString(), TrazaComparable(directo_->Ruta(traza)).toStdString());
    }

    // A wrong password: the same exit status and message on both paths.
    const Salida malaDirecta =
        Correr(*directo_,
               {QStringLiteral("--informe"), QStringLiteral("Clientes"),
                QStringLiteral("@server=EMBEBIDO; @dbname= NORTE; @usuario= NORTE; @Password= mala;")},
               QStringLiteral("traza-mala.txt"));
    const Salida malaTds =
        Correr(*porTds_,
               {QStringLiteral("--informe"), QStringLiteral("Clientes"),
                QStringLiteral("@server=%1; @dbname= NORTE; @usuario= NORTE; @Password= mala;")
                    .arg(porTds_->servidor)},
               QStringLiteral("traza-mala.txt"));
    EXPECT_NE(malaDirecta.estado, 0);
    EXPECT_EQ(malaTds.estado, malaDirecta.estado);
    // The messages name each side's server; the rest, SQL state and numbers included, is the same.
    QString esperado = malaDirecta.errores;
    esperado.replace(QStringLiteral("EMBEBIDO"), porTds_->servidor);
    EXPECT_EQ(malaTds.errores.toStdString(), esperado.toStdString());
}

#include "EndpointPrueba.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include "db/Proveedor.h"
#include "localserver/ServidorEmbebido.h"
#include "soporte/CarpetasTemporales.h"

namespace kv::pruebas {

EndpointEnProceso::EndpointEnProceso(kv::tds::OpcionesServidor opciones, const QString& direccion) {
    kv::local::RegistrarServidorEmbebido();
    opciones.direccion = direccion;
    opciones.puerto = 0;
    if (!opciones.registro)
        opciones.registro = [this](const QString& linea) {
            std::lock_guard<std::mutex> g(cerrojo_);
            lineas_ << linea;
        };
    servidor_ = std::make_unique<kv::tds::ServidorTds>(opciones);
    servidor_->Iniciar();
    hilo_ = std::thread([this] { servidor_->Atender(); });
}

EndpointEnProceso::~EndpointEnProceso() {
    servidor_->Detener();
    hilo_.join();
}

QStringList EndpointEnProceso::Registro() const {
    std::lock_guard<std::mutex> g(cerrojo_);
    return lineas_;
}

EndpointHijo::EndpointHijo(const QString& carpetaDatos, const QStringList& extra) {
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("KVESTV_DATOS"), carpetaDatos);
    proceso_.setProcessEnvironment(entorno);
    proceso_.start(
        CarpetaBinarios() + QStringLiteral("kvsql"),
        QStringList{QStringLiteral("--servir"), QStringLiteral("--puerto"), QStringLiteral("0")} + extra);
    QElapsedTimer reloj;
    reloj.start();
    QByteArray salida;
    while (reloj.elapsed() < 20000 && !salida.contains('\n')) {
        proceso_.waitForReadyRead(500);
        salida += proceso_.readAllStandardOutput();
        if (proceso_.state() == QProcess::NotRunning) break;
    }
    const QString linea = QString::fromUtf8(salida).trimmed();
    if (linea.startsWith(QLatin1String("PUERTO "))) puerto_ = static_cast<quint16>(linea.mid(7).toUInt());
    if (puerto_ == 0) ADD_FAILURE() << "el servidor no arrancó: " << errores().toStdString();
}

EndpointHijo::~EndpointHijo() {
    if (proceso_.state() != QProcess::NotRunning) {
        proceso_.terminate();
        if (!proceso_.waitForFinished(20000)) {
            proceso_.kill();
            proceso_.waitForFinished(5000);
        }
    }
}

QString EndpointHijo::errores() { return QString::fromUtf8(proceso_.readAllStandardError()); }

QString CadenaFreeTds(quint16 puerto, const QString& base, const QString& usuario, const QString& clave) {
    return QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;DATABASE=%2;UID=%3;PWD=%4;")
        .arg(puerto)
        .arg(kv::db::ValorCadenaConexion(base), kv::db::ValorCadenaConexion(usuario),
             kv::db::ValorCadenaConexion(clave));
}

QString ServidorTcp(quint16 puerto) { return QStringLiteral("127.0.0.1,%1").arg(puerto); }

QString TrazaComparable(const QString& ruta) {
    static const QRegularExpression variable(
        QStringLiteral("\"hora\":\"[^\"]*\",|\"ms\":[0-9.]+,|\"servidor\":\"[^\"]*\","));
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no existe %1>").arg(ruta);
    QString t = QString::fromUtf8(f.readAll());
    t.remove(variable);
    // The access record stamps the minute of the sign-in: two runs a minute apart differ there only.
    static const QRegularExpression minuto(QStringLiteral("'\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d'"));
    t.replace(minuto, QStringLiteral("'<minuto>'"));
    return t;
}

}  // namespace kv::pruebas

#include "util/Interaccion.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "util/InteraccionConsola.h"

namespace kv {

namespace {

std::unique_ptr<Interaccion>& PuertoInstalado() {
    static std::unique_ptr<Interaccion> puerto;
    return puerto;
}

}  // namespace

Interaccion& interaccion() {
    auto& puerto = PuertoInstalado();
    if (!puerto) puerto = std::make_unique<InteraccionConsola>();
    return *puerto;
}

std::unique_ptr<Interaccion> EstablecerInteraccion(std::unique_ptr<Interaccion> nueva) {
    auto& puerto = PuertoInstalado();
    std::unique_ptr<Interaccion> anterior = std::move(puerto);
    puerto = std::move(nueva);
    return anterior;
}

bool Interaccion::AbrirDocumento(const QString& archivo, const QString& parametros, const QString& carpeta) {
    const QFileInfo info(archivo);
    if (archivo.trimmed().isEmpty() || !info.exists()) return false;
    // A program is started directly with its arguments (never through a shell);
    // anything else goes to the desktop's associated program.
    if (info.isFile() && info.isExecutable()) {
        return QProcess::startDetached(info.absoluteFilePath(), QProcess::splitCommand(parametros),
                                       carpeta.isEmpty() ? info.absolutePath() : carpeta);
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

QList<int> BotonesDeEstilo(int estiloMensaje) {
    using namespace respuesta;
    switch (estilo::Botones(estiloMensaje)) {
        case estilo::AceptarCancelar:
            return {Aceptar, Cancelar};
        case estilo::AnularReintentarOmitir:
            return {Anular, Reintentar, Omitir};
        case estilo::SiNoCancelar:
            return {Si, No, Cancelar};
        case estilo::SiNo:
            return {Si, No};
        case estilo::ReintentarCancelar:
            return {Reintentar, Cancelar};
        default:
            return {Aceptar};
    }
}

int RespuestaQueTermina(int estiloMensaje) {
    using namespace respuesta;
    switch (estilo::Botones(estiloMensaje)) {
        case estilo::AceptarCancelar:
            return Cancelar;
        case estilo::AnularReintentarOmitir:
            return Anular;
        case estilo::SiNoCancelar:
            return Cancelar;
        case estilo::SiNo:
            return No;
        case estilo::ReintentarCancelar:
            return Cancelar;
        default:
            return Aceptar;
    }
}

QString TextoBoton(int codigo) {
    switch (codigo) {
        case respuesta::Aceptar:
            return QStringLiteral("Aceptar");
        case respuesta::Cancelar:
            return QStringLiteral("Cancelar");
        case respuesta::Anular:
            return QStringLiteral("Anular");
        case respuesta::Reintentar:
            return QStringLiteral("Reintentar");
        case respuesta::Omitir:
            return QStringLiteral("Omitir");
        case respuesta::Si:
            return QStringLiteral("Sí");
        case respuesta::No:
            return QStringLiteral("No");
        default:
            return QString();
    }
}

QString TituloMostrarError() { return QStringLiteral("Error"); }

QString TextoMostrarError(const KvError& error, const QString& rutina) {
    QString texto = QStringLiteral("Se ha producido un error.\n\nNúmero: %1\nDescripción: %2")
                        .arg(error.numero)
                        .arg(error.descripcion.trimmed());
    if (!error.origen.trimmed().isEmpty()) texto += QStringLiteral("\nOrigen: ") + error.origen.trimmed();
    if (!rutina.trimmed().isEmpty()) texto += QStringLiteral("\nRutina: ") + rutina.trimmed();
    return texto;
}

}  // namespace kv

#include "util/InteraccionConsola.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace kv {

InteraccionConsola::InteraccionConsola(Salida salida) : salida_(std::move(salida)) {}

void InteraccionConsola::Escribir(const QString& texto) {
    // One line per message: the CR LF inside texts would break a log apart.
    QString linea = texto;
    linea.replace(QStringLiteral("\r\n"), QStringLiteral(" | "));
    linea.replace(QLatin1Char('\r'), QStringLiteral(" | "));
    linea.replace(QLatin1Char('\n'), QStringLiteral(" | "));
    if (salida_) {
        salida_(linea);
        return;
    }
    const QByteArray bytes = (linea + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

int InteraccionConsola::Mensaje(const QString& texto, int estiloMensaje, const QString& titulo) {
    const int respuesta = RespuestaQueTermina(estiloMensaje);
    QString linea = titulo.isEmpty() ? texto : titulo + QStringLiteral(": ") + texto;
    if (BotonesDeEstilo(estiloMensaje).size() > 1)
        linea += QStringLiteral(" [respuesta automática: ") + TextoBoton(respuesta) + QLatin1Char(']');
    Escribir(linea);
    return respuesta;
}

std::optional<QString> InteraccionConsola::Entrada(const QString& pregunta, const QString& titulo,
                                                   const QString&) {
    Escribir((titulo.isEmpty() ? QString() : titulo + QStringLiteral(": ")) + pregunta +
             QStringLiteral(" [sin respuesta: cancelado]"));
    return std::nullopt;
}

QString InteraccionConsola::ElegirArchivo(const QString&, const QString& titulo, bool guardar,
                                          const QString&) {
    Escribir((guardar ? QStringLiteral("Guardar archivo") : QStringLiteral("Abrir archivo")) +
             (titulo.isEmpty() ? QString() : QStringLiteral(" (") + titulo + QLatin1Char(')')) +
             QStringLiteral(": cancelado"));
    return QString();
}

bool InteraccionConsola::ElegirFecha(QString&) {
    Escribir(QStringLiteral("Elegir fecha: cancelado"));
    return false;
}

int InteraccionConsola::MostrarError(const KvError& error, const QString& rutina) {
    Escribir(TituloMostrarError() + QStringLiteral(": ") + TextoMostrarError(error, rutina) +
             QStringLiteral(" [respuesta automática: Anular]"));
    return respuesta::Anular;
}

void InteraccionConsola::ProgresoIniciar(const QString& titulo, bool) {
    if (!titulo.isEmpty()) Escribir(titulo);
}

bool InteraccionConsola::ProgresoActualizar(const QString&, const QString&, const QString&) {
    // Thousands of updates per load: nothing written, nobody can cancel.
    return false;
}

void InteraccionConsola::ProgresoCerrar() {}

void InteraccionConsola::ProcesarEventos() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

bool InteraccionConsola::AbrirDocumento(const QString& archivo, const QString&, const QString&) {
    // Nobody would see a viewer here: reporting the document is its handling.
    Escribir(QStringLiteral("Documento: ") + archivo);
    return QFileInfo::exists(archivo);
}

}  // namespace kv

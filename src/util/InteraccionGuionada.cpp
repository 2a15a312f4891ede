#include "util/InteraccionGuionada.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace kv {

DialogoInesperado::DialogoInesperado(const QString& descripcion)
    : std::logic_error(descripcion.toStdString()) {}

InteraccionGuionada::InteraccionGuionada() = default;

InteraccionGuionada& InteraccionGuionada::ResponderMensaje(int r) {
    mensajes_.push_back(r);
    return *this;
}
InteraccionGuionada& InteraccionGuionada::ResponderEntrada(const QString& texto) {
    entradas_.emplace_back(texto);
    return *this;
}
InteraccionGuionada& InteraccionGuionada::CancelarEntrada() {
    entradas_.emplace_back(std::nullopt);
    return *this;
}
InteraccionGuionada& InteraccionGuionada::ResponderArchivo(const QString& ruta) {
    archivos_.push_back(ruta);
    return *this;
}
InteraccionGuionada& InteraccionGuionada::ResponderFecha(const QString& fecha) {
    fechas_.emplace_back(fecha);
    return *this;
}
InteraccionGuionada& InteraccionGuionada::CancelarFecha() {
    fechas_.emplace_back(std::nullopt);
    return *this;
}
InteraccionGuionada& InteraccionGuionada::ResponderError(int r) {
    errores_.push_back(r);
    return *this;
}
InteraccionGuionada& InteraccionGuionada::CancelarProgresoEn(int actualizacion) {
    cancelarProgresoEn_ = actualizacion;
    return *this;
}
InteraccionGuionada& InteraccionGuionada::LanzarSiInesperado(bool lanzar) {
    lanzar_ = lanzar;
    return *this;
}
InteraccionGuionada& InteraccionGuionada::ProcesarEventosReales(bool procesar) {
    procesarReales_ = procesar;
    return *this;
}
InteraccionGuionada& InteraccionGuionada::AlProcesarEventos(std::function<void()> accion) {
    alProcesarEventos_ = std::move(accion);
    return *this;
}

QList<InteraccionGuionada::Llamada> InteraccionGuionada::Llamadas(Tipo tipo) const {
    QList<Llamada> resultado;
    for (const auto& l : llamadas_)
        if (l.tipo == tipo) resultado.append(l);
    return resultado;
}

QList<InteraccionGuionada::MensajeMostrado> InteraccionGuionada::Mensajes() const {
    QList<MensajeMostrado> resultado;
    for (const auto& l : llamadas_)
        if (l.tipo == Tipo::Mensaje) resultado.append({l.texto, l.titulo, l.estilo, l.respuesta});
    return resultado;
}

QStringList InteraccionGuionada::Pendientes() const {
    QStringList resultado;
    for (int r : mensajes_) resultado << QStringLiteral("respuesta de mensaje %1").arg(r);
    for (const auto& e : entradas_)
        resultado << (e ? QStringLiteral("entrada \"%1\"").arg(*e) : QStringLiteral("entrada cancelada"));
    for (const auto& a : archivos_) resultado << QStringLiteral("archivo \"%1\"").arg(a);
    for (const auto& f : fechas_)
        resultado << (f ? QStringLiteral("fecha \"%1\"").arg(*f) : QStringLiteral("fecha cancelada"));
    for (int r : errores_) resultado << QStringLiteral("respuesta de error %1").arg(r);
    return resultado;
}

void InteraccionGuionada::Olvidar() {
    llamadas_.clear();
    inesperados_.clear();
    vecesProcesarEventos_ = 0;
    actualizaciones_ = 0;
}

void InteraccionGuionada::Inesperado(Llamada& llamada, const QString& descripcion) {
    llamada.inesperada = true;
    llamadas_.append(llamada);
    inesperados_.append(descripcion);
    if (lanzar_) throw DialogoInesperado(descripcion);
}

int InteraccionGuionada::Mensaje(const QString& texto, int estiloMensaje, const QString& titulo) {
    Llamada l;
    l.tipo = Tipo::Mensaje;
    l.texto = texto;
    l.titulo = titulo;
    l.estilo = estiloMensaje;
    if (mensajes_.empty()) {
        l.respuesta = RespuestaQueTermina(estiloMensaje);
        Inesperado(l, QStringLiteral("Mensaje inesperado (título \"%1\", estilo %2): %3")
                          .arg(titulo)
                          .arg(estiloMensaje)
                          .arg(texto));
        return l.respuesta;
    }
    l.respuesta = mensajes_.front();
    mensajes_.pop_front();
    if (!BotonesDeEstilo(estiloMensaje).contains(l.respuesta)) {
        Inesperado(l, QStringLiteral("Respuesta %1 imposible en un mensaje de estilo %2: %3")
                          .arg(l.respuesta)
                          .arg(estiloMensaje)
                          .arg(texto));
        return l.respuesta;
    }
    llamadas_.append(l);
    return l.respuesta;
}

std::optional<QString> InteraccionGuionada::Entrada(const QString& pregunta, const QString& titulo,
                                                    const QString& defecto) {
    Llamada l;
    l.tipo = Tipo::Entrada;
    l.texto = pregunta;
    l.titulo = titulo;
    l.defecto = defecto;
    if (entradas_.empty()) {
        l.cancelada = true;
        Inesperado(l, QStringLiteral("Entrada inesperada (título \"%1\"): %2").arg(titulo, pregunta));
        return std::nullopt;
    }
    const std::optional<QString> r = entradas_.front();
    entradas_.pop_front();
    l.cancelada = !r.has_value();
    l.respuestaTexto = r.value_or(QString());
    llamadas_.append(l);
    return r;
}

QString InteraccionGuionada::ElegirArchivo(const QString& filtro, const QString& titulo, bool guardar,
                                           const QString& inicial) {
    Llamada l;
    l.tipo = Tipo::Archivo;
    l.texto = filtro;
    l.titulo = titulo;
    l.estilo = guardar ? 1 : 0;
    l.defecto = inicial;
    if (archivos_.empty()) {
        l.cancelada = true;
        Inesperado(l, QStringLiteral("Diálogo de archivo inesperado (título \"%1\", filtro \"%2\")")
                          .arg(titulo, filtro));
        return QString();
    }
    l.respuestaTexto = archivos_.front();
    archivos_.pop_front();
    l.cancelada = l.respuestaTexto.isEmpty();
    llamadas_.append(l);
    return l.respuestaTexto;
}

bool InteraccionGuionada::ElegirFecha(QString& fecha) {
    Llamada l;
    l.tipo = Tipo::Fecha;
    l.defecto = fecha;
    if (fechas_.empty()) {
        l.cancelada = true;
        Inesperado(l, QStringLiteral("Selector de fecha inesperado (fecha \"%1\")").arg(fecha));
        return false;
    }
    const std::optional<QString> r = fechas_.front();
    fechas_.pop_front();
    l.cancelada = !r.has_value();
    l.respuestaTexto = r.value_or(QString());
    llamadas_.append(l);
    if (!r) return false;
    fecha = *r;
    return true;
}

int InteraccionGuionada::MostrarError(const KvError& error, const QString& rutina) {
    Llamada l;
    l.tipo = Tipo::Error;
    l.error = error;
    l.rutina = rutina;
    l.texto = TextoMostrarError(error, rutina);
    l.titulo = TituloMostrarError();
    if (errores_.empty()) {
        l.respuesta = respuesta::Anular;
        Inesperado(l, QStringLiteral("Error inesperado en \"%1\": %2 %3")
                          .arg(rutina)
                          .arg(error.numero)
                          .arg(error.descripcion));
        return l.respuesta;
    }
    l.respuesta = errores_.front();
    errores_.pop_front();
    llamadas_.append(l);
    return l.respuesta;
}

void InteraccionGuionada::ProgresoIniciar(const QString& titulo, bool permiteCancelar) {
    Llamada l;
    l.tipo = Tipo::ProgresoIniciar;
    l.titulo = titulo;
    l.estilo = permiteCancelar ? 1 : 0;
    llamadas_.append(l);
    progresoAbierto_ = true;
}

bool InteraccionGuionada::ProgresoActualizar(const QString& titulo, const QString& mensaje,
                                             const QString& progreso) {
    ++actualizaciones_;
    Llamada l;
    l.tipo = Tipo::ProgresoActualizar;
    l.titulo = titulo;
    l.mensaje = mensaje;
    l.progreso = progreso;
    const bool cancelar = cancelarProgresoEn_ > 0 && actualizaciones_ >= cancelarProgresoEn_;
    l.respuesta = cancelar ? 1 : 0;
    llamadas_.append(l);
    return cancelar;
}

void InteraccionGuionada::ProgresoCerrar() {
    Llamada l;
    l.tipo = Tipo::ProgresoCerrar;
    llamadas_.append(l);
    progresoAbierto_ = false;
}

void InteraccionGuionada::ProcesarEventos() {
    ++vecesProcesarEventos_;
    if (alProcesarEventos_) alProcesarEventos_();
    if (procesarReales_ && QCoreApplication::instance()) QCoreApplication::processEvents();
}

bool InteraccionGuionada::AbrirDocumento(const QString& archivo, const QString& parametros, const QString&) {
    Llamada l;
    l.tipo = Tipo::Documento;
    l.texto = archivo;
    l.defecto = parametros;
    llamadas_.append(l);
    return QFileInfo::exists(archivo);
}

}  // namespace kv

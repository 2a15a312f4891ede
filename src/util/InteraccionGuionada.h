#pragma once
// The port for tests: answers come from queues filled by the test beforehand, and
// every call is recorded (messages with text, title and style; input, file, date,
// error, progress and document calls) so the test can assert the exact texts.
//
// A dialog with nothing queued for it is a fault of the code under test or of the
// test: it is recorded as unexpected (see Inesperados), answered with the answer
// that ends the attempt (No, Cancelar, Anular, cancelled input), and, when asked
// for, thrown as DialogoInesperado. It never blocks.

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>
#include <stdexcept>

#include "util/Interaccion.h"

namespace kv {

class DialogoInesperado : public std::logic_error {
  public:
    explicit DialogoInesperado(const QString& descripcion);
};

class InteraccionGuionada : public Interaccion {
  public:
    enum class Tipo {
        Mensaje,
        Entrada,
        Archivo,
        Fecha,
        Error,
        ProgresoIniciar,
        ProgresoActualizar,
        ProgresoCerrar,
        Documento
    };

    // One recorded call. Which fields are filled depends on the kind:
    //  Mensaje: texto, titulo, estilo, respuesta.
    //  Entrada: texto (question), titulo, defecto, respuestaTexto (empty and
    //           cancelada when cancelled).
    //  Archivo: texto (filter), titulo, estilo 1 when saving, defecto (initial
    //           path), respuestaTexto (empty when cancelled).
    //  Fecha: defecto (date passed in), respuestaTexto, cancelada.
    //  Error: error, rutina, texto (the dialog's text), titulo, respuesta.
    //  ProgresoIniciar: titulo, estilo 1 when cancelling is allowed.
    //  ProgresoActualizar: titulo, mensaje, progreso, respuesta 1 when cancel was answered.
    //  Documento: texto (file), defecto (parameters).
    struct Llamada {
        Tipo tipo = Tipo::Mensaje;
        QString texto;
        QString titulo;
        int estilo = 0;
        QString defecto;
        QString mensaje;
        QString progreso;
        KvError error;
        QString rutina;
        int respuesta = 0;
        QString respuestaTexto;
        bool cancelada = false;
        bool inesperada = false;
    };

    struct MensajeMostrado {
        QString texto;
        QString titulo;
        int estilo = 0;
        int respuesta = 0;
    };

    InteraccionGuionada();

    // Answers, used in the order queued, one queue per kind of dialog.
    InteraccionGuionada& ResponderMensaje(int respuesta);
    InteraccionGuionada& ResponderEntrada(const QString& texto);
    InteraccionGuionada& CancelarEntrada();
    InteraccionGuionada& ResponderArchivo(const QString& ruta);  // empty: cancelled
    InteraccionGuionada& ResponderFecha(const QString& fecha);   // "dd/mm/yyyy"
    InteraccionGuionada& CancelarFecha();
    InteraccionGuionada& ResponderError(int respuesta);  // 3, 4 or 5
    // The n-th progress update (from 1) and every later one answer "cancel";
    // 0 never cancels (the default).
    InteraccionGuionada& CancelarProgresoEn(int actualizacion);
    // Throw DialogoInesperado on an unexpected dialog (after recording it).
    InteraccionGuionada& LanzarSiInesperado(bool lanzar = true);
    // Whether ProcesarEventos really runs pending Qt events (default yes, as in production).
    InteraccionGuionada& ProcesarEventosReales(bool procesar);
    // Called on every ProcesarEventos, to act as a user would between two rows.
    InteraccionGuionada& AlProcesarEventos(std::function<void()> accion);

    // What happened.
    const QList<Llamada>& Llamadas() const { return llamadas_; }
    QList<Llamada> Llamadas(Tipo tipo) const;
    QList<MensajeMostrado> Mensajes() const;
    QStringList Inesperados() const { return inesperados_; }
    bool HuboInesperados() const { return !inesperados_.isEmpty(); }
    // Answers queued but never asked for, described one per line.
    QStringList Pendientes() const;
    int VecesProcesarEventos() const { return vecesProcesarEventos_; }
    int ActualizacionesProgreso() const { return actualizaciones_; }
    bool ProgresoAbierto() const { return progresoAbierto_; }
    void Olvidar();  // clears the records (not the queues)

    int Mensaje(const QString& texto, int estilo = 0, const QString& titulo = QString()) override;
    std::optional<QString> Entrada(const QString& pregunta, const QString& titulo = QString(),
                                   const QString& defecto = QString()) override;
    QString ElegirArchivo(const QString& filtro, const QString& titulo, bool guardar,
                          const QString& inicial = QString()) override;
    bool ElegirFecha(QString& fecha) override;
    int MostrarError(const KvError& error, const QString& rutina = QString()) override;
    void ProgresoIniciar(const QString& titulo, bool permiteCancelar) override;
    bool ProgresoActualizar(const QString& titulo, const QString& mensaje, const QString& progreso) override;
    void ProgresoCerrar() override;
    void ProcesarEventos() override;
    bool AbrirDocumento(const QString& archivo, const QString& parametros = QString(),
                        const QString& carpeta = QString()) override;

  private:
    void Inesperado(Llamada& llamada, const QString& descripcion);

    std::deque<int> mensajes_;
    std::deque<std::optional<QString>> entradas_;
    std::deque<QString> archivos_;
    std::deque<std::optional<QString>> fechas_;
    std::deque<int> errores_;
    int cancelarProgresoEn_ = 0;
    bool lanzar_ = false;
    bool procesarReales_ = true;
    std::function<void()> alProcesarEventos_;

    QList<Llamada> llamadas_;
    QStringList inesperados_;
    int vecesProcesarEventos_ = 0;
    int actualizaciones_ = 0;
    bool progresoAbierto_ = false;
};

}  // namespace kv

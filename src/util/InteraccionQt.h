#pragma once
// The port with real Qt dialogs, for the viewer. Message boxes keep the original
// style codes and answers and read their buttons in Spanish; the progress window
// stays cheap when updated once per row: it repaints a few times per second and
// lets pending events run often enough for its Cancelar button to answer.

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>

#include "util/Interaccion.h"

class QDialog;
class QLabel;
class QPushButton;

namespace kv {

// "Descripción|*.EXT|Otra|*.a;*.b" (or a Qt filter "Desc (*.x);;...") as the
// filter list of a Qt file dialog; each extension matches in either letter case.
QStringList FiltrosDeDialogo(const QString& filtro);
// The extension a saved name gets when typed without one ("xls"), or empty.
QString ExtensionPorDefecto(const QString& filtro);

class InteraccionQt : public Interaccion {
  public:
    InteraccionQt();
    ~InteraccionQt() override;

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

    // Milliseconds between two repaints of the progress window.
    static constexpr int kIntervaloPintado = 250;
    // Milliseconds between two event runs inside progress updates.
    static constexpr int kIntervaloEventos = 40;

    // The open progress window (null when closed) and how often it was repainted.
    QDialog* VentanaProgreso() const;
    int PintadasProgreso() const { return pintadas_; }

  private:
    void PintarProgreso();

    QPointer<QDialog> progreso_;
    QPointer<QLabel> lblMensaje_;
    QPointer<QLabel> lblProgreso_;
    QPointer<QPushButton> cmdCancelar_;
    QString titulo_, mensaje_, textoProgreso_;
    bool pendiente_ = false;
    bool cancelado_ = false;
    bool permiteCancelar_ = false;
    int pintadas_ = 0;
    QElapsedTimer desdePintado_;
    QElapsedTimer desdeEventos_;
};

}  // namespace kv

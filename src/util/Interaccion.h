#pragma once
// The interaction port: every modal dialog, progress window and "let pending
// window events run" of the system goes through here, so that production shows
// Qt dialogs, tests answer from a script and headless runs never wait on a person.

#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "util/KvError.h"

namespace kv {

// Message-box style codes, as the original platform numbered them.
namespace estilo {
inline constexpr int SoloAceptar = 0;
inline constexpr int AceptarCancelar = 1;
inline constexpr int AnularReintentarOmitir = 2;
inline constexpr int SiNoCancelar = 3;
inline constexpr int SiNo = 4;
inline constexpr int ReintentarCancelar = 5;
inline constexpr int Critico = 16;
inline constexpr int Pregunta = 32;
inline constexpr int Exclamacion = 48;
inline constexpr int Informacion = 64;
inline constexpr int SegundoBoton = 256;
inline constexpr int TercerBoton = 512;
inline int Botones(int estilo) { return estilo & 0x0F; }
inline int Icono(int estilo) { return estilo & 0xF0; }
}  // namespace estilo

class Interaccion {
  public:
    virtual ~Interaccion() = default;

    // Modal message box; returns 1 Aceptar, 2 Cancelar, 3 Anular, 4 Reintentar,
    // 5 Omitir, 6 Sí, 7 No.
    virtual int Mensaje(const QString& texto, int estilo = 0, const QString& titulo = QString()) = 0;

    // Input box; nullopt when cancelled.
    virtual std::optional<QString> Entrada(const QString& pregunta, const QString& titulo = QString(),
                                           const QString& defecto = QString()) = 0;

    // File dialog. `filtro` in the original form "Descripción|*.EXT|..." or a Qt
    // filter; returns the chosen path or empty when cancelled.
    virtual QString ElegirArchivo(const QString& filtro, const QString& titulo, bool guardar,
                                  const QString& inicial = QString()) = 0;

    // Date picker: `fecha` holds "dd/mm/yyyy" (or empty) and receives the date
    // picked; returns false when cancelled (and `fecha` is left as it was).
    virtual bool ElegirFecha(QString& fecha) = 0;

    // The error dialog of the utility component: answers 3 abort, 4 retry, 5 ignore.
    virtual int MostrarError(const KvError& error, const QString& rutina = QString()) = 0;

    // Progress window.
    virtual void ProgresoIniciar(const QString& titulo, bool permiteCancelar) = 0;
    // Returns true when the user asked to cancel.
    virtual bool ProgresoActualizar(const QString& titulo, const QString& mensaje,
                                    const QString& progreso) = 0;
    virtual void ProgresoCerrar() = 0;

    // Let pending window events run (timers, repaint, input).
    virtual void ProcesarEventos() = 0;

    // Opens a document with the program the desktop associates with it (or starts
    // it with `parametros` when it is a program). Headless and scripted ports only
    // report it, so no viewer pops up where nobody looks. False when nothing opened.
    virtual bool AbrirDocumento(const QString& archivo, const QString& parametros = QString(),
                                const QString& carpeta = QString());
};

// The answer that ends the attempt for a message-box style: No, Cancelar or
// Anular where the box has one, Aceptar when it is the only button.
int RespuestaQueTermina(int estilo);

// Buttons of a message-box style, as answer codes, in the order they are shown.
QList<int> BotonesDeEstilo(int estilo);

// Caption of the button that gives an answer code ("Aceptar", "Sí", ...).
QString TextoBoton(int respuesta);

// Title and text of the error dialog, shared by every port so that the console
// and the tests see what the window shows.
QString TituloMostrarError();
QString TextoMostrarError(const KvError& error, const QString& rutina);

// The process-wide port. Until one is installed, the console implementation answers.
Interaccion& interaccion();
// Installs a port and returns the previous one (so a test can put it back).
std::unique_ptr<Interaccion> EstablecerInteraccion(std::unique_ptr<Interaccion> nueva);

}  // namespace kv

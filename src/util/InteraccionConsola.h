#pragma once
// The port for runs without a person in front: every message goes to standard
// error with its title, and every question gets the answer that ends the attempt
// (No, Cancelar, Anular; Aceptar when it is the only button), so a headless run
// never waits and never loops on a retry question.

#include <functional>

#include "util/Interaccion.h"

namespace kv {

class InteraccionConsola : public Interaccion {
  public:
    using Salida = std::function<void(const QString& linea)>;

    // Without an output, lines go to standard error (UTF-8).
    explicit InteraccionConsola(Salida salida = {});

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
    void Escribir(const QString& texto);

    Salida salida_;
};

}  // namespace kv

#pragma once
// Runtime errors of the system: a number, a description and a source, as the
// error objects of the original platform carried them.

#include <QString>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace kv {

struct KvError {
    qint32 numero = 0;
    QString descripcion;
    QString origen;
};

// Thrown by operations that fail; caught by the trapped procedures.
class KvExcepcion : public std::exception {
  public:
    explicit KvExcepcion(KvError error);
    KvExcepcion(qint32 numero, const QString& descripcion, const QString& origen = QString());
    const KvError& error() const { return error_; }
    const char* what() const noexcept override { return texto_.c_str(); }

  private:
    KvError error_;
    std::string texto_;
};

// Answers of the error routines (the original message-box codes).
namespace respuesta {
inline constexpr int Aceptar = 1;
inline constexpr int Cancelar = 2;
inline constexpr int Anular = 3;
inline constexpr int Reintentar = 4;
inline constexpr int Omitir = 5;
inline constexpr int Si = 6;
inline constexpr int No = 7;
}  // namespace respuesta

// A procedure that traps errors runs its statements as steps. When a step throws
// a KvExcepcion the handler gets the error and answers: 4 runs the same step
// again, 5 goes on with the next one, anything else leaves. Returns true when
// every step ran (ignored failures included), false when it left on an answer.
// Exceptions other than KvExcepcion are converted into one with number -1.
using PasoAtrapado = std::function<void()>;
using ManejadorError = std::function<int(const KvError&)>;
bool EjecutarPasos(std::initializer_list<PasoAtrapado> pasos, const ManejadorError& manejador);
bool EjecutarPasos(const std::vector<PasoAtrapado>& pasos, const ManejadorError& manejador);

}  // namespace kv

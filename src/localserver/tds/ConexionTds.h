#pragma once
// One client of the endpoint, from its pre-login to its end, on its own thread.

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "db/Proveedor.h"
#include "localserver/tds/Peticiones.h"
#include "localserver/tds/Tokens.h"
#include "localserver/tds/Transporte.h"

namespace kv::local {
class SesionEmbebida;
}

namespace kv::tds {

class ServidorTds;
class EmisorTds;

// The tokens of one answer, sent a packet at a time as they are made, so a long
// result never sits whole in memory. The last DONE is held back until it is
// known whether more follow. Between packets it looks for a client's attention.
class Salida {
  public:
    Salida(Transporte& t, int tamanoPaquete, std::uint16_t spid)
        : t_(t), tamano_(tamanoPaquete), spid_(spid) {}
    Escritor& e() {
        SoltarDone(true);
        return e_;
    }
    // Tokens that belong before the DONE held back (the change of transaction a statement made).
    Escritor& Crudo() { return e_; }
    void Done(std::uint8_t tipo, std::uint16_t estado, std::uint64_t filas);
    // Sends full packets; true when the client has asked to stop meanwhile.
    bool Enviar();
    // Sends the rest, the held DONE as the last one (or a plain DONE when none was held).
    void Terminar(std::uint16_t estadoExtra = 0);
    // After a client's attention: the answer in progress is ended, and the
    // acknowledgement goes as a message of its own, as SQL Server sends it
    // (clients read the rest of the interrupted answer first).
    void TerminarPorAtencion();
    bool Atencion() const { return atencion_; }
    void AtencionRecibida() { atencion_ = true; }

  private:
    void SoltarDone(bool mas);
    Transporte& t_;
    int tamano_;
    std::uint16_t spid_;
    Escritor e_;
    std::uint8_t numero_ = 1;
    bool hayDone_ = false;
    std::uint8_t tipoDone_ = 0;
    std::uint16_t estadoDone_ = 0;
    std::uint64_t filasDone_ = 0;
    bool atencion_ = false;
};

class ConexionTds {
  public:
    ConexionTds(ServidorTds& servidor, int socket, QString cliente, bool clienteLocal, std::uint16_t spid);
    ~ConexionTds();
    void Atender();

  private:
    bool IniciarSesion();
    void Responder(const Paquete& primero);
    // Reads the rest of a message whose first packet is `primero`; false when it was
    // larger than allowed (the client got the error already).
    bool LeerMensaje(const Paquete& primero, QByteArray& carga);
    void Lote(const QByteArray& carga);
    void Rpc(const QByteArray& carga);
    void Transaccion(const QByteArray& carga);
    void Reiniciar();

    // Runs a batch on the session, its results going to the client as they are
    // made, while a watcher notices a client's attention. True when the client
    // asked to stop (the answer is then ended by the attention's acknowledgement).
    // Errors that keep the batch from starting come as ErrorProveedor.
    bool Ejecutar(Salida& s, const QString& lote, const std::vector<QVariant>& parametros, std::uint8_t tipoDone,
                  bool& huboError);
    // Runs `trabajo` on the session while a watcher notices a client's attention; the
    // results go through the emitter it is given. True when the client asked to stop.
    bool Vigilado(Salida& s, std::uint8_t tipoDone, bool& huboError,
                  const std::function<void(EmisorTds&)>& trabajo);
    // What to do after a run that the watcher saw input during: true when it was an attention.
    bool LeerAtencion();
    void EmitirResultado(Salida& s, const kv::db::ResultadoSentencia& r, std::uint8_t tipoDone, bool& huboError);
    friend class EmisorTds;
    void EmitirError(Salida& s, const kv::db::ErrorBD& e);
    void EmitirCambioTransaccion(Salida& s, int nivelAntes, bool huboError);
    void EnviarAtencion();
    void EnviarErrorSuelto(std::int32_t numero, const QString& texto, std::uint8_t clase);

    ServidorTds& servidor_;
    Transporte t_;
    QString cliente_;
    bool clienteLocal_;
    std::uint16_t spid_;
    std::uint32_t version_ = 0;
    int tamanoPaquete_ = PaquetePorDefecto;
    QString login_;
    QString baseInicial_;
    std::unique_ptr<kv::db::Sesion> sesion_;
    kv::local::SesionEmbebida* embebida_ = nullptr;
    QString base_;
    std::uint64_t transaccion_ = 0;  // descriptor of the open transaction, as the client saw it begin
    std::uint64_t siguienteTransaccion_ = 1;
    struct Preparada {
        QString sentencia;
        QString declaracion;
    };
    std::map<int, Preparada> preparadas_;
    int siguientePreparada_ = 1;
};

}  // namespace kv::tds

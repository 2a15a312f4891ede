#pragma once
// One client's byte stream: a TCP socket, optionally with TLS over it. As the
// protocol wants, the TLS handshake travels inside pre-login packets; after it
// the TLS records go straight on the socket, and with "login only" encryption
// the stream goes back to clear text once the login record has been read.

#include <QByteArray>
#include <QString>
#include <memory>

#include "localserver/tds/Trama.h"

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace kv::tds {

// The server's certificate and key, loaded once and shared by every connection.
class ContextoTls {
  public:
    // Throws std::runtime_error with a Spanish message when a file cannot be used.
    ContextoTls(const QString& certificado, const QString& clave);
    ~ContextoTls();
    ContextoTls(const ContextoTls&) = delete;
    ContextoTls& operator=(const ContextoTls&) = delete;
    SSL_CTX* ctx() const { return ctx_; }

  private:
    SSL_CTX* ctx_ = nullptr;
};

// The connection ended (the client went away, or a read timed out).
class ConexionCerrada : public std::runtime_error {
  public:
    ConexionCerrada() : std::runtime_error("conexión cerrada") {}
};

struct Paquete {
    Cabecera cabecera;
    QByteArray carga;
};

class Transporte {
  public:
    explicit Transporte(int socket);
    ~Transporte();
    Transporte(const Transporte&) = delete;
    Transporte& operator=(const Transporte&) = delete;

    int socket() const { return fd_; }
    // Reads one packet of at most `maximo` bytes; throws ConexionCerrada or ErrorTrama.
    Paquete LeerPaquete(int maximo);
    void Escribir(const QByteArray& bytes);
    // Whether bytes wait to be read, within `milisegundos` (0 looks without waiting).
    bool HayDatos(int milisegundos);
    // Limit for every read from now on, in seconds (0: none).
    void FijarEsperaLectura(int segundos);

    // Runs the server side of the TLS handshake inside pre-login packets.
    // Throws ErrorTrama when it fails.
    void IniciarTls(SSL_CTX* contexto);
    // Back to clear text (login-only encryption).
    void TerminarTls();
    bool Cifrado() const { return ssl_ != nullptr && !enSaludo_; }

  private:
    void LeerExacto(char* destino, int n);
    int LeerCrudo(char* destino, int n);
    void EscribirCrudo(const char* datos, int n);
    // Sends what TLS has written to its output buffer; during the handshake,
    // inside pre-login packets.
    void VaciarSalidaTls();

    int fd_;
    SSL* ssl_ = nullptr;
    BIO* entrada_ = nullptr;  // owned by ssl_
    BIO* salida_ = nullptr;
    bool enSaludo_ = false;
    QByteArray pendiente_;  // clear bytes TLS has handed over and no one has read yet
};

}  // namespace kv::tds

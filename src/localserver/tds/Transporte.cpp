#include "localserver/tds/Transporte.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kv::tds {

ContextoTls::ContextoTls(const QString& certificado, const QString& clave) {
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (!ctx_) throw std::runtime_error("No se pudo preparar TLS.");
    // TLS 1.2 as SQL Server speaks it inside the pre-login exchange; no session
    // tickets, which would arrive after the client has left the pre-login framing.
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(ctx_, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx_, SSL_OP_NO_TICKET);
    SSL_CTX_set_num_tickets(ctx_, 0);
    if (SSL_CTX_use_certificate_chain_file(ctx_, certificado.toLocal8Bit().constData()) != 1) {
        SSL_CTX_free(ctx_);
        throw std::runtime_error(
            QStringLiteral("No se puede usar el certificado '%1'.").arg(certificado).toUtf8().toStdString());
    }
    if (SSL_CTX_use_PrivateKey_file(ctx_, clave.toLocal8Bit().constData(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx_) != 1) {
        SSL_CTX_free(ctx_);
        throw std::runtime_error(QStringLiteral("No se puede usar la clave '%1' con ese certificado.")
                                     .arg(clave)
                                     .toUtf8()
                                     .toStdString());
    }
}

ContextoTls::~ContextoTls() { SSL_CTX_free(ctx_); }

Transporte::Transporte(int socket) : fd_(socket) {}

Transporte::~Transporte() {
    if (ssl_) SSL_free(ssl_);
    ::close(fd_);
}

void Transporte::FijarEsperaLectura(int segundos) {
    timeval t{};
    t.tv_sec = segundos;
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof(t));
}

int Transporte::LeerCrudo(char* destino, int n) {
    for (;;) {
        const ssize_t r = ::recv(fd_, destino, size_t(n), 0);
        if (r > 0) return int(r);
        if (r < 0 && errno == EINTR) continue;
        // End of stream, a reset, or the read's time-out.
        throw ConexionCerrada();
    }
}

void Transporte::EscribirCrudo(const char* datos, int n) {
    int enviados = 0;
    while (enviados < n) {
        const ssize_t r = ::send(fd_, datos + enviados, size_t(n - enviados), MSG_NOSIGNAL);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) throw ConexionCerrada();
        enviados += int(r);
    }
}

void Transporte::VaciarSalidaTls() {
    QByteArray datos;
    char trozo[16384];
    for (;;) {
        const int n = BIO_read(salida_, trozo, sizeof(trozo));
        if (n <= 0) break;
        datos.append(trozo, n);
    }
    if (datos.isEmpty()) return;
    if (enSaludo_) datos = ArmarMensaje(paquete::Prelogin, datos, PaquetePorDefecto);
    EscribirCrudo(datos.constData(), int(datos.size()));
}

void Transporte::LeerExacto(char* destino, int n) {
    if (!ssl_ || enSaludo_) {
        int leidos = 0;
        while (leidos < n) leidos += LeerCrudo(destino + leidos, n - leidos);
        return;
    }
    while (pendiente_.size() < n) {
        char trozo[16384];
        const int r = SSL_read(ssl_, trozo, sizeof(trozo));
        if (r > 0) {
            pendiente_.append(trozo, r);
            continue;
        }
        const int error = SSL_get_error(ssl_, r);
        if (error != SSL_ERROR_WANT_READ) throw ConexionCerrada();
        VaciarSalidaTls();
        const int c = LeerCrudo(trozo, sizeof(trozo));
        BIO_write(entrada_, trozo, c);
    }
    std::memcpy(destino, pendiente_.constData(), size_t(n));
    pendiente_.remove(0, n);
}

Paquete Transporte::LeerPaquete(int maximo) {
    unsigned char cabecera[LargoCabecera];
    LeerExacto(reinterpret_cast<char*>(cabecera), LargoCabecera);
    Paquete p;
    p.cabecera = LeerCabecera(cabecera, maximo);
    p.carga.resize(p.cabecera.largo - LargoCabecera);
    if (!p.carga.isEmpty()) LeerExacto(p.carga.data(), int(p.carga.size()));
    return p;
}

void Transporte::Escribir(const QByteArray& bytes) {
    if (!ssl_ || enSaludo_) {
        EscribirCrudo(bytes.constData(), int(bytes.size()));
        return;
    }
    int escritos = 0;
    while (escritos < bytes.size()) {
        const int r = SSL_write(ssl_, bytes.constData() + escritos, int(bytes.size()) - escritos);
        if (r <= 0) throw ConexionCerrada();
        escritos += r;
        VaciarSalidaTls();
    }
}

bool Transporte::HayDatos(int milisegundos) {
    if (!pendiente_.isEmpty()) return true;
    if (ssl_ && !enSaludo_ && (SSL_pending(ssl_) > 0 || BIO_ctrl_pending(entrada_) > 0)) return true;
    pollfd p{};
    p.fd = fd_;
    p.events = POLLIN;
    const int r = ::poll(&p, 1, milisegundos);
    return r > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR));
}

void Transporte::IniciarTls(SSL_CTX* contexto) {
    ssl_ = SSL_new(contexto);
    if (!ssl_) throw ErrorTrama("no se pudo iniciar TLS");
    entrada_ = BIO_new(BIO_s_mem());
    salida_ = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl_, entrada_, salida_);
    SSL_set_accept_state(ssl_);
    enSaludo_ = true;
    for (int vueltas = 0; vueltas < 64; ++vueltas) {
        const int r = SSL_do_handshake(ssl_);
        if (r == 1) {
            VaciarSalidaTls();
            enSaludo_ = false;
            return;
        }
        const int error = SSL_get_error(ssl_, r);
        VaciarSalidaTls();
        if (error != SSL_ERROR_WANT_READ) {
            ERR_clear_error();
            throw ErrorTrama("el saludo TLS falló");
        }
        const Paquete p = LeerPaquete(PaqueteMaximo);
        if (p.cabecera.tipo != paquete::Prelogin) throw ErrorTrama("se esperaba el saludo TLS");
        BIO_write(entrada_, p.carga.constData(), int(p.carga.size()));
    }
    throw ErrorTrama("el saludo TLS no termina");
}

void Transporte::TerminarTls() {
    if (ssl_) SSL_free(ssl_);
    ssl_ = nullptr;
    entrada_ = salida_ = nullptr;
    pendiente_.clear();
}

}  // namespace kv::tds

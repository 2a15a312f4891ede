#include "localserver/tds/ServidorTds.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDateTime>
#include <QHostAddress>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <functional>
#include <memory>
#include <thread>

#include "localserver/tds/ConexionTds.h"
#include "localserver/tds/Transporte.h"

namespace kv::tds {

namespace {

std::mutex& CerrojoRegistro() {
    static std::mutex m;
    return m;
}

std::runtime_error Fallo(const QString& texto) { return std::runtime_error(texto.toUtf8().toStdString()); }

// Runs `tarea` on a detached thread of `bytes` of stack. The default stack of a
// new thread follows the process's stack limit, which may be small; the front
// end's bounds on nesting are measured against this one. False when the
// thread could not be made.
bool LanzarConPila(std::function<void()> tarea, std::size_t bytes) {
    auto* propia = new std::function<void()>(std::move(tarea));
    pthread_attr_t atributos;
    if (pthread_attr_init(&atributos) != 0) {
        delete propia;
        return false;
    }
    pthread_attr_setstacksize(&atributos, bytes);
    pthread_attr_setdetachstate(&atributos, PTHREAD_CREATE_DETACHED);
    pthread_t hilo;
    const int rc = pthread_create(
        &hilo, &atributos,
        [](void* datos) -> void* {
            std::unique_ptr<std::function<void()>> f(static_cast<std::function<void()>*>(datos));
            (*f)();
            return nullptr;
        },
        propia);
    pthread_attr_destroy(&atributos);
    if (rc != 0) {
        delete propia;
        return false;
    }
    return true;
}

}  // namespace

ServidorTds::ServidorTds(OpcionesServidor opciones) : opciones_(std::move(opciones)) {}

ServidorTds::~ServidorTds() {
    Detener();
    if (escucha_ >= 0) ::close(escucha_);
    for (int fd : aviso_)
        if (fd >= 0) ::close(fd);
}

void ServidorTds::Registrar(const QString& linea) const {
    if (opciones_.registro) {
        opciones_.registro(linea);
        return;
    }
    std::lock_guard<std::mutex> g(CerrojoRegistro());
    const QByteArray texto =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + linea + u'\n')
            .toUtf8();
    std::fwrite(texto.constData(), 1, size_t(texto.size()), stderr);
    std::fflush(stderr);
}

void ServidorTds::Iniciar() {
    const QHostAddress direccion(opciones_.direccion);
    const bool hayCertificado = !opciones_.certificado.isEmpty() && !opciones_.clave.isEmpty();
    if (opciones_.certificado.isEmpty() != opciones_.clave.isEmpty())
        throw Fallo(QStringLiteral("--certificado y --clave van juntos."));
    if (const auto motivo = MotivoParaNoEscuchar(direccion, hayCertificado)) throw Fallo(*motivo);
    if (hayCertificado) tls_ = std::make_unique<ContextoTls>(opciones_.certificado, opciones_.clave);

    const bool v6 = direccion.protocol() == QAbstractSocket::IPv6Protocol;
    escucha_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (escucha_ < 0) throw Fallo(QStringLiteral("No se pudo abrir el puerto de escucha."));
    const int si = 1;
    setsockopt(escucha_, SOL_SOCKET, SO_REUSEADDR, &si, sizeof(si));
    int r;
    if (v6) {
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        a.sin6_port = htons(opciones_.puerto);
        const Q_IPV6ADDR d = direccion.toIPv6Address();
        std::memcpy(&a.sin6_addr, &d, 16);
        r = ::bind(escucha_, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    } else {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(opciones_.puerto);
        a.sin_addr.s_addr = htonl(direccion.toIPv4Address());
        r = ::bind(escucha_, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    }
    if (r != 0 || ::listen(escucha_, 64) != 0)
        throw Fallo(QStringLiteral("No se puede escuchar en %1, puerto %2: %3.")
                        .arg(opciones_.direccion)
                        .arg(opciones_.puerto)
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
    sockaddr_storage real{};
    socklen_t largo = sizeof(real);
    getsockname(escucha_, reinterpret_cast<sockaddr*>(&real), &largo);
    puerto_ = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&real)->sin6_port
                       : reinterpret_cast<sockaddr_in*>(&real)->sin_port);
    if (::pipe2(aviso_, O_CLOEXEC) != 0) throw Fallo(QStringLiteral("No se pudo preparar el servidor."));
    Registrar(QStringLiteral("Servidor EMBEBIDO escuchando en %1, puerto %2%3.")
                  .arg(opciones_.direccion)
                  .arg(puerto_)
                  .arg(tls_ ? QStringLiteral(", con TLS") : QString()));
}

void ServidorTds::Atender() {
    std::uint16_t spid = 50;
    while (!detenido_.load()) {
        pollfd p[2] = {};
        p[0].fd = escucha_;
        p[0].events = POLLIN;
        p[1].fd = aviso_[0];
        p[1].events = POLLIN;
        if (::poll(p, 2, 1000) <= 0) continue;
        if (p[1].revents) break;
        if (!(p[0].revents & POLLIN)) continue;
        sockaddr_storage origen{};
        socklen_t largo = sizeof(origen);
        const int fd = ::accept4(escucha_, reinterpret_cast<sockaddr*>(&origen), &largo, SOCK_CLOEXEC);
        if (fd < 0) continue;
        QHostAddress direccion(reinterpret_cast<sockaddr*>(&origen));
        quint16 puerto = origen.ss_family == AF_INET6
                             ? ntohs(reinterpret_cast<sockaddr_in6*>(&origen)->sin6_port)
                             : ntohs(reinterpret_cast<sockaddr_in*>(&origen)->sin_port);
        const QString cliente =
            (direccion.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + direccion.toString() + u']'
                                                                   : direccion.toString()) +
            u':' + QString::number(puerto);
        if (activas_.load() >= opciones_.maximoConexiones) {
            Registrar(QStringLiteral("Conexión de %1 rechazada: hay %2 abiertas.")
                          .arg(cliente)
                          .arg(activas_.load()));
            ::close(fd);
            continue;
        }
        const int si = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &si, sizeof(si));
        {
            std::lock_guard<std::mutex> g(cerrojo_);
            sockets_.insert(fd);
            ++activas_;
        }
        spid = static_cast<std::uint16_t>(spid >= 32000 ? 51 : spid + 1);
        Registrar(QStringLiteral("Conexión de %1.").arg(cliente));
        const bool local = !ExigeCifrado(direccion);
        if (!LanzarConPila([this, fd, cliente, local, spid] { AtenderConexion(fd, cliente, local, spid); },
                           kPilaConexion)) {
            Registrar(QStringLiteral("Conexión de %1 rechazada: no se pudo crear su hilo.").arg(cliente));
            std::lock_guard<std::mutex> g(cerrojo_);
            sockets_.erase(fd);
            --activas_;
            ::close(fd);
            terminadas_.notify_all();
        }
    }
    // No new connections; those open are told to end and awaited.
    std::unique_lock<std::mutex> g(cerrojo_);
    for (int fd : sockets_) ::shutdown(fd, SHUT_RDWR);
    terminadas_.wait(g, [this] { return activas_.load() == 0; });
}

void ServidorTds::AtenderConexion(int socket, const QString& cliente, bool clienteLocal, std::uint16_t spid) {
    {
        ConexionTds conexion(*this, socket, cliente, clienteLocal, spid);
        conexion.Atender();
        std::lock_guard<std::mutex> g(cerrojo_);
        sockets_.erase(socket);
    }
    Registrar(QStringLiteral("Fin de la conexión de %1.").arg(cliente));
    std::lock_guard<std::mutex> g(cerrojo_);
    --activas_;
    terminadas_.notify_all();
}

void ServidorTds::Detener() {
    if (detenido_.exchange(true)) return;
    if (aviso_[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(aviso_[1], &c, 1);
    }
}

}  // namespace kv::tds

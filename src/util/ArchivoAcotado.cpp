#include "util/ArchivoAcotado.h"

#include "util/Interaccion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QMutex>
#include <QSet>
#include <cerrno>
#include <cstring>

namespace kv::util {

LecturaAcotada LeerArchivoAcotado(const QString& ruta, qint64 maximo) {
    LecturaAcotada r;
    if (ruta.isEmpty()) return r;
    const QByteArray nombre = QFile::encodeName(ruta);
    // Without blocking: opening a FIFO with no writer must not wait for one.
    const int fd = ::open(nombre.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return r;
        r.existe = true;
        r.error = QStringLiteral("No se pudo leer el archivo \"%1\": %2.")
                      .arg(ruta, QString::fromLocal8Bit(std::strerror(errno)));
        return r;
    }
    r.existe = true;
    struct Cierre {
        int fd;
        ~Cierre() { ::close(fd); }
    } cierre{fd};
    struct stat info {};
    // The kind is asked of what was opened, so a link changed in between cannot fool it.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        r.error = QStringLiteral("\"%1\" no es un archivo común (es un dispositivo, una tubería o una carpeta): "
                                 "no se lee. Reemplácelo por el archivo verdadero.")
                      .arg(ruta);
        return r;
    }
    if (info.st_size > maximo) {
        r.error = QStringLiteral("El archivo \"%1\" mide %2 bytes, más de los %3 que puede tener: no se lee. "
                                 "Revise que sea el archivo correcto.")
                      .arg(ruta)
                      .arg(static_cast<qint64>(info.st_size))
                      .arg(maximo);
        return r;
    }
    // The size may still change while it is read: never past the bound.
    QByteArray datos;
    datos.resize(static_cast<qsizetype>(info.st_size));
    qint64 leidos = 0;
    char bloque[65536];
    for (;;) {
        const ssize_t n = ::read(fd, bloque, sizeof bloque);
        if (n < 0) {
            if (errno == EINTR) continue;
            r.error = QStringLiteral("No se pudo leer el archivo \"%1\": %2.")
                          .arg(ruta, QString::fromLocal8Bit(std::strerror(errno)));
            return r;
        }
        if (n == 0) break;
        if (leidos + n > maximo) {
            r.error = QStringLiteral("El archivo \"%1\" mide más de los %2 bytes que puede tener: no se lee. "
                                     "Revise que sea el archivo correcto.")
                          .arg(ruta)
                          .arg(maximo);
            return r;
        }
        if (leidos + n > datos.size()) datos.resize(static_cast<qsizetype>(leidos + n));
        std::memcpy(datos.data() + leidos, bloque, static_cast<size_t>(n));
        leidos += n;
    }
    datos.resize(static_cast<qsizetype>(leidos));
    r.datos = std::move(datos);
    r.leido = true;
    return r;
}

void AvisarArchivoIlegible(const LecturaAcotada& lectura, const QString& ruta, const QString& consecuencia) {
    if (lectura.error.isEmpty()) return;
    static QMutex cerrojo;
    static QSet<QString> avisados;
    {
        QMutexLocker g(&cerrojo);
        if (avisados.contains(ruta)) return;
        avisados.insert(ruta);
    }
    interaccion().Mensaje(lectura.error + QLatin1Char(' ') + consecuencia, estilo::Exclamacion,
                          QStringLiteral("Aviso al Usuario"));
}

}  // namespace kv::util

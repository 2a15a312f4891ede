#include "access/ArchivoBases.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include "util/ArchivoAcotado.h"
#include "util/KvError.h"
#include "util/PaginaCodigos.h"
#include "util/UtilRutas.h"

namespace kv::access {

namespace {

// Error number of the old runtime for a file that cannot be reached.
constexpr qint32 kErrorAccesoArchivo = 75;
const QString kOrigen = QStringLiteral("BASES.TXT");

// A line of the file with the end it had ("\r\n", "\n" or nothing for the last one).
struct LineaCruda {
    QByteArray texto;
    QByteArray fin;
};

QList<LineaCruda> PartirLineas(const QByteArray& datos) {
    QList<LineaCruda> lineas;
    qsizetype inicio = 0;
    while (inicio < datos.size()) {
        const qsizetype salto = datos.indexOf('\n', inicio);
        if (salto < 0) {
            lineas.append({datos.mid(inicio), QByteArray()});
            break;
        }
        const bool conRetorno = salto > inicio && datos.at(salto - 1) == '\r';
        const qsizetype finTexto = conRetorno ? salto - 1 : salto;
        lineas.append({datos.mid(inicio, finTexto - inicio),
                       conRetorno ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n")});
        inicio = salto + 1;
    }
    return lineas;
}

// The line end the file already uses; a file without one gets the suite's CR LF.
QByteArray FinDeLinea(const QList<LineaCruda>& lineas) {
    for (const LineaCruda& l : lineas)
        if (!l.fin.isEmpty()) return l.fin;
    return QByteArrayLiteral("\r\n");
}

std::optional<ConexionRegistrada> ConexionDeLinea(const QByteArray& bytes) {
    const std::optional<QStringList> campos = CamposDeLinea(DesdePaginaCodigos(bytes));
    if (!campos) return std::nullopt;
    ConexionRegistrada c;
    c.nombre = campos->at(0);
    c.base = campos->at(1);
    c.usuario = campos->at(2);
    c.clave = campos->at(3);
    c.servidor = campos->at(4);
    return c;
}

QByteArray LeerTodo(const QString& ruta, bool& existe) {
    // Only a regular file of a sensible size: a link to a device or a FIFO in its
    // place is refused with a message instead of filling the memory or hanging.
    const kv::util::LecturaAcotada lectura = kv::util::LeerArchivoAcotado(ruta);
    existe = lectura.existe;
    if (!existe) return QByteArray();
    if (!lectura.leido) throw KvExcepcion(kErrorAccesoArchivo, lectura.error, kOrigen);
    return lectura.datos;
}

[[noreturn]] void FalloEscritura(const QString& ruta, const QString& motivo) {
    throw KvExcepcion(kErrorAccesoArchivo, QStringLiteral("No se pudo escribir %1: %2").arg(ruta, motivo),
                      kOrigen);
}

constexpr QFile::Permissions kSoloDueno = QFile::ReadOwner | QFile::WriteOwner;

}  // namespace

QString RutaBases() { return kv::UtilRutas::Carpeta() + QString::fromLatin1(kArchivoBases); }

QString DesdePaginaCodigos(const QByteArray& bytes) { return kv::PaginaCodigos::Desde1252(bytes); }

QByteArray APaginaCodigos(const QString& texto) { return kv::PaginaCodigos::A1252(texto); }

std::optional<QStringList> CamposDeLinea(const QString& linea) {
    QStringList campos;
    const qsizetype n = linea.size();
    qsizetype i = 0;
    auto saltarBlancos = [&] {
        while (i < n && (linea.at(i) == u' ' || linea.at(i) == u'\t')) ++i;
    };
    while (true) {
        saltarBlancos();
        QString valor;
        if (i < n && linea.at(i) == u'"') {
            ++i;
            bool cerrado = false;
            while (i < n) {
                if (linea.at(i) == u'"') {
                    if (i + 1 < n && linea.at(i + 1) == u'"') {
                        valor.append(u'"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    cerrado = true;
                    break;
                }
                valor.append(linea.at(i++));
            }
            if (!cerrado) return std::nullopt;
            saltarBlancos();
            if (i < n && linea.at(i) != u',') return std::nullopt;
        } else {
            const qsizetype coma = linea.indexOf(u',', i);
            const qsizetype fin = coma < 0 ? n : coma;
            valor = linea.mid(i, fin - i).trimmed();
            i = fin;
        }
        campos << valor;
        if (i >= n) break;
        ++i;  // the comma
    }
    if (campos.size() != 5) return std::nullopt;
    return campos;
}

QString CampoEscrito(const QString& valor) {
    QString campo = valor.trimmed();
    campo.replace(QLatin1String("\r\n"), QLatin1String(" "));
    campo.replace(u'\r', u' ');
    campo.replace(u'\n', u' ');
    if (!campo.contains(u',') && !campo.contains(u'"')) return campo;
    campo.replace(QLatin1String("\""), QLatin1String("\"\""));
    return u'"' + campo + u'"';
}

QString LineaDeConexion(const ConexionRegistrada& c) {
    return CampoEscrito(c.nombre) + u',' + CampoEscrito(c.base) + u',' + CampoEscrito(c.usuario) + u',' +
           CampoEscrito(c.clave) + u',' + CampoEscrito(c.servidor);
}

LecturaBases LeerBases(const QString& ruta) {
    LecturaBases lectura;
    const QByteArray datos = LeerTodo(ruta, lectura.existe);
    const QList<LineaCruda> lineas = PartirLineas(datos);
    for (qsizetype i = 0; i < lineas.size(); ++i) {
        const QByteArray& bytes = lineas.at(i).texto;
        if (bytes.trimmed().isEmpty()) continue;
        std::optional<ConexionRegistrada> c = ConexionDeLinea(bytes);
        if (!c) {
            lectura.lineasOmitidas << int(i + 1);
            continue;
        }
        c->linea = int(i + 1);
        lectura.conexiones << *c;
    }
    return lectura;
}

void AgregarConexion(const QString& ruta, const ConexionRegistrada& conexion) {
    bool existe = false;
    const QList<LineaCruda> lineas = PartirLineas(LeerTodo(ruta, existe));
    const QByteArray fin = FinDeLinea(lineas);
    QByteArray agregado;
    if (!lineas.isEmpty() && lineas.last().fin.isEmpty()) agregado += fin;
    agregado += APaginaCodigos(LineaDeConexion(conexion)) + fin;

    QFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly | QIODevice::Append, kSoloDueno))
        FalloEscritura(ruta, archivo.errorString());
    if (archivo.write(agregado) != agregado.size() || !archivo.flush())
        FalloEscritura(ruta, archivo.errorString());
}

void ReemplazarConexiones(const QString& ruta, const QList<ConexionRegistrada>& conexiones) {
    bool existe = false;
    const QList<LineaCruda> lineas = PartirLineas(LeerTodo(ruta, existe));
    const QFile::Permissions permisos = existe ? QFile(ruta).permissions() : kSoloDueno;
    const QByteArray fin = FinDeLinea(lineas);

    QSet<QString> nombres;
    for (const ConexionRegistrada& c : conexiones) nombres.insert(c.nombre.trimmed());

    QByteArray contenido;
    for (const LineaCruda& l : lineas) {
        const std::optional<ConexionRegistrada> c = ConexionDeLinea(l.texto);
        if (c && nombres.contains(c->nombre)) continue;
        contenido += l.texto + (l.fin.isEmpty() ? fin : l.fin);
    }
    for (const ConexionRegistrada& c : conexiones) contenido += APaginaCodigos(LineaDeConexion(c)) + fin;

    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) FalloEscritura(ruta, archivo.errorString());
    archivo.write(contenido);
    if (!archivo.commit()) FalloEscritura(ruta, archivo.errorString());
    QFile::setPermissions(ruta, permisos);
}

QString MensajeLineasOmitidas(const QString& ruta, const QList<int>& lineas) {
    QStringList numeros;
    for (const int n : lineas) numeros << QString::number(n);
    const QString archivo = QFileInfo(ruta).fileName();
    if (lineas.size() == 1)
        return QStringLiteral(
                   "La línea %1 de %2 no es una conexión registrada válida (se esperan cinco campos "
                   "separados por comas: nombre, base de datos, usuario, contraseña y servidor) y se "
                   "pasó por alto.\nLas demás conexiones se cargaron.\n\nArchivo: %3")
            .arg(numeros.first(), archivo, ruta);
    return QStringLiteral(
               "Las líneas %1 de %2 no son conexiones registradas válidas (se esperan cinco campos "
               "separados por comas: nombre, base de datos, usuario, contraseña y servidor) y se "
               "pasaron por alto.\nLas demás conexiones se cargaron.\n\nArchivo: %3")
        .arg(numeros.join(QLatin1String(", ")), archivo, ruta);
}

}  // namespace kv::access

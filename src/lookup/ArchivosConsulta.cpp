#include "lookup/ArchivosConsulta.h"

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdio>

#include "core/Sentencias.h"
#include "util/ArchivoAcotado.h"
#include "util/KvError.h"
#include "util/PaginaCodigos.h"
#include "util/UtilGeneral.h"

namespace kv::lookup {

namespace {
// A field of a definition record: bytes 0 and 255 dropped, trimmed.
QString CampoRegistro(const QByteArray& registro, int desde, int largo) {
    if (desde >= registro.size()) return QString();
    QByteArray bytes = registro.mid(desde, largo);
    bytes.replace('\0', QByteArray());
    bytes.replace('\xff', QByteArray());
    return kv::UtilGeneral::LimpiarTexto(kv::PaginaCodigos::Desde1252(bytes), 0, 255).trimmed();
}

constexpr int kLargoDatos = kv::core::kLargoRegistroConsultas - 2;  // without CR LF
}  // namespace

std::vector<DefinicionConsulta> LeerDefiniciones(const QString& ruta) {
    std::vector<DefinicionConsulta> definiciones;
    const kv::util::LecturaAcotada lectura = kv::util::LeerArchivoAcotado(ruta);
    if (!lectura.leido) {
        kv::util::AvisarArchivoIlegible(lectura, ruta,
                                        QStringLiteral("Las consultas muestran las columnas de cada tabla."));
        return definiciones;
    }
    const QByteArray& contenido = lectura.datos;
    // Records end in CR LF; reading by lines instead of by fixed blocks keeps a
    // record cut short or padded wrongly from shifting every record after it.
    qsizetype inicio = 0;
    while (inicio < contenido.size()) {
        qsizetype fin = contenido.indexOf('\n', inicio);
        if (fin < 0) fin = contenido.size();
        QByteArray registro = contenido.mid(inicio, fin - inicio);
        inicio = fin + 1;
        if (registro.endsWith('\r')) registro.chop(1);
        if (registro.size() > kLargoDatos || registro.trimmed().isEmpty()) continue;
        DefinicionConsulta d;
        d.titulo = CampoRegistro(registro, 0, 100);
        d.nombre = CampoRegistro(registro, 100, 100);
        d.columnas = CampoRegistro(registro, 200, 500);
        d.condicion = CampoRegistro(registro, 700, 500);
        if (d.nombre.isEmpty()) continue;
        definiciones.push_back(d);
    }
    return definiciones;
}

std::optional<DefinicionConsulta> BuscarDefinicion(const QString& ruta, const QString& nombre) {
    for (const DefinicionConsulta& d : LeerDefiniciones(ruta))
        if (d.nombre.compare(nombre.trimmed(), Qt::CaseInsensitive) == 0) return d;
    return std::nullopt;
}

QString LineaAnchos(const QString& tabla, const QList<double>& anchos) {
    QString texto;
    for (const double ancho : anchos) {
        // A number as the runtime writes it: a leading blank for a positive value.
        const QString numero = QString::number(ancho, 'g', 7);
        texto += (ancho >= 0 ? QStringLiteral(" ") : QString()) + numero + QLatin1Char('|');
    }
    return QLatin1Char('"') + tabla + QStringLiteral("\",\"") + texto + QStringLiteral("\"\r\n");
}

bool LeerLineaAnchos(const QString& linea, QString& tabla, QList<double>& anchos) {
    QStringList campos;
    const QString texto = QString(linea).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    int i = 0;
    while (i < texto.size()) {
        while (i < texto.size() && texto.at(i) == QLatin1Char(' ')) ++i;
        QString campo;
        if (i < texto.size() && texto.at(i) == QLatin1Char('"')) {
            const int cierre = texto.indexOf(QLatin1Char('"'), i + 1);
            if (cierre < 0) return false;
            campo = texto.mid(i + 1, cierre - i - 1);
            i = cierre + 1;
            while (i < texto.size() && texto.at(i) == QLatin1Char(' ')) ++i;
            if (i < texto.size() && texto.at(i) != QLatin1Char(',')) return false;
        } else {
            const int coma = texto.indexOf(QLatin1Char(','), i);
            campo = coma < 0 ? texto.mid(i) : texto.mid(i, coma - i);
            i = coma < 0 ? texto.size() : coma;
        }
        campos << campo;
        if (i < texto.size()) ++i;  // the comma
    }
    if (campos.size() != 2 || campos.at(0).trimmed().isEmpty()) return false;
    tabla = campos.at(0);
    anchos.clear();
    const QStringList partes = campos.at(1).split(QLatin1Char('|'));
    for (int p = 0; p < partes.size(); ++p) {
        // The text ends in "|": nothing follows the last width.
        if (p == partes.size() - 1 && partes.at(p).trimmed().isEmpty()) break;
        anchos << kv::UtilGeneral::TextoANumero(partes.at(p));
    }
    return true;
}

QString TablaAnchos(const QString& tabla) {
    if (tabla.compare(QLatin1String("Stk_ma_articulos"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("VT_MA_ARTICULOS");
    return tabla;
}

QList<double> LeerAnchos(const QString& carpeta, const QString& tabla) {
    const QString ruta = QDir(carpeta).filePath(QString::fromLatin1(kArchivoAnchos));
    const kv::util::LecturaAcotada lectura = kv::util::LeerArchivoAcotado(ruta);
    if (!lectura.leido) {
        kv::util::AvisarArchivoIlegible(lectura, ruta,
                                        QStringLiteral("Las columnas toman su ancho por omisión."));
        return {};
    }
    const QString buscada = TablaAnchos(tabla);
    for (const QByteArray& bytes : lectura.datos.split('\n')) {
        const QString linea = kv::PaginaCodigos::Desde1252(bytes);
        QString nombre;
        QList<double> anchos;
        if (!LeerLineaAnchos(linea, nombre, anchos)) continue;
        if (nombre.compare(buscada, Qt::CaseInsensitive) == 0) return anchos;
    }
    return {};
}

void GrabarAnchos(const QString& carpeta, const QString& tabla, const QList<double>& anchos) {
    const QDir dir(carpeta);
    const QString ruta = dir.filePath(QString::fromLatin1(kArchivoAnchos));
    const QString rutaAux = dir.filePath(QString::fromLatin1(kArchivoAnchosAux));
    const QString nombre = TablaAnchos(tabla);
    QByteArray contenido;
    // The records of other tables are kept; a file in its place that is no
    // regular file, or far too big, is not read and not replaced.
    const kv::util::LecturaAcotada viejo = kv::util::LeerArchivoAcotado(ruta);
    if (viejo.existe && !viejo.leido)
        throw KvExcepcion(75, viejo.error, QStringLiteral("KV_ESTV"));
    for (const QByteArray& linea : viejo.datos.split('\n')) {
        QString otra;
        QList<double> otros;
        if (!LeerLineaAnchos(kv::PaginaCodigos::Desde1252(linea), otra, otros)) continue;
        if (otra.compare(nombre, Qt::CaseInsensitive) == 0) continue;
        contenido += kv::PaginaCodigos::A1252(LineaAnchos(otra, otros));
    }
    contenido += kv::PaginaCodigos::A1252(LineaAnchos(nombre, anchos));

    QFile aux(rutaAux);
    const auto fallar = [&](const QString& detalle) {
        aux.remove();
        throw KvExcepcion(75, QStringLiteral("Error de acceso a la ruta o el archivo: ") + detalle,
                          QStringLiteral("KV_ESTV"));
    };
    if (!aux.open(QIODevice::WriteOnly | QIODevice::Truncate)) fallar(rutaAux);
    if (aux.write(contenido) != contenido.size() || !aux.flush()) fallar(rutaAux);
    ::fsync(aux.handle());
    aux.close();
    // rename() replaces the old file in one step: a reader sees the old or the new one.
    if (std::rename(QFile::encodeName(rutaAux).constData(), QFile::encodeName(ruta).constData()) != 0)
        fallar(ruta);
}

}  // namespace kv::lookup

#include "stats/Exportacion.h"

#include <QFile>
#include <cmath>

#include "db/Proveedor.h"
#include "db/Recordset.h"
#include "stats/Definicion.h"
#include "stats/FormatoNumeros.h"
#include "stats/NombresGrupos.h"

namespace kv::stats {

QString TextoCeldaGrilla(const QVariant& valor, int tipoADO) {
    if (valor.isNull() || !valor.isValid()) return QString();
    const bool numero = valor.typeId() == QMetaType::Double || valor.typeId() == QMetaType::Float;
    if (tipoADO == kv::db::tipo::Currency || (numero && tipoADO == kv::db::tipo::Numeric)) {
        // Currency keeps four decimals; trailing zeros are not shown.
        QString texto = QString::number(valor.toDouble(), 'f', 4);
        while (texto.endsWith(QLatin1Char('0'))) texto.chop(1);
        if (texto.endsWith(QLatin1Char('.'))) texto.chop(1);
        if (texto == QLatin1String("-0")) texto = QStringLiteral("0");
        return texto;
    }
    if (numero) {
        const double d = valor.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 15);
    }
    return valor.toString();
}

int TablaGrilla::Columna(const QString& nombre) const {
    const QString buscado = nombre.trimmed();
    for (size_t i = 0; i < columnas.size(); ++i)
        if (columnas[i].nombre.trimmed().compare(buscado, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

bool TablaGrilla::EsNumerica(int columna) const {
    if (columna < 0 || columna >= static_cast<int>(columnas.size())) return false;
    if (static_cast<size_t>(columna) < nombres.size() && nombres[static_cast<size_t>(columna)]) return false;
    using namespace kv::db::tipo;
    switch (columnas[static_cast<size_t>(columna)].tipo) {
        case SmallInt:
        case Integer:
        case Single:
        case Double:
        case Currency:
        case TinyInt:
        case BigInt:
        case Numeric:
            return true;
        default:
            break;
    }
    // A computed column may come untyped: numeric when every value is a number.
    for (const auto& fila : filas) {
        if (static_cast<size_t>(columna) >= fila.size()) continue;
        const QVariant& v = fila[static_cast<size_t>(columna)];
        if (v.isNull()) continue;
        switch (v.typeId()) {
            case QMetaType::Double:
            case QMetaType::Float:
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
                return true;
            default:
                return false;
        }
    }
    return false;
}

TablaGrilla TablaDeGrilla(const kv::db::Recordset& registros, const std::array<QString, kNiveles>& titulos,
                          const NombresGrupos* nombres, int decimales) {
    if (registros.State() == 0) return TablaDeGrilla({}, {}, titulos, nombres, decimales);
    return TablaDeGrilla(registros.Resultado().columnas, registros.Resultado().filas, titulos, nombres,
                         decimales);
}

TablaGrilla TablaDeGrilla(std::vector<kv::db::ColumnaResultado> columnas,
                          std::vector<std::vector<QVariant>> filas,
                          const std::array<QString, kNiveles>& titulos, const NombresGrupos* nombres,
                          int decimales) {
    TablaGrilla tabla;
    tabla.decimales = decimales;
    tabla.columnas = std::move(columnas);
    tabla.filas = std::move(filas);
    tabla.nombres.assign(tabla.columnas.size(), false);
    if (!nombres || tabla.columnas.size() < static_cast<size_t>(1 + kNiveles)) return tabla;
    // From the last level back, so each code column keeps its index while the
    // ones after it move right.
    for (int nivel = kNiveles - 1; nivel >= 0; --nivel) {
        if (!NivelAsignado(titulos, nivel) || !nombres->NivelConNombres(nivel)) continue;
        const size_t codigo = static_cast<size_t>(1 + nivel);
        kv::db::ColumnaResultado columna;
        columna.nombre = TituloColumnaNombre(titulos[static_cast<size_t>(nivel)]);
        columna.tipo = kv::db::tipo::VarWChar;
        tabla.columnas.insert(tabla.columnas.begin() + static_cast<long>(codigo + 1), columna);
        tabla.nombres.insert(tabla.nombres.begin() + static_cast<long>(codigo + 1), true);
        for (auto& fila : tabla.filas) {
            const QString nombre = codigo < fila.size() && !fila[codigo].isNull()
                                       ? nombres->Nombre(nivel, fila[codigo].toString())
                                       : QString();
            const size_t destino = std::min(fila.size(), codigo + 1);
            fila.insert(fila.begin() + static_cast<long>(destino), QVariant(nombre));
        }
    }
    return tabla;
}

QString TituloColumnaGrilla(const QString& nombre) {
    const QString n = nombre.trimmed();
    if (n.compare(QLatin1String("BASE"), Qt::CaseInsensitive) == 0) return QStringLiteral("Empresa");
    if (n.compare(QLatin1String("CONSUMO"), Qt::CaseInsensitive) == 0) return CasillasTotal()[0].titulo;
    for (const DefinicionCasilla& casilla : CasillasTotal())
        if (casilla.etiqueta.compare(n, Qt::CaseInsensitive) == 0) return casilla.titulo;
    return n;
}

QString TextoVisibleCelda(const TablaGrilla& tabla, int fila, int columna) {
    if (fila < 0 || static_cast<size_t>(fila) >= tabla.filas.size()) return QString();
    const auto& celdas = tabla.filas[static_cast<size_t>(fila)];
    if (columna < 0 || static_cast<size_t>(columna) >= celdas.size()) return QString();
    const QVariant& valor = celdas[static_cast<size_t>(columna)];
    if (valor.isNull() || !valor.isValid()) return QString();
    if (!tabla.EsNumerica(columna)) return valor.toString();
    const double numero = valor.toDouble();
    if (FamiliaDeColumna(tabla.columnas[static_cast<size_t>(columna)].nombre) == Familia::Porcentajes)
        return TextoPorcentaje(numero, tabla.decimales);
    return TextoImporte(Diezmilesimas(numero), tabla.decimales);
}

std::vector<QStringList> FilasVisibles(const TablaGrilla& tabla) {
    std::vector<QStringList> filas;
    QStringList cabecera;
    for (const auto& columna : tabla.columnas) cabecera << TituloColumnaGrilla(columna.nombre);
    filas.push_back(cabecera);
    const int columnas = static_cast<int>(tabla.columnas.size());
    for (int f = 0; f < static_cast<int>(tabla.filas.size()); ++f) {
        QStringList celdas;
        for (int c = 0; c < columnas; ++c) celdas << TextoVisibleCelda(tabla, f, c);
        filas.push_back(celdas);
    }
    return filas;
}

std::vector<QStringList> FilasGrilla(const kv::db::Recordset& registros) {
    std::vector<QStringList> filas;
    if (registros.State() == 0) return filas;
    const auto& resultado = registros.Resultado();
    QStringList cabecera;
    for (const auto& columna : resultado.columnas) cabecera << columna.nombre;
    filas.push_back(cabecera);
    for (const auto& fila : resultado.filas) {
        QStringList celdas;
        for (size_t i = 0; i < fila.size(); ++i) {
            const int tipo =
                i < resultado.columnas.size() ? resultado.columnas[i].tipo : kv::db::tipo::VarWChar;
            celdas << TextoCeldaGrilla(fila[i], tipo);
        }
        filas.push_back(celdas);
    }
    return filas;
}

QString LineaExportacion(const QStringList& celdas) {
    QString linea;
    for (const QString& celda : celdas) {
        const QString recortada = celda.trimmed();
        linea += (recortada.isEmpty() ? QStringLiteral(" ") : recortada) + QLatin1Char('\t');
    }
    return linea;
}

QString NombreArchivoExportacion(const QString& nombre) {
    const int punto = nombre.indexOf(QLatin1Char('.'));
    return (punto < 0 ? nombre : nombre.left(punto)) + QStringLiteral(".xls");
}

namespace {

// The characters of 0x80..0x9F in Windows-1252; 0 where the code page has none.
constexpr char16_t kAltos1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QByteArray CodificarWindows1252(const QString& texto) {
    QByteArray bytes;
    bytes.reserve(texto.size());
    for (const QChar c : texto) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes += static_cast<char>(u);
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 32; ++i)
            if (kAltos1252[i] != 0 && kAltos1252[i] == u) byte = static_cast<char>(0x80 + i);
        // A no-break or narrow blank (the grouping mark of some locales) is a blank.
        if (u == 0x202F) byte = static_cast<char>(0xA0);
        bytes += byte;
    }
    return bytes;
}

QString DecodificarWindows1252(const QByteArray& bytes) {
    QString texto;
    texto.reserve(bytes.size());
    for (const char b : bytes) {
        const unsigned char u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0 && kAltos1252[u - 0x80] != 0)
            texto += QChar(kAltos1252[u - 0x80]);
        else
            texto += QChar(u);
    }
    return texto;
}

bool GrabarGrillaTexto(const QString& archivo, const std::vector<QStringList>& filas) {
    QFile salida(archivo);
    if (!salida.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    for (const QStringList& fila : filas) {
        if (salida.write(CodificarWindows1252(LineaExportacion(fila) + QStringLiteral("\r\n"))) < 0)
            return false;
    }
    return true;
}

}  // namespace kv::stats

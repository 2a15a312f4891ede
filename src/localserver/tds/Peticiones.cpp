#include "localserver/tds/Peticiones.h"

#include <algorithm>
#include <cstring>

#include "localserver/tds/Tipos.h"
#include "localserver/tds/Valores.h"

namespace kv::tds {

namespace {

// Pre-login option tokens.
constexpr std::uint8_t kVersion = 0x00;
constexpr std::uint8_t kCifrado = 0x01;
constexpr std::uint8_t kInstancia = 0x02;
constexpr std::uint8_t kHilo = 0x03;
constexpr std::uint8_t kMars = 0x04;
constexpr std::uint8_t kTerminador = 0xFF;

// Largest value a parameter may carry, whatever its declared length says.
constexpr qint64 kValorMaximo = 64ll * 1024 * 1024;

QByteArray LeerPlp(Lector& l) {
    const std::uint64_t total = l.U64();
    if (total == 0xFFFFFFFFFFFFFFFFull) return QByteArray();  // NULL; the caller tells it from empty
    if (total != 0xFFFFFFFFFFFFFFFEull && total > std::uint64_t(kValorMaximo))
        throw ErrorTrama("valor demasiado largo");
    QByteArray datos;
    for (;;) {
        const std::uint32_t trozo = l.U32();
        if (trozo == 0) break;
        if (qint64(datos.size()) + trozo > kValorMaximo) throw ErrorTrama("valor demasiado largo");
        datos.append(l.Bytes(int(trozo)));
    }
    if (datos.isNull()) datos = QByteArray("");
    return datos;
}

QString TextoUtf16(const QByteArray& b) {
    if (b.size() % 2) throw ErrorTrama("texto UTF-16 de largo impar");
    Lector l(b);
    return l.Texto(int(b.size() / 2));
}

}  // namespace

Prelogin LeerPrelogin(const QByteArray& carga) {
    Prelogin p;
    Lector l(carga);
    for (int opciones = 0; opciones < 64; ++opciones) {
        const std::uint8_t token = l.U8();
        if (token == kTerminador) return p;
        const int desde = l.U16Be();
        const int largo = l.U16Be();
        if (desde + largo > carga.size()) throw ErrorTrama("opción de pre-login fuera del mensaje");
        Lector valor(carga, desde);
        if (token == kVersion && largo >= 4) p.version = valor.U32Be();
        if (token == kCifrado && largo >= 1) {
            p.cifrado = valor.U8();
            p.hayCifrado = true;
        }
        if (token == kMars && largo >= 1) p.mars = valor.U8() != 0;
    }
    throw ErrorTrama("demasiadas opciones de pre-login");
}

namespace {

QByteArray ArmarOpciones(const std::vector<std::pair<std::uint8_t, QByteArray>>& opciones) {
    const int cabecera = int(opciones.size()) * 5 + 1;
    Escritor e;
    int desde = cabecera;
    for (const auto& [token, valor] : opciones) {
        e.U8(token);
        e.U16Be(static_cast<std::uint16_t>(desde));
        e.U16Be(static_cast<std::uint16_t>(valor.size()));
        desde += int(valor.size());
    }
    e.U8(kTerminador);
    for (const auto& o : opciones) e.Bytes(o.second);
    return e.Datos();
}

}  // namespace

QByteArray ArmarPrelogin(std::uint8_t cifrado, std::uint32_t versionServidor) {
    Escritor version;
    version.U32Be(versionServidor);
    version.U16(0);
    return ArmarOpciones({{kVersion, version.Datos()},
                          {kCifrado, QByteArray(1, char(cifrado))},
                          {kInstancia, QByteArray(1, '\0')},
                          {kHilo, QByteArray()},
                          {kMars, QByteArray(1, '\0')}});
}

QByteArray ArmarPreloginCliente(std::uint8_t cifrado) {
    Escritor version;
    version.U32Be(0x09000000);
    version.U16(0);
    return ArmarOpciones({{kVersion, version.Datos()},
                          {kCifrado, QByteArray(1, char(cifrado))},
                          {kInstancia, QByteArray(1, '\0')},
                          {kHilo, QByteArray(4, '\0')},
                          {kMars, QByteArray(1, '\0')}});
}

Login7 LeerLogin7(const QByteArray& carga) {
    Lector l(carga);
    Login7 r;
    const std::uint32_t largo = l.U32();
    if (largo > std::uint32_t(carga.size()) || largo < 94)
        throw ErrorTrama("registro de inicio de sesión truncado");
    r.versionTds = l.U32();
    r.tamanoPaquete = l.U32();
    l.U32();  // client program version
    r.pidCliente = l.U32();
    l.U32();  // connection id
    l.U8();   // option flags 1
    const std::uint8_t opciones2 = l.U8();
    l.U8();  // type flags
    r.opciones3 = l.U8();
    l.U32();  // time zone
    l.U32();  // LCID
    r.sspi = (opciones2 & 0x80) != 0;
    r.extensiones = (r.opciones3 & 0x10) != 0;
    auto campo = [&](bool clave = false) {
        const int desde = l.U16();
        const int caracteres = l.U16();
        if (caracteres == 0) return QString();
        if (desde + qint64(caracteres) * 2 > qint64(largo))
            throw ErrorTrama("campo de inicio de sesión fuera del registro");
        const QByteArray bytes = carga.mid(desde, caracteres * 2);
        return clave ? DescifrarClave(bytes) : TextoUtf16(bytes);
    };
    r.equipo = campo();
    r.usuario = campo();
    r.clave = campo(true);
    r.programa = campo();
    r.servidor = campo();
    l.U16();  // extension offset (or unused)
    l.U16();
    r.bibliotecaCliente = campo();
    r.idioma = campo();
    r.base = campo();
    // The rest (client id, SSPI, attached file, new password) is not used by this server.
    return r;
}

QByteArray ArmarLogin7(const Login7& l) {
    const QString campos[] = {l.equipo,  l.usuario,           QString(), l.programa, l.servidor,
                              QString(), l.bibliotecaCliente, l.idioma,  l.base};
    const int fijo = 94;
    Escritor datos;
    Escritor cab;
    QByteArray variable;
    int desde = fijo;
    std::vector<std::pair<int, int>> posiciones;
    for (int i = 0; i < 9; ++i) {
        QByteArray b;
        int caracteres = 0;
        if (i == 2) {
            b = CifrarClave(l.clave);
            caracteres = int(l.clave.size());
        } else {
            Escritor e;
            e.Texto(campos[i]);
            b = e.Datos();
            caracteres = int(campos[i].size());
        }
        posiciones.emplace_back(desde, caracteres);
        variable.append(b);
        desde += int(b.size());
    }
    cab.U32(static_cast<std::uint32_t>(desde));
    cab.U32(l.versionTds ? l.versionTds : Tds74);
    cab.U32(l.tamanoPaquete ? l.tamanoPaquete : PaquetePorDefecto);
    cab.U32(0x07000000);
    cab.U32(l.pidCliente);
    cab.U32(0);
    cab.U8(0xE0);
    cab.U8(0x03);
    cab.U8(0x00);
    cab.U8(l.opciones3);
    cab.U32(0);
    cab.U32(0x0C0A);
    for (const auto& [p, n] : posiciones) {
        cab.U16(static_cast<std::uint16_t>(p));
        cab.U16(static_cast<std::uint16_t>(n));
    }
    cab.Bytes(QByteArray(6, '\0'));              // client id
    cab.U16(static_cast<std::uint16_t>(desde));  // SSPI
    cab.U16(0);
    cab.U16(static_cast<std::uint16_t>(desde));  // attached file
    cab.U16(0);
    cab.U16(static_cast<std::uint16_t>(desde));  // new password
    cab.U16(0);
    cab.U32(0);  // long SSPI
    QByteArray r = cab.Datos();
    if (r.size() != fijo) throw ErrorTrama("registro de inicio de sesión mal armado");
    r.append(variable);
    return r;
}

int SaltarCabecerasGenerales(const QByteArray& carga) {
    if (carga.size() < 4) return 0;
    Lector l(carga);
    const std::uint32_t total = l.U32();
    // Without the block the message starts with the text or the call itself; a
    // block states its own length, which is at least its 4 bytes and fits.
    if (total < 4 || total > std::uint32_t(carga.size())) return 0;
    std::uint32_t visto = 4;
    while (visto < total) {
        const std::uint32_t largo = l.U32();
        if (largo < 6 || visto + largo > total) throw ErrorTrama("cabecera general mal formada");
        l.Saltar(int(largo) - 4);
        visto += largo;
    }
    return int(total);
}

QString LeerLote(const QByteArray& carga) {
    const int desde = SaltarCabecerasGenerales(carga);
    return TextoUtf16(carga.mid(desde));
}

QVariant LeerValor(Lector& l, std::uint8_t tipo, int largoTipo, int escala, bool plp) {
    using namespace tipotds;
    switch (tipo) {
        case Int1:
            return QVariant(int(l.U8()));
        case Int2:
            return QVariant(int(static_cast<std::int16_t>(l.U16())));
        case Int4:
            return QVariant(int(static_cast<std::int32_t>(l.U32())));
        case Int8:
            return QVariant(qlonglong(l.U64()));
        case Bit:
            return QVariant(l.U8() != 0);
        case Flt4: {
            const std::uint32_t b = l.U32();
            float f;
            std::memcpy(&f, &b, 4);
            return QVariant(double(f));
        }
        case Flt8: {
            const std::uint64_t b = l.U64();
            double d;
            std::memcpy(&d, &b, 8);
            return QVariant(d);
        }
        case Money: {
            const std::int64_t alto = static_cast<std::int32_t>(l.U32());
            const std::int64_t bajo = l.U32();
            const std::int64_t n = (alto << 32) | bajo;
            // Beyond what a double holds, the exact amount goes on as its text.
            constexpr std::int64_t kExactoEnReal = std::int64_t{1} << 52;
            if (n > kExactoEnReal || n < -kExactoEnReal) return QVariant(TextoDeDinero(n));
            return QVariant(double(n) / 10000.0);
        }
        case Money4:
            return QVariant(double(static_cast<std::int32_t>(l.U32())) / 10000.0);
        case DateTime: {
            const auto dias = static_cast<std::int32_t>(l.U32());
            return QVariant(DeDatetime(dias, l.U32()));
        }
        case DateTim4: {
            const int dias = l.U16();
            const int minutos = l.U16();
            return QVariant(DeDatetime(dias, std::uint32_t(minutos) * 60 * 300));
        }
        default:
            break;
    }
    if (plp) {
        const QByteArray b = LeerPlp(l);
        if (b.isNull()) return QVariant();
        if (tipo == NVarChar || tipo == NChar) return QVariant(TextoUtf16(b));
        if (tipo == BigVarChar || tipo == BigChar) return QVariant(De1252(b));
        return QVariant(b);
    }
    if (tipo == Text || tipo == NText || tipo == Image) {
        const std::uint32_t largo = l.U32();
        if (largo == 0xFFFFFFFFu) return QVariant();
        if (largo > kValorMaximo) throw ErrorTrama("valor demasiado largo");
        const QByteArray b = l.Bytes(int(largo));
        if (tipo == NText) return QVariant(TextoUtf16(b));
        if (tipo == Text) return QVariant(De1252(b));
        return QVariant(b);
    }
    if (tipo == NVarChar || tipo == NChar || tipo == BigVarChar || tipo == BigChar || tipo == BigVarBinary ||
        tipo == BigBinary) {
        const std::uint16_t largo = l.U16();
        if (largo == 0xFFFF) return QVariant();
        const QByteArray b = l.Bytes(largo);
        if (tipo == NVarChar || tipo == NChar) return QVariant(TextoUtf16(b));
        if (tipo == BigVarChar || tipo == BigChar) return QVariant(De1252(b));
        return QVariant(b);
    }
    // The remaining types carry a one-byte length before the value; 0 is NULL.
    const int largo = l.U8();
    if (largo == 0) return QVariant();
    if (tipo == IntN) {
        switch (largo) {
            case 1:
                return QVariant(int(l.U8()));
            case 2:
                return QVariant(int(static_cast<std::int16_t>(l.U16())));
            case 4:
                return QVariant(int(static_cast<std::int32_t>(l.U32())));
            case 8:
                return QVariant(qlonglong(l.U64()));
            default:
                throw ErrorTrama("entero de largo no válido");
        }
    }
    if (tipo == BitN) {
        if (largo != 1) throw ErrorTrama("bit de largo no válido");
        return QVariant(l.U8() != 0);
    }
    if (tipo == FltN) {
        if (largo == 4) return LeerValor(l, Flt4, 4, 0, false);
        if (largo == 8) return LeerValor(l, Flt8, 8, 0, false);
        throw ErrorTrama("real de largo no válido");
    }
    if (tipo == MoneyN) {
        if (largo == 4) return LeerValor(l, Money4, 4, 0, false);
        if (largo == 8) return LeerValor(l, Money, 8, 0, false);
        throw ErrorTrama("moneda de largo no válido");
    }
    if (tipo == DateTimeN) {
        if (largo == 4) return LeerValor(l, DateTim4, 4, 0, false);
        if (largo == 8) return LeerValor(l, DateTime, 8, 0, false);
        throw ErrorTrama("fecha de largo no válido");
    }
    if (tipo == DecimalN || tipo == NumericN) {
        if (largo < 2 || largo > 17) throw ErrorTrama("decimal de largo no válido");
        const bool positivo = l.U8() == 1;
        Entero128 m = 0;
        const QByteArray b = l.Bytes(largo - 1);
        for (int i = int(b.size()) - 1; i >= 0; --i) m = (m << 8) | static_cast<unsigned char>(b[i]);
        if (!positivo) m = -m;
        return QVariant(TextoDeDecimal(m, escala).toDouble());
    }
    if (tipo == DateN) {
        if (largo != 3) throw ErrorTrama("fecha de largo no válido");
        const std::int32_t dias = l.U8() | (l.U8() << 8) | (l.U8() << 16);
        return QVariant(DeDate(dias).startOfDay());
    }
    if (tipo == TimeN || tipo == DateTime2N || tipo == DateTimeOffsetN) {
        const int bytesHora = escala <= 2 ? 3 : (escala <= 4 ? 4 : 5);
        const int esperado = (tipo == TimeN ? 0 : 3) + bytesHora + (tipo == DateTimeOffsetN ? 2 : 0);
        if (largo != esperado) throw ErrorTrama("fecha y hora de largo no válido");
        std::uint64_t unidades = 0;
        for (int i = 0; i < bytesHora; ++i) unidades |= std::uint64_t(l.U8()) << (8 * i);
        std::uint64_t porSegundo = 1;
        for (int i = 0; i < escala; ++i) porSegundo *= 10;
        const qint64 ms = qint64(unidades * 1000 / porSegundo);
        QDate fecha(1900, 1, 1);
        if (tipo != TimeN) {
            const std::int32_t dias = l.U8() | (l.U8() << 8) | (l.U8() << 16);
            fecha = DeDate(dias);
        }
        int minutosZona = 0;
        if (tipo == DateTimeOffsetN) minutosZona = static_cast<std::int16_t>(l.U16());
        QDateTime f(fecha, QTime::fromMSecsSinceStartOfDay(int(std::min<qint64>(ms, 86399999))));
        // The wire keeps UTC; the value is the local time of its offset.
        if (tipo == DateTimeOffsetN) f = f.addSecs(qint64(minutosZona) * 60);
        return QVariant(f);
    }
    if (tipo == Guid) {
        if (largo != 16) throw ErrorTrama("identificador de largo no válido");
        const QByteArray b = l.Bytes(16);
        auto hex = [&](int desde, int n, bool invertir) {
            QByteArray parte = b.mid(desde, n);
            if (invertir) std::reverse(parte.begin(), parte.end());
            return QString::fromLatin1(parte.toHex().toUpper());
        };
        return QVariant(hex(0, 4, true) + u'-' + hex(4, 2, true) + u'-' + hex(6, 2, true) + u'-' +
                        hex(8, 2, false) + u'-' + hex(10, 6, false));
    }
    (void)largoTipo;
    throw ErrorTrama("tipo de parámetro no admitido");
}

namespace {

// TYPE_INFO of a parameter: what LeerValor needs to read its value.
struct InfoTipo {
    std::uint8_t tipo = 0;
    int largo = 0;
    int escala = 0;
    bool plp = false;
};

InfoTipo LeerInfoTipo(Lector& l) {
    using namespace tipotds;
    InfoTipo t;
    t.tipo = l.U8();
    switch (t.tipo) {
        case Int1:
        case Int2:
        case Int4:
        case Int8:
        case Bit:
        case Flt4:
        case Flt8:
        case Money:
        case Money4:
        case DateTime:
        case DateTim4:
        case Null:
            return t;
        case IntN:
        case BitN:
        case FltN:
        case MoneyN:
        case DateTimeN:
        case Guid:
            t.largo = l.U8();
            return t;
        case DecimalN:
        case NumericN:
            t.largo = l.U8();
            l.U8();  // precision
            t.escala = l.U8();
            if (t.escala > 38) throw ErrorTrama("escala no válida");
            return t;
        case DateN:
            return t;
        case TimeN:
        case DateTime2N:
        case DateTimeOffsetN:
            t.escala = l.U8();
            if (t.escala > 7) throw ErrorTrama("escala no válida");
            return t;
        case BigVarChar:
        case BigChar:
        case NVarChar:
        case NChar:
            t.largo = l.U16();
            l.Saltar(5);  // collation
            t.plp = t.largo == 0xFFFF;
            return t;
        case BigVarBinary:
        case BigBinary:
            t.largo = l.U16();
            t.plp = t.largo == 0xFFFF;
            return t;
        case Text:
        case NText:
            t.largo = int(l.U32());
            l.Saltar(5);
            return t;
        case Image:
            t.largo = int(l.U32());
            return t;
        default:
            throw ErrorTrama("tipo de parámetro no admitido");
    }
}

}  // namespace

std::vector<LlamadaRpc> LeerRpc(const QByteArray& carga) {
    std::vector<LlamadaRpc> llamadas;
    Lector l(carga, SaltarCabecerasGenerales(carga));
    while (!l.Fin()) {
        LlamadaRpc c;
        const std::uint16_t largoNombre = l.U16();
        if (largoNombre == 0xFFFF)
            c.id = l.U16();
        else
            c.nombre = l.Texto(largoNombre);
        l.U16();  // option flags
        while (!l.Fin()) {
            const auto siguiente = static_cast<unsigned char>(carga[l.Posicion()]);
            // The batch flag ends this call; another follows.
            if (siguiente == 0xFF || siguiente == 0x80 || siguiente == 0xFE) {
                l.U8();
                break;
            }
            ParametroRpc p;
            p.nombre = l.TextoB();
            const std::uint8_t estado = l.U8();
            p.salida = (estado & 0x01) != 0;
            const InfoTipo t = LeerInfoTipo(l);
            p.tipo = t.tipo;
            if (t.tipo != tipotds::Null) p.valor = LeerValor(l, t.tipo, t.largo, t.escala, t.plp);
            c.parametros.push_back(std::move(p));
            if (c.parametros.size() > 2100) throw ErrorTrama("demasiados parámetros");
        }
        llamadas.push_back(std::move(c));
        if (llamadas.size() > 1000) throw ErrorTrama("demasiadas llamadas en un mensaje");
    }
    return llamadas;
}

PeticionTransaccion LeerTransaccion(const QByteArray& carga) {
    Lector l(carga, SaltarCabecerasGenerales(carga));
    PeticionTransaccion p;
    p.tipo = l.U16();
    if (p.tipo == tm::Iniciar) {
        l.U8();  // isolation level
        l.TextoB();
    } else if (p.tipo == tm::Confirmar || p.tipo == tm::Deshacer) {
        l.TextoB();
        if (!l.Fin()) {
            p.iniciarOtra = (l.U8() & 0x01) != 0;
        }
    }
    return p;
}

}  // namespace kv::tds

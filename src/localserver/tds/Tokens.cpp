#include "localserver/tds/Tokens.h"

namespace kv::tds {

void EscribirDone(Escritor& e, std::uint8_t tipo, std::uint16_t estado, std::uint64_t filas,
                  std::uint16_t comando) {
    e.U8(tipo);
    e.U16(estado);
    e.U16(comando);
    e.U64(filas);
}

void EscribirMensaje(Escritor& e, bool esError, std::int32_t numero, std::uint8_t estado, std::uint8_t clase,
                     const QString& texto, const QString& procedimiento, std::int32_t linea) {
    e.U8(esError ? token::Error : token::Info);
    const int inicio = e.Largo();
    e.U16(0);
    e.U32(static_cast<std::uint32_t>(numero));
    e.U8(estado);
    e.U8(clase);
    // A message longer than the token can carry is cut; the token's length is 16 bits.
    e.TextoUs(texto.left(4000));
    e.TextoB(QString::fromLatin1(NombreServidor));
    e.TextoB(procedimiento);
    e.U32(static_cast<std::uint32_t>(linea));
    e.Poner16(inicio, static_cast<std::uint16_t>(e.Largo() - inicio - 2));
}

void EscribirEntornoTexto(Escritor& e, std::uint8_t tipo, const QString& nuevo, const QString& anterior) {
    e.U8(token::EnvChange);
    const int inicio = e.Largo();
    e.U16(0);
    e.U8(tipo);
    e.TextoB(nuevo);
    e.TextoB(anterior);
    e.Poner16(inicio, static_cast<std::uint16_t>(e.Largo() - inicio - 2));
}

void EscribirEntornoBytes(Escritor& e, std::uint8_t tipo, const QByteArray& nuevo,
                          const QByteArray& anterior) {
    e.U8(token::EnvChange);
    const int inicio = e.Largo();
    e.U16(0);
    e.U8(tipo);
    e.U8(static_cast<std::uint8_t>(nuevo.size()));
    e.Bytes(nuevo);
    e.U8(static_cast<std::uint8_t>(anterior.size()));
    e.Bytes(anterior);
    e.Poner16(inicio, static_cast<std::uint16_t>(e.Largo() - inicio - 2));
}

void EscribirLoginAck(Escritor& e, std::uint32_t versionTds) {
    e.U8(token::LoginAck);
    const int inicio = e.Largo();
    e.U16(0);
    e.U8(1);  // T-SQL
    e.U32Be(versionTds);
    // Clients tell SQL Server from other servers of the protocol by this name.
    e.TextoB(QStringLiteral("Microsoft SQL Server"));
    e.U32Be(VersionServidor);
    e.Poner16(inicio, static_cast<std::uint16_t>(e.Largo() - inicio - 2));
}

void EscribirReturnStatus(Escritor& e, std::int32_t estado) {
    e.U8(token::ReturnStatus);
    e.U32(static_cast<std::uint32_t>(estado));
}

void EscribirReturnValue(Escritor& e, std::uint16_t ordinal, const QString& nombre, const ColumnaTds& tipo,
                         const QVariant& valor) {
    e.U8(token::ReturnValue);
    e.U16(ordinal);
    e.TextoB(nombre);
    e.U8(0x01);  // output parameter
    e.U32(0);    // user type
    e.U16(0x0009);
    EscribirInfoTipo(e, tipo);
    EscribirValor(e, tipo, valor);
}

std::uint8_t ClaseDeError(std::int32_t numero) {
    switch (numero) {
        case 0:
            return 16;
        case 4060:
            return 11;
        case 102:
        case 105:
        case 156:
        case 170:
            return 15;
        case 229:
        case 230:
        case 262:
        case 916:
        case 2601:
        case 2627:
        case 18456:
            return 14;
        case 1205:
            return 13;
        case 824:
        case 945:
            return 16;
        case 701:
            return 17;
        default:
            return 16;
    }
}

QString MensajeCambioBase(const QString& base) {
    return QStringLiteral("Se cambió el contexto de la base de datos a '%1'.").arg(base);
}

QString MensajeCambioIdioma() {
    return QStringLiteral("Se cambió la configuración de idioma a %1.").arg(QString::fromUtf8(Idioma));
}

}  // namespace kv::tds

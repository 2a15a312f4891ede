#pragma once
// What a client sends: the pre-login options, the login record, SQL batches,
// remote procedure calls and transaction-manager requests, read from the
// bytes of a whole message. Pure functions; malformed input throws ErrorTrama.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <vector>

#include "localserver/tds/Trama.h"

namespace kv::tds {

// Encryption options of the pre-login exchange.
namespace cifrado {
inline constexpr std::uint8_t SoloLogin = 0x00;   // ENCRYPT_OFF: only the login record travels encrypted
inline constexpr std::uint8_t Todo = 0x01;        // ENCRYPT_ON
inline constexpr std::uint8_t NoAdmitido = 0x02;  // ENCRYPT_NOT_SUP
inline constexpr std::uint8_t Exigido = 0x03;     // ENCRYPT_REQ
}  // namespace cifrado

struct Prelogin {
    std::uint32_t version = 0;
    std::uint8_t cifrado = cifrado::NoAdmitido;
    bool hayCifrado = false;
    bool mars = false;
};
Prelogin LeerPrelogin(const QByteArray& carga);
// The server's answer: its version, the encryption it chose, no instance, no MARS.
QByteArray ArmarPrelogin(std::uint8_t cifrado, std::uint32_t versionServidor);
// A client's pre-login, for tests and the fuzzer.
QByteArray ArmarPreloginCliente(std::uint8_t cifrado);

// TDS versions as the LOGIN7 record carries them.
inline constexpr std::uint32_t Tds72 = 0x72090002;
inline constexpr std::uint32_t Tds73a = 0x730A0003;
inline constexpr std::uint32_t Tds73b = 0x730B0003;
inline constexpr std::uint32_t Tds74 = 0x74000004;

struct Login7 {
    std::uint32_t versionTds = 0;
    std::uint32_t tamanoPaquete = 0;
    std::uint32_t pidCliente = 0;
    std::uint8_t opciones3 = 0;
    QString equipo;
    QString usuario;
    QString clave;
    QString programa;
    QString servidor;
    QString bibliotecaCliente;
    QString idioma;
    QString base;
    bool sspi = false;         // integrated security asked for
    bool extensiones = false;  // the record carries feature extensions
};
Login7 LeerLogin7(const QByteArray& carga);
// A client's login record, for tests and the fuzzer.
QByteArray ArmarLogin7(const Login7& l);

// The leading ALL_HEADERS block of batches, calls and transaction requests:
// the position after it (the block is optional in the protocol).
int SaltarCabecerasGenerales(const QByteArray& carga);

QString LeerLote(const QByteArray& carga);

// One parameter of a remote procedure call.
struct ParametroRpc {
    QString nombre;       // with its "@", or empty when given by position
    bool salida = false;  // OUTPUT
    std::uint8_t tipo = 0;
    QVariant valor;  // null QVariant for NULL
};

// Well-known procedure ids of a call that names none.
namespace procedimiento {
inline constexpr std::uint16_t ExecuteSql = 10;
inline constexpr std::uint16_t Prepare = 11;
inline constexpr std::uint16_t Execute = 12;
inline constexpr std::uint16_t PrepExec = 13;
inline constexpr std::uint16_t Unprepare = 15;
}  // namespace procedimiento

struct LlamadaRpc {
    QString nombre;        // as the client named it, empty when given by id
    std::uint16_t id = 0;  // 0 when named
    std::vector<ParametroRpc> parametros;
};
// A call message may carry several calls one after another.
std::vector<LlamadaRpc> LeerRpc(const QByteArray& carga);

// Transaction-manager requests.
namespace tm {
inline constexpr std::uint16_t Iniciar = 5;
inline constexpr std::uint16_t Confirmar = 7;
inline constexpr std::uint16_t Deshacer = 8;
inline constexpr std::uint16_t Guardar = 9;
}  // namespace tm
struct PeticionTransaccion {
    std::uint16_t tipo = 0;
    bool iniciarOtra = false;  // commit or rollback that begins a new transaction right away
};
PeticionTransaccion LeerTransaccion(const QByteArray& carga);

// Reads one value of a parameter in the given type (after its TYPE_INFO).
// Exposed for the tests of the value codecs.
QVariant LeerValor(Lector& l, std::uint8_t tipo, int largoTipo, int escala, bool plp);

}  // namespace kv::tds

#pragma once
// The tokens of the server's answers, and the severity SQL Server gives each
// of its error numbers.

#include <QString>
#include <cstdint>

#include "localserver/tds/Tipos.h"
#include "localserver/tds/Trama.h"

namespace kv::tds {

namespace token {
inline constexpr std::uint8_t ReturnStatus = 0x79;
inline constexpr std::uint8_t ColMetadata = 0x81;
inline constexpr std::uint8_t Error = 0xAA;
inline constexpr std::uint8_t Info = 0xAB;
inline constexpr std::uint8_t ReturnValue = 0xAC;
inline constexpr std::uint8_t LoginAck = 0xAD;
inline constexpr std::uint8_t FeatureExtAck = 0xAE;
inline constexpr std::uint8_t Row = 0xD1;
inline constexpr std::uint8_t NbcRow = 0xD2;
inline constexpr std::uint8_t EnvChange = 0xE3;
inline constexpr std::uint8_t Done = 0xFD;
inline constexpr std::uint8_t DoneProc = 0xFE;
inline constexpr std::uint8_t DoneInProc = 0xFF;
}  // namespace token

// Status bits of DONE, DONEPROC and DONEINPROC.
namespace fin {
inline constexpr std::uint16_t Final = 0x0000;
inline constexpr std::uint16_t Mas = 0x0001;
inline constexpr std::uint16_t Error = 0x0002;
inline constexpr std::uint16_t EnTransaccion = 0x0004;
inline constexpr std::uint16_t Cuenta = 0x0010;
inline constexpr std::uint16_t Atencion = 0x0020;
inline constexpr std::uint16_t ErrorServidor = 0x0100;
}  // namespace fin

// ENVCHANGE types.
namespace entorno {
inline constexpr std::uint8_t Base = 1;
inline constexpr std::uint8_t Idioma = 2;
inline constexpr std::uint8_t TamanoPaquete = 4;
inline constexpr std::uint8_t Colacion = 7;
inline constexpr std::uint8_t InicioTransaccion = 8;
inline constexpr std::uint8_t FinTransaccionConfirmada = 9;
inline constexpr std::uint8_t FinTransaccionDeshecha = 10;
}  // namespace entorno

// The name this server gives itself in its messages.
inline constexpr const char* NombreServidor = "EMBEBIDO";
// The version it announces (that of SQL Server 2019).
inline constexpr std::uint32_t VersionServidor = 0x0F0007D0;

void EscribirDone(Escritor& e, std::uint8_t tipo, std::uint16_t estado, std::uint64_t filas,
                  std::uint16_t comando = 0xC1);
// An INFO or ERROR token.
void EscribirMensaje(Escritor& e, bool esError, std::int32_t numero, std::uint8_t estado, std::uint8_t clase,
                     const QString& texto, const QString& procedimiento, std::int32_t linea);
void EscribirEntornoTexto(Escritor& e, std::uint8_t tipo, const QString& nuevo, const QString& anterior);
void EscribirEntornoBytes(Escritor& e, std::uint8_t tipo, const QByteArray& nuevo,
                          const QByteArray& anterior);
void EscribirLoginAck(Escritor& e, std::uint32_t versionTds);
void EscribirReturnStatus(Escritor& e, std::int32_t estado);
void EscribirReturnValue(Escritor& e, std::uint16_t ordinal, const QString& nombre, const ColumnaTds& tipo,
                         const QVariant& valor);

// The severity SQL Server reports with an error number (16 for those it does not single out).
std::uint8_t ClaseDeError(std::int32_t numero);

// Texts of the messages the endpoint itself sends.
QString MensajeCambioBase(const QString& base);
QString MensajeCambioIdioma();
inline constexpr const char* Idioma = "Español";

}  // namespace kv::tds

#pragma once
// The framing of SQL Server's wire protocol: the 8-byte packet header, and the
// little-endian readers and writers every message is built from. Pure
// functions over bytes; nothing here touches a socket.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <stdexcept>

namespace kv::tds {

// Packet types.
namespace paquete {
inline constexpr std::uint8_t Lote = 0x01;
inline constexpr std::uint8_t Rpc = 0x03;
inline constexpr std::uint8_t Respuesta = 0x04;
inline constexpr std::uint8_t Atencion = 0x06;
inline constexpr std::uint8_t CargaMasiva = 0x07;
inline constexpr std::uint8_t Transaccion = 0x0E;
inline constexpr std::uint8_t Login7 = 0x10;
inline constexpr std::uint8_t Sspi = 0x11;
inline constexpr std::uint8_t Prelogin = 0x12;
}  // namespace paquete

// Status bits of the header.
inline constexpr std::uint8_t FinDeMensaje = 0x01;
inline constexpr std::uint8_t Ignorar = 0x02;
inline constexpr std::uint8_t ReiniciarConexion = 0x08;

inline constexpr int LargoCabecera = 8;
// Packet sizes a client may negotiate (SQL Server's range) and the one it gets by default.
inline constexpr int PaqueteMinimo = 512;
inline constexpr int PaqueteMaximo = 32767;
inline constexpr int PaquetePorDefecto = 4096;

// The bytes of a message are not what the protocol allows: the connection ends.
class ErrorTrama : public std::runtime_error {
  public:
    explicit ErrorTrama(const char* que) : std::runtime_error(que) {}
};

struct Cabecera {
    std::uint8_t tipo = 0;
    std::uint8_t estado = 0;
    std::uint16_t largo = 0;  // the whole packet, header included
    std::uint16_t spid = 0;
    std::uint8_t numero = 0;
};

// Reads a header; throws ErrorTrama when the length cannot be a packet of at most `maximo` bytes.
Cabecera LeerCabecera(const unsigned char* bytes, int maximo);
// One packet: header and payload. The payload must fit in a packet of `PaqueteMaximo`.
QByteArray ArmarPaquete(std::uint8_t tipo, std::uint8_t estado, const QByteArray& carga, std::uint8_t numero,
                        std::uint16_t spid = 0);
// A whole message cut into packets of at most `tamanoPaquete` bytes.
QByteArray ArmarMensaje(std::uint8_t tipo, const QByteArray& carga, int tamanoPaquete,
                        std::uint16_t spid = 0);

// Reads a message body; every read past the end throws ErrorTrama.
class Lector {
  public:
    explicit Lector(const QByteArray& datos, int desde = 0) : d_(datos), p_(desde) {}
    int Posicion() const { return p_; }
    int Restante() const { return int(d_.size()) - p_; }
    bool Fin() const { return p_ >= d_.size(); }
    void Ir(int posicion);
    void Saltar(int n);
    std::uint8_t U8();
    std::uint16_t U16();
    std::uint16_t U16Be();
    std::uint32_t U32();
    std::uint32_t U32Be();
    std::uint64_t U64();
    QByteArray Bytes(int n);
    // UTF-16LE text of `caracteres` characters.
    QString Texto(int caracteres);
    // Text with a one-byte (B_VARCHAR) or two-byte (US_VARCHAR) count of characters.
    QString TextoB();
    QString TextoUs();
    const QByteArray& Datos() const { return d_; }

  private:
    void Exigir(qint64 n) const;
    const QByteArray& d_;
    int p_;
};

// Builds a message body.
class Escritor {
  public:
    void U8(std::uint8_t v) { d_.append(char(v)); }
    void U16(std::uint16_t v);
    void U16Be(std::uint16_t v);
    void U32(std::uint32_t v);
    void U32Be(std::uint32_t v);
    void U64(std::uint64_t v);
    void Bytes(const QByteArray& b) { d_.append(b); }
    void Texto(const QString& t);    // UTF-16LE, no count
    void TextoB(const QString& t);   // one-byte count of characters (at most 255 are written)
    void TextoUs(const QString& t);  // two-byte count (at most 65535)
    // Writes a 16-bit little-endian value at an earlier position (lengths known afterwards).
    void Poner16(int posicion, std::uint16_t v);
    int Largo() const { return int(d_.size()); }
    QByteArray& Datos() { return d_; }
    const QByteArray& Datos() const { return d_; }

  private:
    QByteArray d_;
};

// Windows code page 1252, the single-byte code page of the server's collation.
QByteArray A1252(const QString& texto);
QString De1252(const QByteArray& bytes);

// LOGIN7 keeps the password with each byte's nibbles swapped and XORed with 0xA5.
QString DescifrarClave(const QByteArray& bytes);
QByteArray CifrarClave(const QString& clave);

}  // namespace kv::tds

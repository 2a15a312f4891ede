#pragma once
// The errors of the embedded server: SQL Server's native numbers with their
// Spanish messages, and the translation of SQLite's failures into them, so
// that SQLite's own texts never reach a user.

#include <QString>

#include "localserver/ErrorServidor.h"

struct sqlite3;

namespace kv::local {

class BaseSqlite;

namespace err {
inline constexpr int Sintaxis = 102;
inline constexpr int FuncionDesconocida = 195;
inline constexpr int ColumnasEnSubconsulta = 116;
inline constexpr int UnionDistintasColumnas = 205;
inline constexpr int ColumnaInexistente = 207;
inline constexpr int ObjetoInexistente = 208;
inline constexpr int ColumnaAmbigua = 209;
inline constexpr int ConversionFecha = 241;
inline constexpr int Conversion = 245;
inline constexpr int PermisoObjeto = 229;
inline constexpr int PermisoColumna = 230;
inline constexpr int PermisoBase = 262;
inline constexpr int TransaccionCreaBase = 226;
inline constexpr int NuloNoPermitido = 515;
inline constexpr int IdentidadExplicita = 544;
inline constexpr int Restriccion = 547;
inline constexpr int ErrorSistemaArchivo = 823;
inline constexpr int ErrorCoherencia = 824;
inline constexpr int BaseNoExisteUsar = 911;
inline constexpr int SinAccesoBase = 916;
inline constexpr int BaseSinArchivos = 945;
inline constexpr int BaseExiste = 1801;
inline constexpr int BloqueoAgotado = 1222;
inline constexpr int ClaveYaDefinida = 1779;
inline constexpr int RestriccionNoCreada = 1750;
inline constexpr int DefectoYaDefinido = 1781;
inline constexpr int ColumnaNoEnDestino = 1911;
inline constexpr int ColumnaRepetida = 2705;
inline constexpr int TablaNoEncontrada = 4902;
inline constexpr int IndiceExiste = 1913;
inline constexpr int ClaveDuplicadaIndice = 1505;
inline constexpr int IndiceUnicoDuplicado = 2601;
inline constexpr int ClaveDuplicada = 2627;
inline constexpr int ObjetoExiste = 2714;
inline constexpr int TipoDesconocido = 2715;
inline constexpr int ProcedimientoInexistente = 2812;
inline constexpr int InstruccionTerminada = 3621;
inline constexpr int NoSePuedeQuitar = 3701;
inline constexpr int BaseEnUso = 3702;
inline constexpr int BaseDelSistema = 3708;
inline constexpr int CommitSinBegin = 3902;
inline constexpr int RollbackSinBegin = 3903;
inline constexpr int BaseInaccesible = 4060;
inline constexpr int VistaAgrupada = 4403;
inline constexpr int VistaVariasTablas = 4405;
inline constexpr int VistaCampoDerivado = 4406;
inline constexpr int ColumnaSinNulosNiDefecto = 4901;
inline constexpr int UnicaColumna = 4923;
inline constexpr int ColumnaAQuitarInexistente = 4924;
inline constexpr int ObjetoDependiente = 5074;
inline constexpr int Desbordamiento = 8115;
inline constexpr int DivisionPorCero = 8134;
inline constexpr int Truncado = 8152;
inline constexpr int NombreNoValido = 15006;
inline constexpr int RenombrarAmbiguo = 15248;
inline constexpr int RenombrarTipoDesconocido = 15249;
inline constexpr int RenombrarDuplicado = 15335;
inline constexpr int PrecaucionRenombrar = 15477;
inline constexpr int LoginInexistente = 15007;
inline constexpr int LoginNoModificable = 15151;
inline constexpr int BaseNoExiste = 15010;
inline constexpr int RolInexistente = 15014;
inline constexpr int UsuarioExiste = 15023;
inline constexpr int LoginExiste = 15025;
inline constexpr int ClaveAnteriorIncorrecta = 15211;
inline constexpr int SinPermiso = 15247;
inline constexpr int RolServidorInexistente = 15402;
inline constexpr int UsuarioInexistente = 15410;
inline constexpr int InicioSesion = 18456;
inline constexpr int TiempoAgotado = 0;
inline constexpr int ErrorInterno = 50000;
}  // namespace err

// Fixed texts of the server's messages, one builder each.
namespace msj {
QString InicioSesion(const QString& login);
QString BaseInaccesible(const QString& base);
QString TiempoAgotado();
QString NuloNoPermitido(const QString& columna, const QString& base, const QString& tabla, const QString& verbo);
QString Truncado();
QString ClaveDuplicada(const QString& restriccion, const QString& tabla);
QString IndiceUnicoDuplicado(const QString& tabla, const QString& indice);
QString ClaveDuplicadaIndice(const QString& tabla, const QString& restriccion);
QString ObjetoExiste(const QString& objeto);
QString ObjetoInexistente(const QString& objeto);
QString ColumnaInexistente(const QString& columna);
QString ColumnaAmbigua(const QString& columna);
QString FuncionDesconocida(const QString& funcion);
QString DivisionPorCero();
QString Sintaxis(const QString& cerca);
QString Conversion(const QString& valor, const QString& tipo);
QString ConversionFecha();
QString Desbordamiento(const QString& tipo);
QString IdentidadExplicita(const QString& tabla);
QString TipoDesconocido(int numeroColumna, const QString& columna, const QString& tipo);
QString ClaveYaDefinida(const QString& tabla);
QString RestriccionNoCreada();
QString DefectoYaDefinido(const QString& columna, const QString& tabla);
QString IndiceExiste(const QString& indice, const QString& tabla);
QString ColumnaNoEnDestino(const QString& columna);
QString ColumnaRepetida(const QString& columna, const QString& tabla);
// 4902: ALTER TABLE on a table that is not there or not the caller's to change.
QString TablaNoEncontrada(const QString& tabla);
QString NoSePuedeQuitarTabla(const QString& tabla);
QString NoSePuedeQuitarVista(const QString& vista);
// 4403, 4405, 4406: DML through a view SQL Server cannot update.
QString VistaNoActualizable(int numero, const QString& vista);
QString NoSePuedeQuitarIndice(const QString& indice);
QString NoSePuedeQuitarBase(const QString& base);
QString BaseEnUso(const QString& base);
QString BaseDelSistema(const QString& base);
QString BaseExiste(const QString& base);
QString BaseNoExisteUsar(const QString& base);
QString SinAccesoBase(const QString& login, const QString& base);
QString TransaccionCreaBase(const QString& instruccion);
QString PermisoBase(const QString& permiso, const QString& base);
QString PermisoObjeto(const QString& permiso, const QString& objeto, const QString& base);
QString PermisoColumna(const QString& permiso, const QString& columna, const QString& objeto,
                       const QString& base);
// 823: the operating system failed reading or writing the file.
QString ErrorSistemaArchivo(const QString& base, const QString& ruta);
// 824: the file is damaged or is no database.
QString ErrorCoherencia(const QString& base, const QString& ruta);
// 945: the database's file is missing or cannot be read.
QString BaseSinArchivos(const QString& base, const QString& ruta);
// 945 for master: a folder with databases but no usable catalog.
QString CatalogoAusente(const QString& ruta);
// 15151: the same answer for an unknown login and for one the caller may not change.
QString LoginNoModificable(const QString& login);
// 15151 for GRANT and REVOKE: an object or user that is not there, or not the caller's to grant on.
QString ObjetoNoEncontrado(const QString& objeto);
QString UsuarioNoEncontrado(const QString& usuario);
// Rights other than EXECUTE on procedures are given by database roles.
QString PermisoNoAdmitido(const QString& permiso);
QString ProcedimientoInexistente(const QString& nombre);
QString CommitSinBegin();
QString RollbackSinBegin();
QString ColumnaSinNulosNiDefecto(const QString& columna, const QString& tabla);
QString UnicaColumna(const QString& columna, const QString& tabla);
QString ColumnaAQuitarInexistente(const QString& columna, const QString& tabla);
QString ObjetoDependiente(const QString& objeto, const QString& columna);
QString NombreNoValido(const QString& nombre);
// sp_rename: the object is not there (or not of the type given), the type is
// none sp_rename knows, the new name is taken; and its warning on success.
QString RenombrarAmbiguo(const QString& tipo);
QString RenombrarTipoDesconocido(const QString& tipo);
QString RenombrarDuplicado(const QString& nombre, const QString& tipo);
QString PrecaucionRenombrar();
QString LoginInexistente(const QString& login);
QString BaseNoExiste(const QString& base);
QString RolInexistente(const QString& rol);
QString RolServidorInexistente(const QString& rol);
QString UsuarioExiste(const QString& usuario);
QString LoginExiste(const QString& login);
QString ClaveAnteriorIncorrecta();
QString SinPermiso();
QString UsuarioInexistente(const QString& usuario);
QString BloqueoAgotado();
QString InstruccionTerminada();
QString ErrorInterno();
// A failure of the engine with no cause of its own: its words, inside a general message.
QString ErrorMotor(const QString& detalle);
QString UnionDistintasColumnas();
QString ArgumentoFaltante(const QString& procedimiento, const QString& parametro);
}  // namespace msj

// The statement being run when SQLite failed, for the message.
struct ContextoError {
    QString verbo;  // "INSERT", "UPDATE", "DELETE", "DROP", "CREATE", "SELECT"...
    QString objeto; // table or object the statement names, when known
};

// Turns SQLite's failure into the server's error. Messages that the server's own
// triggers and functions raise as "[<number>] <text>" keep their number and text.
ErrorServidor ErrorDeSqlite(BaseSqlite& base, int codigo, const ContextoError& contexto = {});

// Raised by functions and triggers: the text SQLite carries for `ErrorDeSqlite`.
QString TextoErrorCodificado(int numero, const QString& mensaje);

}  // namespace kv::local

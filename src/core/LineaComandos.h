#pragma once
// The command-line grammar shared by the programs of the suite: keyword
// assignments "@Keyword=value;" found anywhere in the text, in any letter case.

#include <QString>
#include <QStringList>

namespace kv::core {

// What a command text carries. Fields are empty when their keyword is absent,
// except `caja`, which defaults to "1".
struct ParametrosLinea {
    QString parametroAdicional;
    QString menu;
    QString servidor;
    QString base;
    QString usuario;
    QString clave;
    QString usuarioLogeado;
    QString caja = QStringLiteral("1");
};

// Keywords in the order they are read.
inline constexpr const char* kClaveParametroAdicional = "@ParametroAdicional";
inline constexpr const char* kClaveMenu = "@Menu";
inline constexpr const char* kClaveServidor = "@Server";
inline constexpr const char* kClaveBase = "@DbName";
inline constexpr const char* kClaveUsuario = "@Usuario";
inline constexpr const char* kClaveClave = "@Password";
inline constexpr const char* kClaveUsuarioLogeado = "@UsuarioLogeado";
inline constexpr const char* kClaveCaja = "@Caja";

// Value of one keyword: the first occurrence anywhere (ignoring case), the text
// up to the next ";" with every "=" removed and trimmed. Without a ";" after
// it the value is empty, or the rest of the text when `hastaElFinal`.
// Returns false when the keyword is absent.
bool ValorPalabraClave(const QString& texto, const QString& clave, bool hastaElFinal, QString& valor);

ParametrosLinea AnalizarLineaComandos(const QString& texto);

// The command text rebuilt from the connection saved for this workstation.
QString LineaDesdeAjustesGuardados(const QString& servidor, const QString& base, const QString& usuario,
                                   const QString& clave);

// The Oracle connection string built from command-line settings.
QString PlantillaOracle(const QString& base, const QString& usuario, const QString& clave);

// A server text marked "#" names an Oracle database: the mark is removed and,
// when the caller gave no connection string, the Oracle one is built.
// Returns true when the mark was found.
bool AplicarMarcaOracle(QString& servidor, QString& cadenaConexion, const QString& base,
                        const QString& usuario, const QString& clave);

// "ALIAS/HOST:1433" -> "HOST"; "HOST:1433" -> "HOST"; "HOST" -> "HOST".
QString NormalizarServidor(const QString& servidor);

// Upper-cased machine name, "|", upper-cased user name; cut to 50 characters
// when its trimmed length exceeds 50.
QString ClaveEstacion(const QString& maquina, const QString& usuario);

// The program's own options (alone, or followed by "=" and a value).
inline constexpr const char* kOpcionesPropias[] = {"--demo", "--informe", "--captura",
                                                   "--help", "--version", "--ayuda"};
bool EsOpcionPropia(const QString& argumento);

// The program's command text: its arguments joined by blanks, without the
// program's own options, which are returned in `opciones`.
QString TextoLineaComandos(const QStringList& argumentos, QStringList* opciones = nullptr);

}  // namespace kv::core

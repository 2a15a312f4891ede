#pragma once
// Lib_ClsCons3: the one entry point through which a window lets the operator
// search a table and pick a value or tick several. The caller fills a few
// properties, calls ConsultaSearch with a table name, a stored query name or a
// ready SELECT, and reads ValorDevuelto or Valores back.

#include <QString>
#include <QStringList>
#include <QVariant>

namespace kv::lookup {

class Lib_FrmCons3;

inline constexpr const char* kMensajeConfigurarConsulta = "Debe configurar la consulta para esta tabla";
inline constexpr const char* kTituloAvisoOperador = "Aviso al operador";
// Width of an options window per character of its longest text, in twips.
inline constexpr int kTwipsPorCaracter = 120;

class Lib_ClsCons3 {
  public:
    // Reads the stock colours, the stock and LIKE switches from the
    // configuration, and the connection and query file start-up fixed.
    Lib_ClsCons3();

    // The program's shared instance, created on first use.
    static Lib_ClsCons3& Compartida();
    // Drops the shared instance so the next use reads the settings again (tests).
    static void DescartarCompartida();

    QVariant StkNivel1, StkNivel2, StkNivel3, StkNivel4;
    QString MuestraStock;
    QStringList CmpsDevueltos;
    QStringList Valores;
    QStringList Cantidades;
    bool Checks = false;
    QString ValorDevuelto;
    QString gConnString;
    QString gRutaMascaraConsultas;
    bool gUsarMascarasConsultas = false;
    bool UsaCantidades = false;
    QString CampoDevuelto;
    bool UsaConsultaLike = false;

    // Builds the statement, shows the list (or, with TreeView, the tree) window
    // modally and copies the results back. `CampoBusqueda` and `Where` come back
    // as they were used.
    void ConsultaSearch(const QString& SQL, QStringList* CmpsDevueltos, const QString& Clave,
                        QString& CampoBusqueda, QString& Where, const QString& SentenciaOpcional,
                        bool TreeView, const QString& ValoresDefault);
    // The usual call: no returned-columns collection and empty texts.
    void ConsultaSearch(const QString& SQL, bool TreeView = false);

    // The statement ConsultaSearch sends for a request; false when the request
    // cannot be served (the operator has been told why).
    bool ArmarSentencia(const QString& SQL, QString& CampoBusqueda, QString& Where,
                        const QString& SentenciaOpcional, QString& sentencia);

    // A list of options to tick (first character "1" ticks the row at start).
    void CheckOpciones(const QString& Titulo, QStringList* CmpsDevueltos, const QStringList& Opc);
    // The same list for a single pick.
    void MenuOpciones(const QString& Titulo, QStringList* CmpsDevueltos, const QStringList& Opc);
    // The lines of a text file, for a single pick.
    void ConsultaDesdeArchivo(const QString& Titulo, const QString& QueArchivo, const QString& Separador);

  private:
    void Opciones(const QString& Titulo, QStringList* CmpsDevueltos, const QStringList& Opc, bool marcas);
    // Shows a window of fixed rows, takes what was picked and lets the window go.
    void ElegirFija(Lib_FrmCons3& lista, QStringList* CmpsDevueltos);
    void Terminar(QStringList* CmpsDevueltos);
};

// The message of a file that ConsultaDesdeArchivo cannot find.
QString MensajeArchivoInexistente(const QString& archivo);

}  // namespace kv::lookup

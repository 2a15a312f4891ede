#pragma once
// frmAcceso, "Control de Acceso": the sign-in window. The user picks one of the
// connections registered on this workstation (BASES.TXT) or types server and
// database, types user and password, and accepts; the window does not connect
// by itself, the caller reads the boxes back. It also registers new connections
// and makes a desktop launcher for the program.

#include <QDialog>
#include <QString>
#include <QVariant>

#include "db/DB_Dll.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kv::access {

// Hint texts of the empty boxes.
inline constexpr const char* kPistaUsuario = "Ingrese el usuario";
inline constexpr const char* kPistaBase = "ingrese el nombre de la base de datos";
inline constexpr const char* kPistaServidor = "ingrese el nombre del servidor e instancia";
inline constexpr int kPuertoPorDefecto = 1433;

class frmAcceso : public QDialog {
    Q_OBJECT
  public:
    explicit frmAcceso(QWidget* padre = nullptr);
    ~frmAcceso() override;

    // True once the user accepted.
    bool Aceptar = false;

    // What the caller hands in before showing and reads back after.
    void CargarDatos(const kv::db::DatosAcceso& datos);
    void LeerDatos(kv::db::DatosAcceso& datos) const;
    // The server as handed back: the port shown beside it goes with it (as
    // "server,port") when it is not the default one.
    QString ServidorConPuerto() const;

    void llenarlist();
    void DatosBase(const QString& nombre);
    void AsignarDatosBase();
    void MensajeInicial(QLineEdit* caja);
    // Whether a connection can be opened (on the main instance, closed again).
    static bool ExisteBaseDeDatos(const QString& servidor, const QString& base, const QString& usuario,
                                  const QString& clave, const QString& proveedor);
    void GrabarConexion(const QString& nombre, const QString& base, const QString& usuario,
                        const QString& clave, const QString& servidor);

    void bcAceptar_Click();
    void bcCancelar_Click();
    void CmdRegistrar_Click();
    void CmdLineaComando_Click();
    // Escape and the close box cancel, as bcCancelar does.
    void reject() override;

    // The fields of the last record DatosBase found (password decoded).
    QString servidorEncontrado, baseEncontrada, usuarioEncontrado, claveEncontrada;
    QVariant puerto;
    QString rutaArchivo;

    // Controls, named as the window's code and the tests know them.
    QLabel* lblBases;
    QListWidget* lstBases;
    QLabel* lblAcceso;
    QGroupBox* framAcceso;
    QComboBox* CboPlataformaDB;
    QLineEdit* TxtServidor;
    QLineEdit* TxtPuerto;
    QLineEdit* TxtDbName;
    QLineEdit* TxtUserId;
    QLineEdit* TxtUserPassword;
    QPushButton* bcAceptar;
    QPushButton* bcCancelar;
    QPushButton* CmdRegistrar;
    QPushButton* CmdLineaComando;

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

  private:
    void Centrar();
    void ElegirFoco();
    QString PistaDe(const QLineEdit* caja) const;
    void PintarPista(QLineEdit* caja);
    bool enMensajeInicial_ = false;
};

// Installs the step-A window of the connection opener: with a display the
// sign-in window, shown modally; without one, the message saying what to pass
// on the command line, on standard error, and the attempt ends.
void InstalarVentanaAcceso(bool conPantalla);

// When set, the sign-in window is saved as a picture into `archivo` as soon as
// it is on screen, and then closed as if cancelled (for the documentation).
void EstablecerCapturaAcceso(const QString& archivo);

}  // namespace kv::access

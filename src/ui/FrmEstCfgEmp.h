#pragma once
// The company configuration dialog: include the current company in the
// statistics (Agregar), change its sharing flag (Modificar) or take it out
// (Quitar). Shown without waiting; it hides itself after a change and has the
// main window refill its company list.

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace kv::db {
class DB_Dll;
}

namespace kv::ui {

class FrmEstCfgEmp : public QDialog {
    Q_OBJECT
  public:
    FrmEstCfgEmp(kv::db::DB_Dll& erp, kv::db::DB_Dll& almacen, std::function<void()> cargarEmpresas,
                 QWidget* padre = nullptr);

    QLabel* lblInfo = nullptr;
    QCheckBox* chkCompartida = nullptr;
    QPushButton* cmdAgregar = nullptr;
    QPushButton* cmdQuitar = nullptr;
    QPushButton* cmdCancelar = nullptr;

    void cmdAgregar_Click();
    void cmdQuitar_Click();
    void cmdCancelar_Click();

  protected:
    void hideEvent(QHideEvent*) override;

  private:
    void Form_Load();
    void Terminar();

    kv::db::DB_Dll& erp_;
    kv::db::DB_Dll& almacen_;
    std::function<void()> cargarEmpresas_;
};

}  // namespace kv::ui

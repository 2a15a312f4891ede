#pragma once
// A small list to pick one value (or check several) from the rows of a
// statement: the lookup the main window uses while no lookup window serves it.

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;

namespace kv::ui {

class SelectorLista : public QDialog {
    Q_OBJECT
  public:
    SelectorLista(const QString& titulo, const QStringList& valores, bool multiple, QWidget* padre = nullptr);

    QString Elegido() const;
    QStringList Marcados() const;

  private:
    void Filtrar(const QString& texto);

    QLineEdit* filtro_ = nullptr;
    QListWidget* lista_ = nullptr;
    bool multiple_ = false;
};

}  // namespace kv::ui

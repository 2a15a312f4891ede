#pragma once
// The action toolbar of the data-entry windows: eight fixed command buttons
// (captions under 32-pixel icons from a strip in the program's folder), an
// enabled and a visible flag per button, and the function keys mapped to the
// same commands. The host hears every command through click(key).
//
// A flag's setter only stores the value; the buttons follow on the next update,
// which runs once the event loop is idle again (or through Actualizar()).

#include <QIcon>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

class QToolBar;
class QAction;

namespace kv::ui {

// Key codes of the original platform for the keys the window and toolbar use.
namespace tecla {
inline constexpr int Enter = 13;
inline constexpr int Escape = 27;
inline constexpr int F2 = 113;
inline constexpr int F3 = 114;
inline constexpr int F4 = 115;
inline constexpr int F5 = 116;
inline constexpr int F6 = 117;
inline constexpr int F9 = 120;
inline constexpr int F10 = 121;
}  // namespace tecla
// The platform key code of a Qt key (0 when it has none that matters here).
int CodigoTecla(int teclaQt);

struct BotonUtilNet {
    int posicion;  // 1..8, order of creation and of the images in the strip
    int id;        // command id
    const char* titulo;
    const char* clave;
};
const std::array<BotonUtilNet, 8>& BotonesUtilNet();

class UtilNet : public QWidget {
    Q_OBJECT
  public:
    explicit UtilNet(QWidget* padre = nullptr);

#define KV_BANDERA(nombre)                    \
    bool nombre() const { return nombre##_; } \
    void nombre(bool valor) {                 \
        nombre##_ = valor;                    \
        Cambio();                             \
    }
    KV_BANDERA(ConTitulo)
    KV_BANDERA(NuevoEnabled)
    KV_BANDERA(BorrarEnabled)
    KV_BANDERA(ReporteEnabled)
    KV_BANDERA(ConsultaEnabled)
    KV_BANDERA(PlanillaEnabled)
    KV_BANDERA(CancelarEnabled)
    KV_BANDERA(GrabarEnabled)
    KV_BANDERA(CerrarEnabled)
    KV_BANDERA(NuevoVisible)
    KV_BANDERA(BorrarVisible)
    KV_BANDERA(ReporteVisible)
    KV_BANDERA(consultarVisible)
    KV_BANDERA(PlanillaVisible)
    KV_BANDERA(CancelarVisible)
    KV_BANDERA(GrabarVisible)
    KV_BANDERA(CerrarVisible)
#undef KV_BANDERA
    // The control as a whole (a QWidget's own enabled state is kept apart).
    bool Enabled() const { return enabled_; }
    void Enabled(bool valor);

    int Theme() const { return theme_; }
    void Theme(int valor) { theme_ = (valor < 0 || valor > 2) ? 0 : valor; }

    // Rebuilds the toolbar: every flag back to true, buttons and icons again.
    void ActualizarBotones();
    // Turns a key code into a command and raises click; nothing for other keys.
    void KeyAnalisis(int codigoTecla);
    // The update notification: every button takes its flags.
    void Actualizar();

    // Name of the strip for an INI "Styles" value, and the strip chosen now.
    static QString ArchivoTira(const QString& estilo);
    QString TiraCargada() const { return tira_; }
    // Icons cut from a strip image (square images, as many as fit), the strip's
    // magenta becoming transparent.
    static std::vector<QIcon> CortarTira(const QImage& tira);

    QToolBar* Barra() const { return barra_; }
    QAction* Accion(int id) const;

  signals:
    void click(const QString& clave);

  protected:
    void resizeEvent(QResizeEvent*) override;

  private:
    void Inicializar();
    void Cambio();
    void Ejecutar(QAction* accion);
    bool Habilitado(int id) const;
    bool Visible(int id) const;

    QToolBar* barra_ = nullptr;
    std::array<QAction*, 8> acciones_{};
    QString tira_;
    bool actualizacionPendiente_ = false;
    bool enabled_ = true;
    int theme_ = 0;
    bool ConTitulo_ = true;
    bool NuevoEnabled_ = true, BorrarEnabled_ = true, ReporteEnabled_ = true, ConsultaEnabled_ = true,
         PlanillaEnabled_ = true, CancelarEnabled_ = true, GrabarEnabled_ = true, CerrarEnabled_ = true;
    bool NuevoVisible_ = true, BorrarVisible_ = true, ReporteVisible_ = true, consultarVisible_ = true,
         PlanillaVisible_ = true, CancelarVisible_ = true, GrabarVisible_ = true, CerrarVisible_ = true;
};

}  // namespace kv::ui

#pragma once
// Controls the list and tree lookup windows share: the search box, the button
// strip and the pop-up menu, with the same names and captions in both.

class QComboBox;
class QFrame;
class QHBoxLayout;
class QMenu;
class QObject;
class QPushButton;
class QWidget;

namespace kv::lookup {

// A search box "CmbSearch" (property "Index" = `indice`): typed text only, the
// F5 tooltip, and its keys seen by `filtro` (the box's and its line edit's).
QComboBox* CrearCajaBusqueda(QWidget* padre, int indice, QObject* filtro);
// The framed strip "Frame1" that holds the buttons; `botones` receives its layout.
QFrame* CrearMarcoBotones(QWidget* padre, QHBoxLayout*& botones);
// A button of the strip, named and captioned, that never takes Enter for itself.
QPushButton* AgregarBoton(QHBoxLayout* botones, const char* nombre, const char* texto);
// The pop-up menu "MNU_Emergente"; it belongs to the window and nothing opens it.
QMenu* CrearMenuEmergente(QWidget* padre);

}  // namespace kv::lookup

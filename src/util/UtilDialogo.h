#pragma once
// The file dialog object: set the filter ("Descripción|*.EXT"), the title and the
// options, show it, read the name chosen (empty when cancelled).

#include <QString>

namespace kv {

class UtilDialogo {
  public:
    enum Modo { Abrir = 0, Guardar = 1 };

    QString Filtro;
    QString Titulo;
    int Opcion = Abrir;  // 1 asks for a name to save under (the dialog confirms replacing a file)
    QString CarpetaInicial;
    QString NombreArchivo;  // the chosen file after Mostrar

    // Shows the dialog; true when a file was chosen.
    bool Mostrar();
};

}  // namespace kv

#pragma once
// Installs a scripted interaction port for one test and puts the previous port
// back at the end. On destruction it fails the test when a dialog came that the
// test had not scripted, or (unless told otherwise) when scripted answers were
// left unused.
//
//   kv::pruebas::PuertoGuionado puerto;
//   puerto->ResponderMensaje(kv::respuesta::Si);
//   ... code under test ...
//   EXPECT_EQ(puerto->Mensajes().at(0).texto, "...");

#include "util/InteraccionGuionada.h"

namespace kv::pruebas {

class PuertoGuionado {
  public:
    PuertoGuionado();
    ~PuertoGuionado();
    PuertoGuionado(const PuertoGuionado&) = delete;
    PuertoGuionado& operator=(const PuertoGuionado&) = delete;

    InteraccionGuionada* operator->() { return puerto_; }
    InteraccionGuionada& operator*() { return *puerto_; }

    // Leftover answers are no fault for this test.
    void PermitirPendientes(bool permitir = true) { permitirPendientes_ = permitir; }
    // Unexpected dialogs are what this test checks.
    void PermitirInesperados(bool permitir = true) { permitirInesperados_ = permitir; }

  private:
    InteraccionGuionada* puerto_;  // owned by the installed port slot
    std::unique_ptr<Interaccion> anterior_;
    bool permitirPendientes_ = false;
    bool permitirInesperados_ = false;
};

}  // namespace kv::pruebas

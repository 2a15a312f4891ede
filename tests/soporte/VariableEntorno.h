#pragma once
// Sets (or removes) an environment variable for one test and restores it after.

#include <QByteArray>
#include <QString>

namespace kv::pruebas {

class VariableEntorno {
  public:
    VariableEntorno(const char* nombre, const QString& valor) : nombre_(nombre) {
        habia_ = qEnvironmentVariableIsSet(nombre);
        anterior_ = qgetenv(nombre);
        qputenv(nombre, valor.toUtf8());
    }
    // Removes the variable for the test.
    explicit VariableEntorno(const char* nombre) : nombre_(nombre) {
        habia_ = qEnvironmentVariableIsSet(nombre);
        anterior_ = qgetenv(nombre);
        qunsetenv(nombre);
    }
    ~VariableEntorno() {
        if (habia_)
            qputenv(nombre_.constData(), anterior_);
        else
            qunsetenv(nombre_.constData());
    }
    VariableEntorno(const VariableEntorno&) = delete;
    VariableEntorno& operator=(const VariableEntorno&) = delete;

  private:
    QByteArray nombre_;
    QByteArray anterior_;
    bool habia_ = false;
};

}  // namespace kv::pruebas

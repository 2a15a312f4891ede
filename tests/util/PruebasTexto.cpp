#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>

#include "util/UtilGeneral.h"

using namespace kv;

TEST(Codificacion, IdaYVueltaConAcentosYVacio) {
    const QStringList textos = {
        "",           "pelumbo",        "Korvane", "Compañía Ñandú",          "a,b|c=d \"e\"",
        "  blancos ", "línea\r\nnueva", "€ 😀 ü",   "aaaaaaaaaaaaaaaaaaaaaaaa"};
    for (const QString& t : textos) {
        const QString codificado = UtilGeneral::Codificar(t);
        EXPECT_EQ(UtilGeneral::Decodificar(codificado), t) << t.toStdString();
        if (!t.isEmpty()) {
            EXPECT_NE(codificado, t);
        }
        // Safe inside comma-separated, INI and "|"-separated files.
        for (const QChar c : codificado) EXPECT_TRUE(QStringLiteral("0123456789ABCDEF").contains(c));
    }
    EXPECT_EQ(UtilGeneral::Codificar(""), "");
    // Repeated characters do not show as repeated pairs.
    const QString repetido = UtilGeneral::Codificar("aaaa");
    EXPECT_NE(repetido.mid(0, 2), repetido.mid(2, 2));
}

TEST(Codificacion, TextoNoCodificadoSeDevuelveTalCual) {
    EXPECT_EQ(UtilGeneral::Decodificar("pelumbo"), "pelumbo");
    EXPECT_EQ(UtilGeneral::Decodificar("ABC"), "ABC");    // odd length
    EXPECT_EQ(UtilGeneral::Decodificar("ab12"), "ab12");  // not upper-case hexadecimal
}

TEST(TextoANumero, NumeroDelPrincipio) {
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("12abc"), 12);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("abc"), 0);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero(""), 0);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("   42  "), 42);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("3.75"), 3.75);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("3,75"), 3.75);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero(" -3,5 kg"), -3.5);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("+7"), 7);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("1.234,56"), 1.234);  // only the first mark is decimal
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero(",5"), 0.5);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("5."), 5);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("-"), 0);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("."), 0);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("0003"), 3);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("1433x"), 1433);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("&HFF"), 255);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("&h00C0C0&"), 0xC0C0);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("&HFFFFFFFF"), -1);
    EXPECT_DOUBLE_EQ(UtilGeneral::TextoANumero("&Hxyz"), 0);
}

TEST(NormalizarCarpeta, UnSoloSeparadorAlFinal) {
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta("/opt/kv"), "/opt/kv/");
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta("/opt/kv/"), "/opt/kv/");
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta("/opt/kv//"), "/opt/kv/");
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta("/opt/kv\\"), "/opt/kv/");
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta("C:\\KV\\\\/"), "C:\\KV/");
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta("/"), "/");
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta("relativa"), "relativa/");
    // A blank folder never becomes the root folder.
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta(""), "");
    EXPECT_EQ(UtilGeneral::NormalizarCarpeta("   "), "");
}

TEST(AyudasDeTexto, NulosYTextoVisible) {
    EXPECT_EQ(UtilGeneral::SinNulo(QVariant()), "");
    EXPECT_EQ(UtilGeneral::SinNulo(QVariant(QMetaType::fromType<QString>())), "");
    EXPECT_EQ(UtilGeneral::SinNulo(QVariant(QString("  x "))), "  x ");
    EXPECT_EQ(UtilGeneral::SinNulo(QVariant(12)), "12");

    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant()), "");
    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant(QString("ART-001    "))), "ART-001");
    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant(QDate(2026, 3, 5))), "05/03/2026");
    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant(QDateTime(QDate(2026, 3, 5), QTime(0, 0)))), "05/03/2026");
    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)))),
              "05/03/2026 14:07:09");
    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant(2.5)), "2.5");
    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant(true)), "Verdadero");
    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant(QString("1234567890123456789012345678")), 25),
              "1234567890123456789012345");
    EXPECT_EQ(UtilGeneral::TextoVisible(QVariant(QString("corto")), 25), "corto");
}

TEST(AyudasDeTexto, CortarQuitarReemplazarLimpiarContar) {
    EXPECT_EQ(UtilGeneral::AjustarTexto("abcdef", 3), "abc");
    EXPECT_EQ(UtilGeneral::AjustarTexto("ab", 250), "ab");
    EXPECT_EQ(UtilGeneral::AjustarTexto("ab", 0), "");
    EXPECT_EQ(UtilGeneral::AjustarTexto("ab", -1), "");
    EXPECT_EQ(UtilGeneral::AjustarTexto(QString(300, 'x'), 250).size(), 250);

    EXPECT_EQ(UtilGeneral::QuitarCaracter("S|R|V", "|"), "SRV");
    EXPECT_EQ(UtilGeneral::QuitarCaracter("@dbname= DB", "="), "@dbname DB");
    EXPECT_EQ(UtilGeneral::QuitarCaracter("abc", ""), "abc");

    EXPECT_EQ(UtilGeneral::Reemplazar("select * from V_MA_ARTICULOS", "V_MA_ARTICULOS", "VT_MA_ARTICULOS"),
              "select * from VT_MA_ARTICULOS");
    EXPECT_EQ(UtilGeneral::Reemplazar("from v_ma_articulos", "V_MA_ARTICULOS", "VT_MA_ARTICULOS"),
              "from v_ma_articulos");
    EXPECT_EQ(UtilGeneral::Reemplazar("from v_ma_articulos", "V_MA_ARTICULOS", "VT_MA_ARTICULOS",
                                      Qt::CaseInsensitive),
              "from VT_MA_ARTICULOS");
    EXPECT_EQ(UtilGeneral::Reemplazar("abc", "", "x"), "abc");
    EXPECT_EQ(UtilGeneral::CambiarSeparador("a|b|c", "|", ","), "a,b,c");
    EXPECT_EQ(UtilGeneral::CambiarSeparador("1234,5600", ",", "."), "1234.5600");

    EXPECT_EQ(UtilGeneral::LimpiarTexto(QString("a") + QChar(0) + "b" + QChar(255) + "c", 0, 255), "abc");
    EXPECT_EQ(UtilGeneral::LimpiarTexto("año", 0, 255), "año");

    EXPECT_EQ(UtilGeneral::ContarPalabras(""), 0);
    EXPECT_EQ(UtilGeneral::ContarPalabras("   "), 0);
    EXPECT_EQ(UtilGeneral::ContarPalabras("LEN"), 1);
    EXPECT_EQ(UtilGeneral::ContarPalabras("  select\tcampo\r\nfrom  tabla "), 4);
}

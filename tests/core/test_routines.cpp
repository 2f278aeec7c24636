#include "errors.h"
#include "messages.h"
#include "routines.h"
#include "host_services.h"
#include "recording_dialogs.h"

#include <gtest/gtest.h>

TEST(Routines, EmptyStringAndAllTrim) {
    EXPECT_TRUE(EmptyString(""));
    EXPECT_TRUE(EmptyString("   "));
    EXPECT_FALSE(EmptyString(" 0 "));
    EXPECT_EQ(AllTrim("  Tabela Padrão \t"), "Tabela Padrão");
}

TEST(Routines, AjustaPadsOnTheLeftWithZeros) {
    EXPECT_EQ(Ajusta("7", 5), "00007");
    EXPECT_EQ(Ajusta(" 12 ", 5), "00012");
    EXPECT_EQ(Ajusta("", 3), "000");
    EXPECT_EQ(Ajusta("12345", 5), "12345");
    EXPECT_EQ(Ajusta("123456", 5), "123456");  // never cuts a longer code
    EXPECT_EQ(Ajusta("ADM", 12), "000000000ADM");
}

TEST(Routines, RoundDecRoundsHalfAwayFromZeroOnDecimalDigits) {
    EXPECT_DOUBLE_EQ(RoundDec(1.005, 2), 1.01);  // binary 1.00499999...
    EXPECT_DOUBLE_EQ(RoundDec(2.675, 2), 2.68);
    EXPECT_DOUBLE_EQ(RoundDec(-2.5, 0), -3.0);
    EXPECT_DOUBLE_EQ(RoundDec(2.4999, 0), 2.0);
    EXPECT_DOUBLE_EQ(RoundDec(20.0, 2), 20.0);
    EXPECT_DOUBLE_EQ(RoundDec(0.0, 2), 0.0);
    EXPECT_DOUBLE_EQ(RoundDec(1234.5678, -2), 1200.0);
    EXPECT_DOUBLE_EQ(RoundDec(0.0004, 2), 0.0);
    EXPECT_DOUBLE_EQ(RoundDec(999999999.995, 2), 1000000000.0);
}

TEST(Routines, NumberTextFormatsTheBrazilianWay) {
    EXPECT_EQ(NumberText::format(1234.56, "#,##0.00"), "1.234,56");
    EXPECT_EQ(NumberText::format(1234567.891, "#,##0.00"), "1.234.567,89");
    EXPECT_EQ(NumberText::format(0.5, "#,##0.00"), "0,50");
    EXPECT_EQ(NumberText::format(-1234.5, "#,##0.00"), "-1.234,50");
    EXPECT_EQ(NumberText::format(1234.56, "0.00"), "1234,56");
    EXPECT_EQ(NumberText::format(999.999, "#,##0.00"), "1.000,00");
    EXPECT_EQ(NumberText::format(12.5), "12,5");
    EXPECT_EQ(NumberText::format(12.0), "12");
    EXPECT_EQ(NumberText::format(100.0, "0"), "100");
}

TEST(Routines, NumberTextParsesWithTheCommaAsDecimalSeparator) {
    double v = 0;
    ASSERT_TRUE(NumberText::parse("1234,56", &v));
    EXPECT_DOUBLE_EQ(v, 1234.56);
    ASSERT_TRUE(NumberText::parse("1.234,56", &v));
    EXPECT_DOUBLE_EQ(v, 1234.56);
    EXPECT_FALSE(NumberText::parse("12.5", &v));  // a full stop only separates thousands
    ASSERT_TRUE(NumberText::parse("1.234.567", &v));
    EXPECT_DOUBLE_EQ(v, 1234567);
    ASSERT_TRUE(NumberText::parse(" 100 ", &v));
    EXPECT_DOUBLE_EQ(v, 100);
    ASSERT_TRUE(NumberText::parse("-0,01", &v));
    EXPECT_DOUBLE_EQ(v, -0.01);
    ASSERT_TRUE(NumberText::parse("999999999", &v));
    EXPECT_DOUBLE_EQ(v, 999999999);
    for (const char *bad : {"", " ", "abc", "1,2,3", "12,5.3", "1.23,4", "1e5", ",", "--1", "12a"})
        EXPECT_FALSE(NumberText::parse(bad, &v)) << bad;
}

TEST(Routines, AFullStopOutOfPlaceIsRefusedWithItsCommaForm) {
    struct Case {
        const char *text;
        double value;       // when read
        const char *comma;  // nullptr: read as a number
    } cases[] = {{"2.000,00", 2000, nullptr}, {"1.500", 1500, nullptr}, {"1.234.567,89", 1234567.89, nullptr},
                 {"2,5", 2.5, nullptr},       {"2.5", 0, "2,5"},       {"12.34", 0, "12,34"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        double v = 0;
        EXPECT_EQ(NumberText::parse(c.text, &v), c.comma == nullptr);
        if (!c.comma) EXPECT_DOUBLE_EQ(v, c.value);
        EXPECT_EQ(NumberText::commaForm(c.text), c.comma ? QString::fromLatin1(c.comma) : QString());
    }
    EXPECT_EQ(NumberText::commaFormMessage("2.5"), "Use a vírgula para os decimais: 2,5");
}

TEST(Routines, DateTextReadsAndWritesDayMonthYear) {
    QDateTime dt;
    ASSERT_TRUE(DateText::parse("01/02/2026", &dt));
    EXPECT_EQ(dt.date(), QDate(2026, 2, 1));
    EXPECT_EQ(DateText::format(dt), "01/02/2026");
    ASSERT_TRUE(DateText::parse("29/02/2028", &dt));
    EXPECT_FALSE(DateText::parse("31/02/2026", &dt));
    EXPECT_FALSE(DateText::parse("29/02/2026", &dt));
    EXPECT_FALSE(DateText::parse("  /  /    ", &dt));
    EXPECT_FALSE(DateText::parse("2026-02-01", &dt));
    EXPECT_FALSE(DateText::parse("13/13/2026", &dt));
    EXPECT_FALSE(DateMask().isEmpty());
}

TEST(Messages, CatalogueByKeyAndShownThroughTheDialogsService) {
    RecordingDialogs dialogs;
    TMessages msg({"Excl|Confirma exclusão?", "SEG_MER_CAD_TAB|Segmento de mercado ja cadastrado para tabela de preço \"%s\".",
                   "Não|Não"});
    EXPECT_EQ(msg.Count(), 3);
    EXPECT_EQ(msg.Msg("Excl"), "Confirma exclusão?");
    EXPECT_EQ(msg.Msg("Não"), "Não");
    EXPECT_EQ(msg.Msg("SEG_MER_CAD_TAB"), "Segmento de mercado ja cadastrado para tabela de preço \"%s\".");
    EXPECT_EQ(msg.Msg("NAO_EXISTE"), "NAO_EXISTE");
    msg.ShowMsg("Excl", MsgType::Information, MsgButton::Ok, 0);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, "Confirma exclusão?");
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Information);
}

TEST(Messages, MensErroShowsThenAbortsSilently) {
    RecordingDialogs dialogs;
    EXPECT_THROW(MensErro("Data inválida", true), EAbort);
    EXPECT_NO_THROW(MensErro("Só aviso", false));
    EXPECT_EQ(dialogs.texts(), QStringList({"Data inválida", "Só aviso"}));
}

TEST(HostServices, LocalCacheRegistryKeepsStaleTablesUntilTheHostReadsThem) {
    LocalCacheRegistry &reg = LocalCacheRegistry::instance();
    reg.takeStale();
    const int before = reg.notices();
    AtualizaLocalCache({"PRECOPROPOSTA"});
    AtualizaLocalCache({"SEGMERCADO", "PRECOPROPOSTA"});
    EXPECT_EQ(reg.notices(), before + 2);
    EXPECT_EQ(reg.staleTables(), QStringList({"PRECOPROPOSTA", "SEGMERCADO"}));
    EXPECT_TRUE(reg.isStale("SEGMERCADO"));
    EXPECT_EQ(reg.takeStale().size(), 2);
    EXPECT_TRUE(reg.staleTables().isEmpty());
}

TEST(HostServices, ServerAddressComesFromTheHostSettings) {
    HostSettings s;
    s.webUrl = "10.0.0.5";
    s.webPort = 9000;
    s.token = "abc";
    SetHostSettings(s);
    EXPECT_EQ(WebURL(), "10.0.0.5");
    EXPECT_EQ(WebPort(), 9000);
    EXPECT_EQ(WebToken(), "abc");
    SetHostSettings(HostSettings());
}

TEST(Routines, BrazilianNumberFormIsStrict) {
    struct Case {
        const char *text;
        const char *plain;  // nullptr: not a number in Brazilian form
    } cases[] = {{"1.234,56", "1234,56"}, {"1234,56", "1234,56"}, {"12.345.678", "12345678"}, {"0,5", "0,5"},
                 {" 7 ", "7"},            {"1.23,4", nullptr},    {"1,234.56", nullptr},    {"12.34", nullptr},
                 {"1234.567,8", nullptr}, {",5", nullptr},        {"5,", nullptr},          {"-5", nullptr},
                 {"1,2,3", nullptr},      {"", nullptr},          {"mil", nullptr}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        QString plain;
        EXPECT_EQ(NumberText::brazilian(QString::fromLatin1(c.text), &plain), c.plain != nullptr);
        if (c.plain) EXPECT_EQ(plain, QString::fromLatin1(c.plain));
    }
}

#include "DateWording.h"
#include "MemoStyle.h"

#include <QTest>

class DateWordingTest : public QObject
{
    Q_OBJECT

private slots:
    // The suffix changes at 1, 2, 3 and 4, and the teens and the twenties differ.
    void dayWording_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("wording");
        for (const char *wording : { "1st", "2nd", "3rd", "4th", "11th", "12th", "13th", "21st",
                 "22nd", "23rd", "31st" }) {
            const QString ordinal = QString::fromLatin1(wording);
            QTest::newRow(wording) << ordinal.chopped(2) << ordinal;
        }
        QTest::newRow("spaces around") << QStringLiteral("  3 ") << QStringLiteral("3rd");
        QTest::newRow("spaces around a th day")
            << QStringLiteral(" 17  ") << QStringLiteral("17th");
        QTest::newRow("leading zero") << QStringLiteral("03") << QString();
        QTest::newRow("zero") << QStringLiteral("0") << QString();
        QTest::newRow("past the month") << QStringLiteral("32") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("words") << QStringLiteral("third") << QString();
        QTest::newRow("a tab is no space") << QStringLiteral("\t4") << QString();
    }

    void dayWording()
    {
        QFETCH(QString, day);
        QFETCH(QString, wording);
        QCOMPARE(fnDay(day), wording);
    }

    void dateLine_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("8 December 2026")
            << QDate(2026, 12, 8) << english << QStringLiteral(" Tuesday, December 8th, 2026 ");
        QTest::newRow("15 January 2027")
            << QDate(2027, 1, 15) << english << QStringLiteral(" Friday, January 15th, 2027 ");
        QTest::newRow("first day of the range")
            << QDate(1601, 1, 1) << english << QStringLiteral(" Monday, January 1st, 1601 ");
        QTest::newRow("last day of the range")
            << QDate(9999, 12, 31) << english << QStringLiteral(" Friday, December 31st, 9999 ");
        // French names begin in lower case; the memo capitalises them.
        QTest::newRow("lower-case names")
            << QDate(2026, 12, 8) << QLocale(QLocale::French, QLocale::France)
            << QStringLiteral(" Mardi, Décembre 8th, 2026 ");
        QTest::newRow("C locale") << QDate(2026, 12, 22) << QLocale::c()
                                  << QStringLiteral(" Tuesday, December 22nd, 2026 ");
    }

    void dateLine()
    {
        QFETCH(QDate, date);
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QCOMPARE(dateText(date, locale), text);
    }

    void organisationText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("a name") << QStringLiteral("Tarnwick") << QStringLiteral(" Tarnwick");
        QTest::newRow("empty") << QString() << QStringLiteral(" Your Organisation's Name");
        QTest::newRow("only spaces")
            << QStringLiteral("    ") << QStringLiteral(" Your Organisation's Name");
        QTest::newRow("leading spaces kept")
            << QStringLiteral("  Tarnwick ") << QStringLiteral("   Tarnwick ");
    }

    void organisationText()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QCOMPARE(::organisationText(name), text);
    }

    void styleNamesForScripts()
    {
        QCOMPARE(memoStyleByName(QStringLiteral("Blue-Sky")), std::optional<int>(4));
        QCOMPARE(memoStyleByName(QStringLiteral("PROFESSIONAL")), std::optional<int>(0));
        QCOMPARE(memoStyleByName(QStringLiteral("bluesky")), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(DateWordingTest)
#include "tst_datewording.moc"

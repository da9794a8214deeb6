#include "AppTitle.h"

#include <QTest>

class AppTitleTest : public QObject
{
    Q_OBJECT

private slots:
    void titleFromProductName_data()
    {
        QTest::addColumn<QString>("productName");
        QTest::addColumn<QString>("title");
        QTest::newRow("one word stays whole")
            << QStringLiteral("Scrivane") << QStringLiteral("Scrivane");
        QTest::newRow("three short words lose the last")
            << QStringLiteral("Tarnwick Memo Maker") << QStringLiteral("Tarnwick Memo");
        // 60 characters in eight words: cut word by word until at most 40 remain.
        QTest::newRow("eight words, sixty characters")
            << QStringLiteral("Tarnwick Scrivane Business Memorandum Writer For Busy Office")
            << QStringLiteral("Tarnwick Scrivane Business Memorandum");
    }

    void titleFromProductName()
    {
        QFETCH(QString, productName);
        QFETCH(QString, title);
        QCOMPARE(::titleFromProductName(productName), title);
        QVERIFY(::titleFromProductName(productName).size() <= 40);
    }

    void setAppTitleUsesTheProductName()
    {
        SetAppTitle();
        QCOMPARE(applicationTitle(), QStringLiteral("Scrivane"));
    }
};

QTEST_GUILESS_MAIN(AppTitleTest)
#include "tst_apptitle.moc"

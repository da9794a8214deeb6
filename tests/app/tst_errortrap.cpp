#include "ErrorReport.h"
#include "ErrorTrap.h"
#include "Failure.h"
#include "ScriptedUserInterface.h"

#include <QTest>

class ErrorTrapTest : public QObject
{
    Q_OBJECT

private slots:
    void reportTextIsBuiltPieceByPiece()
    {
        QCOMPARE(errorReportText(QStringLiteral("File not found"),
                     QStringLiteral("in Scrivane2021/08/31.Form1.Form_Load "), 104),
            QStringLiteral(
                "File not found\r\nin Scrivane2021/08/31.Form1.Form_Load at line 104"
                "\r\rPlease email screenshot of this message to support@tarnwick.example"));
    }

    void descriptionEndingInLineBreakStillGetsItsCrLf()
    {
        const QString text
            = errorReportText(QStringLiteral("Two lines\r\n"), QStringLiteral("here "), 100);
        QVERIFY(text.startsWith(QStringLiteral("Two lines\r\n\r\nhere at line 100\r\r")));
    }

    void failingStepIsReportedAndTheRoutineGoesOn()
    {
        ScriptedUserInterface ui;
        QStringList done;
        ErrorTrap trap(ui, QStringLiteral("in Scrivane2021/08/31.Form1.Form_Load "));
        trap.step(140, [&] { done << QStringLiteral("140"); });
        trap.step(142, [&] {
            fail(QStringLiteral("Type mismatch"));
            done << QStringLiteral("after");
        });
        trap.step(144, [&] { done << QStringLiteral("144"); });

        QCOMPARE(done, QStringList({ QStringLiteral("140"), QStringLiteral("144") }));
        QCOMPARE(ui.messages.size(), 1);
        const auto &box = ui.messages.first();
        QCOMPARE(box.caption, QStringLiteral("Application Error"));
        QCOMPARE(box.icon, UserInterface::Icon::Warning);
        QCOMPARE(box.buttons, UserInterface::Buttons::Ok);
        QVERIFY(box.text.contains(QStringLiteral("Form_Load at line 142\r\r")));
    }

    void twoFailuresGiveTwoReportsInTurn()
    {
        ScriptedUserInterface ui;
        ErrorTrap trap(ui, QStringLiteral("in X.Y "));
        trap.step(100, [] { fail(QStringLiteral("first")); });
        trap.step(102, [] {});
        trap.step(104, [] { throw std::runtime_error("second"); });
        const QStringList reports = ui.errorReports();
        QCOMPARE(reports.size(), 2);
        QVERIFY(reports[0].startsWith(QStringLiteral("first\r\nin X.Y at line 100")));
        QVERIFY(reports[1].startsWith(QStringLiteral("second\r\nin X.Y at line 104")));
    }

    void failingConditionGoesOnWithTheGuardedStep()
    {
        ScriptedUserInterface ui;
        ErrorTrap trap(ui, QStringLiteral("in X.Y "));
        bool guardedRan = false;
        if (trap.test(106, []() -> bool { fail(QStringLiteral("no such file")); }))
            trap.step(108, [&] { guardedRan = true; });
        QVERIFY(guardedRan);
        QVERIFY(ui.errorReports().value(0).contains(QStringLiteral("at line 106")));

        bool skipped = true;
        if (trap.test(110, [] { return false; }))
            skipped = false;
        QVERIFY(skipped);
    }

    void failureInsideACalleeIsTheCallingStepsFailure()
    {
        ScriptedUserInterface ui;
        ErrorTrap trap(ui, QStringLiteral("in Scrivane2021/08/31.Form1.PushButton6_Click "));
        bool restOfCalleeRan = false;
        const auto callee = [&] {
            fail(QStringLiteral("disk full"));
            restOfCalleeRan = true;
        };
        trap.step(136, callee);
        QVERIFY(!restOfCalleeRan);
        QVERIFY(
            ui.errorReports().value(0).contains(QStringLiteral("PushButton6_Click at line 136")));
    }

    void endOfProgramIsNotSwallowed()
    {
        ScriptedUserInterface ui;
        ErrorTrap trap(ui, QStringLiteral("in X.Y "));
        bool after = false;
        try {
            trap.step(146, [&] { ui.endProgram(); });
            after = true;
        } catch (const ProgramEnded &) { }
        QVERIFY(!after);
        QVERIFY(ui.messages.isEmpty());
    }

    void aThrowingSinkStopsTheRoutine()
    {
        QStringList seen;
        ErrorTrap trap(
            [&](const QString &where, int line, const QString &description) {
                seen << where + QString::number(line) + description;
                throw Failure(description);
            },
            QStringLiteral("here "));
        bool next = false;
        QVERIFY_THROWS_EXCEPTION(Failure, trap.step(100, [] { fail(QStringLiteral("bad")); }));
        QCOMPARE(seen, QStringList { QStringLiteral("here 100bad") });
        QVERIFY(!next);
    }
};

QTEST_GUILESS_MAIN(ErrorTrapTest)
#include "tst_errortrap.moc"

// Leaks one object of ours on purpose. scripts/sanitize.sh expects LeakSanitizer to report it:
// the proof that the suppressions hide only Qt's and fontconfig's start-up allocations.
#include "app/mainwindow.h"
#include "testsupport.h"
#include "views/core/keywordrules.h"

#include <QtTest>

// Called from a test function, so Qt's and Qt Test's frames lie below it as in every real test.
__attribute__((noinline)) void plantedLeak()
{
    auto* rules = new KeywordRules(4);
    rules->pattern(0, QStringLiteral("ERR"));
}

class tst_PlantedLeak : public QObject {
    Q_OBJECT

private slots:
    void leaksOneObject()
    {
        // The same start-up as a window test: platform plug-in, fonts, styles.
        TempWorkDir work;
        MsgRecorder boxes;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        plantedLeak();
    }
};

QTEST_MAIN(tst_PlantedLeak)
#include "planted_leak.moc"

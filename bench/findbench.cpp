// quillon-findbench: what the find bar's recount costs on a full receive view — taking the
// view's text and counting the matches of a term in it, 100,000 time-stamped lines.
#include "benchutil.h"
#include "views/core/findcore.h"
#include "views/textbrowser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Figures {
    double median;
    double worst;
};

template <typename F> Figures measure(int runs, F&& work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms.back() };
}

} // namespace

int main(int argc, char* argv[])
{
    int lines = 100000;
    int runs = 21;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--lines") && i + 1 < argc)
            lines = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::printf("usage: quillon-findbench [--lines N] [--runs N]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(BenchUtil::quietHandler);
    QApplication app(argc, argv);

    // Lines as the view shows them: time stamp, marker, a log text of ~40 characters.
    QStringList text;
    text.reserve(lines);
    for (int i = 0; i < lines; ++i)
        text << QStringLiteral("[12:34:56.%1]RX←◆seq=%2 INFO temp=%3 状态正常 ok")
                    .arg(i % 1000, 3, 10, QChar('0'))
                    .arg(i, 8, 10, QChar('0'))
                    .arg(i % 97);
    TextBrowser view;
    view.appendPlainText(text.join('\n'));
    std::printf("# %lld lines, %lld characters, %d runs each\n",
        static_cast<long long>(view.lineCount()), static_cast<long long>(view.characterCount()),
        runs);
    std::printf("%-34s %10s %10s %9s\n", "step", "median ms", "worst ms", "matches");

    QString plain;
    const Figures take = measure(runs, [&] { plain = view.toPlainText(); });
    std::printf("%-34s %10.2f %10.2f %9s\n", "toPlainText (what the bar takes)", take.median,
        take.worst, "");

    struct Term {
        const char* label;
        QString term;
        Qt::CaseSensitivity cs;
    };
    const Term terms[] = {
        { "rare word, any case", QStringLiteral("seq=00054321"), Qt::CaseInsensitive },
        { "rare word, case", QStringLiteral("seq=00054321"), Qt::CaseSensitive },
        { "every line, any case", QStringLiteral("info"), Qt::CaseInsensitive },
        { "every line, case", QStringLiteral("INFO"), Qt::CaseSensitive },
        { "one letter, any case", QStringLiteral("o"), Qt::CaseInsensitive },
        { "Chinese, any case", QStringLiteral("正常"), Qt::CaseInsensitive },
        { "time stamp, any case", QStringLiteral("34:56.5"), Qt::CaseInsensitive },
        { "none, any case", QStringLiteral("panic"), Qt::CaseInsensitive },
    };
    for (const Term& t : terms) {
        const TextFinder finder(t.term, t.cs);
        int found = 0;
        const Figures count = measure(runs, [&] { found = finder.count(plain); });
        // What one recount of the bar costs: the count over the store's pieces.
        const Figures recount = measure(runs, [&] { found = finder.count(view.textPieces()); });
        std::printf("%-34s %10.2f %10.2f %9d\n", (QByteArray("count: ") + t.label).constData(),
            count.median, count.worst, found);
        std::printf("%-34s %10.2f %10.2f %9s\n", (QByteArray("recount: ") + t.label).constData(),
            recount.median, recount.worst, "");
    }
    return 0;
}

#include "devsim/devsim.h"
#include "devsim/devsimoptions.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillon-devsim"));

    DevSimOptions options;
    QString message;
    switch (DevSimOptions::parse(QCoreApplication::arguments(), &options, &message)) {
    case DevSimOptions::Parse::Help:
        std::fputs(qPrintable(message), stdout);
        return 0;
    case DevSimOptions::Parse::Error:
        std::fprintf(stderr, "quillon-devsim: %s\nTry --help.\n", qPrintable(message));
        return 2;
    case DevSimOptions::Parse::Ok:
        break;
    }

    DevSim sim(options);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "quillon-devsim: %s\n", qPrintable(error));
        return 1;
    }
    // Printed once the link exists, so whoever waits for this line can open either path.
    std::printf("PTY %s\n", qPrintable(sim.slavePath()));
    std::fflush(stdout);
    return sim.run();
}

// Starts a word processor session and holds it until killed, so a test can end
// this program the hard way and watch what becomes of its office.
#include "Failure.h"
#include "LibreOfficeProcessor.h"

#include <QGuiApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: office_holder PROFILE_ROOT\n");
        return 2;
    }
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = QString::fromLocal8Bit(argv[1]);
    try {
        const std::unique_ptr<WordSession> session = LibreOfficeProcessor(settings).create();
        std::printf(
            "%lld\n", static_cast<long long>(dynamic_cast<OfficeSession &>(*session).processId()));
        std::fflush(stdout);
        QThread::sleep(600);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.description()));
        return 1;
    }
    return 0;
}

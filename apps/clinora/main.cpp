// clinora: the host program. With --simulate it runs on three simulated
// boards in a demo working folder.
#include <QApplication>
#include <algorithm>
#include <cstdio>

#include "app/startup_rules.h"
#include "gui/clinora_application.h"
#include "pages/page_makers.h"
#include "product_version.h"

namespace {

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Help and version on standard output (status 0); a bad argument on standard
// error (status 2).
int Answer(const clinora::StartCommand& command) {
    if (command.kind == clinora::StartCommand::Kind::Error) {
        std::fprintf(stderr, "clinora: %s\nTry 'clinora --help' for more information.\n",
                     qPrintable(command.text));
        return 2;
    }
    std::fputs(qPrintable(command.text), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(clinora::kAppTitle);
    QCoreApplication::setOrganizationName("ZOV Instruments");
    QCoreApplication::setApplicationVersion(clinora::kProductVersion);

    // Help, version and bad arguments need no display: answer them before the
    // window system is touched. Qt's own options (-platform, -style ...) are
    // known only to QApplication, so with one of those the arguments are
    // read after it.
    using Kind = clinora::StartCommand::Kind;
    const QStringList arguments = ArgumentsOf(argc, argv);
    const Kind early = clinora::ReadStartCommand(arguments).kind;
    const bool qtOption = std::any_of(arguments.begin() + 1, arguments.end(), [](const QString& a) {
        return a.size() > 2 && a.startsWith('-') && !a.startsWith("--");
    });
    if (early == Kind::Help || early == Kind::Version || (early == Kind::Error && !qtOption)) {
        QCoreApplication app(argc, argv);
        return Answer(clinora::ReadStartCommand(app.arguments()));
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName("clinora");
    const clinora::StartCommand command = clinora::ReadStartCommand(app.arguments());
    if (command.kind != Kind::Run) return Answer(command);
    clinora::ClinoraApplication clinora(command.options, clinora::DefaultPageMakers());
    if (!clinora.start()) return 0;
    return app.exec();
}

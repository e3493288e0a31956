// clinora: the host program. With --simulate it runs on three simulated
// boards in a demo working folder.
#include <QApplication>
#include <cstdio>

#include "gui/clinora_application.h"
#include "pages/page_makers.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("Orvano");
    app.setOrganizationName("ZOV Instruments");

    QString error;
    const auto options = clinora::ParseStartOptions(app.arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "clinora: %s\n%s", qPrintable(error),
                     qPrintable(clinora::StartUsage()));
        return 2;
    }
    clinora::ClinoraApplication clinora(*options, clinora::DefaultPageMakers());
    if (!clinora.start()) return 0;
    return app.exec();
}

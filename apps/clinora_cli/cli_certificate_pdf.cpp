#include "cli_certificate_pdf.h"

#include "gui/certificate_pdf.h"

namespace clinora::cli {

std::unique_ptr<QGuiApplication> EnablePdf(CliIo& io, int& argc, char** argv) {
    // The tool never needs a display: the PDF is painted offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    io.writePdf = [](const records::Certificate& c, const std::filesystem::path& path,
                     std::string* error) {
        QString why;
        const bool ok = SaveCertificatePdf(c, QString::fromStdString(path.string()), &why);
        if (!ok && error) *error = why.toStdString();
        return ok;
    };
    return app;
}

}  // namespace clinora::cli

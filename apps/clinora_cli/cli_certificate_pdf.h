#pragma once

#include <QGuiApplication>
#include <memory>

#include "cli_commands.h"

namespace clinora::cli {

// Gives `io` the PDF renderer: an offscreen QGuiApplication (made here, kept
// by the caller for as long as the command runs) and the certificate's PDF.
std::unique_ptr<QGuiApplication> EnablePdf(CliIo& io, int& argc, char** argv);

}  // namespace clinora::cli

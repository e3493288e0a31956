#pragma once

// The program as `clinora --simulate` starts it: the frame with every page,
// the fixture panel and the worker on its thread, on a temporary working
// folder and settings file, with scripted message boxes.

#include <QTemporaryDir>
#include <memory>

#include "gui/clinora_application.h"
#include "gui/qt_settings_store.h"
#include "gui/scripted_notifier.h"
#include "pages/page_makers.h"

namespace clinora::testing {

struct DemoApp {
    DemoApp()
        : app(ParseStartOptions({"clinora", "--simulate", "--workdir", dir.path() + "/work"},
                                nullptr)
                  .value(),
              DefaultPageMakers(), std::make_unique<QtSettingsStore>(dir.path() + "/Orvano.conf"),
              &notifier) {}

    QTemporaryDir dir;
    ScriptedNotifier notifier;
    ClinoraApplication app;
};

}  // namespace clinora::testing

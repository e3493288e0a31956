#include "pages/qt_page_services.h"

#include "gui/notifier.h"
#include "gui/sound_player.h"
#include "link/shared_state.h"

namespace clinora {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

void QtPageServices::message(const std::string& text) {
    if (context_.notifier) context_.notifier->message(Q(text));
}

bool QtPageServices::question(const std::string& text) {
    return context_.notifier && context_.notifier->question(Q(text));
}

void QtPageServices::timedMessage(int seconds, const std::string& text) {
    if (context_.notifier) context_.notifier->timedMessage(seconds, Q(text));
}

void QtPageServices::playSound(const std::string& path) {
    if (context_.sounds) context_.sounds->play(Q(path));
}

bool QtPageServices::submit(const WorkerRequest& request) {
    return context_.state && SubmitRequest(*context_.state, request);
}

void QtPageServices::showResiduals(const std::vector<BoardResiduals>& boards) {
    if (residuals_) residuals_(boards);
}

}  // namespace clinora

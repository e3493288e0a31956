#pragma once

#include <string>
#include <vector>

#include "calib/fit_residuals.h"
#include "link/worker_thread.h"

namespace clinora {

// What a page model asks the page to carry out: user dialogs, sounds and
// requests to the worker. The page implements it with its notifier, sound
// player and the worker front; tests record the calls and script the answers.
// One board's fit residuals, for the residual window.
struct BoardResiduals {
    std::string address;
    calib::FitResiduals fit;
};

class PageServices {
public:
    virtual ~PageServices() = default;
    // Plain message box with OK.
    virtual void message(const std::string& text) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(const std::string& text) = 0;
    // The self-closing message box.
    virtual void timedMessage(int seconds, const std::string& text) = 0;
    // Plays a sound file without waiting.
    virtual void playSound(const std::string& path) = 0;
    // Hands a request to the worker; false when it was refused.
    virtual bool submit(const WorkerRequest& request) = 0;
    // Shows the residuals of the fit just made, without waiting.
    virtual void showResiduals(const std::vector<BoardResiduals>&) {}
};

}  // namespace clinora

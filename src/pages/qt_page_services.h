#pragma once

#include <functional>
#include <vector>

#include "app/page_services.h"
#include "gui/page_context.h"

namespace clinora {

// The page services of a sheet page: the notifier's dialogs, the sound
// player and the worker front.
class QtPageServices final : public PageServices {
public:
    explicit QtPageServices(PageContext& context) : context_(context) {}

    void message(const std::string& text) override;
    bool question(const std::string& text) override;
    void timedMessage(int seconds, const std::string& text) override;
    void playSound(const std::string& path) override;
    bool submit(const WorkerRequest& request) override;
    void showResiduals(const std::vector<BoardResiduals>& boards) override;

    // The page's residual window.
    using ResidualsHandler = std::function<void(const std::vector<BoardResiduals>&)>;
    void setResidualsHandler(ResidualsHandler handler) { residuals_ = std::move(handler); }

private:
    ResidualsHandler residuals_;
    PageContext& context_;
};

}  // namespace clinora

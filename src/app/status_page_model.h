#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/device_status.h"
#include "link/request_record.h"
#include "link/shared_state.h"
#include "link/worker_thread.h"

namespace clinora {

// The Status page's rules without widgets: the identity list, what Update
// asks of the worker and what the line under the list says.
class StatusPageModel {
public:
    struct View {
        std::vector<StatusRow> rows = DeviceStatusRows(nullptr);
        std::string note = " ";  // why Update brought nothing, or what it waits for
    };
    // What Update finds in the shared state.
    struct Link {
        std::string foundAddress;  // the board that answered "DA" while connecting
        bool portChosen = false;   // the worker has a port to open
    };

    // The page is shown: the values are cleared until the next Update.
    void activate();
    // Sent about a second after activation.
    WorkerRequest triggerOffRequest() const;
    // Update: the identity of the board found, or, while none has answered,
    // a new look for the boards. Nothing to send: the note says why.
    std::optional<WorkerRequest> update(const Link& link);
    // The worker refused the request update() gave (another one was pending).
    void requestRefused();
    // A worker event, with the readings the worker left for it.
    void onEvent(int code, int detail, const Readings& readings);

    const View& view() const { return view_; }

private:
    WorkerRequest request(uint32_t code) const;

    RequestRecord record_;  // the page's own request record
    bool looking_ = false;  // asked the worker to look for the boards
    View view_;
};

}  // namespace clinora

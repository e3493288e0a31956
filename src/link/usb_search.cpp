#include "usb_search.h"

#include <libserialport.h>

#include <cctype>

#include "serial_port.h"

namespace clinora {

int TrailingNumber(const std::string& path) {
    size_t end = path.size();
    size_t start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(path[start - 1]))) --start;
    if (start == end || end - start > 6) return -1;
    return std::stoi(path.substr(start));
}

std::optional<ChosenPort> ChooseUsbPort(const std::vector<ListedPort>& ports) {
    for (const ListedPort& p : ports) {
        if (!p.usb || p.vendorId != kAdapterVendorId) continue;
        const int number = TrailingNumber(p.path);
        if (number < 0) continue;
        return ChosenPort{number, p.path};
    }
    return std::nullopt;
}

std::vector<ListedPort> ListSerialPorts() {
    std::vector<ListedPort> result;
    sp_port** list = nullptr;
    if (sp_list_ports(&list) != SP_OK || list == nullptr) return result;
    for (sp_port** p = list; *p != nullptr; ++p) {
        ListedPort listed;
        if (const char* name = sp_get_port_name(*p)) listed.path = name;
        listed.usb = sp_get_port_transport(*p) == SP_TRANSPORT_USB;
        int vid = -1, pid = -1;
        if (listed.usb && sp_get_port_usb_vid_pid(*p, &vid, &pid) == SP_OK) {
            listed.vendorId = vid;
            listed.productId = pid;
        }
        if (const char* description = sp_get_port_description(*p)) listed.description = description;
        result.push_back(listed);
    }
    sp_free_port_list(list);
    return result;
}

int FindUsbSerialPort(SerialPort& port) {
    if (const std::string pinned = port.pinnedPath(); !pinned.empty()) {
        // A pinned device counts as the adapter; every number opens it.
        const int number = TrailingNumber(pinned);
        return number >= 0 ? number : 0;
    }
    const auto chosen = ChooseUsbPort(ListSerialPorts());
    if (!chosen) return -1;
    port.recordPath(chosen->number, chosen->path);
    return chosen->number;
}

}  // namespace clinora

#include "app/startup_rules.h"

namespace clinora {

bool IsLandscape(const ScreenMetrics& m) { return m.fullScreenWidth > m.fullScreenHeight; }

bool UsesResourceFile(const ScreenMetrics& m) {
    return m.fullScreenHeight > 269 && m.fullScreenHeight <= 770;
}

std::string PromptFileForTiltRange(int tiltRange) {
    switch (tiltRange) {
        case 5:
            return "CalPrompts5.csv";
        case 10:
            return "CalPrompts10.csv";
        case 30:
            return "CalPrompts30.csv";
        case 45:
            return "CalPrompts45.csv";
        case 50:
            return "CalPrompts50.csv";
        case 90:
            return "CalPrompts90.csv";
        default:
            return "CalPrompts.csv";  // 15 and any other value
    }
}

std::vector<std::string> PageTitles(bool calibrationMode) {
    if (calibrationMode) return {"Monitor", "Settings", "Cal", "Test", "Status", "Exit"};
    return {"Monitor", "Status", "Exit"};
}

}  // namespace clinora

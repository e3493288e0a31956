#include "app/app_files.h"

namespace clinora {

std::string WithTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder != "/") folder += '/';
    return folder;
}

}  // namespace clinora

// A file replaced on the shared writer's thread (module_common::LatestWriter).
#pragma once

#include "../../common/latest_writer.h"

#include <string>

namespace tunestack {

class LatestWriter : public module_common::LatestWriter {
public:
    // `make` runs on the writer's thread; its bytes replace the file at
    // `path` (WriteFileAtomically).
    void Write(std::wstring path, std::function<std::string()> make);
};

}  // namespace tunestack

// Files written on a thread of their own.
#include "latest_writer.h"

#include "library_store.h"

namespace tunestack {

void LatestWriter::Write(std::wstring path, std::function<std::string()> make)
{
    Hand([path = std::move(path), make = std::move(make)] { return WriteFileAtomically(path, make()); });
}

}  // namespace tunestack

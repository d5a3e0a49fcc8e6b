// The skinned-controls library: the link to the skin manager and the slider
// groups. The controls themselves live in the pt_*.cpp files.
#include "patinctl/patinctl.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

struct Shared {
    Shared() { InitializeCriticalSection(&lock); }
    ~Shared() { DeleteCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    ISWQueryInterface* query = nullptr;
    int lastGroup = 0;
    std::map<int, std::vector<HWND>> groups;
};

Shared& State() {
    static Shared shared;
    return shared;
}

struct Lock {
    Lock() { EnterCriticalSection(&State().lock); }
    ~Lock() { LeaveCriticalSection(&State().lock); }
};

}  // namespace

extern "C" PATINCTL_API BOOL __cdecl SetSWQueryInterface(ISWQueryInterface* query) {
    if (!query) return FALSE;
    Lock lock;
    State().query = query;
    return TRUE;
}

extern "C" PATINCTL_API ISWQueryInterface* __cdecl PtGetSWQueryInterface(void) {
    Lock lock;
    return State().query;
}

extern "C" PATINCTL_API int __cdecl GetUniqueGroupID(void) {
    Lock lock;
    return ++State().lastGroup;
}

extern "C" PATINCTL_API BOOL __cdecl AddToGroup(int group, HWND control) {
    if (group == 0 || !IsWindow(control)) return FALSE;
    Lock lock;
    for (auto& [id, members] : State().groups) members.erase(std::remove(members.begin(), members.end(), control), members.end());
    State().groups[group].push_back(control);
    return TRUE;
}

extern "C" PATINCTL_API BOOL __cdecl RemoveGroup(int group) {
    Lock lock;
    auto it = State().groups.find(group);
    if (it == State().groups.end()) return FALSE;
    bool hadMembers = !it->second.empty();
    State().groups.erase(it);
    return hadMembers ? TRUE : FALSE;
}

extern "C" PATINCTL_API int __cdecl GetGroupMembers(int group, HWND* controls, int size) {
    Lock lock;
    auto it = State().groups.find(group);
    if (it == State().groups.end()) return 0;
    int count = static_cast<int>(it->second.size());
    for (int i = 0; controls && i < count && i < size; ++i) controls[i] = it->second[static_cast<std::size_t>(i)];
    return count;
}

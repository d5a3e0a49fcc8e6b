// The saved state of a control: a record the caller keeps and gives back to
// load it into a control (of any kind) again.
#include "pt_internal.h"

namespace pt {

namespace {

const DWORD kStateMagic = 0x53435450;  // "PTCS"

struct StateRecord {
    DWORD magic;
    DWORD size;
    DWORD kind;
    DWORD flags;  // 1 range, 2 check, 4 text
    int check, min, max, pos, page, line;
    DWORD textLength;
    // followed by textLength wide characters
};

}  // namespace

}  // namespace pt

using namespace pt;

extern "C" PATINCTL_API void* __cdecl PtSaveControlState(HWND control) {
    Control* c = Control::From(control);
    if (!c) return nullptr;
    Control::State state;
    c->SaveState(state);
    size_t textLength = state.hasText ? state.text.size() : 0;
    size_t bytes = sizeof(StateRecord) + (textLength + 1) * sizeof(wchar_t);
    auto* record = static_cast<StateRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!record) return nullptr;
    record->magic = kStateMagic;
    record->size = static_cast<DWORD>(bytes);
    record->kind = static_cast<DWORD>(c->GetKind());
    record->flags = (state.hasRange ? 1u : 0u) | (state.hasCheck ? 2u : 0u) | (state.hasText ? 4u : 0u);
    record->check = state.check;
    record->min = state.min;
    record->max = state.max;
    record->pos = state.pos;
    record->page = state.page;
    record->line = state.line;
    record->textLength = static_cast<DWORD>(textLength);
    wchar_t* text = reinterpret_cast<wchar_t*>(record + 1);
    for (size_t i = 0; i < textLength; ++i) text[i] = state.text[i];
    return record;
}

extern "C" PATINCTL_API BOOL __cdecl PtLoadControlState(HWND control, const void* saved) {
    Control* c = Control::From(control);
    const auto* record = static_cast<const StateRecord*>(saved);
    if (!c || !record || record->magic != kStateMagic) return FALSE;
    if (record->size != sizeof(StateRecord) + (record->textLength + 1) * sizeof(wchar_t)) return FALSE;
    Control::State state;
    state.hasRange = (record->flags & 1) != 0;
    state.hasCheck = (record->flags & 2) != 0;
    state.hasText = (record->flags & 4) != 0;
    state.check = record->check;
    state.min = record->min;
    state.max = record->max;
    state.pos = record->pos;
    state.page = record->page;
    state.line = record->line;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(record + 1);
    state.text.assign(text, record->textLength);
    c->LoadState(state);
    return TRUE;
}

extern "C" PATINCTL_API void __cdecl PtFreeMemory(void* state) {
    if (!state) return;
    auto* record = static_cast<StateRecord*>(state);
    if (record->magic != kStateMagic) return;  // not ours: leave it alone
    record->magic = 0;
    HeapFree(GetProcessHeap(), 0, state);
}

#include "frame_effects.h"

#include "mediview/mediview.h"
#include "sonarix/sonarix.h"

namespace mdframe {
namespace {

HMODULE LoadFromProgramFolder(const std::wstring& programFolder, const wchar_t* name) {
    if (HMODULE loaded = GetModuleHandleW(name)) return loaded;
    return LoadLibraryExW((programFolder + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <class F> F Proc(HMODULE dll, const char* name) {
    return dll ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name))) : nullptr;
}

}  // namespace

std::vector<EffectDescription> ReadEffectTable(const std::wstring& programFolder) {
    std::vector<EffectDescription> out;
    using Create = enSonarix*(SONARIX_CALL*)();
    auto create = Proc<Create>(LoadFromProgramFolder(programFolder, L"Sonarix.dll"), "SonarixCreateManager");
    enSonarix* manager = create ? create() : nullptr;
    if (!manager) return out;
    if (CEffectTable* table = manager->GetEffectTable()) {
        for (int i = 0; i < table->GetCount(); ++i) {
            CEffectInfo* info = table->GetAt(i);
            if (!info) continue;
            enEffect* effect = info->CreateEffect();
            if (!effect) continue;
            EffectDescription d;
            d.type = info->GetEffectType();
            d.id = info->GetID();
            const wchar_t* name = effect->GetName();
            d.name = name ? name : L"";
            d.presetCount = d.type == kSpecialEffectType ? effect->GetPresetCount() : 0;
            effect->Destroy();
            out.push_back(std::move(d));
        }
    }
    manager->Destroy();
    return out;
}

bool ShowAboutBox(const std::wstring& programFolder, HWND owner) {
    using Show = int(MEDIVIEW_CALL*)(unsigned long, HWND);
    auto show = Proc<Show>(LoadFromProgramFolder(programFolder, L"Mediview.dll"), "ShowMMInfo");
    return show && show(MEDIVIEW_PRODUCT_MELODRIFT, owner) != 0;
}

}  // namespace mdframe

// Loading and saving the equalizer presets file through the XML model.
#include "dsp/equalizer_presets.h"

#include "xml/enxml.h"

EqualizerPresetList LoadEqualizerPresets(const std::wstring& path)
{
    enXml root;
    if (!root.Load(path)) {
        return {};
    }
    return ReadEqualizerPresets(root);
}

bool SaveEqualizerPresets(const std::wstring& path, const EqualizerPresetList& presets)
{
    return BuildEqualizerPresetsDocument(presets)->Save(path);
}

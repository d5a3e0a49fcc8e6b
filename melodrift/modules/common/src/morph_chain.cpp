// The effects chain of a module's data path (see morph_chain.h).
#include "morph_chain.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace orvo {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The highest rate tried for an effect that refuses a slow stream's.
constexpr int kHighestBridgedRate = 192000;

// Grows `v` to hold `count` values; false when out of memory.
bool Reserve(std::vector<float>& v, std::size_t count) {
    if (v.size() >= count) return true;
    try {
        v.resize(count);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

const EffectEntry* FindEffect(const std::vector<EffectEntry>& entries, int id) {
    for (const EffectEntry& e : entries)
        if (e.id == id) return &e;
    return nullptr;
}

std::vector<float> MorphChoice::ParamsOf(const EffectEntry& e) const {
    std::vector<float> out;
    const std::vector<float>& kept = params[static_cast<std::size_t>(e.id)];
    for (std::size_t p = 0; p < e.params.size(); ++p) {
        float v = p < kept.size() ? kept[p] : e.params[p].defaultValue;
        if (!std::isfinite(v)) v = e.params[p].defaultValue;
        out.push_back(std::clamp(v, std::min(e.params[p].minimum, e.params[p].maximum),
                                 std::max(e.params[p].minimum, e.params[p].maximum)));
    }
    return out;
}

std::wstring MorphChoice::Title(const std::vector<EffectEntry>& entries) const {
    std::wstring out;
    for (int id : {voice, special})
        if (const EffectEntry* e = FindEffect(entries, id)) out += (out.empty() ? L"" : L" + ") + e->name;
    return out;
}

bool CRateBridge::Prepare(int channels, int factor) {
    if (channels <= 0 || factor < 2) return false;
    m_channels = channels;
    m_factor = factor;
    m_taps = kTapsPerPhase * factor + 1;   // odd: each filter delays by kTapsPerPhase / 2 frames exactly
    m_chunk = std::max(1, kInnerChunk / factor);
    try {
        m_filter.assign(static_cast<std::size_t>(m_taps), 0.0f);
        m_in.assign(static_cast<std::size_t>(kUpHistory + m_chunk) * channels, 0.0f);
        m_inner.assign(static_cast<std::size_t>(m_taps - 1 + m_chunk * factor) * channels, 0.0f);
    } catch (...) {
        m_factor = 0;
        return false;
    }
    // Blackman-windowed sinc, cut at 0.45 of the stream's rate, unit gain at DC.
    const double cut = 0.45 / factor;   // cycles per sample of the effect's rate
    const double middle = (m_taps - 1) / 2.0;
    double sum = 0;
    for (int i = 0; i < m_taps; ++i) {
        const double t = i - middle;
        const double sinc = t == 0 ? 2 * cut : std::sin(2 * kPi * cut * t) / (kPi * t);
        const double w = 0.42 - 0.5 * std::cos(2 * kPi * i / (m_taps - 1)) + 0.08 * std::cos(4 * kPi * i / (m_taps - 1));
        m_filter[static_cast<std::size_t>(i)] = static_cast<float>(sinc * w);
        sum += sinc * w;
    }
    for (float& h : m_filter) h = static_cast<float>(h / sum);
    return true;
}

void CRateBridge::Reset() {
    std::fill(m_in.begin(), m_in.end(), 0.0f);
    std::fill(m_inner.begin(), m_inner.end(), 0.0f);
}

bool CRateBridge::Run(enEffect* effect, float* samples, int frames) {
    const int ch = m_channels, k = m_factor;
    const std::size_t innerHistory = static_cast<std::size_t>(m_taps - 1) * ch;
    for (int done = 0; done < frames;) {
        const int n = std::min(m_chunk, frames - done);
        float* block = samples + static_cast<std::size_t>(done) * ch;
        // Up: the frames after the kept ones, then each of the k phases of every frame.
        std::copy(block, block + static_cast<std::size_t>(n) * ch, m_in.begin() + static_cast<std::ptrdiff_t>(kUpHistory) * ch);
        float* up = m_inner.data() + innerHistory;
        for (int f = 0; f < n; ++f) {
            const float* newest = m_in.data() + static_cast<std::size_t>(kUpHistory + f) * ch;
            for (int j = 0; j < k; ++j) {
                float* out = up + (static_cast<std::size_t>(f) * k + j) * ch;
                for (int c = 0; c < ch; ++c) out[c] = 0.0f;
                for (int i = j, q = 0; i < m_taps; i += k, ++q) {
                    const float h = m_filter[static_cast<std::size_t>(i)] * static_cast<float>(k);
                    const float* x = newest - static_cast<std::ptrdiff_t>(q) * ch;
                    for (int c = 0; c < ch; ++c) out[c] += h * x[c];
                }
            }
        }
        std::copy(m_in.begin() + static_cast<std::ptrdiff_t>(n) * ch, m_in.begin() + static_cast<std::ptrdiff_t>(n + kUpHistory) * ch,
                  m_in.begin());
        if (!effect->Process(up, n * k)) return false;
        // Down: every k-th sample of the filtered sound.
        for (int f = 0; f < n; ++f) {
            const float* newest = up + static_cast<std::size_t>(f) * k * ch;
            float* out = block + static_cast<std::size_t>(f) * ch;
            for (int c = 0; c < ch; ++c) {
                float sum = 0.0f;
                for (int i = 0; i < m_taps; ++i) sum += m_filter[static_cast<std::size_t>(i)] * newest[c - static_cast<std::ptrdiff_t>(i) * ch];
                out[c] = sum;
            }
        }
        std::copy(m_inner.begin() + static_cast<std::ptrdiff_t>(n) * k * ch,
                  m_inner.begin() + static_cast<std::ptrdiff_t>(n) * k * ch + static_cast<std::ptrdiff_t>(innerHistory), m_inner.begin());
        done += n;
    }
    return true;
}

CEffectStage::~CEffectStage() {
    for (Slot& s : m_slots) {
        if (s.effect) s.effect->Destroy();
        delete s.bridge;
    }
}

bool CEffectStage::Add(const EffectEntry& e, const std::vector<float>& values) {
    enEffect* effect = e.info ? e.info->CreateEffect() : nullptr;
    if (!effect) return false;
    try {
        m_slots.push_back({effect, e.id, nullptr});
    } catch (...) {
        effect->Destroy();
        return false;
    }
    for (std::size_t p = 0; p < values.size(); ++p) effect->SetParam(static_cast<int>(p), values[p]);
    return true;
}

bool CEffectStage::Prepare(int channels, int rate) {
    if (channels == m_channels && rate == m_rate) return m_ready;
    m_channels = channels;
    m_rate = rate;
    m_ready = true;
    for (Slot& s : m_slots) m_ready = PrepareSlot(s, channels, rate) && m_ready;
    return m_ready;
}

bool CEffectStage::Run(float* samples, int frames) {
    for (Slot& s : m_slots)
        if (!(s.bridge ? s.bridge->Run(s.effect, samples, frames) : s.effect->Process(samples, frames) != 0)) return false;
    return true;
}

void CEffectStage::Reset() {
    for (Slot& s : m_slots) {
        s.effect->Reset();
        if (s.bridge) s.bridge->Reset();
    }
}

int CEffectStage::RateFactor(std::size_t slot) const {
    return slot < m_slots.size() && m_slots[slot].bridge ? m_slots[slot].bridge->Factor() : 1;
}

void CEffectStage::SetParams(int id, const std::vector<float>& values) {
    for (Slot& s : m_slots)
        if (s.id == id)
            for (std::size_t p = 0; p < values.size(); ++p) s.effect->SetParam(static_cast<int>(p), values[p]);
}

bool CEffectStage::PrepareSlot(Slot& s, int channels, int rate) {
    delete s.bridge;
    s.bridge = nullptr;
    if (s.effect->SetFormat(channels, rate) != 0) return true;
    for (int factor = 2; rate > 0 && rate <= kHighestBridgedRate / factor; ++factor) {
        if (s.effect->SetFormat(channels, rate * factor) == 0) continue;
        CRateBridge* bridge = new (std::nothrow) CRateBridge;
        if (!bridge || !bridge->Prepare(channels, factor)) {
            delete bridge;
            return false;
        }
        s.bridge = bridge;
        return true;
    }
    return false;
}

CEffectChain::~CEffectChain() {
    Collect();
    delete m_pending.exchange(nullptr);
    delete m_params.exchange(nullptr);
    if (m_current != &m_plain) delete m_current;
    for (int k = 0; k < m_fadingCount; ++k)
        if (m_fading[k].stage != &m_plain) delete m_fading[k].stage;
}

bool CEffectChain::Choose(const MorphChoice& choice, const std::vector<EffectEntry>& entries) {
    Collect();
    CEffectStage* stage = new (std::nothrow) CEffectStage;
    if (!stage) return false;
    bool ok = true;
    for (int id : {choice.voice, choice.special})
        if (const EffectEntry* e = FindEffect(entries, id)) ok = stage->Add(*e, choice.ParamsOf(*e)) && ok;
    const int channels = m_knownChannels.load(), rate = m_knownRate.load();
    if (!stage->Empty() && channels > 0 && rate > 0) stage->Prepare(channels, rate);
    delete m_pending.exchange(stage);   // one the data path never took
    return ok;
}

void CEffectChain::SetParams(int id, const std::vector<float>& values) {
    Collect();
    CParamUpdates* box = new (std::nothrow) CParamUpdates;
    if (!box) return;
    CParamUpdates* untaken = m_params.exchange(nullptr);
    try {
        if (untaken)
            for (CParamUpdates::Update& u : untaken->updates)
                if (u.id != id) box->updates.push_back(std::move(u));
        box->updates.push_back({id, values});
    } catch (...) {
    }
    delete untaken;
    delete m_params.exchange(box);
}

void CEffectChain::Collect() {
    CRetired* r = m_retired.exchange(nullptr);
    while (r) {
        CRetired* next = r->m_nextRetired;
        delete r;
        r = next;
    }
}

void CEffectChain::Restart(const float* primer, int primerFrames, int channels, int rate) {
    if (channels <= 0 || rate <= 0) return;
    TakeHandOver(channels, rate);
    DropAllFading();
    m_current->Reset();
    m_inAt = m_fadeLength;
    m_historyFrames = 0;
    m_historyAt = 0;
    const int capacity = std::max(1, rate / 10);
    if (primer && primerFrames > 0) {
        const int keep = std::min(primerFrames, capacity);
        Remember(primer + static_cast<std::size_t>(primerFrames - keep) * channels, keep, channels);
    }
    Prime(m_current);
}

void CEffectChain::ProcessPlanar(float* const* channels, int frames, int channelCount, int rate) {
    if (!channels || frames <= 0 || channelCount <= 0) return;
    // Also without effects: the history that primes the next ones stays that of the sound now.
    if (!Reserve(m_io, static_cast<std::size_t>(frames) * channelCount)) return;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channelCount; ++c) m_io[static_cast<std::size_t>(f) * channelCount + c] = channels[c][f];
    Process(m_io.data(), frames, channelCount, rate);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channelCount; ++c) channels[c][f] = m_io[static_cast<std::size_t>(f) * channelCount + c];
}

void CEffectChain::Process(float* samples, int frames, int channels, int rate) {
    if (!samples || frames <= 0 || channels <= 0 || rate <= 0) return;
    // The working arrays grow with the first block of a size, never on a switch.
    const std::size_t count = static_cast<std::size_t>(frames) * channels;
    if (!Reserve(m_wet, count) || !Reserve(m_oldWet, count) || !Reserve(m_mix, count) || !Reserve(m_dry, count)) return;
    TakeHandOver(channels, rate);
    if (m_current->Empty() && m_fadingCount == 0) {
        Remember(samples, frames, channels);
        return;
    }
    std::copy(samples, samples + count, m_wet.begin());
    RunStage(m_current, m_wet.data(), frames);
    DropPlainFade();   // the new effects may have failed
    if (m_fadingCount > 0) {
        // The new effects come in on an equal-power curve; each fading one
        // goes out from the level it had when it was replaced.
        for (int f = 0; f < frames; ++f) {
            const float in = std::sin(1.5707963f * std::min(1.0f, static_cast<float>(m_inAt + f) / m_fadeLength));
            for (int c = 0; c < channels; ++c) {
                const std::size_t i = static_cast<std::size_t>(f) * channels + c;
                m_mix[i] = m_wet[i] * in;
            }
        }
        for (int k = 0; k < m_fadingCount; ++k) {
            Fading& old = m_fading[k];
            std::copy(samples, samples + count, m_oldWet.begin());
            RunStage(old.stage, m_oldWet.data(), frames);
            for (int f = 0; f < frames; ++f) {
                const int at = old.at + f;
                const float out = at >= m_fadeLength ? 0.0f : old.from * std::cos(1.5707963f * static_cast<float>(at) / m_fadeLength);
                for (int c = 0; c < channels; ++c) {
                    const std::size_t i = static_cast<std::size_t>(f) * channels + c;
                    m_mix[i] += m_oldWet[i] * out;
                }
            }
            old.at += frames;
        }
        std::copy(m_mix.begin(), m_mix.begin() + static_cast<std::ptrdiff_t>(count), m_wet.begin());
        m_inAt = std::min(m_fadeLength, m_inAt + frames);
        for (int k = m_fadingCount - 1; k >= 0; --k)
            if (m_fading[k].at >= m_fadeLength) DropFading(k);
    }
    Remember(samples, frames, channels);
    Limit(m_wet.data(), frames, channels, rate);
    std::copy(m_wet.begin(), m_wet.begin() + static_cast<std::ptrdiff_t>(count), samples);
}

void CEffectChain::Retire(CRetired* r) {
    if (!r || r == &m_plain) return;
    r->m_nextRetired = m_retired.load();
    while (!m_retired.compare_exchange_weak(r->m_nextRetired, r)) {
    }
}

void CEffectChain::DropFading(int k) {
    Retire(m_fading[k].stage);
    for (int j = k; j + 1 < m_fadingCount; ++j) m_fading[j] = m_fading[j + 1];
    --m_fadingCount;
}

void CEffectChain::DropAllFading() {
    while (m_fadingCount > 0) DropFading(m_fadingCount - 1);
}

void CEffectChain::TakeHandOver(int channels, int rate) {
    if (channels != m_channels || rate != m_rate) {
        // Another stream: no history of the old one, no fade across.
        m_channels = channels;
        m_rate = rate;
        m_knownChannels = channels;
        m_knownRate = rate;
        m_historyFrames = 0;
        m_historyAt = 0;
        m_fadeLength = std::max(1, rate / 25);   // 40 ms
        m_inAt = m_fadeLength;
        DropAllFading();
        Reserve(m_history, static_cast<std::size_t>(std::max(1, rate / 10)) * channels);
        Reserve(m_primer, static_cast<std::size_t>(std::max(1, rate / 10)) * channels);
        Reserve(m_dry, static_cast<std::size_t>(std::max(1, rate / 10)) * channels);   // priming runs through it too
        if (!m_current->Prepare(channels, rate)) Fail(m_current);
    }
    if (m_resetRequested.exchange(false)) {
        m_current->Reset();
        DropAllFading();
        m_historyFrames = 0;
        m_historyAt = 0;
    }
    if (CEffectStage* next = m_pending.exchange(nullptr)) {
        if (!next->Empty() && !next->Prepare(channels, rate)) Fail(next);
        Prime(next);
        const bool plainToPlain = next->Empty() && m_current->Empty() && m_fadingCount == 0;
        if (plainToPlain) {
            Retire(m_current);
            m_current = next;
        } else {
            // What is heard of the current effects now: its level on its way in.
            const float level = m_inAt >= m_fadeLength ? 1.0f : std::sin(1.5707963f * static_cast<float>(m_inAt) / m_fadeLength);
            if (m_fadingCount == kFading) {
                // Too many switches at once: the quietest goes at once.
                int quietest = 0;
                for (int k = 1; k < m_fadingCount; ++k)
                    if (FadingLevel(m_fading[k]) < FadingLevel(m_fading[quietest])) quietest = k;
                DropFading(quietest);
            }
            m_fading[m_fadingCount++] = {m_current, level, 0};
            m_current = next;
            m_inAt = 0;
        }
    }
    if (CParamUpdates* box = m_params.exchange(nullptr)) {
        for (const CParamUpdates::Update& u : box->updates) m_current->SetParams(u.id, u.values);
        Retire(box);
    }
}

void CEffectChain::DropPlainFade() {
    if (!m_current->Empty()) return;
    for (int k = 0; k < m_fadingCount; ++k)
        if (!m_fading[k].stage->Empty()) return;
    DropAllFading();
    m_inAt = m_fadeLength;
}

float CEffectChain::FadingLevel(const Fading& f) const {
    return f.at >= m_fadeLength ? 0.0f : f.from * std::cos(1.5707963f * static_cast<float>(f.at) / m_fadeLength);
}

void CEffectChain::Fail(CEffectStage*& stage) {
    Retire(stage);
    stage = &m_plain;
    m_failed = true;
}

void CEffectChain::RunStage(CEffectStage*& stage, float* samples, int frames) {
    if (stage->Empty()) return;
    const std::size_t count = static_cast<std::size_t>(frames) * m_channels;
    if (!Reserve(m_dry, count)) return;
    std::copy(samples, samples + count, m_dry.begin());
    if (!stage->Run(samples, frames)) {
        std::copy(m_dry.begin(), m_dry.begin() + static_cast<std::ptrdiff_t>(count), samples);
        Fail(stage);
    }
}

void CEffectChain::Remember(const float* samples, int frames, int channels) {
    const int capacity = std::max(1, m_rate / 10);
    if (!Reserve(m_history, static_cast<std::size_t>(capacity) * channels)) return;
    for (int f = 0; f < frames; ++f) {
        std::copy(samples + static_cast<std::size_t>(f) * channels, samples + static_cast<std::size_t>(f + 1) * channels,
                  m_history.begin() + static_cast<std::ptrdiff_t>(m_historyAt) * channels);
        m_historyAt = (m_historyAt + 1) % capacity;
    }
    m_historyFrames = std::min(capacity, m_historyFrames + frames);
}

void CEffectChain::Prime(CEffectStage*& stage) {
    if (stage->Empty() || m_historyFrames <= 0 || m_channels <= 0) return;
    const int capacity = std::max(1, m_rate / 10);
    const int start = (m_historyAt - m_historyFrames + capacity) % capacity;
    if (!Reserve(m_primer, static_cast<std::size_t>(m_historyFrames) * m_channels)) return;
    for (int f = 0; f < m_historyFrames; ++f) {
        const int from = (start + f) % capacity;
        std::copy(m_history.begin() + static_cast<std::ptrdiff_t>(from) * m_channels,
                  m_history.begin() + static_cast<std::ptrdiff_t>(from + 1) * m_channels,
                  m_primer.begin() + static_cast<std::ptrdiff_t>(f) * m_channels);
    }
    RunStage(stage, m_primer.data(), m_historyFrames);
}

void CEffectChain::Limit(float* samples, int frames, int channels, int rate) {
    const float release = 1.0f - std::exp(-1.0f / (0.2f * static_cast<float>(rate)));
    for (int f = 0; f < frames; ++f) {
        float* frame = samples + static_cast<std::size_t>(f) * channels;
        float peak = 0.0f;
        for (int c = 0; c < channels; ++c) {
            if (!std::isfinite(frame[c])) frame[c] = 0.0f;
            peak = std::max(peak, std::fabs(frame[c]));
        }
        if (peak * m_gain > 0.99f) m_gain = 0.99f / peak;
        for (int c = 0; c < channels; ++c) frame[c] = std::clamp(frame[c] * m_gain, -1.0f, 1.0f);
        m_gain += (1.0f - m_gain) * release;
    }
}

}  // namespace orvo

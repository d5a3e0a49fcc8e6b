// The surround settings on Windows: support test, files, restart, dialogs.
#include "surround/surround_dialogs.h"

#include "fw/win/resources.h"
#include "surround/surround_res.h"
#include "xml/enxml.h"

#include <commctrl.h>
#include <dsound.h>
#include <mmreg.h>

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------
// Support

namespace {

const GUID kPcmSubFormat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

template <class T>
void ReleaseObject(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

}  // namespace

// The probe's streaming buffer: position notifications, sticky focus and the
// accurate play cursor.
constexpr DWORD kProbeStreamFlags = DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_STICKYFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static_assert(kProbeStreamFlags == 0x14100, "the probe's buffer flags");

bool TestSurroundMode(std::uint32_t mask, std::int32_t channels)
{
    WAVEFORMATEXTENSIBLE format = {};
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.nChannels = static_cast<WORD>(channels);
    format.Format.nSamplesPerSec = 44100;
    format.Format.wBitsPerSample = 16;
    format.Format.nBlockAlign = static_cast<WORD>(2 * channels);
    format.Format.nAvgBytesPerSec = 44100 * format.Format.nBlockAlign;
    format.Format.cbSize = 22;
    format.Samples.wValidBitsPerSample = 0;
    format.dwChannelMask = mask;
    format.SubFormat = kPcmSubFormat;

    IDirectSound* sound = nullptr;
    IDirectSoundBuffer* primary = nullptr;
    IDirectSoundBuffer* secondary = nullptr;
    bool ok = SUCCEEDED(DirectSoundCreate(nullptr, &sound, nullptr)) && sound;
    if (ok) {
        HWND window = GetForegroundWindow();
        ok = SUCCEEDED(sound->SetCooperativeLevel(window ? window : GetDesktopWindow(), DSSCL_EXCLUSIVE));
    }
    if (ok) {
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_STICKYFOCUS;   // 0x4001
        ok = SUCCEEDED(sound->CreateSoundBuffer(&desc, &primary, nullptr)) && primary &&
             SUCCEEDED(primary->SetFormat(&format.Format));
    }
    if (ok) {
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = kProbeStreamFlags;
        desc.dwBufferBytes = 32768;
        desc.lpwfxFormat = &format.Format;
        ok = SUCCEEDED(sound->CreateSoundBuffer(&desc, &secondary, nullptr)) && secondary;
    }
    ReleaseObject(secondary);
    ReleaseObject(primary);
    ReleaseObject(sound);
    return ok;
}

std::uint32_t TestSurroundSupport()
{
    std::uint32_t flags = 0;
    for (int mode = 0; mode < kSurroundModeCount; ++mode) {
        const SurroundModeInfo* info = GetSurroundMode(mode);
        if (TestSurroundMode(info->mask, info->channels)) {
            flags |= SurroundSupportBit(mode);
        }
    }
    return flags;
}

SurroundPresetList LoadSurroundPresets(const std::wstring& path)
{
    enXml root;
    if (!root.Load(path)) {
        return {};
    }
    return ReadSurroundPresets(root);
}

std::unique_ptr<enXml> LoadSurroundSettingsFile(const std::wstring& path)
{
    auto root = std::make_unique<enXml>();
    if (!root->Load(path)) {
        return nullptr;
    }
    return root;
}

bool SaveSurroundSettingsFile(const std::wstring& path, const SurroundSettings& settings)
{
    return BuildSurroundSettingsDocument(settings)->Save(path);
}

// ---------------------------------------------------------------------------
// Restart

void RestartForSurroundChange(CExtPlayer& player, const std::function<void()>& change, ISurroundFrame* frame)
{
    const std::int32_t state = player.GetState();
    const int position = frame ? frame->GetPositionSlider() : 0;
    const bool running = state == kPlayerPlaying || state == kPlayerPaused;
    if (running) {
        player.Stop(kStopRequested);
    }
    change();
    const WAVEFORMATEXTENSIBLE format = *player.GetFormat();
    player.SetFormat(&format);
    if (running) {
        player.Play();
        if (frame) {
            frame->SetPositionSlider(position);
        }
        if (state == kPlayerPaused) {
            player.Pause();
        }
    }
}

// ---------------------------------------------------------------------------
// The support notice

CSurroundSupportDlg::CSurroundSupportDlg(std::wstring message, CWnd* parent)
    : CDialog(IDD_SURROUND_SUPPORT, parent), m_message(std::move(message))
{
}

BOOL CSurroundSupportDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_SUPPORT_TEXT, m_message);
    CheckDlgButton(IDC_SUPPORT_SHOW, BST_CHECKED);
    m_showAgain = true;
    return TRUE;
}

void CSurroundSupportDlg::OnOK()
{
    m_showAgain = IsDlgButtonChecked(IDC_SUPPORT_SHOW) == BST_CHECKED;
    CDialog::OnOK();
}

// ---------------------------------------------------------------------------
// The surround view: the room from above, its speakers and the source, which
// the mouse drags.

class CSurroundView : public CWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    explicit CSurroundView(const SurroundController& controller) : m_controller(controller) {}

private:
    void OnPaint();
    LRESULT OnButtonDown(WPARAM, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnButtonUp(WPARAM, LPARAM lParam);
    void Report(LPARAM lParam);

    const SurroundController& m_controller;
};

const CMessageMap& CSurroundView::GetThisMessageMap()
{
    static const CMessageMap map = CMessageMap::Build<CSurroundView>(&CWnd::GetThisMessageMap())
        .OnMessage(WM_PAINT, &CSurroundView::OnPaint)
        .OnMessage(WM_LBUTTONDOWN, &CSurroundView::OnButtonDown)
        .OnMessage(WM_MOUSEMOVE, &CSurroundView::OnMouseMove)
        .OnMessage(WM_LBUTTONUP, &CSurroundView::OnButtonUp);
    return map;
}

void CSurroundView::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    const RECT client = GetClientRect();
    const int width = client.right;
    const int height = client.bottom;
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

    const SurroundSettings& s = m_controller.Settings();
    const double room = s.revSize / 10.0;
    const int cx = width / 2;
    const int cy = height / 2;
    // Speakers of the mode on a circle around the listener.
    static const struct { std::uint32_t bit; double azimuth; } kSpeakers[] = {
        {0x1, -30}, {0x2, 30}, {0x4, 0}, {0x10, -140}, {0x20, 140}, {0x40, -15}, {0x80, 15},
        {0x100, 180}, {0x200, -90}, {0x400, 90}};
    const SurroundModeInfo* mode = GetSurroundMode(s.mode);
    const std::uint32_t mask = mode ? mode->mask : 0x3;
    HBRUSH speaker = CreateSolidBrush(RGB(64, 64, 64));
    const double radius = 0.4 * std::min(width, height);
    for (const auto& sp : kSpeakers) {
        if (!(mask & sp.bit)) continue;
        const double a = sp.azimuth * 3.14159265358979 / 180.0;
        const int x = cx + static_cast<int>(radius * std::sin(a));
        const int y = cy - static_cast<int>(radius * std::cos(a));
        const RECT r = {x - 3, y - 3, x + 4, y + 4};
        FillRect(dc, &r, speaker);
    }
    DeleteObject(speaker);
    // The listener and the source.
    Ellipse(dc, cx - 2, cy - 2, cx + 3, cy + 3);
    if (room > 0 && s.soundPosX >= 0 && s.soundPosY >= 0) {
        const int x = static_cast<int>(s.soundPosX / room * width);
        const int y = static_cast<int>(s.soundPosY / room * height);
        HBRUSH source = CreateSolidBrush(RGB(200, 40, 40));
        HGDIOBJ old = SelectObject(dc, source);
        Ellipse(dc, x - 5, y - 5, x + 6, y + 6);
        SelectObject(dc, old);
        DeleteObject(source);
    }
    EndPaint(m_hWnd, &ps);
}

void CSurroundView::Report(LPARAM lParam)
{
    const RECT client = GetClientRect();
    const int x = std::clamp<int>(static_cast<short>(LOWORD(lParam)), 0, client.right);
    const int y = std::clamp<int>(static_cast<short>(HIWORD(lParam)), 0, client.bottom);
    ::SendMessageW(GetParent(), WM_SURROUND_VIEW_POSITION, 0, MAKELPARAM(x, y));
    Invalidate();
}

LRESULT CSurroundView::OnButtonDown(WPARAM, LPARAM lParam)
{
    SetCapture(m_hWnd);
    Report(lParam);
    return 0;
}

LRESULT CSurroundView::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    if ((wParam & MK_LBUTTON) && GetCapture() == m_hWnd) {
        Report(lParam);
    }
    return 0;
}

LRESULT CSurroundView::OnButtonUp(WPARAM, LPARAM lParam)
{
    if (GetCapture() == m_hWnd) {
        Report(lParam);
        ReleaseCapture();
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The settings dialog

const CMessageMap& CSurroundDlg::GetThisMessageMap()
{
    static const CMessageMap map = CMessageMap::Build<CSurroundDlg>(&CDialog::GetThisMessageMap())
        .OnMessage(WM_HSCROLL, &CSurroundDlg::OnHScroll)
        .OnMessage(WM_SURROUND_VIEW_POSITION, &CSurroundDlg::OnViewPosition)
        .OnCommand(IDC_SURROUND_ON, &CSurroundDlg::OnSurroundSwitch)
        .OnCommand(IDC_SURROUND_REVERB, &CSurroundDlg::OnReverb)
        .OnCommand(IDC_SURROUND_DELAYS, &CSurroundDlg::OnDelays)
        .OnCommand(IDC_SURROUND_ADVANCE, &CSurroundDlg::OnAdvance)
        .OnCommandRange(IDC_SURROUND_MODE_FIRST, IDC_SURROUND_MODE_LAST, &CSurroundDlg::OnMode)
        .OnControl(IDC_SURROUND_PRESET, CBN_SELCHANGE, &CSurroundDlg::OnPreset);
    return map;
}

CSurroundDlg::CSurroundDlg(CExtPlayer& player, std::wstring settingsPath, std::wstring presetsPath,
                           ISurroundFrame* frame, CWnd* parent)
    : CDialog(IDD_SURROUND, parent),
      m_player(player),
      m_settingsPath(std::move(settingsPath)),
      m_frame(frame),
      m_controller(player)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    m_controller.SetPresets(LoadSurroundPresets(presetsPath));
    m_controller.SetSurroundOn(player.IsSurroundOn());
}

CSurroundDlg::~CSurroundDlg() = default;

void CSurroundDlg::LoadSettings(bool apply, std::uint32_t supportFlags)
{
    const std::unique_ptr<enXml> document = LoadSurroundSettingsFile(m_settingsPath);
    m_controller.Load(document.get());
    m_controller.SetSupportFlags(supportFlags);
    if (apply && !m_controller.ApplyStartup(supportFlags)) {
        m_controller.SetSurroundOn(false);
        m_player.SetSurroundOn(false);
        if (m_frame) {
            m_frame->SetSurroundSwitch(false);
        }
    }
}

bool CSurroundDlg::SaveSettings() const
{
    return SaveSurroundSettingsFile(m_settingsPath, m_controller.Settings());
}

INT_PTR CSurroundDlg::DoModal()
{
    SurroundSettings& settings = m_controller.Settings();
    if (settings.showSupportDialog && (m_controller.SupportFlags() & kAllSurroundModes) != kAllSurroundModes) {
        const std::wstring none = fw::LoadResourceString(IDS_SURROUND_NONE);
        CSurroundSupportDlg notice(SurroundSupportMessage(m_controller.SupportFlags(), none), m_pParentWnd);
        notice.DoModal();
        settings.showSupportDialog = notice.GetShowAgain();
    }
    return CDialog::DoModal();
}

BOOL CSurroundDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    int count = 0;
    const SurroundSliderInfo* sliders = SurroundSliders(count);
    for (int i = 0; i < count; ++i) {
        SendDlgItemMessage(sliders[i].id, TBM_SETRANGE, FALSE, MAKELPARAM(sliders[i].minimum, sliders[i].maximum));
    }
    SendDlgItemMessage(IDC_SURROUND_PRESET, CB_RESETCONTENT);
    for (const SurroundPreset& preset : m_controller.Presets()) {
        SendDlgItemMessage(IDC_SURROUND_PRESET, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(preset.name.c_str()));
    }

    // The view takes the place of its frame in the template.
    HWND placeholder = GetDlgItem(IDC_SURROUND_VIEW);
    RECT rect = {};
    ::GetWindowRect(placeholder, &rect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    ::ShowWindow(placeholder, SW_HIDE);
    m_view = std::make_unique<CSurroundView>(m_controller);
    m_view->CreateEx(0, fw::RegisterWindowClass(0, LoadCursorW(nullptr, IDC_CROSS)), L"", WS_CHILD | WS_VISIBLE,
                     rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, m_hWnd,
                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SURROUND_VIEW + 1)));
    Refresh();
    return TRUE;
}

void CSurroundDlg::RefreshLabel(int slider)
{
    SetDlgItemText(slider + IDC_SURROUND_LABEL_OFFSET, m_controller.SliderLabel(slider));
}

void CSurroundDlg::Refresh()
{
    const SurroundSettings& s = m_controller.Settings();
    int count = 0;
    const SurroundSliderInfo* sliders = SurroundSliders(count);
    for (int i = 0; i < count; ++i) {
        SendDlgItemMessage(sliders[i].id, TBM_SETPOS, TRUE, m_controller.SliderValue(sliders[i].id));
        RefreshLabel(sliders[i].id);
    }
    CheckDlgButton(IDC_SURROUND_ON, m_controller.SurroundOn() ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_SURROUND_REVERB, s.reverb ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_SURROUND_DELAYS, s.delays ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_SURROUND_ADVANCE, s.processAdvance ? BST_CHECKED : BST_UNCHECKED);
    for (int mode = 0; mode < kSurroundModeCount; ++mode) {
        const int id = IDC_SURROUND_MODE_FIRST + mode;
        CheckDlgButton(id, s.mode == mode ? BST_CHECKED : BST_UNCHECKED);
        ::EnableWindow(GetDlgItem(id), m_controller.ModeEnabled(mode));
    }
    SendDlgItemMessage(IDC_SURROUND_PRESET, CB_SETCURSEL, static_cast<WPARAM>(m_controller.BasisIndex()));

    // The room's controls with reverberation, the LFE's where there is an LFE speaker.
    const bool room = m_controller.ReverbControlsEnabled();
    for (int id : {IDC_SURROUND_ADVANCE, IDC_SURROUND_ROOM, IDC_SURROUND_ABSORB, IDC_SURROUND_DECAY,
                   IDC_SURROUND_REVERB_VOLUME}) {
        ::EnableWindow(GetDlgItem(id), room);
        if (id != IDC_SURROUND_ADVANCE) {
            ::EnableWindow(GetDlgItem(id + IDC_SURROUND_LABEL_OFFSET), room);
        }
    }
    const bool lfe = m_controller.LfeControlsEnabled();
    for (int id : {IDC_SURROUND_LFE_FREQ, IDC_SURROUND_LFE_VOLUME}) {
        ::EnableWindow(GetDlgItem(id), lfe);
        ::EnableWindow(GetDlgItem(id + IDC_SURROUND_LABEL_OFFSET), lfe);
    }
    if (m_view) {
        m_view->Invalidate();
    }
}

LRESULT CSurroundDlg::OnHScroll(WPARAM wParam, LPARAM lParam)
{
    HWND slider = reinterpret_cast<HWND>(lParam);
    if (!slider) {
        return 0;
    }
    const int id = ::GetDlgCtrlID(slider);
    if (!GetSurroundSlider(id)) {
        return 0;
    }
    const int code = LOWORD(wParam);
    const int position = static_cast<int>(::SendMessageW(slider, TBM_GETPOS, 0, 0));
    if (code & 4) {
        // The thumb dragged or set.
        m_controller.SliderThumb(id, position);
        RefreshLabel(id);
    } else if (code == SB_ENDSCROLL) {
        m_controller.SliderEnd(id, position);
        RefreshLabel(id);
    }
    return 0;
}

void CSurroundDlg::OnSurroundSwitch()
{
    const bool on = IsDlgButtonChecked(IDC_SURROUND_ON) == BST_CHECKED;
    RestartForSurroundChange(m_player, [&] { m_player.SetSurroundOn(on); }, m_frame);
    m_controller.SetSurroundOn(on);
    if (m_frame) {
        m_frame->SetSurroundSwitch(on);
    }
    Refresh();
}

void CSurroundDlg::OnReverb()
{
    m_controller.ToggleReverb();
    Refresh();
}

void CSurroundDlg::OnDelays()
{
    m_controller.ToggleDelays();
    Refresh();
}

void CSurroundDlg::OnAdvance()
{
    m_controller.ToggleProcessAdvance();
    Refresh();
}

void CSurroundDlg::OnMode(UINT id)
{
    const int mode = static_cast<int>(id) - IDC_SURROUND_MODE_FIRST;
    if (!m_controller.ModeEnabled(mode) || m_controller.Settings().mode == mode) {
        Refresh();
        return;
    }
    m_controller.ChooseMode(mode);
    const std::uint32_t mask = GetSurroundMode(mode)->mask;
    RestartForSurroundChange(
        m_player, [&] { m_player.SetSurroundParam(kSurroundSpeakers, static_cast<std::int32_t>(mask)); }, m_frame);
    Refresh();
}

void CSurroundDlg::OnPreset()
{
    const int index = static_cast<int>(SendDlgItemMessage(IDC_SURROUND_PRESET, CB_GETCURSEL));
    m_controller.ChoosePreset(index);
    Refresh();
}

LRESULT CSurroundDlg::OnViewPosition(WPARAM, LPARAM lParam)
{
    if (!m_view) {
        return 0;
    }
    const RECT client = m_view->GetClientRect();
    m_controller.DragSource(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), client.right,
                            client.bottom);
    return 0;
}

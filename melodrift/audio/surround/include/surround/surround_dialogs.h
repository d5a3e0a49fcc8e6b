// The surround settings on Windows: the sound card's support for the speaker
// modes, the settings and presets files, the restart of playback for a new
// speaker layout, the settings dialog CSurroundDlg and the support notice
// CSurroundSupportDlg.
//
// The templates are in res/surround.rc; the program that shows the dialogs
// links that script in (the library target melodrift_surround_rc).
#pragma once

#include "fw/win/dialog.h"
#include "player/ext_player.h"
#include "surround/surround_controller.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// ---------------------------------------------------------------------------
// Support and files

// Whether the default sound device takes a 16-bit PCM format of `channels`
// channels in the layout `mask` (exclusive level, primary buffer in that
// format, a 32768-byte streaming buffer of it).
bool TestSurroundMode(std::uint32_t mask, std::int32_t channels);
// The support bits of the six speaker modes (126 when all are taken).
std::uint32_t TestSurroundSupport();

// The presets file; a missing or unreadable one gives no presets.
SurroundPresetList LoadSurroundPresets(const std::wstring& path);
// The settings document from its file; null when it cannot be read.
std::unique_ptr<enXml> LoadSurroundSettingsFile(const std::wstring& path);
bool SaveSurroundSettingsFile(const std::wstring& path, const SurroundSettings& settings);

// ---------------------------------------------------------------------------
// Restarting playback

// What the surround dialog needs of the main frame.
class ISurroundFrame {
public:
    virtual ~ISurroundFrame() = default;
    virtual int GetPositionSlider() = 0;
    virtual void SetPositionSlider(int position) = 0;
    // The frame's surround switch (shown on its buttons, kept in its settings).
    virtual void SetSurroundSwitch(bool on) = 0;
};

// A change of the surround switch or the speaker layout: a playing or paused
// engine is stopped, the change is made, the format is set again (so that the
// surround processor takes it) and playback starts again where it was (the
// position slider put back, a paused engine paused again).
void RestartForSurroundChange(CExtPlayer& player, const std::function<void()>& change, ISurroundFrame* frame);

// ---------------------------------------------------------------------------
// Dialogs

class CSurroundSupportDlg : public CDialog {
public:
    CSurroundSupportDlg(std::wstring message, CWnd* parent = nullptr);
    BOOL OnInitDialog() override;
    void OnOK() override;
    // The check box's state when the dialog closed (set when shown).
    bool GetShowAgain() const { return m_showAgain; }

private:
    std::wstring m_message;
    bool m_showAgain = true;
};

class CSurroundView;

class CSurroundDlg : public CDialog {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Reads the presets file; the settings keep their defaults until loaded.
    CSurroundDlg(CExtPlayer& player, std::wstring settingsPath, std::wstring presetsPath,
                 ISurroundFrame* frame = nullptr, CWnd* parent = nullptr);
    ~CSurroundDlg() override;

    // Reads the settings file. With `apply` (the start-up load): the basis
    // preset, the speaker mode the card supports and every setting go to the
    // player; when the card supports no mode, surround is switched off.
    void LoadSettings(bool apply, std::uint32_t supportFlags);
    bool SaveSettings() const;

    SurroundController& Controller() { return m_controller; }
    // The frame's switch as the dialog shows it.
    void SetSurroundOn(bool on) { m_controller.SetSurroundOn(on); }

    // Shows the support notice first when the card lacks a mode and the
    // notice is still wanted, then the dialog.
    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;

private:
    LRESULT OnHScroll(WPARAM wParam, LPARAM lParam);
    void OnSurroundSwitch();
    void OnReverb();
    void OnDelays();
    void OnAdvance();
    void OnMode(UINT id);
    void OnPreset();
    LRESULT OnViewPosition(WPARAM wParam, LPARAM lParam);
    // Controls from the settings, and which of them are enabled.
    void Refresh();
    void RefreshLabel(int slider);

    CExtPlayer& m_player;
    std::wstring m_settingsPath;
    ISurroundFrame* m_frame;
    SurroundController m_controller;
    std::unique_ptr<CSurroundView> m_view;
};

// Message the surround view sends its parent when the source was dragged:
// lParam holds the point (x low, y high) in the view's client coordinates.
constexpr UINT WM_SURROUND_VIEW_POSITION = WM_APP + 0x310;

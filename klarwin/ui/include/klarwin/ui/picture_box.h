// CPictureBoxEx: a static control that shows an animated GIF.
//
//   m_loading.SubclassDlgItem(IDC_LOADING, this);
//   if (m_loading.Load(fw::JoinPath(fw::GetModuleFolder(), L"Loading.gif")))
//       m_loading.Draw();
//
// Load reads the file, splits it into its frames with their delays and turns
// each frame into a picture (OleLoadPicture over an in-memory stream). Draw
// starts a worker thread that draws frame after frame into the control over
// a background fill, waiting on an exit event with the frame's delay as the
// time-out. The frames are composed as the file's disposal methods say, and
// the animation is centred in the control. WM_PAINT shows the current frame;
// WM_DESTROY (or Stop) ends the thread and frees the frames.
//
// The background under the animation is what the parent shows there (taken
// again whenever the control moves or changes size), or a plain colour once
// SetBackgroundColor was called.
#pragma once

#include "klarwin/ui/control_base.h"

#include <ole2.h>
#include <olectl.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class CPictureBoxEx : public CStatic {
public:
    CPictureBoxEx();
    ~CPictureBoxEx() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Reads a GIF file; false (and no frames) when it cannot be read or
    // decoded. Stops a running animation first.
    bool Load(const std::wstring& path);
    // The same from bytes in memory.
    bool LoadFromMemory(const std::vector<unsigned char>& bytes);
    // Starts the animation (a single frame is just shown). False without
    // frames or without a window.
    bool Draw();
    // Ends the animation thread; the frames stay.
    void Stop();
    // Frees the frames (after Stop).
    void Unload();

    void SetBackgroundColor(COLORREF colour);

    int GetFrameCount() const { return static_cast<int>(m_frames.size()); }
    // The delay the animation waits after frame i, in milliseconds.
    int GetFrameDelay(int index) const;
    SIZE GetImageSize() const { return m_size; }
    // The frame shown now (-1 before the first), and how many were drawn.
    int GetCurrentFrame() const { return m_currentFrame.load(); }
    long GetFramesDrawn() const { return m_framesDrawn.load(); }
    bool IsAnimating() const { return m_thread != nullptr; }

protected:
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnWindowPosChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

private:
    class CAnimationThread;
    friend class CAnimationThread;

    struct Frame {
        IPicture* picture = nullptr;
        int left = 0, top = 0, width = 0, height = 0;
        int delayMs = 100;
        int disposal = 0;
    };

    void TakeBackground();
    // Composes frame `index` onto the canvas after undoing the previous one
    // as its disposal says, then shows the canvas. Runs on the thread.
    void ComposeFrame(int index, int previous);
    void Present(HDC target);
    void ResetCanvas();
    void RunAnimation();

    std::vector<Frame> m_frames;
    SIZE m_size = {0, 0};
    CAnimationThread* m_thread = nullptr;
    HANDLE m_exitEvent = nullptr;
    std::atomic<int> m_currentFrame{-1};
    std::atomic<long> m_framesDrawn{0};

    // Shared by the window's thread and the animation thread.
    std::mutex m_lock;
    CBitmap m_canvas;      // the animation's screen, composed
    CBitmap m_saved;       // what a "restore previous" frame covered
    CBitmap m_background;  // the control's background, control-sized
    SIZE m_backgroundSize = {0, 0};
    bool m_bPlainBackground = false;
    COLORREF m_crBackground;
};

// The encoder control's window: runs the encode, shows the source and the encoded picture side
// by side with a status line, and fires the control's events into the container's sink.
// Everything here runs on the UI thread, except the listener calls that post to it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <wx/graphics.h>
#include <wx/window.h>

#include "control/ControlSettings.h"
#include "engine/EncodeJob.h"
#include "engine/EncodeListener.h"
#include "platform/automation/EventSink.h"

namespace quenlar::encoder {

class EncoderControlWindow : public wxWindow {
public:
    EncoderControlWindow(wxWindow* parent, int id, const wxRect& rect, automation::IEventSink* sink,
                         std::shared_ptr<ControlSettings> settings);
    // Stops the encode and returns promptly, whatever its workers are doing; no event is fired
    // from here on.
    ~EncoderControlWindow() override;

    // True from StartEncoding until the finished event has been delivered.
    bool IsEncoding() const { return m_encoding; }
    // Starts the configured encode and returns at once; ignored while one runs.
    void StartEncoding();
    // Asks the running encode to end; the finished event follows.
    void StopEncoding();

    // A preview picture as it is drawn.
    struct Picture {
        wxGraphicsBitmap bitmap;
        wxSize size;
    };

private:
    class JobListener;

    // Runs `call` on the UI thread unless the encode it came from is no longer the current one.
    template <typename Call>
    void Post(uint64_t generation, Call call);

    void OnOpened(int width, int height);
    void OnStarted();
    void OnProgress(const EncodeProgress& progress);
    void OnPreviewReady();
    void OnError(EncodeResult code, const std::string& message);
    void OnFinished(EncodeResult result);
    void Fire(automation::DISPID eventId, const std::vector<automation::Variant>& params);

    void OnPaint(wxPaintEvent& event);
    void DrawPane(wxDC& dc, const wxRect& rect, const Picture& picture, const wxString& caption);

    automation::IEventSink* m_sink;
    std::shared_ptr<ControlSettings> m_settings;
    std::unique_ptr<JobListener> m_listener;
    std::unique_ptr<EncodeJob> m_job;
    uint64_t m_generation = 0;  // which encode posted calls belong to
    bool m_encoding = false;

    wxSize m_createdSize;  // the area the container created the control in
    wxSize m_pictureSize{352, 288};
    Picture m_source;
    Picture m_encoded;
    wxString m_status;

    // The latest preview pair from an encoder thread, until the UI thread takes it.
    std::mutex m_previewMutex;
    PreviewPicture m_pendingSource;
    PreviewPicture m_pendingEncoded;
    bool m_previewPosted = false;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace quenlar::encoder

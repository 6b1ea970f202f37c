#include "control/EncoderControlWindow.h"

#include <algorithm>
#include <limits>

#include <wx/dcbuffer.h>
#include <wx/image.h>
#include <wx/weakref.h>

#include "common/EncoderContract.h"

namespace quenlar::encoder {

using automation::Variant;

namespace {

constexpr int kPaneGap = 6;
constexpr int kStatusPadding = 6;

int32_t ToI4(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<int32_t>::max()));
}

wxString Clock(int64_t ms)
{
    const int64_t seconds = std::max<int64_t>(ms, 0) / 1000;
    return wxString::Format("%lld:%02lld", static_cast<long long>(seconds / 60),
                            static_cast<long long>(seconds % 60));
}

// A graphics bitmap holds the renderer's own surface; a wxBitmap on GTK 3 is converted anew
// every time it is drawn, which took most of the UI thread's time in a batch of short files.
EncoderControlWindow::Picture ToPicture(PreviewPicture& picture)
{
    wxGraphicsRenderer* renderer = wxGraphicsRenderer::GetDefaultRenderer();
    if (!renderer || picture.width <= 0 || picture.rgb.size() != size_t(picture.width) * picture.height * 3)
        return {};
    // The image borrows the pixels only until the bitmap has copied them.
    wxImage image(picture.width, picture.height, picture.rgb.data(), true);
    return {renderer->CreateBitmapFromImage(image), wxSize(picture.width, picture.height)};
}

}  // namespace

// Hands the engine's reports (worker threads) to the window (UI thread).
class EncoderControlWindow::JobListener : public EncodeListener {
public:
    JobListener(EncoderControlWindow& window, uint64_t generation)
        : m_window(window), m_generation(generation) {}

    void OnOpened(int width, int height) override
    {
        m_window.Post(m_generation, [width, height](EncoderControlWindow& w) { w.OnOpened(width, height); });
    }
    void OnStarted() override
    {
        m_window.Post(m_generation, [](EncoderControlWindow& w) { w.OnStarted(); });
    }
    void OnProgress(const EncodeProgress& progress) override
    {
        m_window.Post(m_generation, [progress](EncoderControlWindow& w) { w.OnProgress(progress); });
    }
    // The video thread: keep only the newest pair, and post at most one refresh at a time.
    void OnPreview(const PreviewPicture& source, const PreviewPicture& encoded) override
    {
        std::lock_guard lock(m_window.m_previewMutex);
        m_window.m_pendingSource = source;
        m_window.m_pendingEncoded = encoded;
        if (m_window.m_previewPosted)
            return;
        m_window.m_previewPosted = true;
        m_window.Post(m_generation, [](EncoderControlWindow& w) { w.OnPreviewReady(); });
    }
    void OnError(EncodeResult code, const std::string& message) override
    {
        m_window.Post(m_generation, [code, message](EncoderControlWindow& w) { w.OnError(code, message); });
    }
    void OnFinished(EncodeResult result) override
    {
        m_window.Post(m_generation, [result](EncoderControlWindow& w) { w.OnFinished(result); });
    }

private:
    EncoderControlWindow& m_window;
    uint64_t m_generation;
};

wxBEGIN_EVENT_TABLE(EncoderControlWindow, wxWindow)
    EVT_PAINT(EncoderControlWindow::OnPaint)
wxEND_EVENT_TABLE()

EncoderControlWindow::EncoderControlWindow(wxWindow* parent, int id, const wxRect& rect,
                                           automation::IEventSink* sink,
                                           std::shared_ptr<ControlSettings> settings)
    : wxWindow(parent, id, rect.GetPosition(), rect.GetSize(), wxFULL_REPAINT_ON_RESIZE),
      m_sink(sink),
      m_settings(std::move(settings)),
      m_createdSize(rect.GetSize())
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
}

EncoderControlWindow::~EncoderControlWindow()
{
    // Calls already posted die with this window's event queue; the generation guards the rest.
    ++m_generation;
    m_job.reset();
}

template <typename Call>
void EncoderControlWindow::Post(uint64_t generation, Call call)
{
    // Workers call the listener only until the job is destroyed (the job closes the way to it,
    // also for a worker it leaves behind), and queued calls die with the window, so `this` is
    // valid whenever a posted call runs.
    CallAfter([this, generation, call] {
        if (generation == m_generation)
            call(*this);
    });
}

void EncoderControlWindow::StartEncoding()
{
    if (m_encoding)
        return;
    m_encoding = true;
    ++m_generation;
    m_source = m_encoded = Picture();
    {
        // A refresh posted by an earlier encode was dropped with its generation.
        std::lock_guard lock(m_previewMutex);
        m_previewPosted = false;
    }
    m_status = _("Opening...");
    Refresh();
    m_listener = std::make_unique<JobListener>(*this, m_generation);
    m_job = std::make_unique<EncodeJob>(m_settings->ToEncodeSettings(), *m_listener);
    m_job->Start();
}

void EncoderControlWindow::StopEncoding()
{
    if (m_job)
        m_job->Stop();
}

void EncoderControlWindow::Fire(automation::DISPID eventId, const std::vector<Variant>& params)
{
    if (m_sink)
        m_sink->FireEvent(GetId(), eventId, params);
}

void EncoderControlWindow::OnOpened(int width, int height)
{
    m_pictureSize = wxSize(width, height);
    const wxSize area(2 * width + kPaneGap, height + GetCharHeight() + 2 * kStatusPadding);
    SetSize(area);
    m_status = wxString::Format(_("%d x %d"), width, height);
    Refresh();
    Fire(dispid::kEventDisplaySize, {Variant::I4(area.x), Variant::I4(area.y)});
}

void EncoderControlWindow::OnStarted()
{
    Fire(dispid::kEventStarted, {});
}

void EncoderControlWindow::OnProgress(const EncodeProgress& progress)
{
    m_status = wxString::Format(_("%.1f fps   elapsed %s   left %s"), progress.fps, Clock(progress.elapsedMs),
                                progress.remainingMs < 0 ? wxString("-:--") : Clock(progress.remainingMs));
    Refresh();
    Fire(dispid::kEventProgress, {Variant::I4(ToI4(progress.elapsedMs)), Variant::I4(ToI4(progress.durationMs)),
                               Variant::I4(std::clamp(progress.percent, 0, 100)),
                               Variant::I4(ToI4(progress.frames))});
}

void EncoderControlWindow::OnPreviewReady()
{
    PreviewPicture source;
    PreviewPicture encoded;
    {
        std::lock_guard lock(m_previewMutex);
        source = std::move(m_pendingSource);
        encoded = std::move(m_pendingEncoded);
        m_previewPosted = false;
    }
    m_source = ToPicture(source);
    m_encoded = ToPicture(encoded);
    Refresh();
}

void EncoderControlWindow::OnError(EncodeResult code, const std::string& message)
{
    m_status = wxString::FromUTF8(message);
    Refresh();
    Fire(dispid::kEventError, {Variant::I4(static_cast<int32_t>(code)), Variant::Str(message)});
}

void EncoderControlWindow::OnFinished(EncodeResult result)
{
    // The job's last call was this one: its threads are ending.
    m_job.reset();
    m_listener.reset();
    if (result == EncodeResult::Stopped)
        m_status = _("Stopped");
    else if (OutputWritten(result))
        m_status = _("Finished");
    // Back to the area the container gave: it returns to its own size now, and a control left
    // at the preview's size would cover what lies below the placeholder.
    SetSize(m_createdSize);
    Refresh();
    // A handler may destroy this control; then nothing more is delivered.
    wxWeakRef<EncoderControlWindow> self(this);
    Fire(dispid::kEventDisplaySize, {Variant::I4(0), Variant::I4(0)});
    if (!self)
        return;
    m_encoding = false;
    Fire(dispid::kEventFinished, {});
}

void EncoderControlWindow::DrawPane(wxDC& dc, const wxRect& rect, const Picture& picture,
                                    const wxString& caption)
{
    if (wxGraphicsContext* context = dc.GetGraphicsContext(); context && !picture.bitmap.IsNull()) {
        context->DrawBitmap(picture.bitmap, rect.x, rect.y, rect.width, rect.height);
        return;
    }
    dc.SetBrush(*wxBLACK_BRUSH);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(rect);
    dc.SetTextForeground(*wxLIGHT_GREY);
    const wxSize text = dc.GetTextExtent(caption);
    dc.DrawText(caption, rect.x + (rect.width - text.x) / 2, rect.y + (rect.height - text.y) / 2);
}

void EncoderControlWindow::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(wxColour(48, 48, 48)));
    dc.Clear();
    dc.SetFont(GetFont());
    const wxSize client = GetClientSize();
    const int statusHeight = GetCharHeight() + 2 * kStatusPadding;
    // A container with less room than the pictures ask for (a small screen) gets them smaller,
    // in their shape, rather than cut off.
    const double scale = std::clamp(
        std::min(double((client.x - kPaneGap) / 2) / std::max(1, m_pictureSize.x),
                 double(client.y - statusHeight) / std::max(1, m_pictureSize.y)),
        0.0, 1.0);
    const int paneWidth = static_cast<int>(m_pictureSize.x * scale);
    const int paneHeight = static_cast<int>(m_pictureSize.y * scale);
    DrawPane(dc, wxRect(0, 0, paneWidth, paneHeight), m_source, _("Source"));
    DrawPane(dc, wxRect(paneWidth + kPaneGap, 0, paneWidth, paneHeight), m_encoded, _("Encoded"));
    dc.SetTextForeground(*wxWHITE);
    dc.DrawText(m_status, kStatusPadding, paneHeight + kStatusPadding);
}

}  // namespace quenlar::encoder

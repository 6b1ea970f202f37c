// Shows the encoder control at work and photographs the screen mid-encode, to look at the
// preview by eye. Run by hand under Xvfb:
//   xvfb-run -a -s "-screen 0 1600x1200x24" build-*/bench/encoder_preview_shot /tmp/shot.png
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include "common/EncoderContract.h"
#include "control/EncoderControlRegistrar.h"
#include "platform/automation/ControlRegistry.h"
#include "platform/automation/EventSink.h"

namespace {

using namespace automation;
using namespace quenlar::encoder;

class ShotFrame : public wxFrame, public IEventSink {
public:
    ShotFrame(std::string clip, std::string folder, std::string shot)
        : wxFrame(nullptr, wxID_ANY, "Quenlar encoder preview", wxPoint(20, 20), wxSize(780, 420)),
          m_clip(std::move(clip)), m_folder(std::move(folder)), m_shot(std::move(shot))
    {
        ControlCreateParams params;
        params.parent = this;
        params.id = 1000;
        params.rect = wxRect(8, 8, 400, 300);
        params.sink = this;
        m_control = ControlRegistry::Instance().Create(kProducerControlClsid, params);
    }

    void Start()
    {
        IDispatch* control = m_control.dispatch;
        control->Invoke(dispid::kInputFile, DISPATCH_PROPERTYPUT, {Variant::Str(m_clip)});
        control->Invoke(dispid::kOutputFile, DISPATCH_PROPERTYPUT, {Variant::Str(m_folder + "/shot.rm")});
        control->Invoke(dispid::kTitle, DISPATCH_PROPERTYPUT, {Variant::Str("shot")});
        control->Invoke(dispid::kDeInterlace, DISPATCH_PROPERTYPUT, {Variant::Bool(true)});
        IDispatch* target = control->Invoke(dispid::kTargetSettings, DISPATCH_PROPERTYGET, {Variant::I4(5)}).pdispVal;
        // A low rate, so that the encoded pane shows what the bitrate costs.
        target->Invoke(dispid::kSetBitrate, DISPATCH_PROPERTYPUT, {Variant::R4(300.0f)});
        target->Release();
        control->Invoke(dispid::kStartEncoding, DISPATCH_METHOD, {});
    }

    void FireEvent(int, DISPID eventId, const std::vector<Variant>& params) override
    {
        if (eventId == dispid::kEventDisplaySize && params.size() == 2 && params[0].lVal > 0)
            SetClientSize(params[0].lVal + 16, params[1].lVal + 16);
        if (eventId == dispid::kEventProgress && ++m_progress == 2) {
            std::printf("progress %d%% at %d ms: taking %s\n", params[2].lVal, params[0].lVal, m_shot.c_str());
            wxExecute("import -window root " + m_shot, wxEXEC_ASYNC);
        }
        if (eventId == dispid::kEventError)
            std::printf("error %d: %s\n", params[0].lVal, params[1].bstrVal.c_str());
        if (eventId == dispid::kEventFinished) {
            // Leave the import time to finish before the window goes.
            CallAfter([this] { wxMilliSleep(1500); Close(true); });
        }
    }

    ~ShotFrame() override
    {
        delete m_control.window;
        if (m_control.dispatch)
            m_control.dispatch->Release();
    }

private:
    std::string m_clip;
    std::string m_folder;
    std::string m_shot;
    ControlInstance m_control;
    int m_progress = 0;
};

class ShotApp : public wxApp {
public:
    bool OnInit() override
    {
        if (!EncoderControlRegistered() || argc < 2)
            return false;
        char pattern[] = "/tmp/quenlar-shot-XXXXXX";
        if (!mkdtemp(pattern))
            return false;
        m_folder = pattern;
        const std::string clip = m_folder + "/clip.mpg";
        // Two minutes of moving test picture, so the encode lasts a few seconds.
        if (std::system(("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=352x288:rate=25 -f lavfi -i "
                         "sine=sample_rate=44100 -t 120 -target pal-vcd " + clip).c_str()) != 0)
            return false;
        auto* frame = new ShotFrame(clip, m_folder, argv[1].ToStdString());
        frame->Show();
        frame->Start();
        return true;
    }
    int OnExit() override
    {
        std::filesystem::remove_all(m_folder);
        return wxApp::OnExit();
    }

private:
    std::string m_folder;
};

}  // namespace

wxIMPLEMENT_APP(ShotApp);

// Fixture of the batch tests: the real main dialog, created non-modally under Xvfb, hosting a
// recording control registered under the encoder's class id. Message boxes are answered by a
// recorder, the power-off is a fake, and the settings files go to a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

#include "app/BatchDialog.h"
#include "common/EncoderContract.h"
#include "platform/Paths.h"
#include "platform/PowerOff.h"
#include "support/FakePowerOff.h"
#include "platform/PrivateProfile.h"
#include "res/Resources.h"
#include "support/MessageBoxRecorder.h"
#include "support/RecordingDispatch.h"
#include "support/WxTestEnvironment.h"

class BatchControllerTest : public ::testing::Test {
protected:
    using Variant = automation::Variant;
    using Args = std::vector<Variant>;

    void SetUp() override
    {
        REQUIRE_DISPLAY();
        platform::ForbidSystemPowerOff();
        m_powerGuard = std::make_unique<platform::ScopedPowerOff>(power);

        std::string pattern = (std::filesystem::temp_directory_path() / "quenlar-batch-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        platform::SetModuleFileNameForTesting((m_dir / "Quenlar").string());

        control = log.NewObject("control");
        settings = log.NewObject("settings");
        codecList = log.NewObject("codecs");
        control->On(dispid::kIsEncoding, [this](const Args&) { return Variant::Bool(encoding); });
        control->On(dispid::kInputFile, [this](const Args& args) {
            if (!args.empty())
                inputFile = args[0].bstrVal;
            return Variant::Str(inputFile);
        });
        control->On(dispid::kTargetSettings, [this](const Args&) { return Hand(settings); });
        control->On(dispid::kAudioCodecs, [this](const Args&) { return Hand(codecList); });
        for (const std::string& name : res::AudioSettingRows()) {
            RecordingDispatch* item = log.NewObject("item:" + name);
            RecordingDispatch* codec = log.NewObject("codec:" + name);
            item->On(dispid::kName, [name](const Args&) { return Variant::Str(name); });
            item->On(dispid::kCodec, [codec](const Args&) { return Hand(codec); });
            m_items.push_back(item);
        }
        codecList->On(dispid::kGetFirst, [this](const Args&) {
            m_cursor = 0;
            return Hand(m_items[m_cursor]);
        });
        codecList->On(dispid::kGetNext, [this](const Args&) {
            return Hand(++m_cursor < m_items.size() ? m_items[m_cursor] : nullptr);
        });
        codecList->On(dispid::kGetCount,
                      [this](const Args&) { return Variant::I4(static_cast<int32_t>(m_items.size())); });
        registration = std::make_unique<FakeControlRegistration>(control);

        dialog = new CBatchDialog();
        ASSERT_TRUE(dialog->Create());
        dialog->Show();
    }

    void TearDown() override
    {
        if (dialog) {
            dialog->Destroy();
            wxTheApp->ProcessIdle();
        }
        registration.reset();
        m_powerGuard.reset();
        platform::SetModuleFileNameForTesting("");
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
    }

    static Variant Hand(RecordingDispatch* object)
    {
        if (object)
            object->AddRef();
        return Variant::Object(object);
    }

    // Runs what has been posted to the dialog (the private messages).
    static void Pump() { wxTheApp->ProcessPendingEvents(); }

    // An event of the control, through the dialog's event sink as the control fires it.
    void Fire(automation::DISPID event, const Args& args = {})
    {
        ASSERT_NE(registration->Sink(), nullptr);
        registration->Sink()->FireEvent(1000, event, args);
    }
    void FireStarted() { Fire(dispid::kEventStarted); }
    void FireFinished() { Fire(dispid::kEventFinished); }
    void FireProgress(int percent)
    {
        Fire(dispid::kEventProgress, {Variant::I4(1000), Variant::I4(9000), Variant::I4(percent), Variant::I4(25)});
    }
    void FireError(int code, const std::string& text)
    {
        Fire(dispid::kEventError, {Variant::I4(code), Variant::Str(text)});
    }
    void FireSize(int cx, int cy) { Fire(dispid::kEventDisplaySize, {Variant::I4(cx), Variant::I4(cy)}); }

    void Tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            dialog->OnTimer(1);
    }

    // The options as the user sets them in the controls.
    void SetBitRateText(const std::string& text) { Text(res::IDC_BITRATE)->ChangeValue(text); }
    void SetCheck(int id, bool checked) { Check(id)->SetValue(checked); }
    bool IsChecked(int id) { return Check(id)->GetValue(); }
    void SelectAudioRow(int row) { Choice()->SetSelection(row); }

    void Queue(const std::vector<std::string>& paths)
    {
        for (const std::string& path : paths)
            dialog->m_list.AddString(path);
    }
    std::vector<std::string> QueueContents() const
    {
        std::vector<std::string> items;
        for (int i = 0; i < dialog->m_list.GetCount(); ++i)
            items.push_back(dialog->m_list.GetText(i));
        return items;
    }

    std::string Caption() const { return dialog->GetDlgItem(IDOK)->GetLabel().utf8_string(); }
    std::string LogText() const { return dialog->m_log.GetWindowText(); }
    int Progress() const { return dialog->m_progress.GetPos(); }
    bool WatchdogRunning() const { return dialog->IsTimerRunning(1); }

    // Values the recording control received as puts of `id`, in order.
    std::vector<std::string> PutStrings(automation::DISPID id) const
    {
        std::vector<std::string> values;
        for (const RecordedCall& call : log.CallsTo(id))
            if (call.kind == automation::DISPATCH_PROPERTYPUT && !call.args.empty())
                values.push_back(call.args[0].bstrVal);
        return values;
    }
    // Names of the codec objects handed to the target settings, in order.
    std::vector<std::string> ChosenCodecs() const
    {
        std::vector<std::string> names;
        for (const RecordedCall& call : log.CallsTo(dispid::kAudioCodec)) {
            auto* codec = call.args.empty() ? nullptr : dynamic_cast<RecordingDispatch*>(call.args.back().pdispVal);
            names.push_back(codec ? codec->Name() : "?");
        }
        return names;
    }

    std::string IniPath() const { return (m_dir / "Quenlar.ini").string(); }
    std::string LogPath() const { return (m_dir / "Quenlar.inf").string(); }
    bool Saved() const { return std::filesystem::exists(IniPath()); }
    int SavedInt(const char* section, const char* key) const
    {
        return PrivateProfile(IniPath()).GetInt(section, key, -12345);
    }
    std::string ReadBytes(const std::string& path) const
    {
        std::string data;
        EXPECT_TRUE(ReadWholeFile(path, data)) << path;
        return data;
    }

    // A ready batch of the given files with valid options; Start not pressed yet.
    void PrepareBatch(const std::vector<std::string>& paths)
    {
        Queue(paths);
        SetBitRateText("450");
        SelectAudioRow(1);
    }
    // Start pressed and the first file set up.
    void StartBatch(const std::vector<std::string>& paths)
    {
        PrepareBatch(paths);
        dialog->OnOK();
        Pump();
        encoding = true;
    }

    DispatchLog log;
    RecordingDispatch* control = nullptr;
    RecordingDispatch* settings = nullptr;
    RecordingDispatch* codecList = nullptr;
    std::unique_ptr<FakeControlRegistration> registration;
    MessageBoxRecorder boxes;
    platform::FakePowerOff power;
    CBatchDialog* dialog = nullptr;
    bool encoding = false;
    std::string inputFile;

private:
    wxTextCtrl* Text(int id) { return dynamic_cast<wxTextCtrl*>(dialog->GetDlgItem(id)); }
    wxCheckBox* Check(int id) { return dynamic_cast<wxCheckBox*>(dialog->GetDlgItem(id)); }
    wxChoice* Choice() { return dynamic_cast<wxChoice*>(dialog->GetDlgItem(res::IDC_AUDIO_SETTING)); }

    std::unique_ptr<platform::ScopedPowerOff> m_powerGuard;
    std::filesystem::path m_dir;
    std::vector<RecordingDispatch*> m_items;
    size_t m_cursor = 0;
};

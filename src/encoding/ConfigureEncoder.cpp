#include "encoding/ConfigureEncoder.h"

#include "common/TargetPath.h"
#include "encoding/EncoderObjects.h"
#include "encoding/ProducerControl2.h"

namespace {

constexpr long kTargetSettingsIndex = 5;
constexpr long kAudioCodecIndex1 = 1;
constexpr long kAudioCodecIndex2 = 3;

// Gives the target settings the codec whose name equals `audioSetting` (case-sensitive, whole
// string; the first such item wins). Every item fetched is held by a releasing driver at once,
// so that a call failing in the middle still releases it.
void SelectAudioCodec(CAudioCodecList& codecs, CTargetSettings& settings, const std::string& audioSetting)
{
    CAudioCodecItem item(codecs.GetFirst());
    long count = codecs.GetCount();
    for (long index = 0; index < count && item.m_lpDispatch; ) {
        if (item.GetName() == audioSetting) {
            automation::COleDispatchDriver codec = item.GetCodec();
            settings.SetAudioCodec(kAudioCodecIndex1, kAudioCodecIndex2, codec.m_lpDispatch);
            return;
        }
        CAudioCodecItem next(codecs.GetNext());
        item.ReleaseDispatch();
        ++index;
        count = codecs.GetCount();
        if (index < count)
            item.AttachDispatch(next.DetachDispatch());
    }
}

}  // namespace

void ConfigureEncoder(CProducerControl2& control, const std::string& source, const std::string& target,
                      const std::string& author, const std::string& audioSetting, int bitrateKbps,
                      BOOL deInterlace, BOOL flag3801)
{
    control.ResetSettings();
    control.SetProperty3802(TRUE);
    control.SetProperty3804(1000);
    control.SetTitle(TitleFromTarget(target));
    control.SetAuthor(author);
    control.SetProgramName(kProgramName);
    control.SetDeInterlace(deInterlace);
    control.SetProperty3807(FALSE);
    control.SetProperty3801(flag3801);
    control.SetProperty3151(0);
    control.SetInputFile(source);
    control.SetProperty3155(TRUE);
    control.SetProperty3156(TRUE);
    control.SetProperty3159(FALSE);
    control.SetProperty3201(TRUE);
    control.SetProperty3202(FALSE);
    control.SetProperty3412(FALSE);
    control.SetOutputFile(target);
    control.SetProperty3409(FALSE);
    control.SetProperty3406(TRUE);
    control.SetProperty3413(FALSE);
    control.SetProperty3401(FALSE);
    control.SetProperty3414(FALSE);
    control.SetProperty3415(FALSE);
    control.SetProperty3402(FALSE);
    control.SetProperty3405(FALSE);
    control.SetProperty3404(FALSE);
    control.SetProperty3403(FALSE);
    control.SetProperty3407(3);
    control.SetProperty3408(2);
    control.SetProperty3410(6);

    CTargetSettings settings = control.GetTargetSettings(kTargetSettingsIndex);
    // A control without target settings or without a codec list still gets its encode started;
    // only the steps that need the missing object are left out.
    if (settings.m_lpDispatch)
        settings.SetBitrate(static_cast<float>(bitrateKbps));
    {
        CAudioCodecList codecs = control.GetAudioCodecs();
        if (codecs.m_lpDispatch && settings.m_lpDispatch)
            SelectAudioCodec(codecs, settings, audioSetting);
    }
    control.SetProperty3352(FALSE);
    control.SetProperty3351(FALSE);
    control.StartEncoding();
    settings.ReleaseDispatch();
}

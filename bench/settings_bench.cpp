// Saving and loading the settings with a queue of 10,000 files, on the real main dialog (run under
// xvfb-run) and, for comparison, the settings file alone. Goal: at most 100 ms each way.
//   xvfb-run -a -s "-screen 0 1600x1200x24" build/bench/settings_bench
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/listbox.h>

#include "app/BatchDialog.h"
#include "platform/Paths.h"
#include "platform/PrivateProfile.h"
#include "sources/SettingsStore.h"

namespace fs = std::filesystem;

namespace {

int kQueued = 10000;  // or the first argument
int kRuns = 15;

std::string QueuedPath(int i, int generation)
{
    char path[128];
    std::snprintf(path, sizeof path, "/media/cdrom%d/VCD 光盘 %04d/MPEGAV/AVSEQ%02d.DAT", generation,
                  i / 8, i % 8 + 1);
    return path;
}

// Runs `prepare` untimed, then `work` timed, kRuns times; prints min, median and max in ms.
void Measure(const char* what, const std::function<void()>& prepare, const std::function<void()>& work)
{
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s min %7.1f  median %7.1f  max %7.1f ms\n", what, ms.front(), ms[ms.size() / 2],
                ms.back());
}

void BenchProfileFile(const std::string& ini)
{
    int generation = 0;
    Measure("settings file alone: write the queue + flush",
            [&] { ++generation; },
            [&] {
                PrivateProfile profile(ini);
                profile.WriteString("Source", "Count", std::to_string(kQueued));
                for (int i = 0; i < kQueued; ++i)
                    profile.WriteString("Source", std::to_string(i), QueuedPath(i, generation));
                profile.Flush();
            });
    Measure("settings file alone: read the queue", [] {}, [&] {
        const PrivateProfile profile(ini);
        std::size_t total = 0;
        for (int i = 0; i < profile.GetInt("Source", "Count", 0); ++i)
            total += profile.GetString("Source", std::to_string(i), "").size();
        if (total == 0)
            std::printf("nothing read\n");
    });
}

void BenchDialog(const fs::path& dir)
{
    auto* dialog = new CBatchDialog(nullptr);
    if (!dialog->Create()) {
        std::printf("the dialog could not be created\n");
        return;
    }
    std::string log;
    for (int i = 0; i < 200; ++i)
        log += "Failed to encode " + QueuedPath(i, 0) + "\n";
    dialog->m_log.SetWindowText(log);

    int generation = 0;
    const auto fillQueue = [&] {
        ++generation;
        dialog->m_list.ResetContent();
        wxArrayString paths;
        for (int i = 0; i < kQueued; ++i)
            paths.Add(wxString::FromUTF8(QueuedPath(i, generation)));
        dialog->m_list.GetWindow()->Append(paths);
    };
    Measure("dialog: SaveSettings, new file", [&] {
        fillQueue();
        fs::remove(g_szIniPath);
    }, [&] { dialog->SaveSettings(); });
    Measure("dialog: SaveSettings over an older queue", fillQueue, [&] { dialog->SaveSettings(); });
    Measure("dialog: LoadSettings", [] {}, [&] { dialog->LoadSettings(); });
    std::printf("queue after load: %u entries; settings file %ju bytes\n", dialog->m_list.GetCount(),
                static_cast<std::uintmax_t>(fs::file_size(dir / "Quenlar.ini")));
    dialog->Destroy();
    wxTheApp->ProcessIdle();
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc > 1)
        kQueued = std::max(1, std::atoi(argv[1]));
    if (argc > 2)
        kRuns = std::max(1, std::atoi(argv[2]));
    std::string pattern = (fs::temp_directory_path() / "quenlar-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    const fs::path dir = pattern;
    platform::SetModuleFileNameForTesting((dir / "Quenlar").string());
    BuildProfilePaths();

    std::printf("%d queued paths, %d runs each\n", kQueued, kRuns);
    BenchProfileFile((dir / "alone.ini").string());

    wxApp::SetInstance(new wxApp);
    int wxArgc = 1;
    if (wxEntryStart(wxArgc, argv)) {
        wxTheApp->CallOnInit();
        BenchDialog(dir);
        wxEntryCleanup();
    } else {
        std::printf("no display: run under xvfb-run for the dialog figures\n");
    }
    fs::remove_all(dir);
    return 0;
}

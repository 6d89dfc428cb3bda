// Sonvar against plain GStreamer on the same file and the same kind of sink (a fakesink
// that keeps real time): the time from PlayFile to the first sample at the renderer, and
// the CPU that sixteen playing players cost.
#include "audio_files.h"

#include <directshow/renderer.h>
#include <sonvar.h>

#include <dlfcn.h>
#include <gst/gst.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 20;
constexpr int kPlayers = 16;
constexpr auto kWarmUp = std::chrono::seconds(1);
constexpr auto kMeasured = std::chrono::seconds(3);
// The elements of a Sonvar graph, written as a pipeline.
constexpr char kPipeline[] = "filesrc location=%s ! decodebin ! audioconvert ! audioresample "
                             "! volume ! fakesink sync=true";

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double SonvarFirstSampleMs(ISonvar& sonvar, const std::string& file) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    RENDERER_PARAM param{RENDERER_OUTPUT_DISCARD, nullptr, first};
    const auto start = Clock::now();
    const int id = sonvar.PlayFile(file.c_str(), &param);
    WaitForSingleObject(first, 5000);
    const double ms = Ms(Clock::now() - start);
    sonvar.Close(id);
    CloseHandle(first);
    return ms;
}

GstPadProbeReturn OnFirstBuffer(GstPad*, GstPadProbeInfo*, gpointer event) {
    SetEvent(static_cast<HANDLE>(event));
    return GST_PAD_PROBE_REMOVE;
}

double GstreamerFirstSampleMs(const std::string& file) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const auto start = Clock::now();
    char description[512];
    std::snprintf(description, sizeof description, kPipeline, file.c_str());
    GstElement* pipeline = gst_parse_launch(description, nullptr);
    GstIterator* sinks = gst_bin_iterate_sinks(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(sinks, &item) == GST_ITERATOR_OK) {
        GstPad* pad = gst_element_get_static_pad(GST_ELEMENT(g_value_get_object(&item)), "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnFirstBuffer, first, nullptr);
        gst_object_unref(pad);
        g_value_unset(&item);
    }
    gst_iterator_free(sinks);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    WaitForSingleObject(first, 5000);
    const double ms = Ms(Clock::now() - start);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    CloseHandle(first);
    return ms;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds a child process has used so far, from /proc/<pid>/stat.
double ChildCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Percent of one core that kPlayers Sonvar players take once playing.
double SonvarCpuPercent(ISonvar& sonvar, const std::string& file) {
    RENDERER_PARAM discard{RENDERER_OUTPUT_DISCARD, nullptr, nullptr};
    std::vector<int> ids;
    for (int i = 0; i < kPlayers; ++i)
        ids.push_back(sonvar.PlayFile(file.c_str(), &discard));
    std::this_thread::sleep_for(kWarmUp);
    const double before = ProcessCpuSeconds();
    std::this_thread::sleep_for(kMeasured);
    const double used = ProcessCpuSeconds() - before;
    for (int id : ids)
        sonvar.Close(id);
    return 100.0 * used / std::chrono::duration<double>(kMeasured).count();
}

// The same for kPlayers gst-launch-1.0 processes playing the same pipeline.
double GstLaunchCpuPercent(const std::string& file) {
    std::vector<pid_t> children;
    const std::string location = "location=" + file;
    for (int i = 0; i < kPlayers; ++i) {
        const char* argv[] = {"gst-launch-1.0",
                              "-q",
                              "filesrc",
                              location.c_str(),
                              "!",
                              "decodebin",
                              "!",
                              "audioconvert",
                              "!",
                              "audioresample",
                              "!",
                              "volume",
                              "!",
                              "fakesink",
                              "sync=true",
                              nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) == 0)
            children.push_back(pid);
    }
    std::this_thread::sleep_for(kWarmUp);
    double before = 0;
    for (pid_t pid : children)
        before += ChildCpuSeconds(pid);
    std::this_thread::sleep_for(kMeasured);
    double after = 0;
    for (pid_t pid : children)
        after += ChildCpuSeconds(pid);
    for (pid_t pid : children) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return 100.0 * (after - before) / std::chrono::duration<double>(kMeasured).count();
}

} // namespace

int main() {
    void* library = dlopen(SONVAR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    auto* sonvar = library ? static_cast<ISonvar*>(dlsym(library, "ISonvar_object")) : nullptr;
    if (!sonvar) {
        std::fprintf(stderr, "cannot load %s\n", SONVAR_LIBRARY);
        return 1;
    }
    gst_init(nullptr, nullptr);
    testaudio::TempDir dir;
    const std::string shortFile = (dir / "short.wav").string();
    const std::string longFile = (dir / "long.wav").string();
    testaudio::WriteWav(shortFile, testaudio::Sine(1.0));
    testaudio::WriteWav(longFile, testaudio::Sine(10.0));

    std::vector<double> sonvarMs, gstMs;
    SonvarFirstSampleMs(*sonvar, shortFile); // both warm
    GstreamerFirstSampleMs(shortFile);
    for (int i = 0; i < kRuns; ++i) {
        sonvarMs.push_back(SonvarFirstSampleMs(*sonvar, shortFile));
        gstMs.push_back(GstreamerFirstSampleMs(shortFile));
    }
    const double sonvarMedian = Median(sonvarMs), gstMedian = Median(gstMs);
    std::printf("first sample after start, median of %d (WAV, fakesink sync=true):\n", kRuns);
    std::printf("  Sonvar PlayFile        %7.2f ms\n", sonvarMedian);
    std::printf("  GStreamer pipeline     %7.2f ms\n", gstMedian);
    std::printf("  ratio                  %7.2f\n", sonvarMedian / gstMedian);

    const double sonvarCpu = SonvarCpuPercent(*sonvar, longFile);
    const double gstCpu = GstLaunchCpuPercent(longFile);
    std::printf("CPU of %d playing players, percent of one core over %lld s:\n", kPlayers,
                static_cast<long long>(kMeasured.count()));
    std::printf("  Sonvar (one process)   %7.2f %%\n", sonvarCpu);
    std::printf("  gst-launch-1.0 (%d)    %7.2f %%\n", kPlayers, gstCpu);
    std::printf("  ratio                  %7.2f\n", sonvarCpu / gstCpu);
    std::printf("ratio sonvar_first_sample %.2f\n", sonvarMedian / gstMedian);
    std::printf("ratio sonvar_cpu %.2f\n", sonvarCpu / gstCpu);
    dlclose(library);
    return 0;
}

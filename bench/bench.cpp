// Measures the program beside the floor (the least an Xlib + GLX program of
// its kind does) and its Windows build under Wine, on one private Xvfb, and
// prints a table and writes the same figures as JSON.
//   kovra-bench --ours PATH --floor PATH --hook PATH [--wine WINE64 --exe EXE
//               --prefix DIR] [--runs N] [--json PATH]
#include <X11/keysym.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "app/view_state.h"
#include "platform/winapi.h"
#include "session.h"

static const int BURST_KEYS = 200;
static const int MIN_PRESSES = 50;
static const int LATENCY_BLOCK = 10;
static const int IDLE_MS = 5000;
static const int WINE_COLD_RUNS = 3;
static const int DIALOG_CYCLES = 50;
static const char ABOUT_TITLE[] = "About OpenGL";
static const char HELP_MENU[] = "Help"; // the drop-down's WM_NAME

struct Options {
    std::string ours, floor, hook, wine, exe, prefix, json;
    int runs = 21;
};

struct Stats {
    double median = 0, min = 0, max = 0;
    int count = 0;
};

// What one program showed; a figure not measured stays empty or negative.
struct Results {
    std::string name;
    bool measured = false;
    std::string note;
    std::vector<double> startupMs, peakMiB;
    std::vector<double> startupCpuMs; // CPU time until it settled: what load does not skew
    std::vector<double> latencyMs;
    std::vector<double> inputMs, drawMs; // the latency split at the frame's first glClear
    int extraFrames = 0;                 // frames beyond one a key in the latency run
    long idleTicks = -1;
    double idleCpuMs = -1;
    int idleFrames = -1;
    // the 200-key burst
    int burstFrames = -1;
    double burstDoneMs = 0; // last frame after the last key
    bool burstCorrect = false;
    long burstDiffering = -1;     // pixels of the last frame off the expected one
    long neighbourDiffering = -1; // between the expected frame and the one a key before
    // the dialog cycles
    int dialogCycles = 0;
    long rssBeforeKiB = -1, rssAfterKiB = -1, peakAfterKiB = -1;
    XResources xBefore, xAfter;
};

struct Bench {
    Options options;
    XServer server;
    Display* display = nullptr;
    std::string scratch;
};

static Stats Summarize(std::vector<double> values) {
    Stats stats;
    stats.count = (int)values.size();
    if (values.empty())
        return stats;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    stats.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    stats.min = values.front();
    stats.max = values.back();
    return stats;
}

// The nearest-rank percentile.
static double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t rank = (size_t)std::max(1.0, std::ceil(p / 100.0 * values.size()));
    return values[std::min(rank, values.size()) - 1];
}

static double Ms(int64_t ns) {
    return ns / 1e6;
}

// Presses and releases one key at once, as a quick typist does.
static void Tap(Display* display, KeySym key) {
    FakeKey(display, key, true);
    FakeKey(display, key, false);
}

// Starts a program and waits for its first frame and for it to settle.
static bool StartSettled(Bench& bench, const ProgramSubject& subject, Launch& launch, bool grab,
                         int timeoutMs) {
    if (!LaunchProgram(launch, subject, bench.server.display, bench.options.hook, bench.scratch,
                       grab))
        return false;
    if (!WaitForFrames(launch, 1, timeoutMs)) {
        fprintf(stderr, "bench: %s drew no frame within %d ms (its output: %s)\n",
                subject.name.c_str(), timeoutMs, launch.outputPath.c_str());
        EndProgram(launch);
        return false;
    }
    WaitForQuiet(launch, 150, 3000);
    return true;
}

// Its main window, with the keyboard.
static Window FocusMain(Bench& bench, const ProgramSubject& subject, Launch& launch) {
    Window window = WaitForTopLevel(bench.display, subject.title, 3000);
    if (window == 0) {
        fprintf(stderr, "bench: %s shows no window \"%s\"\n", subject.name.c_str(),
                subject.title.c_str());
        return 0;
    }
    FocusWindow(bench.display, window);
    WaitForQuiet(launch, 50, 1000);
    return window;
}

static void MeasureStartup(Bench& bench, const ProgramSubject& subject, Results& results,
                           int timeoutMs) {
    Launch launch;
    if (!StartSettled(bench, subject, launch, false, timeoutMs))
        return;
    results.startupMs.push_back(Ms(launch.framesNs[0] - launch.spawnNs));
    results.startupCpuMs.push_back(Ms(ReadCpuUse(launch.pid).ns));
    results.peakMiB.push_back(StatusKiB(launch.pid, "VmHWM") / 1024.0);
    results.measured = true;
    EndProgram(launch);
}

// Right presses one at a time, each sent once the previous one's frame is
// out; the time from the press to the frame.
static bool MeasureLatency(Bench& bench, Launch& launch, Results& results, int presses) {
    for (int i = 0; i < presses; i++) {
        size_t before = launch.framesNs.size();
        int64_t sent = MonotonicNs();
        Tap(bench.display, XK_Right);
        XFlush(bench.display);
        if (!WaitForFrames(launch, before + 1, 2000)) {
            results.note += "a key press drew no frame; ";
            return false;
        }
        results.latencyMs.push_back(Ms(launch.framesNs[before] - sent));
        int64_t started = launch.startsNs[before];
        if (started != 0) {
            results.inputMs.push_back(Ms(started - sent));
            results.drawMs.push_back(Ms(launch.framesNs[before] - started));
        }
        WaitForQuiet(launch, 10, 1000);
        results.extraFrames += (int)(launch.framesNs.size() - before - 1);
    }
    return true;
}

struct Idling {
    size_t frames;
    CpuUse cpu;
};

static Idling StartIdling(Launch& launch) {
    return {launch.framesNs.size(), ReadCpuUse(launch.pid)};
}

static void EndIdling(Launch& launch, const Idling& start, Results& results) {
    WaitForFrames(launch, (size_t)-1, 0);
    CpuUse end = ReadCpuUse(launch.pid);
    results.idleTicks = end.ticks - start.cpu.ticks;
    results.idleCpuMs = Ms(end.ns - start.cpu.ns);
    results.idleFrames = (int)(launch.framesNs.size() - start.frames);
}

// Alt+H, A opens the dialog; Return closes it. A is pressed once the menu is
// seen, as a person does; the dialog stays open for holdMs. It gets the
// keyboard as a window manager would give it to a new window. "" when both
// happened, else what did not.
static std::string CycleAbout(Bench& bench, Window main, int holdMs) {
    FocusWindow(bench.display, main);
    FakeKey(bench.display, XK_Alt_L, true);
    Tap(bench.display, XK_h);
    FakeKey(bench.display, XK_Alt_L, false);
    XSync(bench.display, False);
    if (WaitForTopLevel(bench.display, HELP_MENU, 3000) == 0)
        return "menu did not open";
    Tap(bench.display, XK_a);
    XSync(bench.display, False);
    Window dialog = WaitForTopLevel(bench.display, ABOUT_TITLE, 3000);
    if (dialog == 0)
        return "did not open";
    SleepMs(holdMs);
    XSetInputFocus(bench.display, dialog, RevertToPointerRoot, CurrentTime);
    Tap(bench.display, XK_Return);
    XSync(bench.display, False);
    return WaitForGone(bench.display, dialog, 3000) ? "" : "did not close";
}

static void MeasureDialogs(Bench& bench, Launch& launch, Window main, Results& results) {
    // The first openings load and draw what every later one reuses: fonts,
    // colours, GCs made on first paint.
    for (int i = 0; i < 2; i++) {
        std::string failure = CycleAbout(bench, main, i == 0 ? 300 : 0);
        if (!failure.empty()) {
            results.note += "the About dialog " + failure + "; ";
            return;
        }
    }
    WaitForQuiet(launch, 100, 2000);
    results.rssBeforeKiB = StatusKiB(launch.pid, "VmRSS");
    ReadXResources(bench.display, main, results.xBefore);
    for (int i = 0; i < DIALOG_CYCLES; i++) {
        std::string failure = CycleAbout(bench, main, 0);
        if (!failure.empty()) {
            results.note +=
                "the About dialog " + failure + " in cycle " + std::to_string(i + 3) + "; ";
            break;
        }
        results.dialogCycles++;
    }
    WaitForQuiet(launch, 100, 2000);
    results.rssAfterKiB = StatusKiB(launch.pid, "VmRSS");
    results.peakAfterKiB = StatusKiB(launch.pid, "VmHWM");
    ReadXResources(bench.display, main, results.xAfter);
}

// The floor and the program run side by side: key presses in turns of
// LATENCY_BLOCK each, so that whatever else loads the machine weighs on both
// alike; then both idle at once; then the program's dialog cycles.
static void MeasureSideBySide(Bench& bench, const ProgramSubject* subjects[2],
                              Results* results[2]) {
    Launch launches[2];
    Window windows[2] = {0, 0};
    bool ok = true;
    for (int i = 0; i < 2 && ok; i++)
        ok = StartSettled(bench, *subjects[i], launches[i], false, 10000) &&
             (windows[i] = FocusMain(bench, *subjects[i], launches[i])) != 0;
    for (int block = 0; ok && block * LATENCY_BLOCK < MIN_PRESSES + 10; block++)
        for (int i = 0; i < 2 && ok; i++) {
            FocusWindow(bench.display, windows[i]);
            WaitForQuiet(launches[i], 50, 1000);
            ok = MeasureLatency(bench, launches[i], *results[i], LATENCY_BLOCK);
        }
    if (ok) {
        for (Launch& launch : launches)
            WaitForQuiet(launch, 300, 3000);
        Idling idling[2] = {StartIdling(launches[0]), StartIdling(launches[1])};
        SleepMs(IDLE_MS);
        for (int i = 0; i < 2; i++)
            EndIdling(launches[i], idling[i], *results[i]);
        MeasureDialogs(bench, launches[1], windows[1], *results[1]);
    }
    for (Launch& launch : launches)
        EndProgram(launch);
}

static long DifferingPixels(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height)
        return (long)std::max(a.rgb.size(), b.rgb.size()) / 3;
    long differing = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3)
        differing += memcmp(&a.rgb[i], &b.rgb[i], 3) != 0;
    return differing;
}

// The frame the program shows at a turn, reached by single presses from the
// start, and the frame one press before it.
static bool ReferenceFrames(Bench& bench, const ProgramSubject& subject, int presses,
                            Image& expected, Image& before) {
    Launch launch;
    if (!StartSettled(bench, subject, launch, true, 10000))
        return false;
    bool ok = FocusMain(bench, subject, launch) != 0;
    for (int i = 0; ok && i < presses; i++) {
        if (i == presses - 1)
            ok = ReadPpm(launch.grabPath, before);
        size_t count = launch.framesNs.size();
        Tap(bench.display, XK_Right);
        XFlush(bench.display);
        ok = ok && WaitForFrames(launch, count + 1, 2000);
        WaitForQuiet(launch, 10, 1000);
    }
    ok = ok && ReadPpm(launch.grabPath, expected);
    EndProgram(launch);
    return ok;
}

// 200 Right presses at once: the frames drawn, how long after the last key
// the last one came, and whether it shows the turn the program's rule gives.
static void MeasureBurst(Bench& bench, const ProgramSubject& subject, Results& results) {
    ViewState start, target;
    for (int i = 0; i < BURST_KEYS; i++)
        RotateByKey(target, VK_RIGHT);
    // The same turn by single presses, each drawn before the next.
    int presses = 0;
    for (ViewState view = start; view.yRot != target.yRot && presses < 360; presses++)
        RotateByKey(view, VK_RIGHT);
    Image expected, before;
    if (!ReferenceFrames(bench, subject, std::max(presses, 1), expected, before)) {
        results.note += "no reference frame for the burst; ";
        return;
    }
    if (presses == 0)
        results.note += "the burst ends where it starts; ";
    results.neighbourDiffering = DifferingPixels(expected, before);

    Launch launch;
    if (!StartSettled(bench, subject, launch, true, 10000))
        return;
    if (FocusMain(bench, subject, launch) != 0) {
        size_t framesBefore = launch.framesNs.size();
        for (int i = 0; i < BURST_KEYS; i++)
            Tap(bench.display, XK_Right);
        XSync(bench.display, False);
        int64_t lastKey = MonotonicNs();
        WaitForQuiet(launch, 300, 5000);
        results.burstFrames = (int)(launch.framesNs.size() - framesBefore);
        Image last;
        if (results.burstFrames > 0 && ReadPpm(launch.grabPath, last)) {
            results.burstDoneMs = Ms(launch.framesNs.back() - lastKey);
            results.burstDiffering = DifferingPixels(last, expected);
            results.burstCorrect = results.burstDiffering == 0;
        }
    }
    EndProgram(launch);
}

// --- the report -------------------------------------------------------------

static std::string Format(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

static std::string StatsText(const Stats& stats, int decimals = 1) {
    if (stats.count == 0)
        return "-";
    return Format("%.*f [%.*f-%.*f]", decimals, stats.median, decimals, stats.min, decimals,
                  stats.max);
}

static const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

static void Row(const std::string& figure, const std::string& floor, const std::string& ours,
                const std::string& wine, const std::string& target) {
    printf("%-30s %-24s %-24s %-24s %s\n", figure.c_str(), floor.c_str(), ours.c_str(),
           wine.c_str(), target.c_str());
}

static long ResourceGrowth(const Results& r) {
    return r.xAfter.total - r.xBefore.total;
}

static void PrintTable(const Results& floor, const Results& ours, const Results& wine,
                       const Results& wineCold) {
    Stats fStart = Summarize(floor.startupMs), oStart = Summarize(ours.startupMs),
          wStart = Summarize(wine.startupMs);
    Stats fLat = Summarize(floor.latencyMs), oLat = Summarize(ours.latencyMs);
    double fP95 = Percentile(floor.latencyMs, 95), oP95 = Percentile(ours.latencyMs, 95);
    Stats fPeak = Summarize(floor.peakMiB), oPeak = Summarize(ours.peakMiB),
          wPeak = Summarize(wine.peakMiB);
    std::string wineStart = wine.measured ? StatsText(wStart) : "-";
    std::string winePeak = wine.measured ? StatsText(wPeak) : "-";

    printf("\n");
    Row("figure", "floor", "ours", "wine64 (warm)", "target: verdict");
    Row("start-up to 1st swap, ms", StatsText(fStart), StatsText(oStart), wineStart, "");
    Row("  ratio to the floor", "1.00", Format("%.2f", oStart.median / fStart.median),
        wine.measured ? Format("%.2f", wStart.median / fStart.median) : "-",
        Format("ours <= 1.05: %s", Verdict(oStart.median <= 1.05 * fStart.median)));
    Stats fCpu = Summarize(floor.startupCpuMs), oCpu = Summarize(ours.startupCpuMs),
          wCpu = Summarize(wine.startupCpuMs);
    Row("  CPU until settled, ms", StatsText(fCpu), StatsText(oCpu),
        wine.measured ? StatsText(wCpu) : "-",
        Format("ours / floor %.2f", oCpu.median / fCpu.median));
    if (wine.measured)
        Row("  wine64 / ours", "", "", Format("%.1f x", wStart.median / oStart.median),
            Format(">= 4: %s", Verdict(wStart.median >= 4 * oStart.median)));
    if (wineCold.measured) {
        Stats cStart = Summarize(wineCold.startupMs);
        Row("  wine64 cold, ms", "", "", StatsText(cStart), "no wineserver running before");
        Row("  wine64 cold / ours", "", "", Format("%.1f x", cStart.median / oStart.median),
            Format(">= 4: %s", Verdict(cStart.median >= 4 * oStart.median)));
    }
    Row("key to frame median, ms", StatsText(fLat, 2), StatsText(oLat, 2), "-",
        Format("<= 1.2 x floor (%.2f): %s", oLat.median / fLat.median,
               Verdict(oLat.median <= 1.2 * fLat.median)));
    Row("key to frame p95, ms", Format("%.2f", fP95), Format("%.2f", oP95), "-",
        Format("<= 2 x floor (%.2f): %s", oP95 / fP95, Verdict(oP95 <= 2 * fP95)));
    Row("  key to 1st glClear, median", StatsText(Summarize(floor.inputMs), 2),
        StatsText(Summarize(ours.inputMs), 2), "-", "the input path");
    Row("  glClear to swap, median", StatsText(Summarize(floor.drawMs), 2),
        StatsText(Summarize(ours.drawMs), 2), "-", "drawing and presenting");
    Row("  presses, extra frames", Format("%zu, %d", floor.latencyMs.size(), floor.extraFrames),
        Format("%zu, %d", ours.latencyMs.size(), ours.extraFrames), "-", "");
    bool burstMet = ours.burstFrames >= 1 && ours.burstFrames <= 3 && ours.burstCorrect &&
                    ours.burstDoneMs <= 20;
    Row(Format("%d-key burst: frames", BURST_KEYS), "-", Format("%d", ours.burstFrames), "-",
        Format("<= 3, last correct, <= 20 ms: %s", Verdict(burstMet)));
    Row("  last frame after last key", "-", Format("%.1f ms", ours.burstDoneMs), "-", "");
    Row("  last frame = expected turn", "-",
        Format("%s (%ld px off; neighbour %ld)", ours.burstCorrect ? "yes" : "NO",
               ours.burstDiffering, ours.neighbourDiffering),
        "-", "");
    Row("idle 5 s: CPU ticks, ms", Format("%ld, %.2f", floor.idleTicks, floor.idleCpuMs),
        Format("%ld, %.2f", ours.idleTicks, ours.idleCpuMs), "-",
        Format("0 ticks, 0 frames: %s", Verdict(ours.idleTicks == 0 && ours.idleFrames == 0)));
    Row("idle 5 s: frames", Format("%d", floor.idleFrames), Format("%d", ours.idleFrames), "-", "");
    Row("peak RSS (VmHWM), MiB", StatsText(fPeak), StatsText(oPeak), winePeak,
        Format("<= floor + 4 (%+.1f): %s", oPeak.median - fPeak.median,
               Verdict(oPeak.median <= fPeak.median + 4)));
    Row("  VmHWM after the session, MiB", "-", Format("%.1f", ours.peakAfterKiB / 1024.0), "-",
        "latency, idling, About cycles");
    bool noGrowth = ours.dialogCycles == DIALOG_CYCLES &&
                    ours.rssAfterKiB - ours.rssBeforeKiB <= 0 && ResourceGrowth(ours) <= 0 &&
                    ours.xAfter.pixmapBytes <= ours.xBefore.pixmapBytes;
    Row(Format("%d About cycles: RSS KiB", DIALOG_CYCLES), "-",
        Format("%ld -> %ld", ours.rssBeforeKiB, ours.rssAfterKiB), "-",
        Format("no growth: %s", Verdict(noGrowth)));
    Row("  X resources, pixmap bytes", "-",
        Format("%ld -> %ld, %lu -> %lu", ours.xBefore.total, ours.xAfter.total,
               ours.xBefore.pixmapBytes, ours.xAfter.pixmapBytes),
        "-", "");
    for (const auto& type : ours.xAfter.counts) {
        auto was = ours.xBefore.counts.find(type.first);
        long before = was == ours.xBefore.counts.end() ? 0 : was->second;
        if (before != type.second)
            Row("    " + type.first, "-", Format("%ld -> %ld", before, type.second), "-", "");
    }
    for (const Results* r : {&floor, &ours, &wine, &wineCold})
        if (!r->note.empty())
            printf("%s: %s\n", r->name.c_str(), r->note.c_str());
}

static void JsonNumbers(FILE* file, const char* key, const std::vector<double>& values) {
    Stats stats = Summarize(values);
    fprintf(file, "    \"%s\": {\"median\": %.3f, \"min\": %.3f, \"max\": %.3f, \"values\": [", key,
            stats.median, stats.min, stats.max);
    for (size_t i = 0; i < values.size(); i++)
        fprintf(file, "%s%.3f", i ? ", " : "", values[i]);
    fprintf(file, "]},\n");
}

static void JsonResources(FILE* file, const char* key, const XResources& resources) {
    fprintf(file, "    \"%s\": {\"total\": %ld, \"pixmapBytes\": %lu, \"types\": {", key,
            resources.total, resources.pixmapBytes);
    bool first = true;
    for (const auto& type : resources.counts) {
        fprintf(file, "%s\"%s\": %ld", first ? "" : ", ", type.first.c_str(), type.second);
        first = false;
    }
    fprintf(file, "}},\n");
}

// The table's ratios, for whoever reads the JSON rather than the table.
static void JsonComparison(FILE* file, const Results& floor, const Results& ours,
                           const Results& wine, const Results& wineCold) {
    double oStart = Summarize(ours.startupMs).median;
    fprintf(file, "  \"comparison\": {\n");
    fprintf(file, "    \"startupOursToFloor\": %.3f,\n",
            oStart / Summarize(floor.startupMs).median);
    if (wine.measured)
        fprintf(file, "    \"startupWineWarmToOurs\": %.3f,\n",
                Summarize(wine.startupMs).median / oStart);
    if (wineCold.measured)
        fprintf(file, "    \"startupWineColdToOurs\": %.3f,\n",
                Summarize(wineCold.startupMs).median / oStart);
    fprintf(file, "    \"keyToFrameMedianOursToFloor\": %.3f,\n",
            Summarize(ours.latencyMs).median / Summarize(floor.latencyMs).median);
    fprintf(file, "    \"keyToFrameP95OursToFloor\": %.3f,\n",
            Percentile(ours.latencyMs, 95) / Percentile(floor.latencyMs, 95));
    fprintf(file, "    \"peakRssOursMinusFloorMiB\": %.3f\n  },\n",
            Summarize(ours.peakMiB).median - Summarize(floor.peakMiB).median);
}

static bool WriteJson(const std::string& path, const Options& options, const Results& floor,
                      const Results& ours, const Results& wine, const Results& wineCold) {
    FILE* file = fopen(path.c_str(), "w");
    if (file == NULL)
        return false;
    fprintf(file, "{\n  \"runs\": %d,\n  \"units\": \"ms, MiB, KiB as named\",\n", options.runs);
    JsonComparison(file, floor, ours, wine, wineCold);
    fprintf(file, "  \"programs\": {\n");
    const Results* all[] = {&floor, &ours, &wine, &wineCold};
    const size_t count = sizeof all / sizeof all[0];
    for (size_t i = 0; i < count; i++) {
        const Results& r = *all[i];
        fprintf(file, "  \"%s\": {\n    \"measured\": %s,\n", r.name.c_str(),
                r.measured ? "true" : "false");
        JsonNumbers(file, "startupMs", r.startupMs);
        JsonNumbers(file, "startupCpuMs", r.startupCpuMs);
        JsonNumbers(file, "peakRssMiB", r.peakMiB);
        if (!r.latencyMs.empty()) {
            JsonNumbers(file, "keyToFrameMs", r.latencyMs);
            JsonNumbers(file, "keyToClearMs", r.inputMs);
            JsonNumbers(file, "clearToSwapMs", r.drawMs);
            fprintf(file, "    \"keyToFrameP95Ms\": %.3f,\n    \"extraFrames\": %d,\n",
                    Percentile(r.latencyMs, 95), r.extraFrames);
            fprintf(file,
                    "    \"idle\": {\"seconds\": %d, \"cpuTicks\": %ld, \"cpuMs\": %.3f, "
                    "\"frames\": %d},\n",
                    IDLE_MS / 1000, r.idleTicks, r.idleCpuMs, r.idleFrames);
        }
        if (r.burstFrames >= 0)
            fprintf(file,
                    "    \"burst\": {\"keys\": %d, \"frames\": %d, \"lastAfterLastKeyMs\": %.3f, "
                    "\"lastCorrect\": %s, \"pixelsOff\": %ld, \"neighbourPixelsOff\": %ld},\n",
                    BURST_KEYS, r.burstFrames, r.burstDoneMs, r.burstCorrect ? "true" : "false",
                    r.burstDiffering, r.neighbourDiffering);
        if (r.rssBeforeKiB >= 0) {
            fprintf(file,
                    "    \"dialogCycles\": {\"cycles\": %d, \"rssBeforeKiB\": %ld, "
                    "\"rssAfterKiB\": %ld, \"peakAfterKiB\": %ld},\n",
                    r.dialogCycles, r.rssBeforeKiB, r.rssAfterKiB, r.peakAfterKiB);
            JsonResources(file, "xResourcesBefore", r.xBefore);
            JsonResources(file, "xResourcesAfter", r.xAfter);
        }
        std::string note = r.note;
        std::replace(note.begin(), note.end(), '"', '\'');
        fprintf(file, "    \"note\": \"%s\"\n  }%s\n", note.c_str(), i + 1 < count ? "," : "");
    }
    fprintf(file, "  }\n}\n");
    return fclose(file) == 0;
}

// --- the run ------------------------------------------------------------------

// Wine wants its prefix absolute, and the programs run from elsewhere.
static std::string Absolute(const std::string& path) {
    char* resolved = realpath(path.c_str(), NULL);
    if (resolved == NULL)
        return path;
    std::string absolute = resolved;
    free(resolved);
    return absolute;
}

static bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i], value = argv[i + 1];
        if (key == "--ours")
            options.ours = value;
        else if (key == "--floor")
            options.floor = value;
        else if (key == "--hook")
            options.hook = value;
        else if (key == "--wine")
            options.wine = value;
        else if (key == "--exe")
            options.exe = value;
        else if (key == "--prefix")
            options.prefix = value;
        else if (key == "--json")
            options.json = value;
        else if (key == "--runs")
            options.runs = std::max(1, atoi(value.c_str()));
        else
            return false;
    }
    for (std::string* path : {&options.ours, &options.floor, &options.hook, &options.exe,
                              &options.prefix, &options.json})
        if (!path->empty())
            *path = Absolute(*path);
    return argc % 2 == 1 && !options.ours.empty() && !options.floor.empty() &&
           !options.hook.empty();
}

// Why the Windows build cannot be measured, or "" when it can.
static std::string WineMissing(const Options& options) {
    if (options.wine.empty())
        return "no --wine given; the Windows build is not measured";
    if (access(options.wine.c_str(), X_OK) != 0)
        return "Wine is not installed (no " + options.wine + "); the Windows build is not measured";
    if (options.exe.empty() || access(options.exe.c_str(), R_OK) != 0)
        return "no Windows build at " + options.exe + "; it is not measured";
    if (options.prefix.empty() || access((options.prefix + "/system.reg").c_str(), R_OK) != 0)
        return "no Wine prefix at " + options.prefix + "; the Windows build is not measured";
    return "";
}

// Wine's server outlives the last program for a while; it and the services
// it started must go before the X server they are connected to.
static void EndWineServer(const Options& options) {
    std::string wineserver = options.wine.substr(0, options.wine.rfind('/') + 1) + "wineserver";
    std::string command = "export WINEPREFIX='" + options.prefix + "'; '" + wineserver +
                          "' -k 2>/dev/null; '" + wineserver + "' -w";
    // -k fails when the server has already gone, which is as good.
    if (system(command.c_str()) < 0)
        fprintf(stderr, "bench: cannot run %s\n", wineserver.c_str());
}

int main(int argc, char** argv) {
    Bench bench;
    if (!ParseOptions(argc, argv, bench.options)) {
        fprintf(stderr,
                "usage: %s --ours PATH --floor PATH --hook PATH [--wine WINE64 --exe EXE "
                "--prefix DIR] [--runs N] [--json PATH]\n",
                argv[0]);
        return 2;
    }
    const Options& options = bench.options;
    // A reader that goes away (| head) must not kill the bench before it has
    // stopped what it started.
    signal(SIGPIPE, SIG_IGN);
    // The scratch folder goes where the user keeps temporary files.
    const char* tmp = getenv("TMPDIR");
    std::string scratchName =
        std::string(tmp != NULL && *tmp ? tmp : P_tmpdir) + "/kovra-bench.XXXXXX";
    std::vector<char> scratch(scratchName.begin(), scratchName.end());
    scratch.push_back('\0');
    if (mkdtemp(scratch.data()) == NULL || !StartXServer(bench.server))
        return 1;
    bench.scratch = scratch.data();
    bench.display = ConnectDriver(bench.server.display);
    if (bench.display == NULL) {
        StopXServer(bench.server);
        return 1;
    }

    ProgramSubject floorSpec = {"floor", {options.floor}, {}, "Bench Floor"};
    ProgramSubject oursSpec = {"ours", {options.ours}, {}, "Robot Kovra"};
    ProgramSubject wineSpec = {"wine",
                               {options.wine, options.exe},
                               {"WINEPREFIX=" + options.prefix, "WINEDEBUG=-all",
                                "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d"},
                               "Robot Kovra"};
    Results floor, ours, wine, wineCold;
    floor.name = "floor";
    ours.name = "ours";
    wine.name = "wine";
    wineCold.name = "wineCold";
    std::string wineMissing = WineMissing(options);
    wine.note = wineMissing;
    if (!wineMissing.empty())
        printf("bench: %s\n", wineMissing.c_str());
    printf("bench: Xvfb %s, %d start-up runs each\n", bench.server.display.c_str(), options.runs);

    // Wine cold: its server and services start with the program, as when a
    // person starts it on a desktop without Wine running. The rounds below
    // find them running: the Windows build at its quickest.
    for (int run = 0; wineMissing.empty() && wine.note.empty() && run < WINE_COLD_RUNS; run++) {
        EndWineServer(options);
        MeasureStartup(bench, wineSpec, wineCold, 60000);
        if (!wineCold.measured)
            wine.note = "the Windows build drew no frame under Wine";
    }
    // Side by side: each round starts every program once.
    for (int run = 0; run < options.runs; run++) {
        MeasureStartup(bench, floorSpec, floor, 10000);
        MeasureStartup(bench, oursSpec, ours, 10000);
        if (wineMissing.empty() && wine.note.empty()) {
            MeasureStartup(bench, wineSpec, wine, 30000);
            if (!wine.measured)
                wine.note = "the Windows build drew no frame under Wine";
        }
    }
    printf("bench: start-up done; latency and idling\n");
    const ProgramSubject* pair[2] = {&floorSpec, &oursSpec};
    Results* pairResults[2] = {&floor, &ours};
    MeasureSideBySide(bench, pair, pairResults);
    printf("bench: the %d-key burst\n", BURST_KEYS);
    MeasureBurst(bench, oursSpec, ours);

    PrintTable(floor, ours, wine, wineCold);
    if (wineMissing.empty())
        EndWineServer(options);
    XCloseDisplay(bench.display);
    StopXServer(bench.server);
    // A program's output is kept when it failed to start, for the reader.
    if (floor.measured && ours.measured && wine.note == wineMissing)
        system(("rm -rf '" + bench.scratch + "'").c_str());
    if (!options.json.empty()) {
        if (!WriteJson(options.json, options, floor, ours, wine, wineCold)) {
            fprintf(stderr, "bench: cannot write %s\n", options.json.c_str());
            return 1;
        }
        printf("\nbench: figures written to %s\n", options.json.c_str());
    }
    return floor.measured && ours.measured ? 0 : 1;
}

// Starts the real program once on the X server named by DISPLAY and measures it from outside:
//   shown_ms   launch until the calendar window (title "Daduvov") is mapped;
//   painted_ms launch until that window shows the calendar's own pixels (the grey panel and the
//              navy clock box), i.e. its first frame is on screen;
//   painted_cpu_ms  CPU time all threads of the program had used by then (from schedstat): the
//              start-up cost without the waiting for a CPU on a busy machine;
// and with --idle N, while the calendar stays shown for N seconds after a settling second:
//   idle_cpu_pct  CPU time of the process's threads over the N seconds (from schedstat, in
//                 nanoseconds), in % of one core;
//   rss_first_kb, rss_last_kb, rss_max_kb  VmRSS samples, one a second;
//   hwm_kb        the peak resident memory (the calendar alone, nothing else opened): VmHWM at
//                 the end, or the largest VmRSS sample when the kernel's peak lags behind it.
// Output is one "key=value" line each; the exit code is non-zero when the window never came.
//
// usage: daduvov_process_driver <program> <XDG_DATA_HOME> [--idle N] [--timeout-ms N]
// The X server should have a black root window (Xvfb -br); a window manager may run (the
// calendar's window is then found when the manager takes it into its frame).

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of all threads of the process in ms, from the first field of each thread's schedstat.
double threadsCpuMs(pid_t pid) {
    double ns = 0;
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        double running = 0;
        if (in >> running)
            ns += running;
    }
    return ns / 1e6;
}

// A "VmXXX:" value of /proc/PID/status in kB.
long statusKB(pid_t pid, const char* key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const size_t length = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, length, key) == 0)
            return std::atol(line.c_str() + length);
    return -1;
}

bool isCalendar(Display* display, Window window) {
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name)
        return false;
    const bool match = std::strcmp(name, "Daduvov") == 0;
    XFree(name);
    return match;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0; // a window may go between the event and the query
}

// One pixel of a window as 0xRRGGBB, or -1 when it cannot be read.
long pixelAt(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return -1;
    const long pixel = static_cast<long>(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

// True once the window shows the calendar: the panel's grey C0C0C0 just inside its left edge
// and the navy 000080 of the clock box (panel position 12,180; the panel is 208 pixels high and
// sits below the menu bar).
bool calendarPainted(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    const int menuBar = attributes.height - 208;
    if (menuBar < 0)
        return false;
    return pixelAt(display, window, 3, menuBar + 100) == 0xC0C0C0 &&
           pixelAt(display, window, 12, menuBar + 180) == 0x000080;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <program> <XDG_DATA_HOME> [--idle N] [--timeout-ms N]\n", argv[0]);
        return 2;
    }
    const char* program = argv[1];
    const char* xdg = argv[2];
    int idleSeconds = 0;
    int timeoutMs = 20'000;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--idle") == 0)
            idleSeconds = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--timeout-ms") == 0)
            timeoutMs = std::atoi(argv[i + 1]);
    }

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const Clock::time_point launch = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_DATA_HOME", xdg, 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return 2;

    auto end = [&](int code) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        XCloseDisplay(display);
        return code;
    };

    // Launch until mapped: the MapNotify events of the root window's children.
    Window calendar = 0;
    double shownMs = 0;
    while (!calendar) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            // A window manager puts the window into a frame of its own before mapping it: its
            // map is then seen on the window itself.
            if (event.type == ReparentNotify && isCalendar(display, event.xreparent.window)) {
                XSelectInput(display, event.xreparent.window, StructureNotifyMask);
                // It may have been mapped before the selection took effect.
                XWindowAttributes attributes;
                if (XGetWindowAttributes(display, event.xreparent.window, &attributes) &&
                    attributes.map_state != IsUnmapped) {
                    shownMs = msSince(launch);
                    calendar = event.xreparent.window;
                    break;
                }
            }
            if (event.type == MapNotify && isCalendar(display, event.xmap.window)) {
                shownMs = msSince(launch);
                calendar = event.xmap.window;
                break;
            }
        }
        if (calendar)
            break;
        if (msSince(launch) > timeoutMs || waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fprintf(stderr, "the calendar window did not come\n");
            return end(1);
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 5);
    }
    // Mapped until painted: two pixels of the window, read back every half millisecond (a tighter
    // loop would take the CPU and the X server away from the program it measures).
    double paintedMs = 0;
    double paintedCpuMs = 0;
    for (;;) {
        if (calendarPainted(display, calendar)) {
            paintedMs = msSince(launch);
            paintedCpuMs = threadsCpuMs(pid);
            break;
        }
        if (msSince(launch) > timeoutMs) {
            std::fprintf(stderr, "the calendar was never painted\n");
            return end(1);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::printf("shown_ms=%.1f\npainted_ms=%.1f\npainted_cpu_ms=%.1f\n", shownMs, paintedMs, paintedCpuMs);
    std::fflush(stdout);

    if (idleSeconds > 0) {
        std::this_thread::sleep_for(std::chrono::seconds(1)); // the splash and start-up settle
        const double firstCpuMs = threadsCpuMs(pid);
        const Clock::time_point first = Clock::now();
        std::vector<long> rss;
        for (int s = 0; s <= idleSeconds; ++s) {
            std::this_thread::sleep_until(first + std::chrono::seconds(s));
            rss.push_back(statusKB(pid, "VmRSS:"));
        }
        const double lastCpuMs = threadsCpuMs(pid);
        const double seconds = std::chrono::duration<double>(Clock::now() - first).count();
        long maxRss = 0;
        for (long r : rss)
            maxRss = std::max(maxRss, r);
        std::printf("idle_cpu_pct=%.3f\nrss_first_kb=%ld\nrss_last_kb=%ld\nrss_max_kb=%ld\nhwm_kb=%ld\n",
                    100.0 * (lastCpuMs - firstCpuMs) / 1000.0 / seconds, rss.front(), rss.back(), maxRss,
                    std::max(maxRss, statusKB(pid, "VmHWM:")));
    }
    return end(0);
}

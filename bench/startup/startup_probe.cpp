// Runs a program and reports, from outside it, the milliseconds from its
// start until it maps a top-level window with the given title, the processor
// time its threads used until then, and its peak resident memory. The
// program is ended a settling time after the map, so that the peak includes
// the window's first paint.
//
// Usage: startup_probe TITLE SETTLE_MS PROGRAM [ARGS...]
// Prints "MS CPU_MS KB"; exit status 1 when the window does not come within 20 s.
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double NowMs()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// _NET_WM_NAME as Qt sets it, else WM_NAME.
std::string Title(Display *display, Window window)
{
    for (const char *name : {"_NET_WM_NAME", "WM_NAME"}) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, rest = 0;
        unsigned char *data = nullptr;
        const Atom property = XInternAtom(display, name, False);
        if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                               &rest, &data) == Success && data) {
            std::string title(reinterpret_cast<char *>(data), count);
            XFree(data);
            if (!title.empty())
                return title;
        }
    }
    return {};
}

// A window that is mapped before its title is set is checked again when the
// title changes.
std::optional<Window> WaitForWindow(Display *display, const std::string &title, double deadline)
{
    const int fd = ConnectionNumber(display);
    while (NowMs() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            Window window = None;
            if (event.type == MapNotify)
                window = event.xmap.window;
            else if (event.type == CreateNotify)
                XSelectInput(display, event.xcreatewindow.window, PropertyChangeMask | StructureNotifyMask);
            else if (event.type == PropertyNotify)
                window = event.xproperty.window;
            if (window == None)
                continue;
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable
                && Title(display, window) == title)
                return window;
        }
        pollfd p {fd, POLLIN, 0};
        poll(&p, 1, 50);
    }
    return std::nullopt;
}

// Time on a processor, summed over the threads alive now (schedstat counts
// nanoseconds).
double ProcessorMs(pid_t pid)
{
    double ns = 0;
    std::error_code ec;
    for (const auto &task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream stat(task.path() / "schedstat");
        double running = 0;
        if (stat >> running)
            ns += running;
    }
    return ns / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s TITLE SETTLE_MS PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    const std::string title = argv[1];
    const int settleMs = std::atoi(argv[2]);
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        const char *name = std::getenv("DISPLAY");
        std::fprintf(stderr, "startup_probe: cannot open the display %s\n", name ? name : "(unset)");
        return 2;
    }
    // Listening before the program starts, so that no map goes unseen.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    XErrorHandler quiet = [](Display *, XErrorEvent *) { return 0; }; // windows may go meanwhile
    XSetErrorHandler(quiet);

    const double start = NowMs();
    const pid_t child = fork();
    if (child == 0) {
        close(ConnectionNumber(display));
        execvp(argv[3], argv + 3);
        std::perror(argv[3]);
        _exit(127);
    }
    const auto window = WaitForWindow(display, title, start + 20000);
    const double shown = NowMs() - start;
    const double processor = ProcessorMs(child);
    if (window)
        usleep(static_cast<useconds_t>(settleMs) * 1000);
    kill(child, SIGTERM);
    int status = 0;
    rusage usage {};
    wait4(child, &status, 0, &usage);
    XCloseDisplay(display);
    if (!window) {
        std::fprintf(stderr, "startup_probe: no window titled \"%s\"\n", title.c_str());
        return 1;
    }
    std::printf("%.1f %.1f %ld\n", shown, processor, usage.ru_maxrss);
    return 0;
}

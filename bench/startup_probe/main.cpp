// Starts a windowed program and measures it from outside, through the X
// server alone, so that the program needs no hook of its own:
//   kelvo_startup_probe [--settle MS] [--timeout MS] TITLE PROGRAM [ARG...]
// Prints "shown_ms=<ms> rss_kib=<KiB>": the time from starting PROGRAM until
// a top-level window whose title begins with TITLE is mapped, and the
// program's resident memory MS (default 2000) ms later, when it idles. Then
// asks the window to close (WM_DELETE_WINDOW), as the window manager would,
// and kills the program only if it does not end. Exit 0, or 1 when no such
// window came within the timeout (default 30000 ms) or the program ended.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool TitleStartsWith(Display* dpy, Window w, const std::string& prefix) {
  for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
    Atom atom = XInternAtom(dpy, name, False);
    XTextProperty text{};
    if (!XGetTextProperty(dpy, w, &text, atom) || !text.value) continue;
    std::string title(reinterpret_cast<char*>(text.value), text.nitems);
    XFree(text.value);
    if (title.starts_with(prefix)) return true;
  }
  return false;
}

long StatusKib(pid_t pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.starts_with(field)) return std::atol(line.c_str() + std::strlen(field));
  return -1;
}

bool Ended(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == pid;
}

// Waits for the end of the program, up to `ms`.
bool WaitEnd(pid_t pid, int ms) {
  for (auto start = Clock::now(); MsSince(start) < ms;) {
    if (Ended(pid)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void Close(Display* dpy, Window w, pid_t pid) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = w;
  event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, w, False, NoEventMask, &event);
  XFlush(dpy);
  if (WaitEnd(pid, 5000)) return;
  kill(pid, SIGTERM);
  if (WaitEnd(pid, 2000)) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  int settleMs = 2000, timeoutMs = 30000, i = 1;
  for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
    if (std::strcmp(argv[i], "--settle") == 0)
      settleMs = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--timeout") == 0)
      timeoutMs = std::atoi(argv[i + 1]);
    else
      break;
  }
  if (argc - i < 2) {
    std::fprintf(
        stderr, "usage: kelvo_startup_probe [--settle MS] [--timeout MS] TITLE PROGRAM [ARG...]\n");
    return 64;
  }
  std::string prefix = argv[i];
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    std::fprintf(stderr, "kelvo_startup_probe: no X display (run it under xvfb-run)\n");
    return 1;
  }
  Window root = DefaultRootWindow(dpy);
  // Every top-level window the program maps, before it can map one.
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, False);

  auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[i + 1], nullptr, nullptr, argv + i + 1, environ) != 0) {
    std::fprintf(stderr, "kelvo_startup_probe: can't start '%s'\n", argv[i + 1]);
    return 1;
  }

  Window shown = 0;
  double shownMs = 0;
  while (!shown) {
    bool ended = Ended(pid);
    if (ended || MsSince(start) > timeoutMs) {
      std::fprintf(stderr, "kelvo_startup_probe: no window titled '%s...' %s\n", prefix.c_str(),
                   ended ? "before the program ended" : "within the timeout");
      if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
      return 1;
    }
    if (!XPending(dpy)) {
      pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
      poll(&fd, 1, 20);
      continue;
    }
    XEvent event;
    XNextEvent(dpy, &event);
    if (event.type == MapNotify) {
      Window w = event.xmap.window;
      if (TitleStartsWith(dpy, w, prefix)) {
        shownMs = MsSince(start);
        shown = w;
      } else {
        // Mapped first and named after: wait for its name.
        XSelectInput(dpy, w, PropertyChangeMask | StructureNotifyMask);
      }
    } else if (event.type == PropertyNotify &&
               TitleStartsWith(dpy, event.xproperty.window, prefix)) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(dpy, event.xproperty.window, &attributes) &&
          attributes.map_state == IsViewable) {
        shownMs = MsSince(start);
        shown = event.xproperty.window;
      }
    }
  }

  std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
  long rss = StatusKib(pid, "VmRSS:");
  Close(dpy, shown, pid);
  XCloseDisplay(dpy);
  std::printf("shown_ms=%.1f rss_kib=%ld\n", shownMs, rss);
  return rss > 0 ? 0 : 1;
}

// What a user waits for: the time from a real input event to the window's
// changed pixels, for the viewer and for peers in the same run.
//
// The probe runs on an X server with a window manager (latency.sh starts
// Xvfb and openbox). It starts each program on the same trace, places the
// windows side by side, and for every action sends the events as xdotool
// does (XTest), then watches the window: a Damage event says something was
// drawn, a shared-memory grab of the window says what. A change counts from
// the first grab that differs from the one before; the action is done when
// nothing has changed for a quiet period. Caret blinks (changes no wider
// than a caret) are not counted. Runs are interleaved: each round does
// every action once in every program.
//
// glogg runs with a home of its own (it writes its recent files and
// session there) and with quick find not incremental, so that Return
// times a search from line 1; gvim's search counts the view moving to
// the match, not the command line's echo.
//
// Each round also starts every program once more and sends Ctrl+End 150 ms
// after its window's first changed pixels, with the stall probe below on
// from a double click in the text (which makes the program the owner of
// PRIMARY) right at that paint.
//
// With --compare, each round also opens the viewer's comparison with a
// second trace (Ctrl+D, the path typed, Return) and closes it with Escape
// 300 ms after Return, while the comparison is still at work; then opens
// it again and presses Page Down in side A a second after Return, before
// the list and the markers are in. Meanwhile
// the probe asks the viewer every 5 ms for the targets of the PRIMARY
// selection, which the viewer owns (a word double-clicked in its editor):
// the toolkit's GUI thread answers, so the longest wait for an answer is
// the longest time the GUI thread did not answer (this toolkit ignores
// the window manager's pings).
//
//   latency_probe --write-trace FILE          writes the 64 MiB trace
//   latency_probe [--runs N] [--compare TRACE_B [--compare-only]] VIEWER TRACE
//                                             measures, prints the table
//                                             (--compare-only: the viewer's
//                                             comparison rows alone)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <sys/ipc.h>
#include <sys/select.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/gui/utf8_trace.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The window geometry every program gets in the interaction phase.
constexpr int kWidth = 1194;
constexpr int kHeight = 806;
constexpr int kQuietMs = 600;
constexpr int kTimeoutMs = 20000;
// A measured action may take longer: a peer's search through the whole
// trace takes seconds.
constexpr int kActionTimeoutMs = 60000;

Display* dpy = nullptr;
int damageEvent = 0;

// Asks for the PRIMARY selection's targets, one request at a time, every
// 5 ms while on; `longest` is the longest wait for an answer (a request
// still unanswered when the probe stops counts up to then).
struct StallProbe {
  Window window = 0;  // ours, for the answers
  Atom targets = 0;
  Atom property = 0;
  bool on = false;
  bool waiting = false;
  Clock::time_point sent;
  Clock::time_point answered;
  double longest = 0;

  void start() {
    on = true;
    waiting = false;
    longest = 0;
    answered = Clock::now();
  }
  // Sends the next request when one is due; the ms until one is.
  double tick() {
    if (!on || waiting) return on ? 5 : -1;
    const double since = msSince(answered);
    if (since < 5) return 5 - since;
    XConvertSelection(dpy, XA_PRIMARY, targets, property, window, CurrentTime);
    XFlush(dpy);
    sent = Clock::now();
    waiting = true;
    return 5;
  }
  // True when `e` was the answer.
  bool take(const XEvent& e) {
    if (e.type != SelectionNotify || e.xselection.requestor != window) return false;
    if (waiting) longest = std::max(longest, msSince(sent));
    waiting = false;
    answered = Clock::now();
    XDeleteProperty(dpy, window, property);
    return true;
  }
  double stop() {
    if (waiting) longest = std::max(longest, msSince(sent));
    on = false;
    return longest;
  }
};
StallProbe stallProbe;

// A grab of one window through shared memory.
struct Grab {
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  int width = 0;
  int height = 0;

  bool open(Window w) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, w, &a)) return false;
    width = a.width;
    height = a.height;
    image = XShmCreateImage(dpy, a.visual, a.depth, ZPixmap, nullptr, &shm, width, height);
    if (!image) return false;
    shm.shmid = shmget(IPC_PRIVATE, image->bytes_per_line * height, IPC_CREAT | 0600);
    shm.shmaddr = image->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
    shm.readOnly = False;
    XShmAttach(dpy, &shm);
    XSync(dpy, False);
    shmctl(shm.shmid, IPC_RMID, nullptr);
    return true;
  }
  void close() {
    if (!image) return;
    XShmDetach(dpy, &shm);
    XDestroyImage(image);
    shmdt(shm.shmaddr);
    image = nullptr;
  }
  // The window's pixels now, as bytes.
  std::vector<char> take(Window w) {
    XShmGetImage(dpy, w, image, 0, 0, AllPlanes);
    return std::vector<char>(image->data, image->data + image->bytes_per_line * height);
  }
};

// The part of a window whose changes count: edges in pixels, negative
// ones counted from the right or bottom edge (the default is the whole).
struct Clip {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// The box of pixels in which two grabs differ; empty when none does.
struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  bool empty() const { return x1 < 0; }
  // A caret blink: a sliver no wider than a caret and one text row high.
  bool caretOnly() const { return !empty() && x1 - x0 < 4 && y1 - y0 < 40; }
};

// Only the pixels inside `clip` are compared.
Box difference(const std::vector<char>& a, const std::vector<char>& b, int width, int height, const Clip& clip) {
  Box box;
  const size_t stride = a.size() / static_cast<size_t>(height);
  const int x0 = std::clamp(clip.left, 0, width);
  const int x1 = std::clamp(clip.right > 0 ? clip.right : width + clip.right, x0, width);
  const int y0 = std::clamp(clip.top, 0, height);
  const int y1 = std::clamp(clip.bottom > 0 ? clip.bottom : height + clip.bottom, y0, height);
  for (int y = y0; y < y1; ++y) {
    const char* ra = a.data() + y * stride;
    const char* rb = b.data() + y * stride;
    if (std::memcmp(ra + x0 * 4, rb + x0 * 4, (x1 - x0) * 4) == 0) continue;
    box.y0 = std::min(box.y0, y);
    box.y1 = y;
    for (int x = x0; x < x1; ++x) {
      if (std::memcmp(ra + x * 4, rb + x * 4, 4) != 0) {
        box.x0 = std::min(box.x0, x);
        box.x1 = std::max(box.x1, x);
      }
    }
  }
  return box;
}

// Waits up to `ms` for an X event; true when one is pending.
bool waitEvent(double ms) {
  if (XPending(dpy)) return true;
  const int fd = ConnectionNumber(dpy);
  fd_set set;
  FD_ZERO(&set);
  FD_SET(fd, &set);
  timeval tv{static_cast<long>(ms / 1000), static_cast<long>(std::fmod(ms, 1000.0) * 1000)};
  return select(fd + 1, &set, nullptr, nullptr, ms < 0 ? nullptr : &tv) > 0 && XPending(dpy);
}

struct Timing {
  double first = -1;  // ms to the first changed grab, -1 when none changed
  double last = -1;   // ms to the last one before the quiet period
};

// Watches `w` from `t0`, comparing each grab with the one before (within
// `clip`), until nothing changed for `quietMs` after the last change, or
// for `firstMs` when nothing changed at all, or `timeoutMs` passed.
Timing watch(Window w, Damage damage, Grab& grab, std::vector<char> previous, Clock::time_point t0,
             int firstMs, int quietMs, int timeoutMs, const Clip& clip = {}) {
  Timing t;
  double lastChange = 0;
  for (;;) {
    const double now = msSince(t0);
    const double quietLeft = (t.first < 0 ? firstMs : lastChange + quietMs) - now;
    if (quietLeft <= 0 || now > timeoutMs) break;
    const double probeDue = stallProbe.tick();
    if (!waitEvent(probeDue >= 0 ? std::min(quietLeft, probeDue) : quietLeft)) continue;
    XEvent e;
    XNextEvent(dpy, &e);
    if (stallProbe.take(e) || e.type != damageEvent + XDamageNotify) continue;
    XDamageSubtract(dpy, damage, None, None);
    const double at = msSince(t0);
    std::vector<char> frame = grab.take(w);
    const Box box = difference(previous, frame, grab.width, grab.height, clip);
    if (box.empty()) continue;
    previous.swap(frame);
    if (box.caretOnly()) continue;
    if (t.first < 0) t.first = at;
    t.last = lastChange = at;
  }
  return t;
}

// One program under test: its window, damage watch and grab buffer.
struct App {
  std::string name;
  std::vector<std::string> argv;
  std::vector<std::string> env;  // NAME=VALUE set for it
  std::function<void()> before;  // run before each start, when set
  pid_t pid = 0;
  Window window = 0;
  Damage damage = 0;
  Grab grab;
};

pid_t launch(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  const pid_t pid = fork();
  if (pid == 0) {
    for (const std::string& e : env) {
      const size_t eq = e.find('=');
      setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// A window can go away between two requests (a program that quits); such
// errors are reported and the run goes on.
int onXError(Display* d, XErrorEvent* e) {
  char text[256];
  XGetErrorText(d, e->error_code, text, sizeof text);
  std::fprintf(stderr, "X error: %s (request %d)\n", text, e->request_code);
  return 0;
}

Atom atom(const char* name) { return XInternAtom(dpy, name, False); }

// The managed client window whose _NET_WM_PID is `pid`, or 0.
Window windowOf(pid_t pid) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), atom("_NET_CLIENT_LIST"), 0, 4096, False, XA_WINDOW,
                         &type, &format, &count, &after, &data) != Success || !data) {
    return 0;
  }
  Window found = 0;
  const Window* list = reinterpret_cast<Window*>(data);
  for (unsigned long i = 0; i < count && !found; ++i) {
    unsigned char* p = nullptr;
    unsigned long n;
    if (XGetWindowProperty(dpy, list[i], atom("_NET_WM_PID"), 0, 1, False, XA_CARDINAL, &type, &format, &n, &after,
                           &p) == Success && p) {
      if (n == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(p)) == pid) found = list[i];
      XFree(p);
    }
  }
  XFree(data);
  return found;
}

void activate(Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
  e.xclient.format = 32;
  e.xclient.data.l[0] = 2;  // as a pager asks
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(dpy);
}

// Keys as xdotool names them: "ctrl+End", "Page_Down", "alt+w", "z".
std::vector<KeyCode> keyCodes(const std::string& chord) {
  std::vector<KeyCode> codes;
  std::stringstream parts(chord);
  std::string part;
  while (std::getline(parts, part, '+')) {
    KeySym sym = NoSymbol;
    if (part == "ctrl") sym = XK_Control_L;
    else if (part == "alt") sym = XK_Alt_L;
    else if (part == "shift") sym = XK_Shift_L;
    else if (part.size() == 1) sym = static_cast<unsigned char>(part[0]);  // Latin-1 keysyms are the characters
    else sym = XStringToKeysym(part.c_str());
    codes.push_back(XKeysymToKeycode(dpy, sym));
  }
  return codes;
}

void sendKey(const std::string& chord) {
  const std::vector<KeyCode> codes = keyCodes(chord);
  for (KeyCode c : codes) XTestFakeKeyEvent(dpy, c, True, CurrentTime);
  for (auto c = codes.rbegin(); c != codes.rend(); ++c) XTestFakeKeyEvent(dpy, *c, False, CurrentTime);
  XFlush(dpy);
}

// Clicks button `button` at (x, y) of window `w`.
void sendClick(Window w, int x, int y, int button = 1) {
  int rx, ry;
  Window child;
  XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), x, y, &rx, &ry, &child);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XTestFakeButtonEvent(dpy, button, True, CurrentTime);
  XTestFakeButtonEvent(dpy, button, False, CurrentTime);
  XFlush(dpy);
}

// A step: "key:CHORD", "type:TEXT", "click:X,Y[,BUTTON]" (negative X or Y
// count from the right or bottom edge).
void runStep(App& app, const std::string& step) {
  const std::string kind = step.substr(0, step.find(':'));
  const std::string arg = step.substr(step.find(':') + 1);
  if (kind == "key") {
    sendKey(arg);
  } else if (kind == "type") {
    for (char c : arg) sendKey(std::string(1, c));
  } else if (kind == "click") {
    int x = 0, y = 0, button = 1;
    std::sscanf(arg.c_str(), "%d,%d,%d", &x, &y, &button);
    if (x < 0) x += app.grab.width;
    if (y < 0) y += app.grab.height;
    sendClick(app.window, x, y, button);
  }
}

// Waits until the window has not changed for the quiet period.
void settle(App& app, int quietMs = kQuietMs) {
  XSync(dpy, False);
  watch(app.window, app.damage, app.grab, app.grab.take(app.window), Clock::now(), quietMs, quietMs, kTimeoutMs);
}

// Sets up, then times `step` (changes within `clip` only); `firstMs` is how
// long to wait for its first change.
Timing measure(App& app, const std::vector<std::string>& setup, const std::string& step, const Clip& clip,
               int firstMs) {
  activate(app.window);
  settle(app);
  for (const std::string& s : setup) {
    runStep(app, s);
    settle(app);
  }
  XSync(dpy, False);
  while (XPending(dpy)) {
    XEvent e;
    XNextEvent(dpy, &e);
  }
  XDamageSubtract(dpy, app.damage, None, None);
  std::vector<char> before = app.grab.take(app.window);
  const auto t0 = Clock::now();
  runStep(app, step);
  return watch(app.window, app.damage, app.grab, std::move(before), t0, firstMs, kQuietMs, kActionTimeoutMs, clip);
}

long long fileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<long long>(size);
}

long peakKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Starts the program and waits for its window and its first painting;
// returns the time from the start to the last change of that painting.
// Timed starts wait longer for quiet, since a peer may load in steps.
double start(App& app, bool timed) {
  if (app.before) app.before();
  const auto t0 = Clock::now();
  app.pid = launch(app.argv, app.env);
  while (!(app.window = windowOf(app.pid)) && msSince(t0) < kTimeoutMs) usleep(1000);
  if (!app.window) return -1;
  XSelectInput(dpy, app.window, StructureNotifyMask);
  // The window maps and gets its size before it can be grabbed.
  XWindowAttributes a{};
  while (msSince(t0) < kTimeoutMs && XGetWindowAttributes(dpy, app.window, &a) && a.map_state != IsViewable) {
    usleep(1000);
  }
  app.damage = XDamageCreate(dpy, app.window, XDamageReportNonEmpty);
  app.grab.open(app.window);
  const int quiet = timed ? 1500 : kQuietMs;
  const Timing t = watch(app.window, app.damage, app.grab, app.grab.take(app.window), t0, 60000, quiet, 60000);
  return t.last;
}

Timing measureNow(App& app, const std::string& step, int quietMs, const Clip& clip = {});

// The key pressed 150 ms after the first paint: starts the program, waits
// for the first changed pixels of its window, double-clicks a word in the
// text at once (the program then owns PRIMARY, for the stall probe) and
// sends `key` 150 ms after that paint, timed to its answer. `stall` is the
// longest GUI-thread stall from the double click to the end, or -1 when
// nobody owned PRIMARY.
Timing keyAfterFirstPaint(App& app, const std::string& key, int x, int y, double& stall) {
  const auto t0 = Clock::now();
  app.pid = launch(app.argv, app.env);
  while (!(app.window = windowOf(app.pid)) && msSince(t0) < kTimeoutMs) usleep(1000);
  if (!app.window) return {};
  XSelectInput(dpy, app.window, StructureNotifyMask);
  XWindowAttributes a{};
  while (msSince(t0) < kTimeoutMs && XGetWindowAttributes(dpy, app.window, &a) && a.map_state != IsViewable) {
    usleep(1000);
  }
  app.damage = XDamageCreate(dpy, app.window, XDamageReportNonEmpty);
  app.grab.open(app.window);
  // The first change ends the watch a millisecond later.
  const Timing painted = watch(app.window, app.damage, app.grab, app.grab.take(app.window), t0, 60000, 1, 60000);
  const auto firstPaint = Clock::now();
  if (painted.first < 0) return {};
  XSetSelectionOwner(dpy, XA_PRIMARY, None, CurrentTime);
  sendClick(app.window, x, y);
  sendClick(app.window, x, y);
  XSync(dpy, False);
  stall = -1;
  // Until 150 ms after the paint, damage is taken; the stall probe starts
  // once the program owns PRIMARY (a program that owns it later was not
  // answering meanwhile: its key's answer tells that).
  bool owned = false;
  while (msSince(firstPaint) < 150) {
    if (!owned && XGetSelectionOwner(dpy, XA_PRIMARY) != None) {
      owned = true;
      stallProbe.start();
    }
    const double left = std::min(5.0, 150 - msSince(firstPaint));
    if (left > 0) watch(app.window, app.damage, app.grab, app.grab.take(app.window), Clock::now(), left, left, left);
  }
  const Timing t = measureNow(app, "key:" + key, kQuietMs);
  if (owned) stall = stallProbe.stop();
  return t;
}

void stop(App& app) {
  if (app.damage) XDamageDestroy(dpy, app.damage);
  app.grab.close();
  app.damage = 0;
  app.window = 0;
  if (app.pid > 0) {
    kill(app.pid, SIGTERM);
    waitpid(app.pid, nullptr, 0);
  }
  app.pid = 0;
  XSync(dpy, False);
}

void place(App& app, int x) {
  app.grab.close();
  XMoveResizeWindow(dpy, app.window, x, 30, kWidth, kHeight);
  XSync(dpy, False);
  for (int i = 0; i < 200; ++i) {
    XWindowAttributes a{};
    XGetWindowAttributes(dpy, app.window, &a);
    if (a.width == kWidth && a.height == kHeight) break;
    usleep(10000);
  }
  app.grab.open(app.window);
  settle(app, 1000);
}

const std::string kKeyAfterPaint = "Ctrl+End 150 ms after the first paint";

// What one action is in each program: the steps that set it up and the
// measured step. A program without an entry does not take part. A
// program's clip leaves out changes that are not the answer (a command
// line's echo); `firstMs` is how long the first change may take.
struct Action {
  std::string name;
  std::map<std::string, std::pair<std::vector<std::string>, std::string>> in;
  std::map<std::string, Clip> clip = {};
  int firstMs = 5000;
};

// Positions in the viewer's window: a point in the editor's text, the
// first two outline roots, the editor's vertical scroll bar near its foot.
const std::string kViewerText = "click:700,400";
const std::string kRoot1 = "click:60,48";
const std::string kRoot2 = "click:60,76";
// The wrap check box of the viewer's toolbar.
const std::string kWrapBox = "click:190,16";
// A point in glogg's upper (whole file) view.
const std::string kGloggText = "click:500,200";
// The height of gvim's command line at the window's foot, with a margin.
constexpr int kGvimCommandLine = 40;

// glogg's settings in a home of its own (it writes its recent files and
// session there): quick find searches when Return is pressed, not as the
// word is typed, and no earlier session is opened again.
void writeGloggSettings(const std::string& home) {
  std::system(("mkdir -p " + home + ".config/glogg").c_str());
  std::ofstream conf(home + ".config/glogg/glogg.conf", std::ios::trunc);
  conf << "[General]\nquickfind.incremental=false\nsession.loadLast=false\n";
}

std::vector<Action> actions() {
  const std::string vText = kViewerText;
  const std::string gText = kGloggText;
  return {
      {"Ctrl+End from the top",
       {{"viewer", {{vText, "key:ctrl+Home"}, "key:ctrl+End"}},
        {"glogg", {{gText, "key:ctrl+Home"}, "key:ctrl+End"}},
        {"gvim", {{"key:Escape", "key:ctrl+Home"}, "key:ctrl+End"}}}},
      {"Ctrl+Home from the end",
       {{"viewer", {{vText, "key:ctrl+End"}, "key:ctrl+Home"}},
        {"glogg", {{gText, "key:ctrl+End"}, "key:ctrl+Home"}},
        {"gvim", {{"key:Escape", "key:ctrl+End"}, "key:ctrl+Home"}}}},
      {"Page Down at the top",
       {{"viewer", {{vText, "key:ctrl+Home"}, "key:Page_Down"}},
        {"glogg", {{gText, "key:ctrl+Home"}, "key:Page_Down"}},
        {"gvim", {{"key:Escape", "key:ctrl+Home"}, "key:Page_Down"}}}},
      {"Page Up at the end",
       {{"viewer", {{vText, "key:ctrl+End"}, "key:Page_Up"}},
        {"glogg", {{gText, "key:ctrl+End"}, "key:Page_Up"}},
        {"gvim", {{"key:Escape", "key:ctrl+End"}, "key:Page_Up"}}}},
      {"scroll bar click near its foot, from the top",
       {{"viewer", {{vText, "key:ctrl+Home"}, "click:-8,-60"}},
        {"glogg", {{gText, "key:ctrl+Home"}, "click:-8,450"}},
        {"gvim", {{"key:Escape", "key:ctrl+Home"}, "click:-8,-80"}}}},
      {"outline node, caret far (at the end)",
       {{"viewer", {{kRoot1, vText, "key:ctrl+End"}, kRoot2}}}},
      {"outline node, caret near it",
       {{"viewer", {{kRoot1, vText}, kRoot2}}}},
      {"outline End key: last node, caret at the top",
       {{"viewer", {{vText, "key:ctrl+Home", kRoot1}, "key:End"}}}},
      // glogg's quick find is not incremental (its settings): Return
      // searches from line 1. gvim's command line echoes Return at once;
      // the view moving to the match is the answer.
      {"search for a word on the last line, from the top",
       {{"viewer", {{vText, "key:ctrl+Home"}, "key:ctrl+n"}},
        {"glogg", {{gText, "key:ctrl+Home", "key:ctrl+f"}, "key:Return"}},
        {"gvim", {{"key:Escape", "key:ctrl+Home", "type:/zyzzyva"}, "key:Return"}}},
       {{"gvim", Clip{0, 0, 0, -kGvimCommandLine}}},
       40000},
      {"wrap on at the end of the trace",
       {{"viewer", {{vText, "key:ctrl+End"}, "key:alt+w"}}}},
      {"wrap off at the end of the trace",
       {{"viewer", {{}, "key:alt+w"}}}},
      {"wrap on in mid-file",
       {{"viewer", {{vText, "click:-8,400,2", vText}, "key:alt+w"}}}},
      {"wrap off in mid-file",
       {{"viewer", {{}, "key:alt+w"}}}},
      // The same by a click on the check box: the keyboard's mnemonic
      // presses a button for 100 ms before it acts (the toolkit's way).
      {"wrap on in mid-file, check box clicked",
       {{"viewer", {{vText, "click:-8,400,2", vText}, kWrapBox}}}},
      // Wrapping is on from the row before; the next one turns it off in
      // mid-file again.
      {"Ctrl+End, wrap on",
       {{"viewer", {{vText, "key:ctrl+Home"}, "key:ctrl+End"}}}},
      {"wrap off in mid-file, check box clicked",
       {{"viewer", {{vText, "click:-8,400,2", vText}, kWrapBox}}}},
  };
}

// The viewer's comparison, measured in one round: Return in the chooser
// to the last change of the shown comparison, Escape 300 ms after Return
// to the trace shown again, and the longest GUI-thread stall in each.
struct ComparisonTimes {
  Timing shown;
  double shownStall = -1;
  Timing escape;
  double escapeStall = -1;
  Timing key;  // a key pressed in editor A while the comparison is at work
  double keyStall = -1;
};

// Editor A's text in the comparison (the left half above the list), in
// the probe's window geometry: where a key pressed in A shows.
const Clip kCompareEditorA{60, 100, 560, -200};
const std::string kCompareTextA = "click:300,300";
// When the key goes after Return: the texts show by then on a quiet
// machine, the list and the markers do not.
constexpr int kKeyAfterReturnMs = 1000;

// Times `step` from now (changes within `clip` only), without waiting for
// quiet first, until nothing changed for `quietMs`; events drained before
// it still reach the stall probe.
Timing measureNow(App& app, const std::string& step, int quietMs, const Clip& clip) {
  XSync(dpy, False);
  while (XPending(dpy)) {
    XEvent e;
    XNextEvent(dpy, &e);
    stallProbe.take(e);
  }
  XDamageSubtract(dpy, app.damage, None, None);
  std::vector<char> before = app.grab.take(app.window);
  const auto t0 = Clock::now();
  runStep(app, step);
  return watch(app.window, app.damage, app.grab, std::move(before), t0, 5000, quietMs, kTimeoutMs, clip);
}

// Owns PRIMARY through the viewer's editor and opens the chooser with B's
// name typed in it (the chooser opens in the folder of the viewer's
// trace, where B must be).
void chooseForComparison(App& viewer, const std::string& traceB) {
  activate(viewer.window);
  settle(viewer);
  for (const std::string& s : {kViewerText, std::string("key:ctrl+Home")}) {
    runStep(viewer, s);
    settle(viewer);
  }
  int x = 0, y = 0;
  std::sscanf(kViewerText.c_str(), "click:%d,%d", &x, &y);
  sendClick(viewer.window, x, y);
  sendClick(viewer.window, x, y);  // a double click: a word selected
  settle(viewer);
  runStep(viewer, "key:ctrl+d");
  settle(viewer, 1000);
  runStep(viewer, "type:" + traceB.substr(traceB.rfind('/') + 1));
  settle(viewer);
}

// Return in the chooser, a click in editor A at kKeyAfterReturnMs, and
// Page Down in A 200 ms later: the time from the key to the first change
// in A's text, and the longest stall from Return until the view is quiet.
// Escape closes the comparison afterwards.
void measureKeyDuringComparison(App& viewer, const std::string& traceB, ComparisonTimes& c) {
  chooseForComparison(viewer, traceB);
  stallProbe.start();
  runStep(viewer, "key:Return");
  watch(viewer.window, viewer.damage, viewer.grab, viewer.grab.take(viewer.window), Clock::now(), kKeyAfterReturnMs,
        kKeyAfterReturnMs, kKeyAfterReturnMs);
  runStep(viewer, kCompareTextA);
  watch(viewer.window, viewer.damage, viewer.grab, viewer.grab.take(viewer.window), Clock::now(), 200, 200, 200);
  c.key = measureNow(viewer, "key:Page_Down", 1500, kCompareEditorA);
  c.keyStall = stallProbe.stop();
  runStep(viewer, "key:Escape");
  settle(viewer, 3000);
}

ComparisonTimes measureComparison(App& viewer, const std::string& traceB) {
  ComparisonTimes c;
  chooseForComparison(viewer, traceB);
  if (XGetSelectionOwner(dpy, XA_PRIMARY) == None) std::fprintf(stderr, "nobody owns PRIMARY: no stall probe\n");
  stallProbe.start();
  // The texts, then the list, come seconds apart on a loaded machine.
  c.shown = measureNow(viewer, "key:Return", 5000);
  c.shownStall = stallProbe.stop();
  runStep(viewer, "key:Escape");
  settle(viewer, 1500);
  chooseForComparison(viewer, traceB);
  stallProbe.start();
  runStep(viewer, "key:Return");
  // The probe goes on while waiting for the moment to press Escape.
  watch(viewer.window, viewer.damage, viewer.grab, viewer.grab.take(viewer.window), Clock::now(), 300, 300, 300);
  c.escape = measureNow(viewer, "key:Escape", 1500);
  c.escapeStall = stallProbe.stop();
  settle(viewer, 3000);
  measureKeyDuringComparison(viewer, traceB, c);
  return c;
}

double median(std::vector<double> v) {
  v.erase(std::remove(v.begin(), v.end(), -1.0), v.end());
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string cell(double ms) {
  if (ms < 0) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, ms < 100 ? "%.1f" : "%.0f", ms);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-trace") == 0) return writeUtf8Trace(argv[2]) == 0 ? 0 : 1;
  int runs = 5;
  int arg = 1;
  std::string traceB;
  std::string smaller;  // the same content, fewer MiB: for the cost of each extra MiB opened
  bool compareOnly = false;
  bool viewerOnly = false;  // for comparing two builds of the viewer, without the peers
  for (;;) {
    if (argc > arg && std::strcmp(argv[arg], "--compare-only") == 0) {
      compareOnly = true;
      ++arg;
      continue;
    }
    if (argc > arg && std::strcmp(argv[arg], "--viewer-only") == 0) {
      viewerOnly = true;
      ++arg;
      continue;
    }
    if (argc > arg + 1 && std::strcmp(argv[arg], "--runs") == 0) {
      runs = std::atoi(argv[arg + 1]);
      arg += 2;
    } else if (argc > arg + 1 && std::strcmp(argv[arg], "--compare") == 0) {
      traceB = argv[arg + 1];
      arg += 2;
    } else if (argc > arg + 1 && std::strcmp(argv[arg], "--smaller") == 0) {
      smaller = argv[arg + 1];
      arg += 2;
    } else {
      break;
    }
  }
  if (argc - arg != 2) {
    std::fprintf(stderr, "usage: latency_probe [--runs N] [--viewer-only] [--compare TRACE_B] [--smaller TRACE_S] VIEWER TRACE | --write-trace FILE\n");
    return 2;
  }
  const std::string viewer = argv[arg];
  const std::string trace = argv[arg + 1];
  dpy = XOpenDisplay(nullptr);
  int damageError = 0;
  if (!dpy || !XShmQueryExtension(dpy) || !XDamageQueryExtension(dpy, &damageEvent, &damageError)) {
    std::fprintf(stderr, "needs an X display with the MIT-SHM, DAMAGE and XTEST extensions\n");
    return 1;
  }
  XSetErrorHandler(onXError);
  stallProbe.window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
  stallProbe.targets = atom("TARGETS");
  stallProbe.property = atom("LATENCY_PROBE_TARGETS");
  const char* tmp = std::getenv("TMPDIR");
  const std::string workdir = std::string(tmp && *tmp ? tmp : "/tmp") + "/latency_probe_settings/";
  std::system(("mkdir -p " + workdir + " && rm -f " + workdir + "zazozav.ini").c_str());
  std::vector<App> apps(3);
  apps[0].name = "viewer";
  apps[0].argv = {viewer, trace, "workdir=" + workdir};
  apps[1].name = "glogg";
  apps[1].argv = {"glogg", "--multi", trace};
  const std::string gloggHome = workdir + "glogg-home/";
  apps[1].env = {"HOME=" + gloggHome, "XDG_CONFIG_HOME=" + gloggHome + ".config"};
  apps[1].before = [gloggHome] { writeGloggSettings(gloggHome); };
  apps[2].name = "gvim";
  apps[2].argv = {"gvim", "-f", "-u", "NONE", "-U", "NONE", "-N", "-n", "-R", "-c", "set guicursor=a:blinkon0",
                  trace};
  // The table keeps a column for each program, run or not.
  std::vector<std::string> names;
  for (const App& app : apps) names.push_back(app.name);
  if (viewerOnly) apps.resize(1);

  std::map<std::string, std::vector<double>> opened;
  std::map<std::string, std::vector<double>> openedSmaller;
  std::map<std::string, std::vector<double>> openedKiB;  // VmHWM once painted
  std::map<std::string, std::vector<double>> openedSmallerKiB;
  std::map<std::string, long> peak;
  std::map<std::pair<std::string, std::string>, std::vector<Timing>> results;
  std::vector<ComparisonTimes> compared;
  std::map<std::string, std::vector<double>> keyStalls;
  const std::vector<Action> list = actions();
  for (int run = 0; run < runs && compareOnly && !traceB.empty(); ++run) {
    start(apps[0], false);
    place(apps[0], 0);
    settle(apps[0], 3000);
    compared.push_back(measureComparison(apps[0], traceB));
    stop(apps[0]);
    std::fprintf(stderr, "run %d of %d done\n", run + 1, runs);
  }
  for (int run = 0; run < runs && !compareOnly; ++run) {
    // Open to painted window, each program alone on the screen.
    for (App& app : apps) {
      opened[app.name].push_back(start(app, true));
      openedKiB[app.name].push_back(static_cast<double>(peakKiB(app.pid)));
      std::fprintf(stderr, "%s opened in %.0f ms\n", app.name.c_str(), opened[app.name].back());
      stop(app);
      if (smaller.empty()) continue;
      App small = app;
      std::replace(small.argv.begin(), small.argv.end(), trace, smaller);
      openedSmaller[app.name].push_back(start(small, true));
      openedSmallerKiB[app.name].push_back(static_cast<double>(peakKiB(small.pid)));
      stop(small);
    }
    // Ctrl+End 150 ms after the first paint, each program alone again.
    for (App& app : apps) {
      double stall = -1;
      const Timing t = keyAfterFirstPaint(app, "ctrl+End", 400, 300, stall);
      results[{kKeyAfterPaint, app.name}].push_back(t);
      if (stall >= 0) keyStalls[app.name].push_back(stall);
      std::fprintf(stderr, "%s: Ctrl+End 150 ms after the first paint %s / %s ms, stall %s ms\n", app.name.c_str(),
                   cell(t.first).c_str(), cell(t.last).c_str(), cell(stall).c_str());
      settle(app, 1500);
      stop(app);
    }
    // The interactions, with the three windows side by side.
    for (size_t i = 0; i < apps.size(); ++i) {
      start(apps[i], false);
      place(apps[i], static_cast<int>(i) * (kWidth + 16));
      settle(apps[i], 3000);  // a peer that loads in the background shows its progress
    }
    // The find bar and glogg's search box hold the word for the search.
    activate(apps[0].window);
    settle(apps[0]);
    for (const char* s : {kViewerText.c_str(), "key:ctrl+f", "type:zyzzyva", "click:700,400"}) {
      runStep(apps[0], s);
      settle(apps[0]);
    }
    if (!viewerOnly) {
      activate(apps[1].window);
      settle(apps[1]);
      for (const char* s : {"key:ctrl+f", "type:zyzzyva"}) {
        runStep(apps[1], s);
        settle(apps[1]);
      }
    }
    for (const Action& action : list) {
      for (App& app : apps) {
        auto it = action.in.find(app.name);
        if (it == action.in.end()) continue;
        const auto clip = action.clip.find(app.name);
        results[{action.name, app.name}].push_back(measure(app, it->second.first, it->second.second,
                                                           clip == action.clip.end() ? Clip{} : clip->second,
                                                           action.firstMs));
      }
    }
    if (!traceB.empty()) compared.push_back(measureComparison(apps[0], traceB));
    for (App& app : apps) {
      peak[app.name] = std::max(peak[app.name], peakKiB(app.pid));
      stop(app);
    }
    std::fprintf(stderr, "run %d of %d done\n", run + 1, runs);
  }

  std::printf("medians of %d interleaved runs, ms from the event to the first / last changed pixels\n\n", runs);
  std::printf("%-48s %17s %17s %17s %13s\n", "action", "viewer", "glogg", "gvim", "viewer/glogg");
  auto row = [&](const std::string& name, const std::vector<Timing>* per[3]) {
    double last[3];
    std::string cells[3];
    for (int i = 0; i < 3; ++i) {
      std::vector<double> f, l;
      if (per[i]) {
        for (const Timing& t : *per[i]) {
          f.push_back(t.first);
          l.push_back(t.last);
        }
      }
      last[i] = per[i] ? median(l) : -1;
      cells[i] = per[i] ? cell(median(f)) + " / " + cell(last[i]) : "-";
    }
    std::string ratio = "-";
    if (last[0] > 0 && last[1] > 0) ratio = cell(last[0] / last[1]);
    std::printf("%-48s %17s %17s %17s %13s\n", name.c_str(), cells[0].c_str(), cells[1].c_str(), cells[2].c_str(),
                ratio.c_str());
  };
  for (const Action& action : list) {
    const std::vector<Timing>* per[3] = {nullptr, nullptr, nullptr};
    for (int i = 0; i < 3; ++i) {
      auto it = results.find({action.name, names[i]});
      if (it != results.end()) per[i] = &it->second;
    }
    row(action.name, per);
  }
  {
    const std::vector<Timing>* per[3] = {nullptr, nullptr, nullptr};
    for (int i = 0; i < 3; ++i) {
      auto it = results.find({kKeyAfterPaint, names[i]});
      if (it != results.end()) per[i] = &it->second;
    }
    row(kKeyAfterPaint, per);
    std::printf("%-48s %17s %17s %17s\n", "longest GUI stall, PRIMARY owned to the answer",
                cell(median(keyStalls["viewer"])).c_str(), cell(median(keyStalls["glogg"])).c_str(),
                cell(median(keyStalls["gvim"])).c_str());
  }
  std::printf("%-48s %17s %17s %17s %13s\n", "open to painted window (last change)", cell(median(opened["viewer"])).c_str(),
              cell(median(opened["glogg"])).c_str(), cell(median(opened["gvim"])).c_str(),
              cell(median(opened["viewer"]) / median(opened["glogg"])).c_str());
  if (!smaller.empty()) {
    // What each MiB more costs: the difference between the two sizes.
    const double extraMiB = static_cast<double>(fileSize(trace) - fileSize(smaller)) / 1048576.0;
    std::string cells[3];
    for (int i = 0; i < 3; ++i) {
      const std::string& name = names[i];
      if (opened[name].empty()) {
        cells[i] = "-";
        continue;
      }
      const double ms = (median(opened[name]) - median(openedSmaller[name])) / extraMiB;
      const double mib = (median(openedKiB[name]) - median(openedSmallerKiB[name])) / 1024.0 / extraMiB;
      char text[64];
      std::snprintf(text, sizeof text, "%.1f ms %.2f MiB", ms, mib);
      cells[i] = text;
    }
    char name[64];
    std::snprintf(name, sizeof name, "open: per extra MiB (%.0f MiB more)", extraMiB);
    std::printf("%-48s %17s %17s %17s\n", name, cells[0].c_str(), cells[1].c_str(), cells[2].c_str());
  }
  if (!compared.empty()) {
    std::vector<Timing> shown, escape, key;
    std::vector<double> shownStall, escapeStall, keyStall;
    for (const ComparisonTimes& c : compared) {
      shown.push_back(c.shown);
      escape.push_back(c.escape);
      key.push_back(c.key);
      shownStall.push_back(c.shownStall);
      escapeStall.push_back(c.escapeStall);
      keyStall.push_back(c.keyStall);
    }
    const std::vector<Timing>* perShown[3] = {&shown, nullptr, nullptr};
    const std::vector<Timing>* perEscape[3] = {&escape, nullptr, nullptr};
    const std::vector<Timing>* perKey[3] = {&key, nullptr, nullptr};
    row("comparison: Return in the chooser to shown", perShown);
    row("comparison: Escape 300 ms after Return", perEscape);
    row("comparison: key pressed during it (Page Down)", perKey);
    std::printf("%-48s %17s\n", "longest GUI stall, Return to shown", cell(median(shownStall)).c_str());
    std::printf("%-48s %17s\n", "longest GUI stall, Escape during the comparison", cell(median(escapeStall)).c_str());
    std::printf("%-48s %17s\n", "longest GUI stall, key during the comparison", cell(median(keyStall)).c_str());
    std::printf("comparison raw (shown last / stall, Escape first / last / stall, key first / stall):");
    for (const ComparisonTimes& c : compared) {
      std::printf(" %s/%s %s/%s/%s %s/%s", cell(c.shown.last).c_str(), cell(c.shownStall).c_str(),
                  cell(c.escape.first).c_str(), cell(c.escape.last).c_str(), cell(c.escapeStall).c_str(),
                  cell(c.key.first).c_str(), cell(c.keyStall).c_str());
    }
    std::printf("\n");
  }
  std::printf("%-48s %14.0f MiB %13.0f MiB %13.0f MiB\n", "peak resident size (VmHWM)", peak["viewer"] / 1024.0,
              peak["glogg"] / 1024.0, peak["gvim"] / 1024.0);
  std::printf("\nraw (first/last ms per run):\n");
  for (const auto& [key, timings] : results) {
    std::printf("%s | %s:", key.first.c_str(), key.second.c_str());
    for (const Timing& t : timings) std::printf(" %s/%s", cell(t.first).c_str(), cell(t.last).c_str());
    std::printf("\n");
  }
  for (const auto& [name, times] : opened) {
    std::printf("open | %s:", name.c_str());
    for (double t : times) std::printf(" %s", cell(t).c_str());
    std::printf("\n");
  }
  for (const auto& [name, times] : openedSmaller) {
    std::printf("open smaller | %s:", name.c_str());
    for (double t : times) std::printf(" %s", cell(t).c_str());
    std::printf("\n");
  }
  XCloseDisplay(dpy);
  return 0;
}

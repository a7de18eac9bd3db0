// Opening a web address in the user's browser through the desktop's
// opener program, with its failure reported: the opener exists on nearly
// every desktop, and on one without a browser it is the opener that fails,
// after it has started.
#pragma once

#include <QUrl>

#include <functional>

class QObject;

// The desktop's opener program.
constexpr const char* kUrlOpener = "xdg-open";
// An opener that ends with an error this soon failed to start a browser;
// later its status is the browser's, which says nothing about the start.
constexpr int kUrlOpenerVerdictMs = 15000;

// Starts the opener on `url` and returns true, or returns false when
// there is none on the PATH. When the opener then cannot run, or ends with
// a non-zero status within kUrlOpenerVerdictMs, `failed` is called on the
// GUI thread, unless `context` is gone by then. The opener is never
// stopped: it may be running the browser itself.
bool openUrlInBrowser(const QUrl& url, QObject* context, std::function<void()> failed);

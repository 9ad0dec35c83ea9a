// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard of a private X server holding a text, as a program that
// copied it would: it owns the CLIPBOARD selection and answers the requests
// for it (the text as UTF-8, or the list of its forms) from a thread of its
// own, until it goes.
#pragma once

#include <QByteArray>

#include <atomic>
#include <string>
#include <thread>

struct _XDisplay;

namespace e2e {

class XClipboardOwner {
public:
    XClipboardOwner(const std::string& displayName, const QByteArray& utf8Text);
    ~XClipboardOwner();
    XClipboardOwner(const XClipboardOwner&) = delete;
    XClipboardOwner& operator=(const XClipboardOwner&) = delete;

    // Whether it owns the clipboard.
    bool valid() const { return owning_; }

private:
    void serve();

    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    QByteArray text_;
    bool owning_ = false;
    int wake_[2] = {-1, -1}; // written to when it goes
    std::thread thread_;
};

} // namespace e2e

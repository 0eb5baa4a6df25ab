#include "XSession.h"

#include <X11/Xlib.h>

namespace sdltest {

bool XServer::SendDeleteWindow(unsigned long window) const {
    ::Display* x = XOpenDisplay(display_.c_str());
    if (!x)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(x, window, False, NoEventMask, &event);
    XSync(x, False);
    XCloseDisplay(x);
    return sent != 0;
}

std::vector<unsigned long> XServer::StackingOrder() const {
    std::vector<unsigned long> order;
    ::Display* x = XOpenDisplay(display_.c_str());
    if (!x)
        return order;
    Window root;
    Window parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i)
            order.push_back(children[i]);
        XFree(children);
    }
    XCloseDisplay(x);
    return order;
}

}  // namespace sdltest

#include "support/XSession.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace sdltest {
namespace {

// A window that has gone away must fail one query, not end the test run.
int IgnoreErrors(::Display*, XErrorEvent*) {
    return 0;
}

::Display* Open(const std::string& name) {
    XSetErrorHandler(IgnoreErrors);
    return XOpenDisplay(name.c_str());
}

}  // namespace

bool XServer::SendDeleteWindow(unsigned long window) const {
    ::Display* x = Open(display_);
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

bool XServer::DestroyWindow(unsigned long window) const {
    ::Display* x = Open(display_);
    if (!x)
        return false;
    XDestroyWindow(x, window);
    XSync(x, False);
    XCloseDisplay(x);
    return true;
}

bool XServer::IconSize(unsigned long window, long* width, long* height) const {
    ::Display* x = Open(display_);
    if (!x)
        return false;
    Atom type;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool found =
        XGetWindowProperty(x, window, XInternAtom(x, "_NET_WM_ICON", False), 0, 2, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data && format == 32 && count == 2;
    if (found) {
        // Format 32 properties come back as longs.
        *width = reinterpret_cast<long*>(data)[0];
        *height = reinterpret_cast<long*>(data)[1];
    }
    if (data)
        XFree(data);
    XCloseDisplay(x);
    return found;
}

long XServer::PixelAt(unsigned long window, int x, int y) const {
    ::Display* display = Open(display_);
    if (!display)
        return -1;
    long pixel = -1;
    if (XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap)) {
        pixel = static_cast<long>(XGetPixel(image, 0, 0) & 0xFFFFFF);
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return pixel;
}

bool XServer::Grab(unsigned long window, int* width, int* height,
                   std::vector<uint32_t>* pixels) const {
    ::Display* display = Open(display_);
    if (!display)
        return false;
    if (!window)
        window = DefaultRootWindow(display);
    XWindowAttributes attributes;
    bool grabbed = false;
    if (XGetWindowAttributes(display, window, &attributes) && attributes.width > 0 &&
        attributes.height > 0) {
        if (XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height,
                                      AllPlanes, ZPixmap)) {
            *width = attributes.width;
            *height = attributes.height;
            pixels->resize(static_cast<size_t>(*width) * *height);
            for (int y = 0; y < *height; ++y) {
                for (int x = 0; x < *width; ++x) {
                    (*pixels)[static_cast<size_t>(y) * *width + x] =
                        static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF);
                }
            }
            XDestroyImage(image);
            grabbed = true;
        }
    }
    XCloseDisplay(display);
    return grabbed;
}

std::vector<unsigned long> XServer::StackingOrder() const {
    std::vector<unsigned long> order;
    ::Display* x = Open(display_);
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

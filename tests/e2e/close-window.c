// Asks a top-level window to close the way a window manager's close button
// does: a WM_DELETE_WINDOW client message. Xvfb runs no window manager, and
// xdotool can only destroy a window outright. Usage: close-window WINDOW-ID

#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    Display* display = argc == 2 ? XOpenDisplay(NULL) : NULL;
    if (!display) {
        fprintf(stderr, "usage: close-window WINDOW-ID, with a display to open\n");
        return 2;
    }
    const Window window = (Window)strtoul(argv[1], NULL, 0);
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}

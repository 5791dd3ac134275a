"""One pixel of an X screen, the keyboard and a bare window, straight through Xlib: no
process is started per look, so a look costs one round trip to the X server (well under
1 ms). The benchmarks under bench/ time with it."""

import ctypes


class Display:
    ALL_PLANES = ctypes.c_ulong(~0 & 0xFFFFFFFFFFFFFFFF)
    Z_PIXMAP = 2

    def __init__(self, name):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        x = self.x11
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.c_void_p
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XGetPixel.restype = ctypes.c_ulong
        x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.c_void_p]
        x.XStringToKeysym.restype = ctypes.c_ulong
        x.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x.XKeysymToKeycode.restype = ctypes.c_ubyte
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XCreateSimpleWindow.restype = ctypes.c_ulong
        x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                          ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                          ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
        x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.display = x.XOpenDisplay(name.encode())
        if not self.display:
            raise RuntimeError(f"cannot open display {name}")
        self.root = x.XDefaultRootWindow(self.display)

    def rgb(self, x, y):
        image = self.x11.XGetImage(self.display, self.root, x, y, 1, 1, self.ALL_PLANES,
                                   self.Z_PIXMAP)
        if not image:
            return (0, 0, 0)
        value = self.x11.XGetPixel(image, 0, 0)
        self.x11.XDestroyImage(image)
        return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)

    def row(self, y, xs):
        """The colours of the points (x, y) for each x, from one look at the row between
        them (one round trip, so the points are all of the same moment)."""
        left, right = min(xs), max(xs)
        image = self.x11.XGetImage(self.display, self.root, left, y, right - left + 1, 1,
                                   self.ALL_PLANES, self.Z_PIXMAP)
        if not image:
            return [(0, 0, 0)] * len(xs)
        colours = []
        for x in xs:
            value = self.x11.XGetPixel(image, x - left, 0)
            colours.append(((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF))
        self.x11.XDestroyImage(image)
        return colours

    def key(self, name, down):
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        self.x11.XSync(self.display, 0)

    def black_window(self, width, height):
        """A mapped black window over the screen's corner, as a host gives a player to draw
        in; its id."""
        window = self.x11.XCreateSimpleWindow(self.display, self.root, 0, 0, width, height, 0,
                                              0, 0)
        self.x11.XMapWindow(self.display, window)
        self.x11.XSync(self.display, 0)
        return window

    def destroy_window(self, window):
        self.x11.XDestroyWindow(self.display, window)
        self.x11.XSync(self.display, 0)

    def close(self):
        self.x11.XCloseDisplay(self.display)

// Stands in for <X11/Xlib.h> while the core is compiled: the core must not include platform headers.
#error "the component core includes a platform header: <X11/Xlib.h>"
